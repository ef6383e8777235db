#include "signature/Summary.h"

namespace tolv::signature {

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

namespace {

std::string UnverifiedName(const std::string& signer) {
    return signer.empty() ? std::string("İmzalayanın adı doğrulanamadı")
                          : "İmzalayan olarak görünen “" + signer + "” adı doğrulanamadı";
}

} // namespace

std::string UntrustedQuestion(const std::string& signer) {
    return "Bu raporun imzası güvenilen bir sertifika makamına dayanmıyor. " +
           UnverifiedName(signer) +
           "; rapor bu kişiden gelmemiş olabilir.\n\nRapor yine de açılsın mı?";
}

std::string InvalidWarning(const std::string& signer, const std::string& reason) {
    return "Bu raporun imzası geçersiz: " + reason + ". " + UnverifiedName(signer) +
           ". İçeriğine güvenmeyin; raporu gönderenden yeniden isteyin.\n\nRapor yine de açılsın "
           "mı?";
}

std::string AboutReport(const std::string& fileName, const std::string& text) {
    return "Rapor: " + fileName + "\n\n" + text;
}

} // namespace tolv::signature
