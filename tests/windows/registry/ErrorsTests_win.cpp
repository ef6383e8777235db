// System error texts with the system's own message tables (Wine's when run
// under Wine). Whatever texts the tables hold, each number must be looked up
// where its range says, and only there.

#include "windows/registry/Errors.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <optional>

namespace tolv {
namespace {

// The raw message for `number`, looked up the way each range demands; none
// when the library of the range cannot be loaded.
std::optional<std::wstring> RawMessage(int32_t number, const wchar_t* library) {
    DWORD flags =
        FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_ALLOCATE_BUFFER;
    HMODULE module = nullptr;
    if (library != nullptr) {
        module = LoadLibraryExW(library, nullptr, LOAD_LIBRARY_AS_DATAFILE);
        if (module == nullptr)
            return std::nullopt;
        flags |= FORMAT_MESSAGE_FROM_HMODULE;
    }
    wchar_t* buffer = nullptr;
    DWORD length = FormatMessageW(flags, module, static_cast<DWORD>(number), 0,
                                  reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    std::wstring text = buffer != nullptr ? std::wstring(buffer, length) : L"";
    LocalFree(buffer);
    if (module != nullptr)
        FreeLibrary(module);
    return text;
}

std::wstring SystemMessage(int32_t number) {
    return *RawMessage(number, nullptr);
}

std::wstring WithoutFinalLineBreak(std::wstring text) {
    if (text.size() >= 2 && text.ends_with(L"\r\n"))
        text.resize(text.size() - 2);
    return text;
}

// What the routing demands: the library of the range (then the system's
// table), or the empty text when that library cannot be loaded.
std::wstring Expected(int32_t number, const wchar_t* library) {
    return WithoutFinalLineBreak(RawMessage(number, library).value_or(L""));
}

TEST(GetErrorText, SystemTextLosesItsFinalLineBreakOnly) {
    const std::wstring raw = SystemMessage(2);
    ASSERT_TRUE(raw.ends_with(L"\r\n")) << "the system's text for 2 should end in CR LF";
    const std::wstring text = Errors::GetErrorText(2);
    EXPECT_EQ(text, raw.substr(0, raw.size() - 2));
    EXPECT_FALSE(text.empty());
    EXPECT_EQ(text.find_first_of(L"\r\n"), std::wstring::npos);
}

TEST(GetErrorText, InsertsStayAsTheyAre) {
    // The system's text for 193 names the file with %1; nothing fills it in.
    const std::wstring text = Errors::GetErrorText(193);
    EXPECT_EQ(text, WithoutFinalLineBreak(SystemMessage(193)));
    EXPECT_NE(text.find(L"%1"), std::wstring::npos) << std::string(text.begin(), text.end());
}

TEST(GetErrorText, UnknownNumbersGiveTheEmptyText) {
    for (int32_t number : {99999, 123456, 0x7FFFFFFF, -1})
        EXPECT_EQ(Errors::GetErrorText(number), L"") << number;
}

TEST(GetErrorText, ZeroAndNegativeNumbersGoToTheSystemTable) {
    EXPECT_EQ(Errors::GetErrorText(0), WithoutFinalLineBreak(SystemMessage(0)));
    EXPECT_FALSE(Errors::GetErrorText(0).empty());
    // E_FAIL as a signed number.
    const int32_t fail = static_cast<int32_t>(0x80004005u);
    EXPECT_EQ(Errors::GetErrorText(fail), WithoutFinalLineBreak(SystemMessage(fail)));
    EXPECT_FALSE(Errors::GetErrorText(fail).empty());
}

TEST(GetErrorText, InternetNumbersComeFromWiniNet) {
    // Only WiniNet's own table knows 12002 (time-out): the system's does not.
    ASSERT_TRUE(RawMessage(12002, L"WiniNet.dll")) << "WiniNet.dll cannot be loaded";
    EXPECT_EQ(SystemMessage(12002), L"");
    const std::wstring text = Errors::GetErrorText(12002);
    EXPECT_FALSE(text.empty());
    EXPECT_EQ(text, Expected(12002, L"WiniNet.dll"));
    EXPECT_EQ(Errors::GetErrorText(12029), Expected(12029, L"WiniNet.dll"));
    EXPECT_FALSE(Errors::GetErrorText(12029).empty());
}

TEST(GetErrorText, NetworkNumbersComeFromNetMsgOrNowhere) {
    // 2250 (no such network connection) is in the system's table too; it is
    // read from there only through NetMsg.dll's lookup, so without the library
    // the text is empty.
    ASSERT_FALSE(SystemMessage(2250).empty());
    if (RawMessage(2250, L"NetMsg.dll"))
        EXPECT_EQ(Errors::GetErrorText(2250), Expected(2250, L"NetMsg.dll"));
    else
        EXPECT_EQ(Errors::GetErrorText(2250), L"");
}

TEST(GetModuleErrorText, LeavesTheMessageAloneWhenTheLibraryIsMissing) {
    std::wstring message = L"untouched";
    Errors::GetModuleErrorText(L"NoSuchLibrary.dll", 2, message);
    EXPECT_EQ(message, L"untouched");
}

TEST(GetModuleErrorText, SearchesTheLibraryThenTheSystemAndKeepsTheLineBreak) {
    std::wstring message = L"untouched";
    Errors::GetModuleErrorText(L"WiniNet.dll", 12002, message);
    EXPECT_EQ(message, *RawMessage(12002, L"WiniNet.dll"));
    EXPECT_TRUE(message.ends_with(L"\r\n"));
    // A number only the system knows is found through the same call.
    Errors::GetModuleErrorText(L"WiniNet.dll", 2, message);
    EXPECT_EQ(message, SystemMessage(2));
    // A number nobody knows empties the message.
    Errors::GetModuleErrorText(L"WiniNet.dll", 99999, message);
    EXPECT_EQ(message, L"");
}

} // namespace
} // namespace tolv
