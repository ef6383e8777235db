#include "tests/windows/support/MessageBoxWatcher.h"

#include "tests/windows/support/Process.h"
#include "tests/windows/support/ScreenCapture.h"
#include "tests/windows/support/WatchLoop.h"

#include <algorithm>

namespace tolv::test {

namespace {

constexpr DWORD kPollMs = 50;
constexpr UINT kSendTimeoutMs = 2000;
constexpr int kTextId = 0xFFFF;
constexpr int kIconIdWindows = 0x14;
constexpr int kIconIdWine = 0x440;
// How long the icon may take to appear on screen after the box does.
constexpr DWORD kIconPaintMs = 2000;
// A press that has not closed the box by then is repeated.
constexpr ULONGLONG kRepressMs = 1000;

std::vector<HWND> ChildControls(HWND parent) {
    std::vector<HWND> children;
    for (HWND child = GetWindow(parent, GW_CHILD); child != nullptr;
         child = GetWindow(child, GW_HWNDNEXT))
        children.push_back(child);
    return children;
}

bool IsPushButton(HWND control) {
    const LONG type = GetWindowLongW(control, GWL_STYLE) & BS_TYPEMASK;
    return type == BS_PUSHBUTTON || type == BS_DEFPUSHBUTTON;
}

// A message box is a #32770 dialog with the text control 0xFFFF and nothing but
// static controls and push buttons; other dialogs (the preferences window) have
// edits, combo boxes or check boxes as well.
bool IsMessageBox(HWND window) {
    if (!IsWindowVisible(window) || ClassName(window) != L"#32770")
        return false;
    bool hasText = false;
    bool hasButton = false;
    for (HWND control : ChildControls(window)) {
        if (!IsWindowVisible(control))
            continue;
        const std::wstring kind = ClassName(control);
        if (_wcsicmp(kind.c_str(), L"Static") == 0) {
            hasText = hasText || GetDlgCtrlID(control) == kTextId;
        } else if (_wcsicmp(kind.c_str(), L"Button") == 0 && IsPushButton(control)) {
            hasButton = true;
        } else {
            return false;
        }
    }
    return hasText && hasButton;
}

HWND IconControl(HWND box) {
    for (HWND control : ChildControls(box)) {
        const int id = GetDlgCtrlID(control);
        if ((id == kIconIdWindows || id == kIconIdWine) &&
            _wcsicmp(ClassName(control).c_str(), L"Static") == 0)
            return control;
    }
    return nullptr;
}

// Sorts a pixel into the colour families of the system icons; grey, white and
// black (background, outlines, glyphs) count as none.
enum class Hue { None, Red, Warm, Blue, Other };

Hue HueOf(uint32_t pixel) {
    const int r = (pixel >> 16) & 0xFF, g = (pixel >> 8) & 0xFF, b = pixel & 0xFF;
    const int high = std::max({r, g, b}), low = std::min({r, g, b}), range = high - low;
    if (high < 80 || range * 100 < high * 45)
        return Hue::None;
    int degrees = 0;
    if (r == high)
        degrees = (360 + 60 * (g - b) / range) % 360;
    else if (g == high)
        degrees = 120 + 60 * (b - r) / range;
    else
        degrees = 240 + 60 * (r - g) / range;
    if (degrees < 15 || degrees >= 330)
        return Hue::Red;
    if (degrees < 75) // Wine's warning triangle is orange, Windows' yellow
        return Hue::Warm;
    if (degrees >= 180 && degrees < 270)
        return Hue::Blue;
    return Hue::Other;
}

bool IsLight(uint32_t pixel) {
    return HueOf(pixel) == Hue::None && (pixel & 0xFF) >= 200 && ((pixel >> 8) & 0xFF) >= 200 &&
           ((pixel >> 16) & 0xFF) >= 200;
}

// The information and question icons are both blue discs. Their glyphs differ in
// width: the "i" is a narrow bar, the "?" spreads across the disc. Only light
// pixels well inside the disc count, not the highlights along its rim.
bool HasWideGlyph(const ScreenPixels& picture) {
    const int margin = picture.width / 5;
    int left = picture.width, right = -1;
    for (int y = 0; y < picture.height; ++y) {
        const uint32_t* row = &picture.pixels[static_cast<size_t>(y) * picture.width];
        int first = -1, last = -1;
        for (int x = 0; x < picture.width; ++x) {
            if (HueOf(row[x]) == Hue::Blue) {
                first = first < 0 ? x : first;
                last = x;
            }
        }
        for (int x = first + margin; first >= 0 && x <= last - margin; ++x) {
            if (IsLight(row[x])) {
                left = std::min(left, x);
                right = std::max(right, x);
            }
        }
    }
    return right >= left && (right - left + 1) * 100 > picture.width * 22;
}

BoxIcon ClassifyIcon(const ScreenPixels& picture) {
    size_t counts[5] = {};
    for (uint32_t pixel : picture.pixels)
        ++counts[static_cast<int>(HueOf(pixel))];
    const size_t total = picture.pixels.size();
    const size_t coloured = total - counts[static_cast<int>(Hue::None)];
    if (total == 0 || coloured * 50 < total) // under 2 %: nothing drawn
        return BoxIcon::None;
    auto dominates = [&](Hue hue) { return counts[static_cast<int>(hue)] * 10 >= coloured * 8; };
    if (dominates(Hue::Red))
        return BoxIcon::Error;
    if (dominates(Hue::Warm))
        return BoxIcon::Warning;
    if (dominates(Hue::Blue))
        return HasWideGlyph(picture) ? BoxIcon::Question : BoxIcon::Information;
    return BoxIcon::Unknown;
}

BoxIcon ReadIcon(HWND box) {
    HWND control = IconControl(box);
    RECT rect{};
    if (control == nullptr || !IsWindowVisible(control) || !GetWindowRect(control, &rect) ||
        IsRectEmpty(&rect))
        return BoxIcon::None;
    // Wine keeps an empty icon control in boxes without an icon.
    DWORD_PTR icon = 0;
    if (SendMessageTimeoutW(control, STM_GETICON, 0, 0, SMTO_ABORTIFHUNG, kSendTimeoutMs, &icon) &&
        icon == 0)
        return BoxIcon::None;

    // Icon handles mean nothing in another process, so the icon is told by what
    // the screen shows. The box may not be painted yet when it first appears:
    // the answer is taken once two captures in a row agree on a coloured icon.
    RaisedWindow raised(box);
    BoxIcon previous = BoxIcon::None;
    const ULONGLONG deadline = GetTickCount64() + kIconPaintMs;
    for (;;) {
        GetWindowRect(control, &rect);
        const BoxIcon current = ClassifyIcon(CaptureScreenRect(rect));
        if (current != BoxIcon::None && current == previous)
            return current;
        if (GetTickCount64() >= deadline)
            return current == BoxIcon::None ? BoxIcon::Unknown : current;
        previous = current;
        Sleep(15);
    }
}

struct AnsweredBox {
    HWND box;
    ULONGLONG pressedAt;
};

// Reads and answers each box of one process once, in the order they appear.
class BoxAnswerer {
public:
    BoxAnswerer(DWORD processId, int answer) : processId_(processId), answer_(answer) {}

    void Poll(const std::function<void(BoxReport)>& onBox) {
        // A box is done once it is hidden; Wine destroys it only later.
        std::erase_if(answered_, [](const AnsweredBox& a) {
            return !IsWindow(a.box) || !IsWindowVisible(a.box);
        });
        for (AnsweredBox& a : answered_) {
            if (GetTickCount64() - a.pressedAt >= kRepressMs) {
                PressButton(a.box, answer_);
                a.pressedAt = GetTickCount64();
            }
        }
        for (HWND box : FindMessageBoxes(processId_)) {
            auto seen = [box](const AnsweredBox& a) { return a.box == box; };
            if (std::any_of(answered_.begin(), answered_.end(), seen))
                continue;
            // Reported before it is answered: whoever waits for the answer finds the report.
            onBox(ReadMessageBox(box));
            PressButton(box, answer_);
            answered_.push_back({box, GetTickCount64()});
        }
    }

private:
    DWORD processId_;
    int answer_;
    std::vector<AnsweredBox> answered_;
};

} // namespace

const wchar_t* ToString(BoxIcon icon) {
    switch (icon) {
    case BoxIcon::None:
        return L"none";
    case BoxIcon::Error:
        return L"error";
    case BoxIcon::Warning:
        return L"warning";
    case BoxIcon::Information:
        return L"information";
    case BoxIcon::Question:
        return L"question";
    case BoxIcon::Unknown:
        break;
    }
    return L"unknown";
}

std::vector<HWND> FindMessageBoxes(DWORD processId) {
    struct Search {
        DWORD processId;
        std::vector<HWND> boxes;
    } search{processId, {}};
    EnumWindows(
        [](HWND window, LPARAM param) -> BOOL {
            auto* s = reinterpret_cast<Search*>(param);
            DWORD owner = 0;
            GetWindowThreadProcessId(window, &owner);
            if (owner == s->processId && IsMessageBox(window))
                s->boxes.push_back(window);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    // EnumWindows lists from the top of the z-order; the oldest box is lowest.
    std::reverse(search.boxes.begin(), search.boxes.end());
    return search.boxes;
}

std::optional<HWND> WaitForMessageBox(DWORD processId, DWORD timeoutMs) {
    const ULONGLONG deadline = GetTickCount64() + timeoutMs;
    for (;;) {
        std::vector<HWND> boxes = FindMessageBoxes(processId);
        if (!boxes.empty())
            return boxes.front();
        if (GetTickCount64() >= deadline)
            return std::nullopt;
        Sleep(kPollMs);
    }
}

BoxReport ReadMessageBox(HWND box) {
    BoxReport report{WindowText(box), {}, BoxIcon::None, {}};
    if (HWND text = GetDlgItem(box, kTextId))
        report.text = WindowText(text);
    for (HWND control : ChildControls(box)) {
        if (IsWindowVisible(control) && _wcsicmp(ClassName(control).c_str(), L"Button") == 0) {
            report.buttons.push_back({GetDlgCtrlID(control), WindowText(control)});
            if ((GetWindowLongW(control, GWL_STYLE) & BS_TYPEMASK) == BS_DEFPUSHBUTTON)
                report.defaultButton = GetDlgCtrlID(control);
        }
    }
    report.icon = ReadIcon(box);
    return report;
}

void PressOk(HWND box) {
    // Posted, not sent: the box's thread ends the dialog in its own time, and a
    // program that is slow to answer cannot hold up the watcher.
    PostMessageW(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(box, IDOK)));
}

void PressButton(HWND box, int id) {
    HWND button = GetDlgItem(box, id);
    if (button == nullptr) {
        PressOk(box);
        return;
    }
    PostMessageW(box, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(button));
}

bool AnswerBoxesUntilExit(HANDLE process, DWORD timeoutMs,
                          const std::function<void(BoxReport)>& onBox, int answer) {
    BoxAnswerer answerer(GetProcessId(process), answer);
    const ULONGLONG deadline = GetTickCount64() + timeoutMs;
    for (;;) {
        answerer.Poll(onBox);
        const ULONGLONG now = GetTickCount64();
        const DWORD wait =
            now >= deadline ? 0 : static_cast<DWORD>(std::min<ULONGLONG>(kPollMs, deadline - now));
        if (WaitForSingleObject(process, wait) != WAIT_TIMEOUT)
            return true;
        if (GetTickCount64() >= deadline)
            return false;
    }
}

std::vector<BoxReport> WatchProcess(HANDLE process, DWORD timeoutMs) {
    std::vector<BoxReport> reports;
    AnswerBoxesUntilExit(process, timeoutMs,
                         [&reports](BoxReport report) { reports.push_back(std::move(report)); });
    return reports;
}

RunResult RunAndWatch(const std::wstring& commandLine, DWORD timeoutMs, const wchar_t* workingDir,
                      int answer) {
    RunResult result;
    TestProcess process(commandLine, workingDir);
    if (!process.Started())
        return result;
    result.started = true;
    auto collect = [&result](BoxReport report) { result.boxes.push_back(std::move(report)); };
    if (!AnswerBoxesUntilExit(process.Process(), timeoutMs, collect, answer)) {
        result.timedOut = true;
        TerminateProcess(process.Process(), 1);
    }
    result.exitCode = process.WaitForExit(10000).value_or(STILL_ACTIVE);
    return result;
}

} // namespace tolv::test
