// The preferences window inside the test process, for what another process
// cannot see: the fonts of the controls and the new layout after a DPI change.

#include "windows/ui/Container.h"

#include "tests/windows/support/TestEnvironment.h"
#include "tests/windows/support/ProgramDriver.h"

#include <gtest/gtest.h>

#include <string>

namespace tolv::test {
namespace {

constexpr wchar_t kLabel1Caption[] = L"İmzalı rapor tolv dosyaları 'TolvViewer' ile "
                                     L"ilişkilendirildi. İmzalı dosya içeriklerini görmek için "
                                     L"üzerlerine çift tıklatın.";

LOGFONTW FontOf(HWND control) {
    LOGFONTW font{};
    auto handle = reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0));
    if (handle == nullptr || GetObjectW(handle, sizeof(font), &font) == 0)
        ADD_FAILURE() << "no font on a control";
    return font;
}

int Px(int twips, int dpi) {
    return MulDiv(twips, dpi, 1440);
}

class ContainerInThisProcess : public ::testing::Test {
protected:
    void SetUp() override {
        SetThreadDpiAwarenessContext(DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2);
    }
    PreferencesBackup preferences_;
};

TEST_F(ContainerInThisProcess, HasTheIconAndTahomaWithTheTurkishCharacterSet) {
    ui::Container container;
    ASSERT_TRUE(container.Show());
    const HWND window = container.Window();
    const int dpi = static_cast<int>(GetDpiForWindow(window));
    // (Wine answers WM_GETICON from another process with nothing, so the
    // icons are checked here.)
    EXPECT_NE(SendMessageW(window, WM_GETICON, ICON_BIG, 0), 0);
    EXPECT_NE(SendMessageW(window, WM_GETICON, ICON_SMALL, 0), 0);
    const std::vector<Control> controls = Controls(window);
    ASSERT_EQ(controls.size(), 10u);
    for (const Control& control : controls) {
        SCOPED_TRACE(control.text);
        const LOGFONTW font = FontOf(control.hwnd);
        EXPECT_STREQ(font.lfFaceName, L"Tahoma");
        EXPECT_EQ(font.lfHeight, -MulDiv(825, dpi, 7200)); // 8.25 pt
        EXPECT_EQ(font.lfCharSet, 162);
        EXPECT_EQ(font.lfWeight, control.text == kLabel1Caption ? FW_BOLD : FW_NORMAL);
    }
}

TEST_F(ContainerInThisProcess, LaysItselfOutAgainWhenTheDpiChanges) {
    ui::Container container;
    ASSERT_TRUE(container.Show());
    const HWND window = container.Window();
    const int dpi = GetDpiForWindow(window) == 144 ? 192 : 144;
    RECT suggested{40, 30, 40 + 700, 30 + 500};
    SendMessageW(window, WM_DPICHANGED, MAKEWPARAM(dpi, dpi), reinterpret_cast<LPARAM>(&suggested));

    // The window itself is still at the old DPI, so its client area is not
    // what it would be: the outer size must be that of the design's client
    // area with the frame of the new DPI.
    RECT expected{0, 0, Px(5730, dpi), Px(3825, dpi)};
    AdjustWindowRectExForDpi(&expected, GetWindowLongW(window, GWL_STYLE), FALSE,
                             GetWindowLongW(window, GWL_EXSTYLE), dpi);
    RECT frame{};
    GetWindowRect(window, &frame);
    EXPECT_EQ(frame.left, suggested.left);
    EXPECT_EQ(frame.top, suggested.top);
    EXPECT_EQ(frame.right - frame.left, expected.right - expected.left);
    EXPECT_EQ(frame.bottom - frame.top, expected.bottom - expected.top);

    const Control label = FindControl(window, kLabel1Caption);
    ASSERT_NE(label.hwnd, nullptr);
    EXPECT_EQ(label.rect.left, Px(210, dpi));
    EXPECT_EQ(label.rect.top, Px(150, dpi));
    EXPECT_EQ(label.rect.right - label.rect.left, Px(5685, dpi));
    EXPECT_EQ(label.rect.bottom - label.rect.top, Px(435, dpi));
    EXPECT_EQ(FontOf(label.hwnd).lfWeight, FW_BOLD);

    // The option keeps its place inside the group box.
    const Control edge = FindControl(window, L"Microsoft Edge");
    ASSERT_NE(edge.hwnd, nullptr);
    EXPECT_EQ(edge.rect.left, Px(180, dpi) + Px(270, dpi));
    EXPECT_EQ(edge.rect.top, Px(840, dpi) + Px(630, dpi));
    EXPECT_EQ(edge.rect.right - edge.rect.left, Px(1995, dpi));
    EXPECT_EQ(FontOf(edge.hwnd).lfHeight, -MulDiv(825, dpi, 7200));

    const Control cancel = FindControl(window, L"&İptal");
    ASSERT_NE(cancel.hwnd, nullptr);
    EXPECT_EQ(cancel.rect.left, Px(4110, dpi));
    EXPECT_EQ(cancel.rect.bottom - cancel.rect.top, Px(365, dpi));
}

} // namespace
} // namespace tolv::test
