#include "validation/SignatureSummary.h"

#include <cctype>
#include <cstdio>
#include <ctime>
#include <optional>

namespace tolv::validation {
namespace {

using signature::Status;

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

std::string Sentence(std::string text) {
    if (text.empty())
        return text;
    // Upper case the Turkish way: i is İ, ı is I.
    if (text[0] == 'i')
        text.replace(0, 1, "İ");
    else if (text.compare(0, 2, "ı") == 0)
        text.replace(0, 2, "I");
    else if (std::islower(static_cast<unsigned char>(text[0])))
        text[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(text[0])));
    else if (text.compare(0, 2, "ş") == 0)
        text.replace(0, 2, "Ş");
    else if (text.compare(0, 2, "ç") == 0)
        text.replace(0, 2, "Ç");
    else if (text.compare(0, 2, "ö") == 0)
        text.replace(0, 2, "Ö");
    else if (text.compare(0, 2, "ü") == 0)
        text.replace(0, 2, "Ü");
    return text + ".";
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
    return Hex(hasher->Finish(), ":");
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
    if (stamp)
        lines.push_back("Zaman damgası geçersiz: " + stamp->reason);
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
        lines.push_back("İptal durumu: denetlenemedi (" + r.reason + ")");
        return;
    case Revocation::None:
        break;
    }
    lines.push_back("İptal durumu: denetlenemedi (" +
                    (r.reason.empty() ? std::string("raporda iptal bilgisi yok") : r.reason) + ")");
}

void AddDetails(const std::optional<signature::CertificateInfo>& info,
                const signature::SignatureReport& report, const ValidationReport& validation,
                SignatureSummary& summary) {
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
    details.push_back(
        std::string("Sonuç: ") + IndicationName(c.indication) +
        (c.sub == SubIndication::None ? "" : std::string(" / ") + SubIndicationName(c.sub)));
    // The technical reason: whichever building block failed says most.
    std::string technical;
    if (report.status != Status::Intact)
        technical = report.reason;
    else if (validation.chain.outcome != ChainFacts::Outcome::Found)
        technical = validation.chain.reason;
    else if (validation.revocation.status == Revocation::Unknown)
        technical = validation.revocation.reason;
    if (!technical.empty())
        details.push_back("Teknik neden: " + technical);
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

SignatureSummary Summarize(const std::string& fileName, const signature::SignatureReport& report,
                           const ValidationReport& validation) {
    SignatureSummary summary;
    summary.title = "İmza bilgisi: " + fileName;
    summary.verdict = VerdictOf(report, validation.conclusion);
    // By Verdict, in its order.
    static constexpr struct {
        const char* text;
        VerdictIcon icon;
    } kLooks[] = {{"İmza geçerli", VerdictIcon::Good},
                  {"İmza geçersiz", VerdictIcon::Bad},
                  {"İmza doğrulanamadı", VerdictIcon::Caution},
                  {"Rapor imzalandıktan sonra değiştirilmiş", VerdictIcon::Bad}};
    summary.verdictText = kLooks[static_cast<int>(summary.verdict)].text;
    summary.icon = kLooks[static_cast<int>(summary.verdict)].icon;
    if (summary.verdict == Verdict::Altered)
        summary.reason = "İçeriğine güvenmeyin; raporu gönderenden yeniden isteyin.";
    else
        summary.reason = Sentence(validation.conclusion.reason);

    summary.certificate = report.signerCertificate;
    const auto info = report.signerCertificate.empty()
                          ? std::nullopt
                          : signature::ReadCertificate(report.signerCertificate);
    if (report.status != Status::Unknown || info) {
        const bool vouched = AnchorVouches(validation.chain);
        AddSigner(info, report, vouched, summary.lines);
        if (vouched)
            summary.lines.push_back(
                validation.qualified.Claimed()
                    ? "Nitelikli elektronik sertifika (sertifikanın beyanına göre)"
                    : "Nitelikli elektronik sertifika değil (sertifikanın beyanına göre)");
        AddTime(report, validation, summary.lines);
        if (report.status == Status::Intact)
            AddRevocation(validation, summary.lines);
        if (vouched)
            summary.lines.push_back("Güvenilen kök: " + validation.chain.anchor);
        else if (validation.conclusion.sub != SubIndication::NoCertificateChainFound)
            summary.lines.push_back(
                "Sertifika zinciri güvenilen bir köke ulaşmıyor"); // else the reason says so
    }
    AddDetails(info, report, validation, summary);
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
