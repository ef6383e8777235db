#pragma once
// The check of a report's own XML signature (XML-DSig, as XAdES uses it):
// whether the report was changed after signing, and who signed it.

#include "report/Extraction.h"
#include "report/ReportReader.h"
#include "signature/Crypto.h"
#include "signature/UnsignedProperties.h"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace tolv::signature {

enum class Status {
    Intact,  // every digest and the signature value verify, and they cover the PDF
    Altered, // something that could be checked does not match
    Unknown, // the check could not be made; reason says why
};

// Why a check could not be made, in the few kinds a user is told of.
enum class UnknownCause {
    None,             // the check was made
    NoSignature,      // the report carries no signature
    Method,           // an algorithm, transform or key this program does not check
    Structure,        // the signature's structure does not allow a check
    NoCertificate,    // the signer's certificate is missing or cannot be read
    ChangedWhileRead, // the report's bytes changed between two reads
};

struct SignatureReport {
    Status status = Status::Unknown;
    // Why, in Turkish, without a final full stop: for Unknown the cause, for
    // Altered what does not match.
    std::string reason;
    UnknownCause cause = UnknownCause::None;
    std::string causeName; // for Method: which one ("dsa-sha1", "512 bitlik RSA anahtarı")
    // For Altered: what does not match.
    enum class Mismatch { None, SignatureValue, Digest, SigningCertificate, NotCovered };
    Mismatch mismatch = Mismatch::None;

    // Of the signer's certificate, when there is one that could be read.
    std::string signer;
    std::string issuer;
    std::optional<std::int64_t> notBefore; // seconds since 1970-01-01 UTC
    std::optional<std::int64_t> notAfter;
    // XAdES SigningTime: the signer's own claim, as written and as a time.
    std::string signingTimeText;
    std::optional<std::int64_t> signingTime;
    // Algorithms by short name ("rsa-sha256", "sha256", "c14n", "exc-c14n"...).
    std::string signatureMethod;
    std::string digestMethods;  // of the references, comma-separated, no repeats
    std::string canonicalization;
    bool usesSha1 = false;
    // The signer's key, as "rsa-2048" or "ec-256"; empty when it could not be read.
    std::string key;
    unsigned keyBits = 0;
    bool rsaKey = false;
    // The signer's certificate (DER; empty when none could be read) and the
    // other certificates of KeyInfo, for the validation of its chain.
    Bytes signerCertificate;
    std::vector<Bytes> otherCertificates;
    // XAdES unsigned properties: signature time-stamps, certificate and
    // revocation values (OCSP responses, CRLs).
    UnsignedData unsignedData;
    // The signer's chain reaches a root this computer trusts (no revocation
    // look-up). Information only: it never changes status.
    bool trusted = false;
};

// "intact", "altered", "unknown".
const char* StatusName(Status status);

// The check as a consumer of the reader's events, for callers that run the
// reads themselves (the fuzzer, tests on documents in memory): give Observer()
// one read of the whole document; when NeedsSecondRead, BeginSecondRead and
// give the new Observer() the whole document again; then Result.
class Reading;
class SignatureCheck {
public:
    SignatureCheck();
    ~SignatureCheck();
    SignatureCheck(const SignatureCheck&) = delete;
    SignatureCheck& operator=(const SignatureCheck&) = delete;

    report::XmlObserver& Observer();
    bool NeedsSecondRead();
    void BeginSecondRead();
    SignatureReport Result();

private:
    std::unique_ptr<Reading> first_; // once the second read begins
    std::unique_ptr<Reading> check_;
};

// Checks the report at path; reads it once, twice when the signature comes
// after what it signs (the second read then checks everything from its own
// bytes). Throws report::ReportError when the report cannot be read or is not
// well-formed XML. taps: where tests stand between the check and the file.
SignatureReport CheckReport(const std::filesystem::path& report);
SignatureReport CheckReport(const std::filesystem::path& report, const report::FileTaps& taps);
// For many reports: trust holds the system's roots, read once.
SignatureReport CheckReport(const std::filesystem::path& report, const SystemTrust& trust);

// Writes the PDF as report::WritePdfFromReport does and checks the signature
// in the same read: where the order needs a second read, that read writes the
// PDF, so the PDF shown is always one the check digested. decide sees
// the check before the PDF takes its place: false discards the new PDF (an
// earlier one stays as it was; outcome NotWritten with an empty reason).
struct ViewResult {
    report::PdfResult pdf;
    SignatureReport signature;
};
ViewResult WritePdfAndCheck(const std::filesystem::path& report, const std::filesystem::path& pdf,
                            const std::function<bool(const SignatureReport&)>& decide);
ViewResult WritePdfAndCheck(const std::filesystem::path& report, const std::filesystem::path& pdf,
                            const std::function<bool(const SignatureReport&)>& decide,
                            const report::FileTaps& taps);

} // namespace tolv::signature
