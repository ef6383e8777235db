// The registry class against the real registry, each test in a key of its own.

#include "windows/registry/Register.h"

#include "TestKey_win.h"
#include "windows/registry/Errors.h"

#include <gtest/gtest.h>

#include <cstring>

namespace tolv {

// The class's private operations, for the tests.
struct RegisterTestAccess {
    static LSTATUS ReadValue(Register& reg, HKEY key, const std::wstring& name, RegValue& out) {
        return reg.ReadValue(key, name, out);
    }
};

namespace {

using test::Bytes;
using test::TestKey;
using test::TextBytes;

const std::wstring kParent = L"Software";
// A text with letters outside the ANSI code page: nothing may be lost.
const std::wstring kTurkish = L"Gösterici İçerik ğüşıöç ĞÜŞİÖÇ";

RegValue Text(const std::wstring& text) {
    return RegValue{text};
}

Bytes Dword(uint32_t number) {
    Bytes data(4);
    std::memcpy(data.data(), &number, 4);
    return data;
}

class RegisterTest : public ::testing::Test {
protected:
    // Every wrongly typed kind a caller may meet, written raw.
    void WriteEveryKind() const {
        key.WriteText(L"Sz", REG_SZ, L"abc");
        key.WriteText(L"Expand", REG_EXPAND_SZ, L"%SystemRoot%\\x");
        key.Write(L"Binary", REG_BINARY, {0x41, 0x42});
        key.WriteDword(L"Dword", 7);
        key.Write(L"LongDword", REG_DWORD, {1, 0, 0, 0, 0, 0, 0, 0});
        key.Write(L"Multi", REG_MULTI_SZ, TextBytes(std::wstring(L"a\0b\0", 4)));
        key.Write(L"Qword", REG_QWORD, {1, 2, 3, 4, 5, 6, 7, 8});
        key.Write(L"None", REG_NONE, {9, 9});
    }

    TestKey key{kHkeyCurrentUser, kParent};
    Register reg;
};

// ---- ReadValue ----------------------------------------------------------

class ReadValueTest : public RegisterTest {
protected:
    void SetUp() override {
        ASSERT_EQ(RegOpenKeyExW(key.RootHkey(), key.Path().c_str(), 0, KEY_QUERY_VALUE, &open),
                  ERROR_SUCCESS);
    }
    void TearDown() override { RegCloseKey(open); }
    LSTATUS Read(const std::wstring& name, RegValue& out) {
        return RegisterTestAccess::ReadValue(reg, open, name, out);
    }
    HKEY open = nullptr;
};

TEST_F(ReadValueTest, ReadsTextBinaryAndDword) {
    WriteEveryKind();
    key.WriteText(L"Turkish", REG_SZ, kTurkish);
    key.Write(L"Short", REG_DWORD, {0x01, 0x02});
    key.Write(L"EmptySz", REG_SZ, {});
    key.Write(L"EmptyBinary", REG_BINARY, {});

    RegValue out;
    EXPECT_EQ(Read(L"Sz", out), 0);
    EXPECT_EQ(out, Text(L"abc")); // the stored NUL is dropped
    EXPECT_EQ(Read(L"Turkish", out), 0);
    EXPECT_EQ(out, Text(kTurkish));
    EXPECT_EQ(Read(L"Binary", out), 0);
    EXPECT_EQ(out, Text(L"A")); // the last byte is dropped
    EXPECT_EQ(Read(L"Dword", out), 0);
    EXPECT_EQ(out, RegValue{int32_t{7}});
    EXPECT_EQ(Read(L"Short", out), 0); // fewer bytes fill only the low ones
    EXPECT_EQ(out, RegValue{int32_t{0x0201}});
    EXPECT_EQ(Read(L"EmptySz", out), 0);
    EXPECT_EQ(out, Text(L""));
    EXPECT_EQ(Read(L"EmptyBinary", out), 0);
    EXPECT_EQ(out, Text(L""));
}

TEST_F(ReadValueTest, BinaryBytesBecomeCharactersOfTheAnsiCodePage) {
    if (GetACP() != 1252)
        GTEST_SKIP() << "expects code page 1252, the system has " << GetACP();
    key.Write(L"Binary", REG_BINARY, {0x41, 0x00, 0xE9, 0x80, 0xFF});
    RegValue out;
    EXPECT_EQ(Read(L"Binary", out), 0);
    EXPECT_EQ(out, Text(std::wstring(L"A\0\u00E9\u20AC", 4)));
}

TEST_F(ReadValueTest, UnsupportedTypesLeaveTheOutputAlone) {
    WriteEveryKind();
    for (const wchar_t* name : {L"Expand", L"Multi", L"Qword", L"None"}) {
        RegValue out = Text(L"before");
        EXPECT_EQ(Read(name, out), 0) << name;
        EXPECT_EQ(out, Text(L"before")) << name;
    }
}

TEST_F(ReadValueTest, FailuresGiveStatus2) {
    key.Write(L"LongDword", REG_DWORD, {1, 0, 0, 0, 0, 0, 0, 0});

    // A missing value: the 16-bit 0.
    RegValue out = Text(L"before");
    EXPECT_EQ(Read(L"Missing", out), 2);
    EXPECT_EQ(out, RegValue{int16_t{0}});

    // Without a key handle at all.
    out = Text(L"before");
    EXPECT_EQ(RegisterTestAccess::ReadValue(reg, nullptr, L"Sz", out), 2);
    EXPECT_EQ(out, RegValue{int16_t{0}});

    // A REG_DWORD of more than 4 bytes does not fit: the output stays.
    out = Text(L"before");
    EXPECT_EQ(Read(L"LongDword", out), 2);
    EXPECT_EQ(out, Text(L"before"));
}

// ---- SetValue -----------------------------------------------------------

TEST_F(RegisterTest, SetValueWritesTextsWithOneNul) {
    RegValue value = Text(L"abc");
    EXPECT_TRUE(reg.SetValue(key.Path(), L"Sz", value, REG_SZ, key.Root()));
    EXPECT_EQ(value, Text(L"abc"));
    auto raw = key.Read(L"Sz");
    ASSERT_TRUE(raw);
    EXPECT_EQ(raw->type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(raw->data, TextBytes(L"abc"));

    // A program reading through the ANSI forms sees the bytes 61 62 63 00.
    HKEY open = nullptr;
    ASSERT_EQ(RegOpenKeyExW(key.RootHkey(), key.Path().c_str(), 0, KEY_QUERY_VALUE, &open), 0);
    char ansi[16] = {};
    DWORD size = sizeof ansi;
    EXPECT_EQ(RegQueryValueExA(open, "Sz", nullptr, nullptr, reinterpret_cast<BYTE*>(ansi), &size),
              0);
    RegCloseKey(open);
    EXPECT_EQ(size, 4u);
    EXPECT_EQ(std::string(ansi, size), std::string("abc\0", 4));

    // No letter is lost, and text-like types are stored as UTF-16 too.
    value = Text(kTurkish);
    EXPECT_TRUE(reg.SetValue(key.Path(), L"Turkish", value, REG_SZ, key.Root()));
    EXPECT_EQ(key.Read(L"Turkish")->data, TextBytes(kTurkish));
    value = Text(L"%TEMP%");
    EXPECT_TRUE(reg.SetValue(key.Path(), L"Expand", value, REG_EXPAND_SZ, key.Root()));
    EXPECT_EQ(key.Read(L"Expand")->type, static_cast<DWORD>(REG_EXPAND_SZ));
    EXPECT_EQ(key.Read(L"Expand")->data, TextBytes(L"%TEMP%"));
    // A multi-string gets the text and a single NUL, nothing more.
    value = Text(L"ab");
    EXPECT_TRUE(reg.SetValue(key.Path(), L"Multi", value, REG_MULTI_SZ, key.Root()));
    EXPECT_EQ(key.Read(L"Multi")->type, static_cast<DWORD>(REG_MULTI_SZ));
    EXPECT_EQ(key.Read(L"Multi")->data, TextBytes(L"ab"));
}

TEST_F(RegisterTest, SetValueWritesOtherTypesAsAnsiBytesAndOneNul) {
    RegValue value = Text(L"AB");
    EXPECT_TRUE(reg.SetValue(key.Path(), L"Binary", value, REG_BINARY, key.Root()));
    auto raw = key.Read(L"Binary");
    ASSERT_TRUE(raw);
    EXPECT_EQ(raw->type, static_cast<DWORD>(REG_BINARY));
    EXPECT_EQ(raw->data, (Bytes{0x41, 0x42, 0x00}));

    // The type code is passed through unchanged; integers go as their digits.
    value = RegValue{int32_t{-5}};
    EXPECT_TRUE(reg.SetValue(key.Path(), L"Qword", value, REG_QWORD, key.Root()));
    EXPECT_EQ(key.Read(L"Qword")->type, static_cast<DWORD>(REG_QWORD));
    EXPECT_EQ(key.Read(L"Qword")->data, (Bytes{'-', '5', 0}));
    EXPECT_EQ(value, RegValue{int32_t{-5}});
    value = RegValue{};
    EXPECT_TRUE(reg.SetValue(key.Path(), L"None", value, REG_NONE, key.Root()));
    EXPECT_EQ(key.Read(L"None")->data, (Bytes{0}));
    value = Text(L"x");
    EXPECT_TRUE(reg.SetValue(key.Path(), L"Odd", value, 0x1234, key.Root()));
    EXPECT_EQ(key.Read(L"Odd")->type, 0x1234u);

    if (GetACP() == 1252) {
        value = Text(L"é€");
        EXPECT_TRUE(reg.SetValue(key.Path(), L"Ansi", value, REG_BINARY, key.Root()));
        EXPECT_EQ(key.Read(L"Ansi")->data, (Bytes{0xE9, 0x80, 0x00}));
    }
}

TEST_F(RegisterTest, SetValueDwordConvertsTheCallersValue) {
    RegValue value = Text(L"12");
    EXPECT_TRUE(reg.SetValue(key.Path(), L"N", value, REG_DWORD, key.Root()));
    EXPECT_EQ(value, RegValue{int32_t{12}});
    EXPECT_EQ(key.Read(L"N")->type, static_cast<DWORD>(REG_DWORD));
    EXPECT_EQ(key.Read(L"N")->data, Dword(12));

    value = Text(L"-1");
    EXPECT_TRUE(reg.SetValue(key.Path(), L"N", value, REG_DWORD, key.Root()));
    EXPECT_EQ(key.Read(L"N")->data, Dword(0xFFFFFFFF));
    value = RegValue{int16_t{-2}};
    EXPECT_TRUE(reg.SetValue(key.Path(), L"N", value, REG_DWORD, key.Root()));
    EXPECT_EQ(value, RegValue{int32_t{-2}});
    EXPECT_EQ(key.Read(L"N")->data, Dword(0xFFFFFFFE));
    value = RegValue{};
    EXPECT_TRUE(reg.SetValue(key.Path(), L"N", value, REG_DWORD, key.Root()));
    EXPECT_EQ(value, RegValue{int32_t{0}});
    EXPECT_EQ(key.Read(L"N")->data, Dword(0));
}

TEST_F(RegisterTest, SetValueWritesNothingForATextThatIsNoNumber) {
    for (const wchar_t* bad : {L"abc", L"2147483648", L""}) {
        RegValue value = Text(bad);
        EXPECT_FALSE(reg.SetValue(key.Path(), L"N", value, REG_DWORD, key.Root())) << bad;
        EXPECT_EQ(value, Text(bad));
        EXPECT_FALSE(key.Read(L"N")) << bad;
    }
}

TEST_F(RegisterTest, SetValueCreatesMissingKeysAndUsesTheDefaultValue) {
    RegValue value = Text(L"top");
    EXPECT_TRUE(reg.SetValue(key.Sub(L"a\\b\\c"), L"", value, REG_SZ, key.Root()));
    auto raw = key.Read(L"", L"a\\b\\c");
    ASSERT_TRUE(raw);
    EXPECT_EQ(raw->data, TextBytes(L"top"));
}

TEST_F(RegisterTest, SetValueReportsAFailedWrite) {
    RegValue value = Text(L"x");
    // No such root: the key cannot be created and the write fails.
    EXPECT_FALSE(reg.SetValue(key.Path(), L"N", value, REG_SZ, 0));
    // A value name longer than the registry allows.
    EXPECT_FALSE(reg.SetValue(key.Path(), std::wstring(20000, L'n'), value, REG_SZ, key.Root()));
    EXPECT_EQ(key.ValueCount(), 0u);
}

// ---- GetValue -----------------------------------------------------------

TEST_F(RegisterTest, GetValueOfEveryKind) {
    WriteEveryKind();
    const RegValue def = Text(L"default");
    auto get = [&](const wchar_t* name) {
        RegValue d = def;
        return reg.GetValue(key.Path(), name, d, REG_SZ, key.Root(), false);
    };
    EXPECT_EQ(get(L"Sz"), Text(L"abc"));
    EXPECT_EQ(get(L"Binary"), Text(L"A"));
    EXPECT_EQ(get(L"Dword"), RegValue{int32_t{7}});
    // Unsupported types read as empty, not as the default.
    EXPECT_EQ(get(L"Expand"), RegValue{});
    EXPECT_EQ(get(L"Multi"), RegValue{});
    EXPECT_EQ(get(L"Qword"), RegValue{});
    EXPECT_EQ(get(L"None"), RegValue{});
    // A REG_DWORD too long to read gives the default.
    EXPECT_EQ(get(L"LongDword"), def);
    EXPECT_EQ(get(L"Missing"), def);
}

TEST_F(RegisterTest, GetValueWithoutCreateWritesNothing) {
    RegValue def = Text(L"12");
    EXPECT_EQ(reg.GetValue(key.Path(), L"N", def, REG_DWORD, key.Root(), false), Text(L"12"));
    EXPECT_EQ(def, Text(L"12"));
    EXPECT_EQ(key.ValueCount(), 0u);

    // Nor does it create a missing key.
    EXPECT_EQ(reg.GetValue(key.Sub(L"Missing"), L"N", def, REG_DWORD, key.Root(), false),
              Text(L"12"));
    EXPECT_FALSE(key.Exists(L"Missing"));
}

TEST_F(RegisterTest, GetValueWithCreateWritesTheDefaultInItsFormat) {
    // Format REG_DWORD: the default becomes the integer, written and returned.
    RegValue def = Text(L"12");
    EXPECT_EQ(reg.GetValue(key.Sub(L"New"), L"N", def, REG_DWORD, key.Root(), true),
              RegValue{int32_t{12}});
    EXPECT_EQ(def, RegValue{int32_t{12}});
    auto raw = key.Read(L"N", L"New");
    ASSERT_TRUE(raw);
    EXPECT_EQ(raw->type, static_cast<DWORD>(REG_DWORD));
    EXPECT_EQ(raw->data, Dword(12));

    // Format REG_SZ: the integer is written as its digits; the default keeps its kind.
    def = RegValue{int32_t{7}};
    EXPECT_EQ(reg.GetValue(key.Path(), L"S", def, REG_SZ, key.Root(), true), RegValue{int32_t{7}});
    EXPECT_EQ(key.Read(L"S")->data, TextBytes(L"7"));

    // A value that was read is returned and nothing is written.
    key.WriteText(L"Present", REG_SZ, L"kept");
    def = Text(L"other");
    EXPECT_EQ(reg.GetValue(key.Path(), L"Present", def, REG_SZ, key.Root(), true), Text(L"kept"));
    EXPECT_EQ(key.Read(L"Present")->data, TextBytes(L"kept"));
}

TEST_F(RegisterTest, GetValueWithCreateOnWronglyTypedValues) {
    WriteEveryKind();
    // An unsupported type reads fine (empty): nothing is written over it.
    RegValue def = Text(L"d");
    EXPECT_EQ(reg.GetValue(key.Path(), L"Expand", def, REG_SZ, key.Root(), true), RegValue{});
    EXPECT_EQ(key.Read(L"Expand")->type, static_cast<DWORD>(REG_EXPAND_SZ));
    // A REG_DWORD too long to read counts as missing and is replaced.
    def = Text(L"5");
    EXPECT_EQ(reg.GetValue(key.Path(), L"LongDword", def, REG_DWORD, key.Root(), true),
              RegValue{int32_t{5}});
    EXPECT_EQ(key.Read(L"LongDword")->data, Dword(5));
}

TEST_F(RegisterTest, GetValueWithCreateWhenTheDefaultCannotBeWritten) {
    // The conversion fails, nothing is written, and the default comes back unchanged.
    RegValue def = Text(L"no number");
    EXPECT_EQ(reg.GetValue(key.Path(), L"N", def, REG_DWORD, key.Root(), true), Text(L"no number"));
    EXPECT_EQ(key.ValueCount(), 0u); // Not even a missing key is created for it.
    EXPECT_EQ(reg.GetValue(key.Sub(L"New"), L"N", def, REG_DWORD, key.Root(), true),
              Text(L"no number"));
    EXPECT_FALSE(key.Exists(L"New"));
}

// ---- KeyIsExist ---------------------------------------------------------

TEST_F(RegisterTest, KeyIsExistAnswersWhetherTheValueCanBeRead) {
    WriteEveryKind();
    for (const wchar_t* name : {L"Sz", L"Binary", L"Dword", L"Expand", L"Multi", L"Qword", L"None"})
        EXPECT_TRUE(reg.KeyIsExist(key.Path(), name, REG_SZ, key.Root())) << name;
    EXPECT_FALSE(reg.KeyIsExist(key.Path(), L"LongDword", REG_SZ, key.Root()));
    EXPECT_FALSE(reg.KeyIsExist(key.Path(), L"Missing", REG_SZ, key.Root()));
    EXPECT_FALSE(reg.KeyIsExist(key.Sub(L"Missing"), L"", REG_SZ, key.Root()));
    // Never creates anything, whatever the format.
    EXPECT_FALSE(reg.KeyIsExist(key.Sub(L"Missing"), L"N", REG_DWORD, key.Root()));
    EXPECT_FALSE(key.Exists(L"Missing"));
}

TEST_F(RegisterTest, KeyIsExistOnTheDefaultValue) {
    EXPECT_FALSE(reg.KeyIsExist(key.Path(), L"", kHkeyClassesRoot, key.Root()));
    key.WriteText(L"", REG_SZ, L"Viewer.Exe");
    EXPECT_TRUE(reg.KeyIsExist(key.Path(), L"", kHkeyClassesRoot, key.Root()));
}

TEST_F(RegisterTest, KeyIsExistTakesTheStoredMarkerForMissing) {
    key.WriteDword(L"Marker", 0xFFEDCBAA);
    EXPECT_FALSE(reg.KeyIsExist(key.Path(), L"Marker", REG_SZ, key.Root()));
    key.WriteDword(L"Near", 0xFFEDCBAB);
    EXPECT_TRUE(reg.KeyIsExist(key.Path(), L"Near", REG_SZ, key.Root()));
    // A text holding the marker's digits was read: it exists.
    key.WriteText(L"Digits", REG_SZ, L"-1193046");
    EXPECT_TRUE(reg.KeyIsExist(key.Path(), L"Digits", REG_SZ, key.Root()));
}

// ---- QueryValue ---------------------------------------------------------

TEST_F(RegisterTest, QueryValueGivesTheTextForm) {
    WriteEveryKind();
    key.WriteDword(L"AllBits", 0xFFFFFFFF);
    key.WriteText(L"Turkish", REG_SZ, kTurkish);
    key.WriteText(L"", REG_SZ, L"default value");
    EXPECT_EQ(reg.QueryValue(key.Root(), key.Path(), L"Sz"), L"abc");
    EXPECT_EQ(reg.QueryValue(key.Root(), key.Path(), L"Turkish"), kTurkish);
    EXPECT_EQ(reg.QueryValue(key.Root(), key.Path(), L""), L"default value");
    EXPECT_EQ(reg.QueryValue(key.Root(), key.Path(), L"Binary"), L"A");
    EXPECT_EQ(reg.QueryValue(key.Root(), key.Path(), L"Dword"), L"7");
    EXPECT_EQ(reg.QueryValue(key.Root(), key.Path(), L"AllBits"), L"-1");
    for (const wchar_t* name : {L"Expand", L"Multi", L"Qword", L"None", L"LongDword"})
        EXPECT_EQ(reg.QueryValue(key.Root(), key.Path(), name), L"") << name;
}

TEST_F(RegisterTest, QueryValueOfWhatCannotBeReadIsZero) {
    EXPECT_EQ(reg.QueryValue(key.Root(), key.Path(), L"Missing"), L"0");
    EXPECT_EQ(reg.QueryValue(key.Root(), key.Sub(L"Missing"), L""), L"0");
    EXPECT_FALSE(key.Exists(L"Missing"));
}

// ---- GetAllKeyValues ----------------------------------------------------
// Lines come in the registry's enumeration order: creation order on Windows,
// sorted by name under Wine. The names below sort in creation order.

TEST_F(RegisterTest, GetAllKeyValuesListsNameTabDataLines) {
    key.WriteText(L"Path", REG_SZ, L"abc");
    key.WriteDword(L"Size", 1);
    EXPECT_EQ(reg.GetAllKeyValues(key.Root(), key.Path()),
              std::wstring(L"Path\tabc\r\nSize\t\x01\0\0\r\n", 20));
}

TEST_F(RegisterTest, GetAllKeyValuesDropsTheLastByteOfEveryKind) {
    key.WriteText(L"", REG_SZ, kTurkish);
    key.WriteText(L"A Expand", REG_EXPAND_SZ, L"%TEMP%");
    key.Write(L"B Multi", REG_MULTI_SZ, TextBytes(std::wstring(L"a\0b\0", 4)));
    key.Write(L"C Binary", REG_BINARY, {0x41, 0x00, 0x42, 0x43});
    key.Write(L"D Qword", REG_QWORD, {0x31, 0x32, 0, 0, 0, 0, 0, 0x33});
    key.Write(L"E LongDword", REG_DWORD, {0x31, 0, 0, 0, 0x32});
    key.Write(L"F Empty", REG_BINARY, {});
    const std::wstring expected = L"\t" + kTurkish + L"\r\n" + L"A Expand\t%TEMP%\r\n" +
                                  std::wstring(L"B Multi\ta\0b\0\r\n", 14) +
                                  std::wstring(L"C Binary\tA\0B\r\n", 14) +
                                  std::wstring(L"D Qword\t12\0\0\0\0\0\r\n", 17) +
                                  std::wstring(L"E LongDword\t1\0\0\0\r\n", 18) + L"F Empty\t\r\n";
    EXPECT_EQ(reg.GetAllKeyValues(key.Root(), key.Path()), expected);
}

TEST_F(RegisterTest, GetAllKeyValuesOfAMissingOrEmptyKeyIsEmpty) {
    EXPECT_EQ(reg.GetAllKeyValues(key.Root(), key.Path()), L"");
    EXPECT_EQ(reg.GetAllKeyValues(key.Root(), key.Sub(L"Missing")), L"");
    EXPECT_FALSE(key.Exists(L"Missing"));
}

TEST_F(RegisterTest, GetAllKeyValuesStopsAtANameThatDoesNotFit) {
    const std::wstring fits = L"B" + std::wstring(1022, L'n'); // 1023 characters
    key.WriteText(L"A First", REG_SZ, L"1");
    key.WriteText(fits, REG_SZ, L"2");
    key.WriteText(L"C" + std::wstring(1023, L'n'), REG_SZ, L"3"); // 1024 characters
    key.WriteText(L"D Last", REG_SZ, L"4");
    EXPECT_EQ(reg.GetAllKeyValues(key.Root(), key.Path()), L"A First\t1\r\n" + fits + L"\t2\r\n");
}

TEST_F(RegisterTest, GetAllKeyValuesStopsAtDataThatDoesNotFit) {
    key.Write(L"A Bin1024", REG_BINARY, Bytes(1024, 0x41));
    key.WriteText(L"B Sz1023", REG_SZ, std::wstring(1023, L'b')); // 1024 bytes with its NUL
    key.Write(L"C Bin1025", REG_BINARY, Bytes(1025, 0x43));
    key.WriteText(L"D Last", REG_SZ, L"4");
    EXPECT_EQ(reg.GetAllKeyValues(key.Root(), key.Path()),
              L"A Bin1024\t" + std::wstring(1023, L'A') + L"\r\nB Sz1023\t" +
                  std::wstring(1023, L'b') + L"\r\n");

    // Text is measured by its bytes in the ANSI code page: 1024 characters and
    // the NUL do not fit.
    TestKey other{kHkeyCurrentUser, kParent};
    other.WriteText(L"A Sz1024", REG_SZ, std::wstring(1024, L'b'));
    other.WriteText(L"B Last", REG_SZ, L"4");
    EXPECT_EQ(reg.GetAllKeyValues(other.Root(), other.Path()), L"");
}

// ---- CreateNewKey, DeleteKey, DeleteValue (no message) ------------------

TEST_F(RegisterTest, CreateNewKeyCreatesThePathAndAcceptsAnExistingKey) {
    EXPECT_TRUE(reg.CreateNewKey(key.Sub(L"x\\y"), key.Root()));
    EXPECT_TRUE(key.Exists(L"x\\y"));
    EXPECT_TRUE(reg.CreateNewKey(key.Sub(L"x\\y"), key.Root()));
    EXPECT_FALSE(reg.CreateNewKey(key.Sub(L"z"), 0));
    EXPECT_FALSE(key.Exists(L"z"));
}

TEST_F(RegisterTest, DeleteKeyRemovesALeafKeyOnly) {
    ASSERT_TRUE(reg.CreateNewKey(key.Sub(L"x\\y"), key.Root()));
    EXPECT_FALSE(reg.DeleteKey(key.Sub(L"x"), key.Root(), false)); // has a sub-key
    EXPECT_TRUE(key.Exists(L"x"));
    EXPECT_TRUE(reg.DeleteKey(key.Sub(L"x\\y"), key.Root(), false));
    EXPECT_FALSE(key.Exists(L"x\\y"));
    EXPECT_TRUE(reg.DeleteKey(key.Sub(L"x"), key.Root(), false));
    EXPECT_FALSE(key.Exists(L"x"));
    EXPECT_FALSE(reg.DeleteKey(key.Sub(L"x"), key.Root(), false)); // gone already
}

TEST_F(RegisterTest, DeleteValueRemovesOneValue) {
    WriteEveryKind();
    key.WriteText(L"", REG_SZ, L"default");
    EXPECT_TRUE(reg.DeleteValue(key.Path(), L"Sz", key.Root(), false));
    EXPECT_FALSE(key.Read(L"Sz"));
    EXPECT_TRUE(key.Read(L"Binary"));
    EXPECT_TRUE(reg.DeleteValue(key.Path(), L"", key.Root(), false));
    EXPECT_FALSE(key.Read(L""));
    EXPECT_FALSE(reg.DeleteValue(key.Path(), L"Sz", key.Root(), false));
    EXPECT_FALSE(reg.DeleteValue(key.Sub(L"Missing"), L"Binary", key.Root(), false));
    EXPECT_TRUE(key.Read(L"Binary"));
}

TEST_F(RegisterTest, SysErrorToStringIsTheSystemText) {
    EXPECT_EQ(reg.SysErrorToString(2), Errors::GetErrorText(2));
    EXPECT_FALSE(reg.SysErrorToString(2).empty());
    EXPECT_EQ(reg.SysErrorToString(12002), Errors::GetErrorText(12002));
}

// ---- The two roots the program passes -----------------------------------

TEST(RegisterRoots, LocalMachineAndClassesRootNumbersReachTheirKeys) {
    Register reg;
    for (auto [root, parent] :
         {std::pair{kHkeyLocalMachine, L"SOFTWARE"}, std::pair{kHkeyClassesRoot, L""}}) {
        TestKey key{root, parent};
        RegValue value = Text(L"here");
        EXPECT_TRUE(reg.SetValue(key.Path(), L"", value, REG_SZ, root));
        // Checked through the system's own predefined handle.
        HKEY system = root == kHkeyLocalMachine ? HKEY_LOCAL_MACHINE : HKEY_CLASSES_ROOT;
        wchar_t data[16] = {};
        DWORD size = sizeof data;
        EXPECT_EQ(
            RegGetValueW(system, key.Path().c_str(), nullptr, RRF_RT_REG_SZ, nullptr, data, &size),
            ERROR_SUCCESS);
        EXPECT_STREQ(data, L"here");
        EXPECT_TRUE(reg.KeyIsExist(key.Path(), L"", REG_SZ, root));
        EXPECT_EQ(reg.QueryValue(root, key.Path(), L""), L"here");
    }
}

} // namespace
} // namespace tolv
