#pragma once
// What the "İmza bilgisi" window shows of a report's signature, the same on
// both editions: one verdict, the lines a clerk reads (who, whether
// qualified, when, revocation, which anchor), the details a click away, and
// the signer's certificate for the system's viewer.

#include "signature/Verifier.h"
#include "validation/Validation.h"

#include <cstdint>
#include <string>
#include <vector>

namespace tolv::validation {

enum class Verdict {
    Valid,         // conclusion valid
    Invalid,       // conclusion invalid, the report unchanged
    Indeterminate, // conclusion indeterminate
    Altered,       // the report was changed after signing
};

// The icon that reads at a glance: the program's own verdict icons on both
// editions.
enum class VerdictIcon { Good, Bad, Caution, Altered };

struct SignatureSummary {
    std::string title; // names the report: "İmza bilgisi: a.Tolv"
    Verdict verdict = Verdict::Indeterminate;
    VerdictIcon icon = VerdictIcon::Caution;
    std::string verdictText;          // "İmza geçerli", "Bu raporda imza yok"...
    std::string reason;               // what to do next, one plain line; empty when valid
    std::vector<std::string> lines;   // who, qualified, when, revocation, anchor
    std::vector<std::string> details; // "Ayrıntılar": issuer, validity, serial, codes...
    std::string legalNote;
    signature::Bytes certificate; // the signer's (DER), for "Sertifikayı göster"; may be empty
    // The rest of the path the validation built, the anchor last (DER), and
    // the signer's name, for the viewer: the issuer's certificates beside the
    // signer's, under the signer's name.
    std::vector<signature::Bytes> path;
    std::string signerName;
};

inline constexpr char kDetailsLabel[] = "Ayrıntılar";
inline constexpr char kShowCertificateLabel[] = "Sertifikayı göster";
inline constexpr char kCloseLabel[] = "Kapat";
inline constexpr char kOpenReportLabel[] = "Raporu aç";
// The heading while revocation is asked online: nothing is final yet.
inline constexpr char kCheckingText[] = "İmza denetleniyor…";
inline constexpr char kAskingOnline[] = "İptal durumu çevrimiçi soruluyor…";
// Where asking failed outright, under what was known before.
inline constexpr char kAskingFailed[] = "İptal durumu çevrimiçi sorulamadı.";

// What a class of conclusions is called and what the reader can do about it.
struct VerdictLook {
    const char* heading;
    const char* nextStep; // "" when there is nothing to do
};
VerdictLook LookOf(const signature::SignatureReport& report, const Conclusion& conclusion);

// What a verdict icon says to those who cannot see it (its accessible name),
// and the colour of the heading beside it (0xRRGGBB): dark enough to read as
// text on a light background (a contrast of 4.5:1 at least on the usual
// window greys), the same on both editions.
struct IconLook {
    const char* meaning;
    std::uint32_t colour;
};
IconLook LookOf(VerdictIcon icon);

// fileName: the report's file name, for display (UTF-8). The times are shown
// in the user's local time zone, with its offset. asking: revocation is being
// asked online, so the verdict is not given yet.
SignatureSummary Summarize(const std::string& fileName, const signature::SignatureReport& report,
                           const ValidationReport& validation, bool asking = false);

// "08.12.2026 14:30 (UTC+03:00)"; empty when the system cannot express the time.
std::string LocalTimeWithZone(std::int64_t secondsSince1970);

// The summary as plain text, lines apart (details included): for the command
// line and for tests that read the window back.
std::string SummaryText(const SignatureSummary& summary);

} // namespace tolv::validation
