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
// them); absent means on. 0 turns the signature check of file mode off; 0 in
// WarnUnverified opens a report whose signature could not be checked without
// asking (one with a broken signature still asks).
inline constexpr wchar_t kCheckSignatureSettingPath[] =
    L"HKEY_LOCAL_MACHINE\\SOFTWARE\\TolvViewerBrowser\\CurrentVersion\\CheckSignature\\";
inline constexpr wchar_t kWarnUnverifiedSettingPath[] =
    L"HKEY_LOCAL_MACHINE\\SOFTWARE\\TolvViewerBrowser\\CurrentVersion\\WarnUnverified\\";
// 0 opens an intact report whose signer no trusted anchor vouches for without
// asking (a machine that receives reports from signers it has no anchors for).
inline constexpr wchar_t kWarnUntrustedSettingPath[] =
    L"HKEY_LOCAL_MACHINE\\SOFTWARE\\TolvViewerBrowser\\CurrentVersion\\WarnUntrusted\\";
// 0: "İmza bilgisi" never asks a certificate's revocation over the network
// (a machine that must not reach out, or where the responders cannot be reached).
inline constexpr wchar_t kOnlineRevocationSettingPath[] =
    L"HKEY_LOCAL_MACHINE\\SOFTWARE\\TolvViewerBrowser\\CurrentVersion\\OnlineRevocation\\";

// An administrators' switch: on unless its value says 0 (the preference number
// rule); an absent or unreadable value is on.
bool SwitchIsOn(const wchar_t* settingPath);

// Also the administrators': a REG_SZ naming a folder (or a file) of PEM or DER
// certificates that validation takes as anchors beside the system's. The
// validation layer reads it with its own copy of this path
// (validation/TrustSettings_win.cpp): change both together.
inline constexpr wchar_t kTrustAnchorsSettingPath[] =
    L"HKEY_LOCAL_MACHINE\\SOFTWARE\\TolvViewerBrowser\\CurrentVersion\\TrustAnchors\\";

} // namespace tolv
