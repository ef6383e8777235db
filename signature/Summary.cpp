#include "signature/Summary.h"

#include <ctime>
#include <vector>

namespace tolv::signature {

namespace {

constexpr char kIntactLine[] = "İmza geçerli: rapor imzalandığından beri değiştirilmemiş.";
constexpr char kAlteredLine[] = "İmza bozuk: rapor imzalandıktan sonra değiştirilmiş.";
constexpr char kUnknownLine[] = "İmza denetlenemedi: ";
constexpr char kTrustedLine[] =
    "Sertifika zinciri bu bilgisayarın güvendiği bir kök sertifikaya ulaşıyor.";
constexpr char kUntrustedLine[] =
    "Sertifika zinciri bu bilgisayarın güvendiği bir kök sertifikaya ulaşmıyor; imzalayanın "
    "kimliği bu bilgisayarca doğrulanamadı.";
constexpr char kLimitsLine[] = "Bu denetim imzanın yasal geçerliliğini, sertifikanın iptal "
                               "durumunu ya da nitelikli olup olmadığını göstermez.";

std::string StatusLine(const SignatureReport& report) {
    switch (report.status) {
    case Status::Intact:
        return kIntactLine;
    case Status::Altered:
        return kAlteredLine;
    case Status::Unknown:
        break;
    }
    return kUnknownLine +
           (report.reason.empty() ? std::string("bilinmeyen neden") : report.reason) + ".";
}

// The certificate's lines; none when no certificate could be read.
void AddCertificateLines(const SignatureReport& report, std::vector<std::string>& lines) {
    if (report.signer.empty() && report.issuer.empty())
        return;
    if (!report.signer.empty())
        lines.push_back("İmzalayan: " + report.signer);
    if (!report.issuer.empty())
        lines.push_back("Sertifikayı veren: " + report.issuer);
    if (report.notBefore && report.notAfter) {
        const std::string from = LocalTimeText(*report.notBefore);
        const std::string to = LocalTimeText(*report.notAfter);
        if (!from.empty() && !to.empty())
            lines.push_back("Sertifika geçerlilik süresi: " + from + " – " + to);
    }
}

void AddSigningTimeLine(const SignatureReport& report, std::vector<std::string>& lines) {
    // A claimed time that cannot be read as a time is shown as the signer wrote it.
    std::string time = report.signingTime ? LocalTimeText(*report.signingTime) : std::string();
    if (time.empty())
        time = report.signingTimeText;
    if (!time.empty())
        lines.push_back("İmza zamanı (imzalayanın beyanı): " + time);
}

} // namespace

std::string CauseText(const SignatureReport& report) {
    switch (report.cause) {
    case UnknownCause::NoSignature:
        return "raporda imza yok";
    case UnknownCause::Method:
        return "rapor, bu programın denetleyemediği bir yöntemle imzalanmış (" +
               (report.causeName.empty() ? std::string("bilinmeyen yöntem") : report.causeName) +
               ")";
    case UnknownCause::NoCertificate:
        return "imzalayanın sertifikası raporda yok ya da okunamıyor";
    case UnknownCause::ChangedWhileRead:
        return "rapor okunurken değişti";
    case UnknownCause::Structure:
    case UnknownCause::None:
        break;
    }
    return "imzanın yapısı denetime izin vermiyor";
}

std::string UnverifiedQuestion(const SignatureReport& report) {
    return "Bu raporun imzası denetlenemedi: " + CauseText(report) +
           ". Raporun imzalayandan geldiği ve sonradan değiştirilmediği doğrulanamadı.\n\n"
           "Rapor yine de açılsın mı?";
}

std::string AboutReport(const std::string& fileName, const std::string& text) {
    return "Rapor: " + fileName + "\n\n" + text;
}

SummaryIcon IconOf(Status status) {
    switch (status) {
    case Status::Intact:
        return SummaryIcon::Information;
    case Status::Altered:
        return SummaryIcon::Warning;
    case Status::Unknown:
        break;
    }
    return SummaryIcon::Question;
}

std::string LocalTimeText(std::int64_t secondsSince1970) {
    const std::time_t time = static_cast<std::time_t>(secondsSince1970);
    if (static_cast<std::int64_t>(time) != secondsSince1970)
        return {};
    // localtime's buffer is shared; the program asks from one thread only.
    const std::tm* local = std::localtime(&time);
    char text[32] = {};
    if (local == nullptr || std::strftime(text, sizeof(text), "%d.%m.%Y %H:%M", local) == 0)
        return {};
    return text;
}

std::string SummaryText(const SignatureReport& report) {
    std::vector<std::string> lines{StatusLine(report), ""};
    const size_t before = lines.size();
    AddCertificateLines(report, lines);
    AddSigningTimeLine(report, lines);
    if (!report.signer.empty() || !report.issuer.empty())
        lines.push_back(report.trusted ? kTrustedLine : kUntrustedLine);
    if (lines.size() > before)
        lines.push_back("");
    lines.push_back(kLimitsLine);

    std::string text;
    for (size_t i = 0; i < lines.size(); ++i)
        text += (i ? "\n" : "") + lines[i];
    return text;
}

} // namespace tolv::signature
