#pragma once
// The browser's arguments: everything of its command line after the quoted
// executable path.

#include <cstdint>
#include <string>
#include <string_view>

namespace tolv {

// The application window of the separate-frame setting.
inline constexpr int32_t kFrameWidth = 1200;
inline constexpr int32_t kFrameHeight = 650;
inline constexpr int32_t kFramePosX = 250;
inline constexpr int32_t kFramePosY = 100;

// Without a frame: one blank and the quoted PDF path. With a frame:
// " --chrome-frame --window-size=W,H --window-position=X,Y " then
// " --app=" and the quoted AppValue of the PDF path.
std::wstring BrowserArguments(bool separateFrame, const std::wstring& pdfFile, int32_t width,
                              int32_t height, int32_t posX, int32_t posY);

// Chrome and Edge read the --app= value as a URL, and a plain path comes
// through only when it is ASCII without '#', '%', '?' or "\x": anything else
// opens an empty tab. Such a path goes as a file:/// URL; others stay as they are.
std::wstring AppValue(std::wstring_view pdfFile);
bool BrowserMisreadsAsApp(std::wstring_view path);

// file:///C:/a%20b/c.pdf for C:\a b\c.pdf; file://server/share/c.pdf for a UNC
// path. Forward slashes; everything outside the characters that a URL path
// may hold as they are is percent-encoded as UTF-8.
std::wstring FileUrl(std::wstring_view path);

} // namespace tolv
