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

// The icon that reads at a glance: Windows' shield icons of the task dialog,
// the theme's security-high/-low/-medium on Linux.
enum class VerdictIcon { Good, Bad, Caution };

struct SignatureSummary {
    std::string title; // names the report: "İmza bilgisi: a.Tolv"
    Verdict verdict = Verdict::Indeterminate;
    VerdictIcon icon = VerdictIcon::Caution;
    std::string verdictText;          // "İmza geçerli"...
    std::string reason;               // one plain sentence under the verdict; empty when valid
    std::vector<std::string> lines;   // who, qualified, when, revocation, anchor
    std::vector<std::string> details; // "Ayrıntılar": issuer, validity, serial...
    std::string legalNote;
    signature::Bytes certificate; // the signer's (DER), for "Sertifikayı göster"; may be empty
};

inline constexpr char kDetailsLabel[] = "Ayrıntılar";
inline constexpr char kShowCertificateLabel[] = "Sertifikayı göster";
inline constexpr char kCloseLabel[] = "Kapat";

// fileName: the report's file name, for display (UTF-8). The times are shown
// in the user's local time zone, with its offset.
SignatureSummary Summarize(const std::string& fileName, const signature::SignatureReport& report,
                           const ValidationReport& validation);

// "08.12.2026 14:30 (UTC+03:00)"; empty when the system cannot express the time.
std::string LocalTimeWithZone(std::int64_t secondsSince1970);

// The summary as plain text, lines apart (details included): for the command
// line and for tests that read the window back.
std::string SummaryText(const SignatureSummary& summary);

} // namespace tolv::validation
