#pragma once
// Reads pixels off the screen: the watcher tells a box's icon by its colours, and
// tests keep screenshots of windows they check.

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

namespace tolv::test {

// Top-down 32-bit BGRA pixels of a screen rectangle.
struct ScreenPixels {
    int width = 0;
    int height = 0;
    std::vector<uint32_t> pixels; // 0x00RRGGBB
};

// Copies a rectangle of the screen (screen coordinates). Empty on failure.
ScreenPixels CaptureScreenRect(const RECT& rect);

// Saves what the window shows on screen as a 24-bit BMP file. The window should be on top.
bool SaveWindowBitmap(HWND window, const std::wstring& bmpPath);

} // namespace tolv::test
