#include "tests/windows/support/ScreenCapture.h"

#include <filesystem>
#include <fstream>
#include <memory>
#include <type_traits>

namespace tolv::test {

namespace {

struct ScreenDcRelease {
    void operator()(HDC dc) const noexcept { ReleaseDC(nullptr, dc); }
};
struct DcDelete {
    void operator()(HDC dc) const noexcept { DeleteDC(dc); }
};
struct GdiObjectDelete {
    void operator()(HGDIOBJ object) const noexcept { DeleteObject(object); }
};
using ScreenDc = std::unique_ptr<std::remove_pointer_t<HDC>, ScreenDcRelease>;
using MemoryDc = std::unique_ptr<std::remove_pointer_t<HDC>, DcDelete>;
using GdiObject = std::unique_ptr<std::remove_pointer_t<HGDIOBJ>, GdiObjectDelete>;

template <class T> void WriteRaw(std::ofstream& out, const T& value) {
    out.write(reinterpret_cast<const char*>(&value), sizeof(value));
}

} // namespace

ScreenPixels CaptureScreenRect(const RECT& rect) {
    const int width = rect.right - rect.left;
    const int height = rect.bottom - rect.top;
    if (width <= 0 || height <= 0)
        return {};

    ScreenDc screen(GetDC(nullptr));
    if (!screen)
        return {};
    MemoryDc memory(CreateCompatibleDC(screen.get()));
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height; // top-down rows
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    GdiObject dib(CreateDIBSection(screen.get(), &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    if (!memory || !dib || bits == nullptr)
        return {};

    HGDIOBJ previous = SelectObject(memory.get(), dib.get());
    // The screen DC shows what is really on the display, whichever process drew it;
    // a window DC of another process would not.
    const BOOL copied = BitBlt(memory.get(), 0, 0, width, height, screen.get(), rect.left, rect.top,
                               SRCCOPY | CAPTUREBLT);
    GdiFlush();
    SelectObject(memory.get(), previous);
    if (!copied)
        return {};

    ScreenPixels result{width, height, {}};
    const auto* source = static_cast<const uint32_t*>(bits);
    result.pixels.assign(source, source + static_cast<size_t>(width) * height);
    for (uint32_t& pixel : result.pixels)
        pixel &= 0x00FFFFFF;
    return result;
}

RaisedWindow::RaisedWindow(HWND window)
    : window_(window), wasTopmost_((GetWindowLongW(window, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0) {
    SetWindowPos(window, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    SetForegroundWindow(window);
}

RaisedWindow::~RaisedWindow() {
    if (!wasTopmost_ && IsWindow(window_))
        SetWindowPos(window_, HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

ScreenPixels CaptureWindow(HWND window, DWORD settleMs) {
    RaisedWindow raised(window);
    // The window may still be painting: take the picture once two captures agree.
    ScreenPixels previous;
    const ULONGLONG deadline = GetTickCount64() + settleMs;
    for (;;) {
        RECT rect{};
        if (!GetWindowRect(window, &rect))
            return {};
        ScreenPixels current = CaptureScreenRect(rect);
        if (!current.pixels.empty() && current.width == previous.width &&
            current.height == previous.height && current.pixels == previous.pixels)
            return current;
        if (GetTickCount64() >= deadline)
            return current;
        previous = std::move(current);
        Sleep(50);
    }
}

bool SaveBitmap(const ScreenPixels& picture, const std::wstring& bmpPath) {
    if (picture.pixels.empty())
        return false;
    const uint32_t rowBytes = (static_cast<uint32_t>(picture.width) * 3 + 3) & ~3u;
    const uint32_t imageBytes = rowBytes * static_cast<uint32_t>(picture.height);

    BITMAPFILEHEADER file{};
    file.bfType = 0x4D42; // "BM"
    file.bfOffBits = sizeof(BITMAPFILEHEADER) + sizeof(BITMAPINFOHEADER);
    file.bfSize = file.bfOffBits + imageBytes;
    BITMAPINFOHEADER header{};
    header.biSize = sizeof(header);
    header.biWidth = picture.width;
    header.biHeight = picture.height; // bottom-up, the form every viewer reads
    header.biPlanes = 1;
    header.biBitCount = 24;
    header.biCompression = BI_RGB;
    header.biSizeImage = imageBytes;

    std::ofstream out(std::filesystem::path(bmpPath), std::ios::binary | std::ios::trunc);
    if (!out)
        return false;
    WriteRaw(out, file);
    WriteRaw(out, header);
    std::string row(rowBytes, '\0');
    for (int y = picture.height - 1; y >= 0; --y) {
        const uint32_t* source = &picture.pixels[static_cast<size_t>(y) * picture.width];
        for (int x = 0; x < picture.width; ++x) {
            row[x * 3 + 0] = static_cast<char>(source[x] & 0xFF);
            row[x * 3 + 1] = static_cast<char>((source[x] >> 8) & 0xFF);
            row[x * 3 + 2] = static_cast<char>((source[x] >> 16) & 0xFF);
        }
        out.write(row.data(), static_cast<std::streamsize>(row.size()));
    }
    return static_cast<bool>(out.flush());
}

bool SaveWindowBitmap(HWND window, const std::wstring& bmpPath) {
    return SaveBitmap(CaptureWindow(window, 1000), bmpPath);
}

} // namespace tolv::test
