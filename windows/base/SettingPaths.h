#pragma once
// Where the viewer preferences live in the registry.

namespace tolv {

// Each setting is the default value of its own key (the trailing backslash
// addresses the default value). Earlier 32-bit versions kept them in the 32-bit
// registry view, so they are read and written there.
inline constexpr wchar_t kBrowserSettingPath[] =
    L"HKEY_LOCAL_MACHINE\\SOFTWARE\\TolvViewerBrowser\\CurrentVersion\\Browser\\";
inline constexpr wchar_t kSavePDFSettingPath[] =
    L"HKEY_LOCAL_MACHINE\\SOFTWARE\\TolvViewerBrowser\\CurrentVersion\\SavePDF\\";
inline constexpr wchar_t kFrameSettingPath[] =
    L"HKEY_LOCAL_MACHINE\\SOFTWARE\\TolvViewerBrowser\\CurrentVersion\\Frame\\";

// Beside them, for administrators only (the preferences window does not show
// it): 0 turns the signature check of file mode off. Absent means on.
inline constexpr wchar_t kCheckSignatureSettingPath[] =
    L"HKEY_LOCAL_MACHINE\\SOFTWARE\\TolvViewerBrowser\\CurrentVersion\\CheckSignature\\";

} // namespace tolv
