// The preferences window of the real program, started in setup mode and
// driven from this process: its controls, loading and storing the settings,
// the keyboard, the About box and a failed save.

#include "windows/base/MessageBox.h"
#include "windows/base/StringConvert.h"
#include "tests/windows/support/MessageBoxWatcher.h"
#include "tests/windows/support/ScreenCapture.h"
#include "tests/windows/support/TestEnvironment.h"
#include "tests/windows/support/ProgramDriver.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace tolv::test {
namespace {

constexpr wchar_t kLabel1[] = L"İmzalı rapor tolv dosyaları 'TolvViewer' ile ilişkilendirildi. "
                              L"İmzalı dosya içeriklerini görmek için üzerlerine çift tıklatın.";
constexpr wchar_t kFrame1[] = L"PDF Gösterimi Kullanılacak Tarayıcı";
constexpr wchar_t kChrome[] = L"Google Chrome";
constexpr wchar_t kEdge[] = L"Microsoft Edge";
constexpr wchar_t kSavePdf[] = L"Çıktı dosyasını masaüstünde PDF olarak oluştur";
constexpr wchar_t kFrame[] = L"Ayrı çerçevede göster";
constexpr wchar_t kAbout[] = L"&Hakkında";
constexpr wchar_t kSave[] = L"&Kaydet";
constexpr wchar_t kCancel[] = L"&İptal";

constexpr wchar_t kBrowserSetting[] = L"Browser";
constexpr wchar_t kSavePdfSetting[] = L"SavePDF";
constexpr wchar_t kFrameSetting[] = L"Frame";

constexpr LONG kStatic = -1;

// The design in twips; the options are placed relative to Frame1.
struct Design {
    const wchar_t* caption;
    const wchar_t* className;
    LONG buttonType;
    int left, top, width, height;
    bool insideFrame1;
};
constexpr Design kDesign[] = {
    {kLabel1, L"Static", kStatic, 210, 150, 5685, 435, false},
    {kFrame1, L"Button", BS_GROUPBOX, 180, 840, 5085, 1095, false},
    {kChrome, L"Button", BS_AUTORADIOBUTTON, 270, 300, 3285, 285, true},
    {kEdge, L"Button", BS_AUTORADIOBUTTON, 270, 630, 1995, 285, true},
    {kSavePdf, L"Button", BS_3STATE, 210, 2040, 4605, 225, false},
    {kFrame, L"Button", BS_3STATE, 210, 2310, 3825, 285, false},
    {L"", L"Button", BS_GROUPBOX, 0, 2760, 6000, 130, false},
    {kAbout, L"Button", BS_PUSHBUTTON, 1470, 3180, 1200, 365, false},
    {kSave, L"Button", BS_DEFPUSHBUTTON, 2790, 3180, 1200, 365, false},
    {kCancel, L"Button", BS_PUSHBUTTON, 4110, 3180, 1200, 365, false},
};

int Px(int twips, UINT dpi) {
    return static_cast<int>(std::lround(twips * static_cast<double>(dpi) / 1440.0));
}

HWND Find(HWND window, const wchar_t* caption) {
    HWND control = FindControl(window, caption).hwnd;
    EXPECT_NE(control, nullptr) << "no control captioned " << WideToUtf8(caption);
    return control;
}

// A click that returns when the program has handled it.
void Click(HWND control) {
    DWORD_PTR ignored = 0;
    SendMessageTimeoutW(control, BM_CLICK, 0, 0, SMTO_ABORTIFHUNG, 5000, &ignored);
}

// A click on a button that ends the program or opens a box: not waited for.
void PostClick(HWND control) {
    PostMessageW(control, BM_CLICK, 0, 0);
}

struct Shown {
    int chrome, edge, savePdf, frame;
    bool operator==(const Shown&) const = default;
};
std::ostream& operator<<(std::ostream& out, const Shown& shown) {
    return out << "{chrome " << shown.chrome << ", edge " << shown.edge << ", savePdf "
               << shown.savePdf << ", frame " << shown.frame << "}";
}

Shown ReadShown(HWND window) {
    return {CheckState(Find(window, kChrome)), CheckState(Find(window, kEdge)),
            CheckState(Find(window, kSavePdf)), CheckState(Find(window, kFrame))};
}

bool NothingStored() {
    return !ReadSetting(kBrowserSetting) && !ReadSetting(kSavePdfSetting) &&
           !ReadSetting(kFrameSetting);
}

std::wstring TrimEnd(std::wstring text) {
    while (!text.empty() && (text.back() == L'\r' || text.back() == L'\n' || text.back() == L' '))
        text.pop_back();
    return text;
}

std::wstring SystemText(DWORD error) {
    wchar_t* buffer = nullptr;
    FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_ALLOCATE_BUFFER |
                       FORMAT_MESSAGE_IGNORE_INSERTS,
                   nullptr, error, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    std::wstring text = buffer != nullptr ? buffer : L"";
    LocalFree(buffer);
    return TrimEnd(text);
}

std::vector<std::wstring> Lines(const std::wstring& text) {
    std::vector<std::wstring> lines;
    size_t start = 0;
    for (size_t end; (end = text.find(L"\r\n", start)) != std::wstring::npos; start = end + 2)
        lines.push_back(text.substr(start, end - start));
    lines.push_back(text.substr(start));
    return lines;
}

// A key of the preferences that the program cannot create keys below: the
// registry refuses a stable key under a volatile one.
void MakeSettingsKeyVolatile(std::initializer_list<const wchar_t*> existingSettings) {
    std::wstring path = std::wstring(kPreferencesKey) + L"\\CurrentVersion";
    UniqueHkey key;
    ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, REG_OPTION_VOLATILE,
                              KEY_ALL_ACCESS | KEY_WOW64_32KEY, nullptr, key.put(), nullptr),
              ERROR_SUCCESS);
    for (const wchar_t* setting : existingSettings) {
        UniqueHkey child;
        ASSERT_EQ(RegCreateKeyExW(key.get(), setting, 0, nullptr, REG_OPTION_VOLATILE,
                                  KEY_ALL_ACCESS | KEY_WOW64_32KEY, nullptr, child.put(), nullptr),
                  ERROR_SUCCESS);
    }
}

class PreferencesWindow : public ::testing::Test {
protected:
    // Starts the program and waits for its window.
    HWND Open() {
        run_ = std::make_unique<ProgramRun>();
        HWND window = run_->WaitForWindow();
        EXPECT_NE(window, nullptr) << "the preferences window did not appear";
        return window;
    }
    ProgramRun& Run() { return *run_; }

    AssociationBackup association_;
    PreferencesBackup preferences_;
    std::unique_ptr<ProgramRun> run_;
};

TEST_F(PreferencesWindow, ShowsEveryControlOfTheDesignAtTheDisplayDpi) {
    HWND window = Open();
    ASSERT_NE(window, nullptr);
    const UINT dpi = GetDpiForWindow(window);

    RECT client{};
    GetClientRect(window, &client);
    EXPECT_EQ(client.right, Px(5730, dpi));
    EXPECT_EQ(client.bottom, Px(3825, dpi));

    const LONG style = GetWindowLongW(window, GWL_STYLE);
    EXPECT_TRUE(style & WS_SYSMENU) << "the title bar needs its close button";
    EXPECT_FALSE(style & WS_MINIMIZEBOX);
    EXPECT_FALSE(style & WS_MAXIMIZEBOX);
    EXPECT_EQ(GetWindow(window, GW_OWNER), nullptr);

    // Centred on the screen.
    RECT frame{};
    GetWindowRect(window, &frame);
    EXPECT_NEAR(frame.left + frame.right, GetSystemMetrics(SM_CXSCREEN), 1);
    EXPECT_NEAR(frame.top + frame.bottom, GetSystemMetrics(SM_CYSCREEN), 1);

    const std::vector<Control> controls = Controls(window);
    EXPECT_EQ(controls.size(), std::size(kDesign));
    for (const Design& design : kDesign) {
        SCOPED_TRACE(WideToUtf8(design.caption));
        const Control* control = nullptr;
        for (const Control& candidate : controls)
            if (candidate.text == design.caption && candidate.className == design.className)
                control = &candidate;
        ASSERT_NE(control, nullptr);
        EXPECT_TRUE(control->style & WS_VISIBLE);
        if (design.buttonType != kStatic) {
            EXPECT_EQ(control->style & BS_TYPEMASK, design.buttonType);
        }
        const int originX = design.insideFrame1 ? Px(180, dpi) : 0;
        const int originY = design.insideFrame1 ? Px(840, dpi) : 0;
        EXPECT_EQ(control->rect.left, originX + Px(design.left, dpi));
        EXPECT_EQ(control->rect.top, originY + Px(design.top, dpi));
        EXPECT_EQ(control->rect.right - control->rect.left, Px(design.width, dpi));
        EXPECT_EQ(control->rect.bottom - control->rect.top, Px(design.height, dpi));
    }

    // Nothing stored: Google Chrome, both boxes unchecked; focus on the first
    // box; Save is the default button.
    EXPECT_EQ(ReadShown(window), (Shown{BST_CHECKED, BST_UNCHECKED, BST_UNCHECKED, BST_UNCHECKED}));
    EXPECT_EQ(FocusOf(window), Find(window, kSavePdf));
    const LRESULT defaultId = SendMessageW(window, DM_GETDEFID, 0, 0);
    ASSERT_EQ(HIWORD(defaultId), DC_HASDEFID);
    EXPECT_EQ(GetDlgItem(window, LOWORD(defaultId)), Find(window, kSave));
    EXPECT_TRUE(FindMessageBoxes(Run().Id()).empty()) << "loading shows no message";

    // A picture for people to look at.
    const std::filesystem::path artifacts = BesideTestExe(L"artifacts");
    std::filesystem::create_directories(artifacts);
    EXPECT_TRUE(SaveWindowBitmap(window, (artifacts / L"preferences.bmp").wstring()));

    PostMessageW(window, WM_CLOSE, 0, 0);
    EXPECT_EQ(Run().WaitForExit(), 0u);
}

TEST_F(PreferencesWindow, LaysOutForAHigherDisplayDpi) {
    // Wine takes each new process's DPI from this value.
    constexpr DWORD kDpi = 144;
    const wchar_t* desktop = L"Control Panel\\Desktop";
    ASSERT_EQ(
        RegSetKeyValueW(HKEY_CURRENT_USER, desktop, L"LogPixels", REG_DWORD, &kDpi, sizeof(kDpi)),
        ERROR_SUCCESS);
    HWND window = Open();
    RegDeleteKeyValueW(HKEY_CURRENT_USER, desktop, L"LogPixels");
    ASSERT_NE(window, nullptr);

    RECT client{};
    GetClientRect(window, &client);
    EXPECT_EQ(client.right, Px(5730, kDpi));
    EXPECT_EQ(client.bottom, Px(3825, kDpi));
    const Control edge = FindControl(window, kEdge);
    EXPECT_EQ(edge.rect.left, Px(180, kDpi) + Px(270, kDpi));
    EXPECT_EQ(edge.rect.top, Px(840, kDpi) + Px(630, kDpi));
    const Control save = FindControl(window, kSave);
    EXPECT_EQ(save.rect.left, Px(2790, kDpi));
    EXPECT_EQ(save.rect.bottom - save.rect.top, Px(365, kDpi));
    PostMessageW(window, WM_CLOSE, 0, 0);
    EXPECT_EQ(Run().WaitForExit(), 0u);
}

TEST_F(PreferencesWindow, LoadsWhatIsStoredAndStopsAtTheFirstSettingItCannotShow) {
    struct Case {
        const char* name;
        std::function<void()> store;
        Shown shown;
    };
    const int on = BST_CHECKED, off = BST_UNCHECKED, grey = BST_INDETERMINATE;
    const Case cases[] = {
        {"nothing stored", [] {}, {on, off, off, off}},
        {"Edge as all bits set",
         [] {
             StoreDword(kBrowserSetting, 0xFFFFFFFF);
             StoreDword(kSavePdfSetting, 1);
             StoreDword(kFrameSetting, 0);
         },
         {off, on, on, off}},
        {"Edge as 1",
         [] {
             StoreDword(kBrowserSetting, 1);
             StoreDword(kSavePdfSetting, 0);
             StoreDword(kFrameSetting, 1);
         },
         {off, on, off, on}},
        {"Chrome as 0",
         [] {
             StoreDword(kBrowserSetting, 0);
             StoreDword(kSavePdfSetting, 1);
             StoreDword(kFrameSetting, 1);
         },
         {on, off, on, on}},
        {"texts: no number, and halves rounded to even",
         [] {
             StoreText(kBrowserSetting, L"abc");
             StoreText(kSavePdfSetting, L" 0.5");
             StoreText(kFrameSetting, L"1.5");
         },
         {on, off, off, grey}},
        {"text starting with a number",
         [] {
             StoreText(kBrowserSetting, L"7 gün");
             StoreText(kSavePdfSetting, L"2.5");
             StoreDword(kFrameSetting, 1);
         },
         {off, on, grey, on}},
        {"Browser missing stops everything",
         [] {
             StoreDword(kSavePdfSetting, 1);
             StoreDword(kFrameSetting, 1);
         },
         {on, off, off, off}},
        {"Browser of a type without text stops everything",
         [] {
             const BYTE binary[] = {1, 0, 0, 0};
             StoreValue(kBrowserSetting, REG_BINARY, binary, sizeof(binary));
             StoreDword(kSavePdfSetting, 1);
             StoreDword(kFrameSetting, 1);
         },
         {on, off, off, off}},
        {"both boxes greyed",
         [] {
             StoreDword(kBrowserSetting, 1);
             StoreDword(kSavePdfSetting, 2);
             StoreDword(kFrameSetting, 2);
         },
         {off, on, grey, grey}},
        {"SavePDF 5 stops there; Frame is not read",
         [] {
             StoreDword(kBrowserSetting, 1);
             StoreDword(kSavePdfSetting, 5);
             StoreDword(kFrameSetting, 1);
         },
         {off, on, off, off}},
        {"Frame 2.6 rounds to 3, no state",
         [] {
             StoreDword(kBrowserSetting, 1);
             StoreDword(kSavePdfSetting, 1);
             StoreText(kFrameSetting, L"2.6");
         },
         {off, on, on, off}},
    };
    for (const Case& testCase : cases) {
        SCOPED_TRACE(testCase.name);
        preferences_.Delete();
        testCase.store();
        HWND window = Open();
        if (window == nullptr)
            continue;
        EXPECT_EQ(ReadShown(window), testCase.shown);
        EXPECT_TRUE(FindMessageBoxes(Run().Id()).empty()) << "loading shows no message";
        PostMessageW(window, WM_CLOSE, 0, 0);
        EXPECT_EQ(Run().WaitForExit(), 0u);
    }
}

TEST_F(PreferencesWindow, ReadsOnlyThe32BitRegistryView) {
    StoreDword(kBrowserSetting, 1, KEY_WOW64_64KEY);
    HWND window = Open();
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(CheckState(Find(window, kChrome)), BST_CHECKED);
    PostMessageW(window, WM_CLOSE, 0, 0);
    EXPECT_EQ(Run().WaitForExit(), 0u);
}

TEST_F(PreferencesWindow, SaveWritesEdgeAndTickedBoxesAsDwords) {
    HWND window = Open();
    ASSERT_NE(window, nullptr);
    Click(Find(window, kEdge));
    Click(Find(window, kSavePdf));
    Click(Find(window, kFrame));
    EXPECT_EQ(ReadShown(window), (Shown{BST_UNCHECKED, BST_CHECKED, BST_CHECKED, BST_CHECKED}));
    PostClick(Find(window, kSave));
    EXPECT_EQ(Run().WaitForExit(), 0u);
    EXPECT_EQ(StoredDword(kBrowserSetting), 0xFFFFFFFFu);
    EXPECT_EQ(StoredDword(kSavePdfSetting), 1u);
    EXPECT_EQ(StoredDword(kFrameSetting), 1u);
    EXPECT_FALSE(ReadSetting(kBrowserSetting, KEY_WOW64_64KEY)) << "written to the 64-bit view";
}

TEST_F(PreferencesWindow, SaveWritesChromeAndClearedBoxesAsZeros) {
    StoreDword(kBrowserSetting, 0xFFFFFFFF);
    StoreText(kSavePdfSetting, L"1");
    StoreDword(kFrameSetting, 1);
    HWND window = Open();
    ASSERT_NE(window, nullptr);
    ASSERT_EQ(ReadShown(window), (Shown{BST_UNCHECKED, BST_CHECKED, BST_CHECKED, BST_CHECKED}));
    Click(Find(window, kChrome));
    Click(Find(window, kSavePdf));
    Click(Find(window, kFrame));
    PostClick(Find(window, kSave));
    EXPECT_EQ(Run().WaitForExit(), 0u);
    EXPECT_EQ(StoredDword(kBrowserSetting), 0u);
    EXPECT_EQ(StoredDword(kSavePdfSetting), 0u) << "the text value becomes a REG_DWORD";
    EXPECT_EQ(StoredDword(kFrameSetting), 0u);
}

TEST_F(PreferencesWindow, AClickOnlyTogglesBetweenUncheckedAndChecked) {
    StoreDword(kBrowserSetting, 0);
    StoreDword(kSavePdfSetting, 2);
    StoreDword(kFrameSetting, 2);
    HWND window = Open();
    ASSERT_NE(window, nullptr);
    HWND savePdf = Find(window, kSavePdf);
    ASSERT_EQ(CheckState(savePdf), BST_INDETERMINATE);
    Click(savePdf);
    EXPECT_EQ(CheckState(savePdf), BST_UNCHECKED);
    Click(savePdf);
    EXPECT_EQ(CheckState(savePdf), BST_CHECKED);
    Click(savePdf);
    EXPECT_EQ(CheckState(savePdf), BST_UNCHECKED);
    Click(savePdf);
    // Frame stays greyed untouched, and is written back as it is.
    PostClick(Find(window, kSave));
    EXPECT_EQ(Run().WaitForExit(), 0u);
    EXPECT_EQ(StoredDword(kBrowserSetting), 0u);
    EXPECT_EQ(StoredDword(kSavePdfSetting), 1u);
    EXPECT_EQ(StoredDword(kFrameSetting), 2u);
}

TEST_F(PreferencesWindow, TabMovesThroughTheControlsInTabIndexOrder) {
    StoreDword(kBrowserSetting, 1); // the group's stop is the selected option
    HWND window = Open();
    ASSERT_NE(window, nullptr);
    const HWND expected[] = {Find(window, kEdge),  Find(window, kSave),  Find(window, kCancel),
                             Find(window, kAbout), Find(window, kFrame), Find(window, kSavePdf)};
    HWND focus = FocusOf(window);
    ASSERT_EQ(focus, Find(window, kSavePdf));
    for (HWND next : expected) {
        PressKey(window, VK_TAB);
        focus = WaitForFocusChange(window, focus);
        EXPECT_EQ(focus, next);
    }
    PressKey(window, VK_ESCAPE);
    EXPECT_EQ(Run().WaitForExit(), 0u);
}

TEST_F(PreferencesWindow, EnterOnACheckBoxSaves) {
    HWND window = Open();
    ASSERT_NE(window, nullptr);
    ASSERT_EQ(FocusOf(window), Find(window, kSavePdf));
    PressKey(window, VK_SPACE); // ticks the box with the focus
    PressKey(window, VK_RETURN);
    EXPECT_EQ(Run().WaitForExit(), 0u);
    EXPECT_EQ(StoredDword(kBrowserSetting), 0u);
    EXPECT_EQ(StoredDword(kSavePdfSetting), 1u);
    EXPECT_EQ(StoredDword(kFrameSetting), 0u);
}

TEST_F(PreferencesWindow, EnterOnTheOptionGroupSaves) {
    HWND window = Open();
    ASSERT_NE(window, nullptr);
    HWND focus = FocusOf(window);
    PressKey(window, VK_TAB);
    focus = WaitForFocusChange(window, focus);
    ASSERT_EQ(focus, Find(window, kChrome));
    PressKey(window, VK_DOWN); // moves to Microsoft Edge and selects it
    focus = WaitForFocusChange(window, focus);
    ASSERT_EQ(focus, Find(window, kEdge));
    PressKey(window, VK_RETURN);
    EXPECT_EQ(Run().WaitForExit(), 0u);
    EXPECT_EQ(StoredDword(kBrowserSetting), 0xFFFFFFFFu);
}

TEST_F(PreferencesWindow, EnterOnAPushButtonPressesThatButton) {
    HWND window = Open();
    ASSERT_NE(window, nullptr);
    HWND focus = FocusOf(window);
    for (int i = 0; i < 3; ++i) { // to Chrome, Save, Cancel
        PressKey(window, VK_TAB);
        focus = WaitForFocusChange(window, focus);
    }
    ASSERT_EQ(focus, Find(window, kCancel));
    PressKey(window, VK_RETURN);
    EXPECT_EQ(Run().WaitForExit(), 0u);
    EXPECT_TRUE(NothingStored());
}

TEST_F(PreferencesWindow, EscEndsWithoutWriting) {
    HWND window = Open();
    ASSERT_NE(window, nullptr);
    Click(Find(window, kEdge));
    Click(Find(window, kSavePdf));
    PressKey(window, VK_ESCAPE);
    EXPECT_EQ(Run().WaitForExit(), 0u);
    EXPECT_TRUE(NothingStored());
}

TEST_F(PreferencesWindow, ClosingWritesNothing) {
    StoreDword(kBrowserSetting, 0);
    StoreDword(kSavePdfSetting, 0);
    StoreDword(kFrameSetting, 0);
    HWND window = Open();
    ASSERT_NE(window, nullptr);
    Click(Find(window, kEdge));
    Click(Find(window, kFrame));
    // What the title bar's close button sends.
    PostMessageW(window, WM_SYSCOMMAND, SC_CLOSE, 0);
    EXPECT_EQ(Run().WaitForExit(), 0u);
    EXPECT_EQ(StoredDword(kBrowserSetting), 0u);
    EXPECT_EQ(StoredDword(kFrameSetting), 0u);
}

TEST_F(PreferencesWindow, AboutShowsThreeLinesAndTheWindowStaysOpen) {
    HWND window = Open();
    ASSERT_NE(window, nullptr);
    PostClick(Find(window, kAbout));
    std::optional<HWND> box = WaitForMessageBox(Run().Id(), 10000);
    ASSERT_TRUE(box.has_value());
    const BoxReport report = ReadMessageBox(*box);
    EXPECT_EQ(report.caption, L"Hakkında");
    EXPECT_EQ(report.icon, BoxIcon::Information);
    const std::vector<std::wstring> lines = Lines(report.text);
    ASSERT_EQ(lines.size(), 3u) << WideToUtf8(report.text.c_str());
    EXPECT_EQ(lines[0], L"TolvViewer Tarayıcı Versionu 2.0");
    ASSERT_EQ(report.buttons.size(), 1u);
    EXPECT_EQ(report.buttons[0].id, IDOK);
    PressOk(*box);

    Sleep(1500);
    EXPECT_FALSE(Run().WaitForExit(0).has_value()) << "the program ended after About";
    EXPECT_TRUE(IsWindowVisible(window));
    EXPECT_TRUE(FindMessageBoxes(Run().Id()).empty());
    EXPECT_TRUE(NothingStored());
    PostMessageW(window, WM_CLOSE, 0, 0);
    EXPECT_EQ(Run().WaitForExit(), 0u);
}

TEST_F(PreferencesWindow, AFailedFirstWriteShowsOneErrorBoxWritesNothingAndEnds) {
    MakeSettingsKeyVolatile({});
    HWND window = Open();
    ASSERT_NE(window, nullptr);
    Click(Find(window, kEdge));
    PostClick(Find(window, kSave));
    const std::vector<BoxReport> boxes = WatchProcess(Run().Process(), 30000);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].icon, BoxIcon::Error);
    EXPECT_EQ(boxes[0].caption, kAppTitle);
    EXPECT_EQ(TrimEnd(boxes[0].text), SystemText(ERROR_CHILD_MUST_BE_VOLATILE));
    EXPECT_EQ(Run().WaitForExit(), 1u);
    EXPECT_TRUE(NothingStored());
}

TEST_F(PreferencesWindow, AFailedLastWriteKeepsTheFirstTwo) {
    MakeSettingsKeyVolatile({kBrowserSetting, kSavePdfSetting});
    HWND window = Open();
    ASSERT_NE(window, nullptr);
    Click(Find(window, kEdge));
    Click(Find(window, kSavePdf));
    Click(Find(window, kFrame));
    PostClick(Find(window, kSave));
    const std::vector<BoxReport> boxes = WatchProcess(Run().Process(), 30000);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].icon, BoxIcon::Error);
    EXPECT_EQ(Run().WaitForExit(), 1u);
    EXPECT_EQ(StoredDword(kBrowserSetting), 0xFFFFFFFFu);
    EXPECT_EQ(StoredDword(kSavePdfSetting), 1u);
    EXPECT_FALSE(ReadSetting(kFrameSetting));
}

} // namespace
} // namespace tolv::test
