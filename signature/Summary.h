#pragma once
// What file mode tells the user of a report's signature before it is shown.
// Both editions show these texts as they are; "İmza bilgisi" is the
// validation layer's summary.

#include "signature/Verifier.h"

#include <string>

namespace tolv::signature {

// Asked before a report whose signature is broken is shown; No keeps it closed.
inline constexpr char kAlteredWarning[] =
    "Bu raporun imzası bozuk: rapor imzalandıktan sonra değiştirilmiş ya da imzası zarar "
    "görmüş. İçeriğine güvenmeyin; raporu gönderenden yeniden isteyin.\n\nRapor yine de açılsın "
    "mı?";

// Asked, as the warning above, before a report whose own revocation data shows
// its signer's certificate revoked: before the time a time-stamp proves, or
// with nothing to show the signature is older than the revocation.
inline constexpr char kRevokedWarning[] =
    "Bu raporu imzalayanın sertifikası imzadan önce iptal edilmiş. İçeriğine güvenmeyin; raporu "
    "gönderenden yeniden isteyin.\n\nRapor yine de açılsın mı?";
inline constexpr char kRevokedUnprovenWarning[] =
    "Bu raporu imzalayanın sertifikası iptal edilmiş ve imzanın iptalden önce atıldığı "
    "kanıtlanamıyor. İçeriğine güvenmeyin; raporu gönderenden yeniden isteyin.\n\nRapor yine de "
    "açılsın mı?";

// Asked before a report whose signature could not be checked is shown (an
// administrator may turn the question off); No keeps it closed.
std::string UnverifiedQuestion(const SignatureReport& report);

// Asked before an intact report whose signer no trusted anchor vouches for
// (an administrator may turn the question off), and warned before one whose
// validation concluded invalid (reason: why, without a final full stop).
// signer: the name the certificate gives, which nobody confirmed.
std::string UntrustedQuestion(const std::string& signer);
std::string InvalidWarning(const std::string& signer, const std::string& reason);

// The cause of an unknown result in plain words, without a final full stop.
std::string CauseText(const SignatureReport& report);

// Every box of file mode names the report it speaks of: its file name (for
// display, UTF-8) on a line of its own above the text.
std::string AboutReport(const std::string& fileName, const std::string& text);

} // namespace tolv::signature
