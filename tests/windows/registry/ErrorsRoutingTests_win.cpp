// Where each number is looked up, checked with stand-in "NetMsg.dll" and
// "WiniNet.dll" tables that sit beside this test, named by their folder. Each
// table also holds numbers just outside its range, which must never be read
// from it. Without a folder the stand-ins beside the program must never be
// read at all: the system's libraries are.

#include "windows/registry/Errors.h"

#include <windows.h>

#include <gtest/gtest.h>

namespace tolv {
namespace {

std::wstring SystemText(int32_t number) {
    wchar_t* buffer = nullptr;
    DWORD length = FormatMessageW(
        FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_ALLOCATE_BUFFER,
        nullptr, static_cast<DWORD>(number), 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    std::wstring text = buffer != nullptr ? std::wstring(buffer, length) : L"";
    LocalFree(buffer);
    if (text.ends_with(L"\r\n"))
        text.resize(text.size() - 2);
    return text;
}

// The folder of this test and of the stand-in tables.
std::wstring TablesFolder() {
    std::wstring path(MAX_PATH, L'\0');
    path.resize(GetModuleFileNameW(nullptr, path.data(), MAX_PATH));
    return path.substr(0, path.find_last_of(L'\\'));
}

std::wstring SystemFolder() {
    wchar_t folder[MAX_PATH];
    return std::wstring(folder, GetSystemDirectoryW(folder, MAX_PATH));
}

// GetErrorText with the stand-ins.
std::wstring TableText(int32_t number) {
    return Errors::GetErrorText(number, TablesFolder());
}

class ErrorsRouting : public ::testing::Test {
protected:
    void SetUp() override {
        // Make sure the stand-ins are there and load.
        std::wstring message;
        Errors::GetModuleErrorText(TablesFolder() + L"\\NetMsg.dll", 2100, message);
        ASSERT_EQ(message, L"NetMsg table 2100\r\n") << "stand-in NetMsg.dll not found";
        Errors::GetModuleErrorText(TablesFolder() + L"\\WiniNet.dll", 12000, message);
        ASSERT_EQ(message, L"WiniNet table 12000\r\n") << "stand-in WiniNet.dll not found";
    }
};

// A NetMsg.dll or WiniNet.dll put beside the program (here, beside this test)
// is never read: an administrator may run the program from a Downloads folder.
TEST_F(ErrorsRouting, TablesBesideTheProgramAreNeverRead) {
    for (int32_t number : {2100, 2999, 12000, 12171}) {
        SCOPED_TRACE(number);
        const std::wstring text = Errors::GetErrorText(number);
        EXPECT_EQ(text.find(L"table"), std::wstring::npos) << "a planted table was read";
        EXPECT_EQ(text, Errors::GetErrorText(number, SystemFolder()));
    }
    for (const wchar_t* library : {L"NetMsg.dll", L"WiniNet.dll"}) {
        std::wstring message = L"untouched";
        Errors::GetModuleErrorText(library, 2100, message);
        EXPECT_EQ(message.find(L"table"), std::wstring::npos) << "a planted table was read";
    }
}

TEST_F(ErrorsRouting, NetworkRangeIs2100To2999) {
    EXPECT_EQ(TableText(2100), L"NetMsg table 2100");
    EXPECT_EQ(TableText(2999), L"NetMsg table 2999");
    EXPECT_EQ(TableText(2099), SystemText(2099));
    EXPECT_EQ(TableText(3000), SystemText(3000));
    EXPECT_NE(TableText(2099), L"NetMsg table 2099");
    EXPECT_NE(TableText(3000), L"NetMsg table 3000");
}

TEST_F(ErrorsRouting, InternetRangeIs12000To12171) {
    EXPECT_EQ(TableText(12000), L"WiniNet table 12000");
    EXPECT_EQ(TableText(12171), L"WiniNet table 12171");
    EXPECT_EQ(TableText(11999), SystemText(11999));
    EXPECT_EQ(TableText(12172), SystemText(12172));
    EXPECT_NE(TableText(11999), L"WiniNet table 11999");
    EXPECT_NE(TableText(12172), L"WiniNet table 12172");
}

TEST_F(ErrorsRouting, OtherNumbersUseTheSystemTableAlone) {
    // Both stand-ins know 2, and WiniNet's knows 2100: neither is asked.
    EXPECT_EQ(TableText(2), SystemText(2));
    EXPECT_FALSE(TableText(2).empty());
    EXPECT_EQ(TableText(2100), L"NetMsg table 2100");
}

TEST_F(ErrorsRouting, LibraryComesBeforeTheSystemTable) {
    std::wstring message;
    Errors::GetModuleErrorText(TablesFolder() + L"\\NetMsg.dll", 2, message);
    EXPECT_EQ(message, L"NetMsg table 2\r\n");
    // What the library lacks comes from the system table.
    Errors::GetModuleErrorText(TablesFolder() + L"\\NetMsg.dll", 5, message);
    EXPECT_EQ(message, SystemText(5) + L"\r\n");
    EXPECT_FALSE(SystemText(5).empty());
}

TEST_F(ErrorsRouting, OnlyOneFinalLineBreakGoes) {
    EXPECT_EQ(TableText(2101), L"First line\r\nSecond line");
    EXPECT_EQ(TableText(2103), L"Ends in two line breaks\r\n");
}

TEST_F(ErrorsRouting, InsertsAreNotExpanded) {
    EXPECT_EQ(TableText(2104), L"Share %1 is busy on %2.");
}

TEST_F(ErrorsRouting, LongMessagesAreNotCutShort) {
    std::wstring expected;
    for (int i = 0; i < 70; ++i) {
        wchar_t word[16];
        swprintf(word, 16, L"%sword%03d", i == 0 ? L"" : L" ", i);
        expected += word;
    }
    ASSERT_GT(expected.size(), 256u);
    EXPECT_EQ(TableText(2102), expected);
}

// Mapped files and images in this process's address space.
size_t MappedRegions() {
    size_t count = 0;
    MEMORY_BASIC_INFORMATION info;
    for (const char* at = nullptr; VirtualQuery(at, &info, sizeof info) == sizeof info;
         at = static_cast<const char*>(info.BaseAddress) + info.RegionSize) {
        if ((info.Type == MEM_MAPPED || info.Type == MEM_IMAGE) &&
            info.BaseAddress == info.AllocationBase)
            ++count;
    }
    return count;
}

TEST_F(ErrorsRouting, TheLibraryIsReleasedAfterEachLookup) {
    const size_t before = MappedRegions();
    for (int i = 0; i < 50; ++i)
        ASSERT_EQ(TableText(2100), L"NetMsg table 2100");
    EXPECT_LT(MappedRegions(), before + 10);
}

} // namespace
} // namespace tolv
