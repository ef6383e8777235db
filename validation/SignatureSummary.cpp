#include "validation/SignatureSummary.h"

#include <cctype>
#include <cstdio>
#include <ctime>
#include <optional>

namespace tolv::validation {
namespace {

using signature::Status;

constexpr char kTechnicalLabel[] = "Teknik ayrıntı: ";

constexpr char kAskSender[] = "İçeriğine güvenmeyin; raporu gönderenden yeniden isteyin.";
constexpr char kNotProvenOlder[] =
    "İmzanın iptalden önce atıldığını kanıtlayan bir zaman damgası yok. İçeriğine güvenmeyin; "
    "raporu gönderenden yeniden isteyin.";

// Each class of conclusion as the reader sees it, both editions alike: the
// first row that matches wins; a cause narrows a row to reports the
// signature check could not read for that cause.
struct LookRow {
    Indication indication;
    SubIndication sub;
    signature::UnknownCause cause;
    VerdictLook look;
};
using enum Indication;
using enum SubIndication;
using Cause = signature::UnknownCause;
constexpr LookRow kLooks[] = {
    {Valid, None, Cause::None, {"İmza geçerli", ""}},
    {Invalid, HashFailure, Cause::None, {"Rapor imzalandıktan sonra değiştirilmiş", kAskSender}},
    {Invalid,
     SigCryptoFailure,
     Cause::None,
     {"Rapor imzalandıktan sonra değiştirilmiş", kAskSender}},
    {Invalid,
     Revoked,
     Cause::None,
     {"İmza geçersiz", "İmzalayanın sertifikası imzadan önce iptal edilmiş. İçeriğine güvenmeyin; "
                       "raporu gönderenden yeniden isteyin."}},
    {Indeterminate,
     FormatFailure,
     Cause::NoSignature,
     {"Bu raporda imza yok", "Raporu kimin hazırladığı ve sonradan değiştirilip değiştirilmediği "
                             "bilinemez. İmzalı hâlini gönderenden isteyin."}},
    {Indeterminate,
     FormatFailure,
     Cause::ChangedWhileRead,
     {"Rapor okunurken değişti", "Rapor dosyası denetlenirken değişti. Pencereyi kapatıp yeniden "
                                 "açın."}},
    {Indeterminate,
     FormatFailure,
     Cause::None,
     {"İmzanın biçimi bozuk", "İmza, denetlenebilecek biçimde değil. Raporu gönderenden yeniden "
                              "isteyin."}},
    {Indeterminate,
     NoSigningCertificateFound,
     Cause::None,
     {"İmzalayanın sertifikası raporda yok", "Kimin imzaladığı bilinemez. Raporu gönderenden "
                                             "yeniden isteyin."}},
    {Indeterminate,
     CryptoConstraintsFailureNoPoe,
     Cause::Method,
     {"İmzanın yöntemi tanınmıyor", "Rapor, bu programın denetleyemediği bir yöntemle "
                                    "imzalanmış. Raporu gönderene sorun."}},
    {Indeterminate,
     CryptoConstraintsFailureNoPoe,
     Cause::None,
     {"İmza artık güvenli sayılmayan bir yöntemle atılmış",
      "İmzanın bu yöntem güvenliyken atıldığını kanıtlayan bir zaman damgası yok. Raporun güncel "
      "bir yöntemle imzalanmış hâlini gönderenden isteyin."}},
    {Indeterminate,
     NoCertificateChainFound,
     Cause::None,
     {"İmzalayanın kimliği doğrulanamadı",
      "Sertifikasını bu bilgisayarın güvendiği bir makam vermemiş. Raporu gönderene sorun; "
      "kurumunuzun kendi makamıysa yöneticiniz onu güvenilenlere ekleyebilir."}},
    {Indeterminate,
     ChainConstraintsFailure,
     Cause::None,
     {"İmzalayanın sertifikası denetlenemedi",
      "Sertifikayı veren makamın belgeleri kurallara uymuyor. Raporu gönderene sorun; sürerse "
      "yöneticinize bildirin."}},
    {Indeterminate,
     OutOfBoundsNoPoe,
     Cause::None,
     {"İmzalayanın sertifikasının süresi dolmuş",
      "İmzanın sertifika geçerliyken atıldığını kanıtlayan bir zaman damgası yok. Raporun zaman "
      "damgalı hâlini gönderenden isteyin."}},
    {Indeterminate,
     RevokedNoPoe,
     Cause::None,
     {"İmzalayanın sertifikası iptal edilmiş", kNotProvenOlder}},
    {Indeterminate,
     RevokedCaNoPoe,
     Cause::None,
     {"Sertifikayı veren makamın sertifikası iptal edilmiş", kNotProvenOlder}},
    {Indeterminate,
     TryLater,
     Cause::None,
     {"Sertifikanın iptal edilip edilmediği öğrenilemedi",
      "İnternete bağlıyken yeniden deneyin; sonuç değişmezse yöneticinize sorun."}},
    {Indeterminate,
     SigConstraintsFailure,
     Cause::None,
     {"Sertifika imza atmak için verilmemiş",
      "İmzalayan, imza için verilmemiş bir sertifika kullanmış. Raporu gönderene sorun."}},
    {Indeterminate,
     SignedDataNotFound,
     Cause::None,
     {"İmzalanan içerik bulunamadı", "Raporu gönderenden yeniden isteyin."}},
};
constexpr VerdictLook kOtherLook = {"İmza doğrulanamadı", "Raporu gönderene sorun."};

constexpr char kLegalNote[] =
    "Bu bilgi imzanın hukuki geçerliliği hakkında bir karar değildir. Nitelik, sertifikanın "
    "kendi beyanıdır; güven listesine bakılmadı.";

// Days since 1970-01-01 of a civil date (proleptic Gregorian).
std::int64_t DaysFromCivil(std::int64_t y, unsigned m, unsigned d) {
    y -= m <= 2;
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}

std::string Hex(const signature::Bytes& bytes, const char* separator) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string text;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (i > 0)
            text += separator;
        text += kDigits[bytes[i] >> 4];
        text += kDigits[bytes[i] & 15];
    }
    return text;
}

std::string Fingerprint(const signature::Bytes& der) {
    auto hasher = signature::NewHasher(signature::HashAlgorithm::Sha256);
    hasher->Update(der.data(), der.size());
    // Blanks, as Windows' own certificate window writes it, let the line
    // wrap: the task dialog cuts a word too long for its width.
    return Hex(hasher->Finish(), " ");
}

bool AllDigits(const std::string& text) {
    if (text.empty())
        return false;
    for (char c : text)
        if (!std::isdigit(static_cast<unsigned char>(c)))
            return false;
    return true;
}

// What the certificate says of its holder beyond the name (organisation,
// identity number) is shown only where an anchor vouches for it: a
// certificate of one's own can say anything.
void AddSigner(const std::optional<signature::CertificateInfo>& info,
               const signature::SignatureReport& report, bool vouched,
               std::vector<std::string>& lines) {
    const std::string name = info ? info->subject : report.signer;
    if (name.empty()) {
        lines.push_back("İmzalayan: sertifikası okunamadı");
        return;
    }
    if (!vouched) {
        lines.push_back("İmzalayan: " + name + " (sertifikada yazan ad, doğrulanmadı)");
        return;
    }
    std::string line = "İmzalayan: " + name;
    if (info && !info->organization.empty() && info->organization != name)
        line += " (" + info->organization + ")";
    lines.push_back(line);
    if (!info || info->subjectSerial.empty())
        return;
    // Turkish certificates carry the T.C. identity number (11 digits) here,
    // sometimes after a "TCKN" prefix.
    std::string serial = info->subjectSerial;
    if (serial.rfind("TCKN", 0) == 0)
        serial.erase(0, 4);
    if (serial.size() == 11 && AllDigits(serial))
        lines.push_back("T.C. kimlik no: " + serial);
    else
        lines.push_back("Kimlik seri no: " + info->subjectSerial);
}

void AddTime(const signature::SignatureReport& report, const ValidationReport& validation,
             std::vector<std::string>& lines) {
    const auto& stamp = validation.timeStamp;
    if (stamp && stamp->valid) {
        lines.push_back("İmza zamanı: " + LocalTimeWithZone(stamp->time) + ", zaman damgası: " +
                        (stamp->authority.empty() ? "adı okunamayan bir makam" : stamp->authority));
        return;
    }
    std::string claimed = report.signingTime ? LocalTimeWithZone(*report.signingTime) : "";
    if (claimed.empty())
        claimed = report.signingTimeText;
    if (!claimed.empty())
        lines.push_back("İmza zamanı: " + claimed + " (imzalayanın beyanı)");
    // Why it failed is technical: AddDetails says it.
    if (stamp)
        lines.push_back("Zaman damgası geçersiz: imzanın zamanını kanıtlamıyor");
}

// "saat 14:30 (UTC+03:00)" today, else the day too: an answer may come from
// the cache, fetched days ago.
std::string AskedText(std::int64_t seconds) {
    const std::string full = LocalTimeWithZone(seconds);
    const std::string today = LocalTimeWithZone(std::time(nullptr));
    const std::size_t space = full.find(' ');
    if (space == std::string::npos || full.compare(0, space, today, 0, space) != 0)
        return full;
    return "saat " + full.substr(space + 1);
}

void AddRevocation(const ValidationReport& validation, std::vector<std::string>& lines) {
    const RevocationFacts& r = validation.revocation;
    const std::string how = r.online ? "çevrimiçi soruldu, " + AskedText(r.askedAt)
                                     : std::string(r.source == "crl" ? "raporun kendi iptal listesi"
                                                                     : "raporun kendi OCSP yanıtı");
    switch (r.status) {
    case Revocation::Good:
        lines.push_back("İptal durumu: denetlendi, sertifika iptal edilmemiş (" + how + ")");
        return;
    case Revocation::Revoked:
        lines.push_back("İptal durumu: sertifika " +
                        (r.revokedAt ? LocalTimeWithZone(*r.revokedAt) + " tarihinde " : "") +
                        "iptal edilmiş (" + how + ")");
        return;
    case Revocation::Unknown:
    case Revocation::None:
        break;
    }
    // Why exactly (which answer, which network error) is for the details.
    if (r.reason.empty())
        lines.push_back("İptal durumu: öğrenilemedi (raporda iptal bilgisi yok)");
    else if (r.reason.rfind("çevrimiçi", 0) == 0)
        lines.push_back("İptal durumu: öğrenilemedi (çevrimiçi sorulamadı)");
    else
        lines.push_back("İptal durumu: öğrenilemedi");
}

// A valid verdict beside a fact that looks bad says why it still holds.
void AddWhyStillValid(const std::optional<signature::CertificateInfo>& info,
                      const ValidationReport& validation, std::vector<std::string>& lines) {
    if (validation.conclusion.indication != Indication::Valid || !validation.timeStamp ||
        !validation.timeStamp->valid)
        return;
    if (validation.revocation.status == Revocation::Revoked)
        lines.push_back("Sertifika sonradan iptal edilmiş; imza, iptalden önce atıldığı zaman "
                        "damgasıyla kanıtlanmış");
    else if (info && info->notAfter < static_cast<std::int64_t>(std::time(nullptr)))
        lines.push_back("Sertifikanın süresi dolmuş; imza, sürenin dolmasından önce atıldığı zaman "
                        "damgasıyla kanıtlanmış");
}

void AddDetails(const std::optional<signature::CertificateInfo>& info,
                const signature::SignatureReport& report, const ValidationReport& validation,
                bool asking, SignatureSummary& summary) {
    auto& details = summary.details;
    if (info) {
        details.push_back("Sertifikayı veren: " + info->issuer);
        details.push_back("Geçerlilik: " + LocalTimeWithZone(info->notBefore) + " – " +
                          LocalTimeWithZone(info->notAfter));
        details.push_back("Seri numarası: " + info->serial);
        details.push_back("SHA-256 parmak izi: " + Fingerprint(summary.certificate));
    }
    if (!report.signatureMethod.empty())
        details.push_back("İmza algoritması: " + report.signatureMethod + "; özet: " +
                          report.digestMethods + "; kanonikleştirme: " + report.canonicalization);
    if (info && info->keyBits > 0)
        details.push_back("Anahtar: " + info->keyType + ", " + std::to_string(info->keyBits) +
                          " bit");
    const Conclusion& c = validation.conclusion;
    if (asking)
        return; // no conclusion yet
    details.push_back(
        std::string("Sonuç kodu: ") + IndicationName(c.indication) +
        (c.sub == SubIndication::None ? "" : std::string(" / ") + SubIndicationName(c.sub)));
    // The technical reasons: the conclusion's, then whichever building block
    // failed, which says most.
    std::string technical;
    if (report.status != Status::Intact)
        technical = report.reason;
    else if (validation.chain.outcome != ChainFacts::Outcome::Found)
        technical = validation.chain.reason;
    else if (validation.revocation.status == Revocation::Unknown ||
             validation.revocation.status == Revocation::None)
        technical = validation.revocation.reason;
    if (!c.reason.empty())
        details.push_back(std::string(kTechnicalLabel) + c.reason);
    if (!technical.empty() && technical != c.reason)
        details.push_back(std::string(kTechnicalLabel) + technical);
    if (validation.timeStamp && !validation.timeStamp->valid)
        details.push_back(std::string(kTechnicalLabel) +
                          "zaman damgası: " + validation.timeStamp->reason);
}

Verdict VerdictOf(const signature::SignatureReport& report, const Conclusion& conclusion) {
    if (report.status == Status::Altered)
        return Verdict::Altered;
    switch (conclusion.indication) {
    case Indication::Valid:
        return Verdict::Valid;
    case Indication::Invalid:
        return Verdict::Invalid;
    case Indication::Indeterminate:
        break;
    }
    return Verdict::Indeterminate;
}

} // namespace

std::string LocalTimeWithZone(std::int64_t secondsSince1970) {
    const std::time_t time = static_cast<std::time_t>(secondsSince1970);
    if (static_cast<std::int64_t>(time) != secondsSince1970)
        return {};
    // localtime's buffer is shared; the program asks from one thread only.
    const std::tm* found = std::localtime(&time);
    if (found == nullptr)
        return {};
    const std::tm local = *found;
    char text[32] = {};
    if (std::strftime(text, sizeof(text), "%d.%m.%Y %H:%M", &local) == 0)
        return {};
    // The offset from the local fields themselves: %z is a zone's name on Windows.
    const std::int64_t asUtc =
        DaysFromCivil(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday) * 86400 +
        local.tm_hour * 3600 + local.tm_min * 60 + local.tm_sec;
    const std::int64_t offset = (asUtc - secondsSince1970) / 60;
    const std::int64_t minutes = offset < 0 ? -offset : offset;
    char zone[16] = {};
    std::snprintf(zone, sizeof(zone), "UTC%c%02d:%02d", offset < 0 ? '-' : '+',
                  static_cast<int>(minutes / 60), static_cast<int>(minutes % 60));
    return std::string(text) + " (" + zone + ")";
}

VerdictLook LookOf(const signature::SignatureReport& report, const Conclusion& conclusion) {
    for (const LookRow& row : kLooks)
        if (row.indication == conclusion.indication && row.sub == conclusion.sub &&
            (row.cause == Cause::None || row.cause == report.cause))
            return row.look;
    return kOtherLook;
}

IconLook LookOf(VerdictIcon icon) {
    switch (icon) {
    case VerdictIcon::Good:
        return {"Güvenilir", 0x1b7a3e};
    case VerdictIcon::Bad:
    case VerdictIcon::Altered:
        return {"Güvenilmez", 0xc01c28};
    case VerdictIcon::Caution:
        break;
    }
    return {"Dikkat", 0x8a5a00};
}

SignatureSummary Summarize(const std::string& fileName, const signature::SignatureReport& report,
                           const ValidationReport& validation, bool asking) {
    SignatureSummary summary;
    summary.title = "İmza bilgisi: " + fileName;
    summary.verdict = VerdictOf(report, validation.conclusion);
    // By Verdict, in its order.
    static constexpr VerdictIcon kIcons[] = {VerdictIcon::Good, VerdictIcon::Bad,
                                             VerdictIcon::Caution, VerdictIcon::Altered};
    summary.icon = kIcons[static_cast<int>(summary.verdict)];
    const VerdictLook look = LookOf(report, validation.conclusion);
    summary.verdictText = asking ? kCheckingText : look.heading;
    summary.reason = asking ? "" : look.nextStep;

    summary.certificate = report.signerCertificate;
    if (validation.chain.chain.size() > 1)
        summary.path.assign(validation.chain.chain.begin() + 1, validation.chain.chain.end());
    const auto info = report.signerCertificate.empty()
                          ? std::nullopt
                          : signature::ReadCertificate(report.signerCertificate);
    summary.signerName = info ? info->subject : report.signer;
    if (report.status != Status::Unknown || info) {
        const bool vouched = AnchorVouches(validation.chain);
        AddSigner(info, report, vouched, summary.lines);
        if (vouched)
            summary.lines.push_back(
                validation.qualified.Claimed()
                    ? "Nitelikli elektronik sertifika (sertifikanın beyanına göre)"
                    : "Nitelikli elektronik sertifika değil (sertifikanın beyanına göre)");
        AddTime(report, validation, summary.lines);
        if (report.status == Status::Intact && !asking)
            AddRevocation(validation, summary.lines);
        AddWhyStillValid(info, validation, summary.lines);
        if (vouched)
            summary.lines.push_back("Kimliği doğrulayan makam: " + validation.chain.anchor);
        else if (validation.conclusion.sub != SubIndication::NoCertificateChainFound)
            summary.lines.push_back( // else the heading says so
                "İmzalayanın kimliğini bu bilgisayarın güvendiği bir makam doğrulamıyor");
    }
    AddDetails(info, report, validation, asking, summary);
    summary.legalNote = kLegalNote;
    return summary;
}

std::string SummaryText(const SignatureSummary& summary) {
    std::string text = summary.verdictText + "\n";
    if (!summary.reason.empty())
        text += summary.reason + "\n";
    text += "\n";
    for (const std::string& line : summary.lines)
        text += line + "\n";
    text += std::string("\n") + kDetailsLabel + ":\n";
    for (const std::string& line : summary.details)
        text += line + "\n";
    return text + "\n" + summary.legalNote;
}

} // namespace tolv::validation
