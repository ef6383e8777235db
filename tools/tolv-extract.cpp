// tolv-extract [--check] [--] REPORT PDF
// tolv-extract --verify [--json] [--jobs N] [--online] [--trust-anchors PATH]...
//              [--require intact|valid] [--] PATH...
// Writes the PDF that a signed report carries, with the viewer's own reader, for
// batch use and scripts; --check also checks the report's signature in the
// same read, --verify only checks it, each report given or found in a folder
// given, on N threads, its lines in the order of a walk on one. Exit status of
// extraction: 0 written, 1 no PDF in the report, 2 the report cannot be read,
// 3 the PDF cannot be written. Of --verify: 4 any report altered or invalid,
// else 2 any that cannot be read, else 6 any not valid under --require valid,
// else 5 any unknown, else 0.

#include "report/File.h"
#include "report/ReportReader.h"
#include "signature/Verifier.h"
#include "validation/OnlineRevocation.h"
#include "validation/TrustSettings.h"
#include "validation/Validation.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <optional>
#include <exception>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "tools/CommandLine.h"
#include "tools/ErrorLine.h"
#include "tools/OrderedRun.h"
#include "tools/ProgressLine.h"
#include "tools/ReportWalk.h"
#include "tools/TerminalText.h"
#include "tools/VerifyTally.h"

namespace {

using tolv::signature::SignatureReport;

std::string UtcText(std::int64_t seconds) {
    const std::time_t time = std::time_t(seconds);
    std::tm tm{};
#ifdef _WIN32
    gmtime_s(&tm, &time);
#else
    gmtime_r(&time, &tm);
#endif
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &tm);
    return text;
}

// Tabs and line ends would break the line's fields, and control sequences
// what a terminal shows of it.
std::string Field(const std::string& text) {
    return tolv::tools::EscapeControls(text);
}

// Control characters and direction marks as \u escapes, C1 and DEL too: a
// terminal that shows the line must not act on them.
std::string Json(const std::string& text) {
    std::string out = "\"";
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (const auto control = tolv::tools::ControlAt(text, i)) {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\u%04x", unsigned(control->codePoint));
            out += escape;
            i += control->length - 1;
        } else {
            out += c;
        }
    }
    return out + '"';
}

// A line of standard error about a report: its name and reason may come from
// the file system or the report.
void PrintError(const std::string& text) {
    tolv::tools::PrintLine(("tolv-extract: " + tolv::tools::EscapeControls(text)).c_str());
}

struct Detail {
    const char* key;
    const char* jsonKey;
    std::string value;
    bool present;
};

std::vector<Detail> Details(const SignatureReport& r) {
    return {
        {"signer", "signer", r.signer, !r.signer.empty()},
        {"issuer", "issuer", r.issuer, !r.issuer.empty()},
        {"not-before", "notBefore", r.notBefore ? UtcText(*r.notBefore) : "",
         r.notBefore.has_value()},
        {"not-after", "notAfter", r.notAfter ? UtcText(*r.notAfter) : "", r.notAfter.has_value()},
        {"signing-time", "signingTime", r.signingTime ? UtcText(*r.signingTime) : r.signingTimeText,
         !r.signingTimeText.empty()},
        {"signature-method", "signatureMethod", r.signatureMethod, !r.signatureMethod.empty()},
        {"key", "key", r.key, !r.key.empty()},
        {"digest-methods", "digestMethods", r.digestMethods, !r.digestMethods.empty()},
        {"canonicalization", "canonicalization", r.canonicalization, !r.canonicalization.empty()},
        {"reason", "reason", r.reason, !r.reason.empty()},
    };
}

// The validation's conclusion and what it rests on, after the check's details.
std::vector<Detail> Details(const tolv::validation::ValidationReport& v) {
    using namespace tolv::validation;
    const std::string sub = SubIndicationName(v.conclusion.sub);
    const std::optional<TimeStampFacts>& ts = v.timeStamp;
    return {
        {"conclusion", "conclusion", IndicationName(v.conclusion.indication), true},
        {"sub-indication", "subIndication", sub, !sub.empty()},
        {"validation-reason", "validationReason", v.conclusion.reason,
         !v.conclusion.reason.empty()},
        {"revocation", "revocation", RevocationName(v.revocation.status), true},
        {"revoked-at", "revokedAt", v.revocation.revokedAt ? UtcText(*v.revocation.revokedAt) : "",
         v.revocation.revokedAt.has_value()},
        {"revocation-reason", "revocationReason", v.revocation.reason,
         !v.revocation.reason.empty()},
        {"timestamp", "timestamp",
         !ts         ? "none"
         : ts->valid ? "valid"
                     : "invalid",
         true},
        {"timestamp-time", "timestampTime", ts && ts->valid ? UtcText(ts->time) : "",
         ts && ts->valid},
        {"timestamp-authority", "timestampAuthority", ts ? ts->authority : "",
         ts && !ts->authority.empty()},
        {"timestamp-reason", "timestampReason", ts ? ts->reason : "", ts && !ts->valid},
        {"best-signature-time", "bestSignatureTime", UtcText(v.bestSignatureTime), true},
        {"anchor", "anchor", v.chain.anchor, !v.chain.anchor.empty()},
    };
}

std::string Line(const std::string& path, const SignatureReport& r, bool json,
                 const tolv::validation::ValidationReport* v = nullptr) {
    std::vector<Detail> details = Details(r);
    if (v != nullptr)
        for (Detail& d : Details(*v))
            details.push_back(std::move(d));
    // The claim is the certificate's own; qualified only where an anchor vouches for it.
    const bool qualified = v != nullptr && v->Qualified();
    const bool claimed = v != nullptr && v->qualified.Claimed();
    if (json) {
        std::string out = "{\"status\":" + Json(tolv::signature::StatusName(r.status)) +
                          ",\"path\":" + Json(path);
        for (const Detail& d : details)
            if (d.present)
                out += ",\"" + std::string(d.jsonKey) + "\":" + Json(d.value);
        out += std::string(",\"sha1\":") + (r.usesSha1 ? "true" : "false");
        if (v != nullptr)
            out += std::string(",\"qualified\":") + (qualified ? "true" : "false") +
                   ",\"qualifiedClaim\":" + (claimed ? "true" : "false");
        return out + ",\"trusted\":" + (r.trusted ? "true" : "false") + "}";
    }
    std::string out = std::string(tolv::signature::StatusName(r.status)) + '\t' + Field(path);
    for (const Detail& d : details)
        if (d.present)
            out += '\t' + std::string(d.key) + '=' + Field(d.value);
    if (v != nullptr)
        out += std::string("\tqualified=") + (qualified ? "yes" : "no") +
               "\tqualified-claim=" + (claimed ? "yes" : "no");
    return out + "\ttrusted=" + (r.trusted ? "yes" : "no");
}

// A report that cannot be read keeps its place among the others' lines.
std::string UnreadableLine(const std::string& path, const std::string& reason, bool json) {
    if (json)
        return "{\"status\":\"unreadable\",\"path\":" + Json(path) + ",\"reason\":" + Json(reason) +
               "}";
    return "unreadable\t" + Field(path) + "\treason=" + Field(reason);
}

struct Judged {
    std::string line;
    std::string error; // for standard error, when the report cannot be read
    tolv::tools::Verdict verdict = tolv::tools::Verdict::Unreadable;
    tolv::tools::Judgement judgement = tolv::tools::Judgement::None;
};

// A folder that could not be listed comes with its reason instead.
struct Found {
    std::filesystem::path path;
    std::string unreadable;
};

// What is the same for every report, made once before the workers start.
struct Judge {
    bool json;
    bool online;
    const tolv::validation::Anchors& anchors;
    tolv::signature::SystemTrust trust;
    tolv::validation::OnlineOptions options{.cacheFolder =
                                                tolv::validation::DefaultRevocationCache()};

    Judged operator()(const Found& found) const {
        using tolv::tools::Verdict;
        const std::string path = tolv::report::PathText(found.path);
        if (!found.unreadable.empty())
            return {UnreadableLine(path, found.unreadable, json), found.unreadable};
        try {
            const SignatureReport r = tolv::signature::CheckReport(found.path, trust);
            const std::int64_t now = std::time(nullptr);
            const auto v = online ? tolv::validation::ValidateOnline(r, anchors, now, options)
                                  : tolv::validation::Validate(r, anchors, now);
            using tolv::validation::Indication;
            const auto judgement = v.conclusion.indication == Indication::Valid
                                       ? tolv::tools::Judgement::Valid
                                   : v.conclusion.indication == Indication::Invalid
                                       ? tolv::tools::Judgement::Invalid
                                       : tolv::tools::Judgement::Indeterminate;
            const Verdict verdict = r.status == tolv::signature::Status::Intact ? Verdict::Intact
                                    : r.status == tolv::signature::Status::Altered
                                        ? Verdict::Altered
                                        : Verdict::Unknown;
            return {Line(path, r, json, &v), {}, verdict, judgement};
        } catch (const std::exception& error) {
            return {UnreadableLine(path, error.what(), json), error.what()};
        }
    }
};

int Verify(const tolv::tools::CommandLine& line, const tolv::validation::Anchors& anchors) {
    const auto start = std::chrono::steady_clock::now();
    auto elapsed = [&] {
        return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    };
    const unsigned jobs = line.jobs.value_or(std::max(1u, std::thread::hardware_concurrency()));
    const Judge judge{line.json, line.online, anchors, {}};
    tolv::tools::VerifyTally tally(line.require);
    tolv::tools::ProgressLine progress(tolv::tools::ErrorIsTerminal(),
                                       tolv::tools::OutputIsTerminal());
    {
        tolv::tools::OrderedRun<Found, Judged> run(
            jobs, 16 * std::size_t(jobs), std::cref(judge), [&](Judged& judged) {
                progress.Around(!judged.error.empty(), [&] {
                    tolv::tools::PrintOutputLine(judged.line.c_str());
                    if (!judged.error.empty())
                        PrintError(judged.error);
                });
                tally.Add(judged.verdict, judged.judgement);
                if (const double seconds = elapsed(); progress.Due(seconds))
                    progress.Show(tally.ProgressText(seconds), seconds);
            });
        tolv::tools::WalkReports(
            line.operands,
            [&](const std::filesystem::path& path) {
                run.Add({path, {}});
            },
            [&](const std::filesystem::path& path, const std::string& reason) {
                run.Add({path, reason});
            });
        run.Finish();
    }
    progress.Finish(tally.SummaryText(elapsed()));
    return tally.ExitStatus();
}

int Extract(const std::filesystem::path& report, const std::filesystem::path& pdf, bool check) {
    using Outcome = tolv::report::PdfResult::Outcome;
    try {
        tolv::report::PdfResult result;
        if (check) {
            const auto view = tolv::signature::WritePdfAndCheck(report, pdf, nullptr);
            tolv::tools::PrintOutputLine(
                Line(tolv::report::PathText(report), view.signature, false).c_str());
            result = view.pdf;
        } else {
            result = tolv::report::WritePdfFromReport(report, pdf);
        }
        if (result.outcome == Outcome::Written)
            return 0;
        if (result.outcome == Outcome::NotWritten) {
            PrintError("PDF yazılamadı: " + tolv::report::PathText(pdf) + " (" + result.reason +
                       ")");
            return 3;
        }
        tolv::tools::PrintLine("tolv-extract: raporda PDF bulunamadı");
        return 1;
    } catch (const std::exception& error) {
        PrintError(error.what());
        return 2;
    }
}

int Verify(const tolv::tools::CommandLine& line) {
    tolv::validation::Anchors anchors;
    // The institution's standing anchors: one it cannot read is said, and
    // the reports are still judged, with the rest.
    for (const auto& path : tolv::validation::InstitutionAnchorPaths())
        if (const std::string error = anchors.Add(path); !error.empty())
            PrintError(error);
    for (const auto& path : line.anchors)
        if (const std::string error = anchors.Add(path); !error.empty()) {
            PrintError(error);
            return 2;
        }
    return Verify(line, anchors);
}

template <class Char> int Run(int argc, Char** argv) {
    using tolv::tools::Mode;
    tolv::tools::CommandLine line;
    try {
        line =
            tolv::tools::ReadCommandLine(std::vector<std::filesystem::path>(argv + 1, argv + argc));
    } catch (const tolv::tools::UsageError& error) {
        PrintError(error.what());
        tolv::tools::PrintLine(tolv::tools::UsageText().c_str());
        return 2;
    }
    switch (line.mode) {
    case Mode::Help:
        tolv::tools::PrintOutputLine(tolv::tools::HelpText().c_str());
        return 0;
    case Mode::Version:
        tolv::tools::PrintOutputLine("tolv-extract " TOLV_VERSION_TEXT);
        return 0;
    case Mode::Verify:
        return Verify(line);
    default:
        return Extract(line.operands[0], line.operands[1], line.mode == Mode::Check);
    }
}

} // namespace

#ifdef _WIN32
int wmain(int argc, wchar_t** argv) {
    return Run(argc, argv);
}
#else
int main(int argc, char** argv) {
    return Run(argc, argv);
}
#endif
