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

std::string AboutReport(const std::string& fileName, const std::string& text) {
    return "Rapor: " + fileName + "\n\n" + text;
}

} // namespace tolv::signature
