#include "core/BrowserCommand.h"

#include <gtest/gtest.h>

namespace {

using tolv::AppValue;
using tolv::BrowserArguments;
using tolv::FileUrl;

std::wstring FrameArguments(const std::wstring& pdf) {
    return BrowserArguments(true, pdf, tolv::kFrameWidth, tolv::kFrameHeight, tolv::kFramePosX,
                            tolv::kFramePosY);
}
std::wstring PlainArguments(const std::wstring& pdf) {
    return BrowserArguments(false, pdf, tolv::kFrameWidth, tolv::kFrameHeight, tolv::kFramePosX,
                            tolv::kFramePosY);
}

TEST(BrowserArgumentsTest, WithoutFrameOneBlankAndTheQuotedPathAsItIs) {
    EXPECT_EQ(PlainArguments(L"C:\\Users\\u\\AppData\\Local\\Temp\\TOL1A2B.tmp"),
              L" \"C:\\Users\\u\\AppData\\Local\\Temp\\TOL1A2B.tmp\"");
    // Here the browser takes a file path, so nothing needs to change.
    EXPECT_EQ(PlainArguments(L"C:\\users\\Şule\\Masaüstü\\a #1%?.Tolv.Pdf"),
              L" \"C:\\users\\Şule\\Masaüstü\\a #1%?.Tolv.Pdf\"");
    EXPECT_EQ(PlainArguments(L""), L" \"\"");
}

TEST(BrowserArgumentsTest, WithFrameTheExactSwitchesAndAPlainAsciiPath) {
    EXPECT_EQ(FrameArguments(L"C:\\users\\user\\Temp\\TOL1A2B.tmp"),
              L" --chrome-frame --window-size=1200,650 --window-position=250,100  "
              L"--app=\"C:\\users\\user\\Temp\\TOL1A2B.tmp\"");
    EXPECT_EQ(BrowserArguments(true, L"C:\\a.pdf", 1, -2, 30, 400),
              L" --chrome-frame --window-size=1,-2 --window-position=30,400  --app=\"C:\\a.pdf\"");
    // Blanks and the other ASCII signs come through the browser's reading intact.
    EXPECT_EQ(AppValue(L"C:\\Users\\Ali Veli\\Desktop\\a&b;(1)!.Tolv.Pdf"),
              L"C:\\Users\\Ali Veli\\Desktop\\a&b;(1)!.Tolv.Pdf");
    EXPECT_EQ(AppValue(L"C:\\Temp\\box.x\\TOLx.tmp"), L"C:\\Temp\\box.x\\TOLx.tmp");
}

TEST(BrowserArgumentsTest, WithFrameAPathTheBrowserWouldMisreadGoesAsAFileUrl) {
    EXPECT_EQ(FrameArguments(L"C:\\users\\Şule\\Temp\\TOL1A2B.tmp"),
              L" --chrome-frame --window-size=1200,650 --window-position=250,100  "
              L"--app=\"file:///C:/users/%C5%9Eule/Temp/TOL1A2B.tmp\"");
    EXPECT_EQ(AppValue(L"C:\\Users\\Ali Veli\\Masaüstü\\a.Tolv.Pdf"),
              L"file:///C:/Users/Ali%20Veli/Masa%C3%BCst%C3%BC/a.Tolv.Pdf");
    EXPECT_EQ(AppValue(L"C:\\r\\a#1.Tolv.Pdf"), L"file:///C:/r/a%231.Tolv.Pdf");
    EXPECT_EQ(AppValue(L"C:\\r\\100%.Tolv.Pdf"), L"file:///C:/r/100%25.Tolv.Pdf");
    EXPECT_EQ(AppValue(L"C:\\r\\why?.Tolv.Pdf"), L"file:///C:/r/why%3F.Tolv.Pdf");
    // Chrome reads "\x" in --app= as an escape.
    EXPECT_EQ(AppValue(L"C:\\Users\\xavier\\TOL1.tmp"), L"file:///C:/Users/xavier/TOL1.tmp");
    EXPECT_EQ(AppValue(L"C:\\X1\\TOL1.tmp"), L"file:///C:/X1/TOL1.tmp");
}

TEST(FileUrlTest, EncodesEverythingAUrlPathCannotHoldAsUtf8) {
    EXPECT_EQ(FileUrl(L"C:\\a b\\[x]{y}|^`<>\"\t.pdf"),
              L"file:///C:/a%20b/%5Bx%5D%7By%7D%7C%5E%60%3C%3E%22%09.pdf");
    EXPECT_EQ(FileUrl(L"C:\\-._~!$&'()*+,;=:@\\f.pdf"), L"file:///C:/-._~!$&'()*+,;=:@/f.pdf");
    EXPECT_EQ(
        FileUrl(L"C:\\çğıöşüÇĞİÖŞÜ"),
        L"file:///C:/%C3%A7%C4%9F%C4%B1%C3%B6%C5%9F%C3%BC%C3%87%C4%9E%C4%B0%C3%96%C5%9E%C3%9C");
    EXPECT_EQ(FileUrl(L"C:\\€\\\U0001F600.pdf"), L"file:///C:/%E2%82%AC/%F0%9F%98%80.pdf");
    EXPECT_EQ(FileUrl(L"C:\\a/b\\c"), L"file:///C:/a/b/c");
}

TEST(FileUrlTest, NetworkAndExtendedPathsKeepTheirHost) {
    EXPECT_EQ(FileUrl(L"\\\\server\\share\\ş.pdf"), L"file://server/share/%C5%9F.pdf");
    EXPECT_EQ(FileUrl(L"\\\\?\\C:\\ş.pdf"), L"file:///C:/%C5%9F.pdf");
    EXPECT_EQ(FileUrl(L"\\\\?\\UNC\\server\\share\\ş.pdf"), L"file://server/share/%C5%9F.pdf");
}

TEST(FileUrlTest, ALoneSurrogateBecomesTheReplacementCharacter) {
    std::wstring path = L"C:\\a";
    path += static_cast<wchar_t>(0xD800);
    path += L".pdf";
    EXPECT_EQ(FileUrl(path), L"file:///C:/a%EF%BF%BD.pdf");
}

} // namespace
