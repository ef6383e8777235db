#include "validation/TrustSettings.h"

#include <windows.h>

#include <string>
#include <system_error>

namespace tolv::validation {
namespace {

// Must match kTrustAnchorsSettingPath in windows/base/SettingPaths.h, which
// this layer may not include: the default value of its own key, in the 32-bit
// view like the viewer's other settings.
constexpr wchar_t kTrustAnchorsKey[] = L"SOFTWARE\\TolvViewerBrowser\\CurrentVersion\\TrustAnchors";
constexpr DWORD kFlags = RRF_RT_REG_SZ | RRF_SUBKEY_WOW6432KEY;

// The setting's text; empty when it is absent or not a string.
std::wstring TrustAnchorsSetting() {
    DWORD size = 0;
    if (RegGetValueW(HKEY_LOCAL_MACHINE, kTrustAnchorsKey, nullptr, kFlags, nullptr, nullptr,
                     &size) != ERROR_SUCCESS)
        return {};
    std::wstring text(size / sizeof(wchar_t) + 1, L'\0');
    size = static_cast<DWORD>(text.size() * sizeof(wchar_t));
    if (RegGetValueW(HKEY_LOCAL_MACHINE, kTrustAnchorsKey, nullptr, kFlags, nullptr, text.data(),
                     &size) != ERROR_SUCCESS)
        return {};
    text.resize(wcsnlen(text.c_str(), text.size()));
    return text;
}

} // namespace

std::vector<std::filesystem::path> InstitutionAnchorPaths() {
    const std::wstring setting = TrustAnchorsSetting();
    if (setting.empty())
        return {};
    std::error_code error;
    if (std::filesystem::status(setting, error).type() == std::filesystem::file_type::not_found)
        return {};
    return {std::filesystem::path(setting)};
}

} // namespace tolv::validation
