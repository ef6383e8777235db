#pragma once
// Reads pixels off the screen: the watcher tells a box's icon by its colours, and
// tests keep screenshots of windows they check.

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

namespace tolv::test {

// Top-down pixels of a screen rectangle, each 0x00RRGGBB.
struct ScreenPixels {
    int width = 0;
    int height = 0;
    std::vector<uint32_t> pixels;
};

// Copies a rectangle of the screen (screen coordinates). Empty on failure.
ScreenPixels CaptureScreenRect(const RECT& rect);

// Keeps a window (of any process) topmost and in the foreground while it lives,
// so that the screen shows it; the test display has no window manager to do so.
class RaisedWindow {
public:
    explicit RaisedWindow(HWND window);
    ~RaisedWindow();
    RaisedWindow(const RaisedWindow&) = delete;
    RaisedWindow& operator=(const RaisedWindow&) = delete;

private:
    HWND window_;
    bool wasTopmost_;
};

// Captures the window on top of all others once two captures in a row agree (it
// may still be painting), or when settleMs have passed.
ScreenPixels CaptureWindow(HWND window, DWORD settleMs);

// Writes pixels as a 24-bit BMP file.
bool SaveBitmap(const ScreenPixels& picture, const std::wstring& bmpPath);

// Saves what the window shows on screen as a 24-bit BMP file (raised while captured).
bool SaveWindowBitmap(HWND window, const std::wstring& bmpPath);

} // namespace tolv::test
