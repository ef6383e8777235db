#include "windows/registry/Errors.h"

#include "windows/base/Handles.h"

#include <windows.h>

namespace tolv::Errors {

namespace {

void ReleaseLibrary(HMODULE module) noexcept {
    FreeLibrary(module);
}
using UniqueHmodule = UniqueAny<HMODULE, ReleaseLibrary>;

// Inserts such as %1 come back as they stand: the caller has no arguments.
constexpr DWORD kSystemFlags = FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS;
constexpr DWORD kModuleFlags = kSystemFlags | FORMAT_MESSAGE_FROM_HMODULE;

// FormatMessageW allocates the buffer itself, so no message is ever cut short.
std::wstring FormatText(DWORD flags, HMODULE source, int32_t number) {
    wchar_t* buffer = nullptr;
    DWORD length =
        FormatMessageW(flags | FORMAT_MESSAGE_ALLOCATE_BUFFER, source, static_cast<DWORD>(number),
                       0 /* LANG_NEUTRAL */, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    std::wstring text;
    if (buffer != nullptr) {
        try {
            text.assign(buffer, length);
        } catch (...) {
        }
        LocalFree(buffer);
    }
    return text;
}

// A library from the system folder only: loaded by its bare name the loader
// would look in the program's folder first, where anyone who could write
// there (a Downloads folder) could have put a library of that name. The
// folder is named in the path itself: Wine's loader ignores the search flags
// (LOAD_LIBRARY_SEARCH_SYSTEM32) for data files, and older Windows refuses them.
HMODULE LoadFromSystemFolder(const std::wstring& library) {
    std::wstring path = library;
    if (library.find_first_of(L"\\/") == std::wstring::npos) {
        wchar_t folder[MAX_PATH];
        const UINT length = GetSystemDirectoryW(folder, MAX_PATH);
        if (length == 0 || length >= MAX_PATH)
            return nullptr;
        path = std::wstring(folder, length) + L"\\" + library;
    }
    return LoadLibraryExW(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
}

void TrimMessage(std::wstring& text) {
    if (size_t nul = text.find(L'\0'); nul != std::wstring::npos)
        text.resize(nul);
    // Only one final line break goes; inner ones and a second one stay.
    if (text.size() >= 2 && text.compare(text.size() - 2, 2, L"\r\n") == 0)
        text.resize(text.size() - 2);
}

} // namespace

void GetModuleErrorText(std::wstring library, int32_t number, std::wstring& message) noexcept {
    // Loaded for this one lookup only, as data: nothing of it runs.
    UniqueHmodule module(LoadFromSystemFolder(library));
    if (!module)
        return;
    try {
        message = FormatText(kModuleFlags, module.get(), number);
    } catch (...) {
        message.clear();
    }
}

std::wstring GetErrorText(int32_t number) noexcept {
    return GetErrorText(number, std::wstring());
}

std::wstring GetErrorText(int32_t number, const std::wstring& libraryFolder) noexcept {
    std::wstring text;
    try {
        const std::wstring folder = libraryFolder.empty() ? L"" : libraryFolder + L"\\";
        if (number >= 2100 && number <= 2999)
            GetModuleErrorText(folder + L"NetMsg.dll", number, text);
        else if (number >= 12000 && number <= 12171)
            GetModuleErrorText(folder + L"WiniNet.dll", number, text);
        else
            text = FormatText(kSystemFlags, nullptr, number);
        TrimMessage(text);
    } catch (...) {
    }
    return text;
}

std::wstring WriteFailureText(int32_t status) {
    std::wstring text = GetErrorText(status);
    if (text.empty())
        text = L"Kayıt defterine yazılamadı (hata " + std::to_wstring(status) + L").";
    return text;
}

} // namespace tolv::Errors
