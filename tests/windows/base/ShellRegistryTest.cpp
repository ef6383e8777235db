#include "windows/base/Handles.h"
#include "windows/base/ShellRegistry.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using tolv::RegistryView;
using tolv::RegRead;
using tolv::RegWriteDword;

// Each test works below a key of its own and removes it afterwards, in both views.
class ShellRegistryTest : public ::testing::Test {
protected:
    void SetUp() override {
        name_ = L"TolvViewerShellRegistryTest" + std::to_wstring(GetCurrentProcessId());
        classKey_ = L"TolvViewerTests" + std::to_wstring(GetCurrentProcessId());
        DeleteAll();
    }
    void TearDown() override { DeleteAll(); }

    void DeleteAll() {
        RegDeleteTreeW(HKEY_CURRENT_USER, (L"Software\\" + name_).c_str());
        RegDeleteTreeW(HKEY_CLASSES_ROOT, classKey_.c_str());
        for (REGSAM view : {KEY_WOW64_64KEY, KEY_WOW64_32KEY}) {
            tolv::UniqueHkey software;
            if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"SOFTWARE", 0, KEY_ALL_ACCESS | view,
                              software.put()) == ERROR_SUCCESS)
                RegDeleteTreeW(software.get(), name_.c_str());
        }
    }

    // Writes a raw value below HKCU\Software\<name>\<subKey>.
    void Put(const std::wstring& subKey, const wchar_t* valueName, DWORD type, const void* data,
             DWORD size) {
        tolv::UniqueHkey key;
        ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER,
                                  (L"Software\\" + name_ + L"\\" + subKey).c_str(), 0, nullptr, 0,
                                  KEY_SET_VALUE, nullptr, key.put(), nullptr),
                  ERROR_SUCCESS);
        ASSERT_EQ(
            RegSetValueExW(key.get(), valueName, 0, type, static_cast<const BYTE*>(data), size),
            ERROR_SUCCESS);
    }
    void PutDword(const std::wstring& subKey, DWORD value) {
        Put(subKey, nullptr, REG_DWORD, &value, sizeof(value));
    }
    void PutText(const std::wstring& subKey, const wchar_t* valueName, const std::wstring& text,
                 DWORD type = REG_SZ) {
        Put(subKey, valueName, type, text.c_str(),
            static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
    }
    std::wstring Hkcu(const std::wstring& rest) const {
        return L"HKEY_CURRENT_USER\\Software\\" + name_ + L"\\" + rest;
    }
    std::wstring Hklm(const std::wstring& rest) const {
        return L"HKEY_LOCAL_MACHINE\\SOFTWARE\\" + name_ + L"\\" + rest;
    }

    std::wstring name_;
    std::wstring classKey_;
};

TEST_F(ShellRegistryTest, DwordReadsAsSignedDecimalText) {
    const std::vector<std::pair<DWORD, std::wstring>> cases{{0, L"0"},
                                                            {1, L"1"},
                                                            {2, L"2"},
                                                            {0xFFFFFFFF, L"-1"},
                                                            {0x80000000, L"-2147483648"},
                                                            {0x7FFFFFFF, L"2147483647"}};
    for (const auto& [stored, text] : cases) {
        PutDword(L"Key", stored);
        EXPECT_EQ(RegRead(Hkcu(L"Key\\"), RegistryView::Native), text) << stored;
    }
}

TEST_F(ShellRegistryTest, TrailingBackslashReadsTheDefaultValueOtherwiseTheNamedOne) {
    PutText(L"Key", nullptr, L"default");
    PutText(L"Key", L"Named", L"named");
    EXPECT_EQ(RegRead(Hkcu(L"Key\\"), RegistryView::Native), L"default");
    EXPECT_EQ(RegRead(Hkcu(L"Key\\Named"), RegistryView::Native), L"named");
    // Without the backslash, "Key" is a value name in the parent key, which has none.
    EXPECT_EQ(RegRead(Hkcu(L"Key"), RegistryView::Native), std::nullopt);
}

TEST_F(ShellRegistryTest, TextValuesReadAsTheirTextUnexpanded) {
    PutText(L"Sz", nullptr, L"C:\\Program Files\\Fake Browser\\chrome.exe");
    PutText(L"Expand", nullptr, L"%ProgramFiles%\\x.exe", REG_EXPAND_SZ);
    PutText(L"Turkish", nullptr, L"Şule ığüö");
    PutText(L"Empty", nullptr, L"");
    EXPECT_EQ(RegRead(Hkcu(L"Sz\\"), RegistryView::Native),
              L"C:\\Program Files\\Fake Browser\\chrome.exe");
    EXPECT_EQ(RegRead(Hkcu(L"Expand\\"), RegistryView::Native), L"%ProgramFiles%\\x.exe");
    EXPECT_EQ(RegRead(Hkcu(L"Turkish\\"), RegistryView::Native), L"Şule ığüö");
    EXPECT_EQ(RegRead(Hkcu(L"Empty\\"), RegistryView::Native), L"");
}

TEST_F(ShellRegistryTest, TextStoredWithoutTerminatorOrWithAnEmbeddedNulIsCutCleanly) {
    const wchar_t noTerminator[] = {L'a', L'b', L'c'};
    Put(L"NoNul", nullptr, REG_SZ, noTerminator, sizeof(noTerminator));
    const wchar_t embedded[] = L"ab\0cd";
    Put(L"Embedded", nullptr, REG_SZ, embedded, sizeof(embedded));
    EXPECT_EQ(RegRead(Hkcu(L"NoNul\\"), RegistryView::Native), L"abc");
    EXPECT_EQ(RegRead(Hkcu(L"Embedded\\"), RegistryView::Native), L"ab");
}

TEST_F(ShellRegistryTest, LongTextIsReadWhole) {
    std::wstring longText(20000, L'x');
    longText += L"end";
    PutText(L"Long", nullptr, longText);
    EXPECT_EQ(RegRead(Hkcu(L"Long\\"), RegistryView::Native), longText);
}

TEST_F(ShellRegistryTest, BinaryMultiStringAndQwordAreFailedReads) {
    const BYTE bytes[] = {1, 0, 0, 0};
    Put(L"Binary", nullptr, REG_BINARY, bytes, sizeof(bytes));
    const wchar_t multi[] = L"1\0two\0";
    Put(L"Multi", nullptr, REG_MULTI_SZ, multi, sizeof(multi));
    const unsigned long long qword = 1;
    Put(L"Qword", nullptr, REG_QWORD, &qword, sizeof(qword));
    EXPECT_EQ(RegRead(Hkcu(L"Binary\\"), RegistryView::Native), std::nullopt);
    EXPECT_EQ(RegRead(Hkcu(L"Multi\\"), RegistryView::Native), std::nullopt);
    EXPECT_EQ(RegRead(Hkcu(L"Qword\\"), RegistryView::Native), std::nullopt);
}

TEST_F(ShellRegistryTest, MissingKeyOrValueIsAFailedRead) {
    PutText(L"Key", L"Named", L"x"); // the key exists, its default value does not
    EXPECT_EQ(RegRead(Hkcu(L"Key\\"), RegistryView::Native), std::nullopt);
    EXPECT_EQ(RegRead(Hkcu(L"Key\\Other"), RegistryView::Native), std::nullopt);
    EXPECT_EQ(RegRead(Hkcu(L"Missing\\"), RegistryView::Native), std::nullopt);
    EXPECT_EQ(RegRead(Hkcu(L"Missing\\Deeper\\"), RegistryView::Wow64_32), std::nullopt);
}

TEST_F(ShellRegistryTest, RootNamesAndTheirAbbreviationsInAnyCase) {
    PutText(L"Key", nullptr, L"v");
    const std::wstring rest = L"\\Software\\" + name_ + L"\\Key\\";
    for (const wchar_t* root : {L"HKEY_CURRENT_USER", L"HKCU", L"hkcu", L"hkey_current_user"})
        EXPECT_EQ(RegRead(root + rest, RegistryView::Native), L"v") << root;
    for (const wchar_t* root : {L"HKCUX", L"HKEY_CURRENT", L"", L"Software"})
        EXPECT_EQ(RegRead(root + rest, RegistryView::Native), std::nullopt) << root;
    // The classes root, with a key of the test's own.
    const std::wstring& classKey = classKey_;
    ASSERT_EQ(RegSetKeyValueW(HKEY_CLASSES_ROOT, classKey.c_str(), nullptr, REG_SZ, L"c",
                              2 * sizeof(wchar_t)),
              ERROR_SUCCESS);
    EXPECT_EQ(RegRead(L"HKCR\\" + classKey + L"\\", RegistryView::Native), L"c");
    EXPECT_EQ(RegRead(L"HKEY_CLASSES_ROOT\\" + classKey + L"\\", RegistryView::Native), L"c");
    EXPECT_TRUE(RegRead(L"HKLM\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\CurrentVersion",
                        RegistryView::Native)
                    .has_value());
}

TEST_F(ShellRegistryTest, WriteDwordCreatesTheKeysAndStoresTheNumber) {
    ASSERT_EQ(RegWriteDword(Hkcu(L"A\\B\\C\\"), -1, RegistryView::Native), ERROR_SUCCESS);
    DWORD type = 0, data = 0, size = sizeof(data);
    ASSERT_EQ(RegGetValueW(HKEY_CURRENT_USER, (L"Software\\" + name_ + L"\\A\\B\\C").c_str(),
                           nullptr, RRF_RT_ANY, &type, &data, &size),
              ERROR_SUCCESS);
    EXPECT_EQ(type, static_cast<DWORD>(REG_DWORD));
    EXPECT_EQ(data, 0xFFFFFFFFu);
    EXPECT_EQ(RegRead(Hkcu(L"A\\B\\C\\"), RegistryView::Native), L"-1");

    // Writing over a text value replaces it by a DWORD; a named value works too.
    PutText(L"A", nullptr, L"text");
    ASSERT_EQ(RegWriteDword(Hkcu(L"A\\"), 2, RegistryView::Native), ERROR_SUCCESS);
    EXPECT_EQ(RegRead(Hkcu(L"A\\"), RegistryView::Native), L"2");
    ASSERT_EQ(RegWriteDword(Hkcu(L"A\\Count"), 0, RegistryView::Native), ERROR_SUCCESS);
    EXPECT_EQ(RegRead(Hkcu(L"A\\Count"), RegistryView::Native), L"0");
}

TEST_F(ShellRegistryTest, WriteWithoutAKnownRootIsRefused) {
    EXPECT_EQ(RegWriteDword(L"HKXX\\Software\\" + name_ + L"\\Key\\", 1, RegistryView::Native),
              ERROR_INVALID_PARAMETER);
    EXPECT_EQ(RegWriteDword(L"Software\\" + name_ + L"\\Key\\", 1, RegistryView::Native),
              ERROR_INVALID_PARAMETER);
}

TEST_F(ShellRegistryTest, The32BitViewIsSeparateFromTheNativeOne) {
    ASSERT_EQ(RegWriteDword(Hklm(L"Setting\\"), 5, RegistryView::Wow64_32), ERROR_SUCCESS);
    EXPECT_EQ(RegRead(Hklm(L"Setting\\"), RegistryView::Wow64_32), L"5");
    EXPECT_EQ(RegRead(Hklm(L"Setting\\"), RegistryView::Native), std::nullopt);
    // Where 32-bit programs see it from a 64-bit one.
    EXPECT_EQ(
        RegRead(L"HKLM\\SOFTWARE\\Wow6432Node\\" + name_ + L"\\Setting\\", RegistryView::Native),
        L"5");

    ASSERT_EQ(RegWriteDword(Hklm(L"Setting\\"), 7, RegistryView::Native), ERROR_SUCCESS);
    EXPECT_EQ(RegRead(Hklm(L"Setting\\"), RegistryView::Native), L"7");
    EXPECT_EQ(RegRead(Hklm(L"Setting\\"), RegistryView::Wow64_32), L"5");
}

} // namespace
