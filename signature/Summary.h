#pragma once
// What the user is told of a report's signature: the warning of file mode and
// the "İmza bilgisi" box. Both editions show these texts as they are.

#include "signature/Verifier.h"

#include <cstdint>
#include <string>

namespace tolv::signature {

// Asked before a report whose signature is broken is shown; No keeps it closed.
inline constexpr char kAlteredWarning[] =
    "Bu raporun imzası bozuk: rapor imzalandıktan sonra değiştirilmiş ya da imzası zarar "
    "görmüş. İçeriğine güvenmeyin; raporu gönderenden yeniden isteyin.\n\nRapor yine de açılsın "
    "mı?";

// Asked, as the warning above, before a report whose own revocation data shows
// its signer's certificate revoked before the signature's proven time.
inline constexpr char kRevokedWarning[] =
    "Bu raporu imzalayanın sertifikası imzadan önce iptal edilmiş. İçeriğine güvenmeyin; raporu "
    "gönderenden yeniden isteyin.\n\nRapor yine de açılsın mı?";

// Asked before a report whose signature could not be checked is shown (an
// administrator may turn the question off); No keeps it closed.
std::string UnverifiedQuestion(const SignatureReport& report);

// The cause of an unknown result in plain words, without a final full stop.
std::string CauseText(const SignatureReport& report);

// Every box of file mode names the report it speaks of: its file name (for
// display, UTF-8) on a line of its own above the text.
std::string AboutReport(const std::string& fileName, const std::string& text);

// The caption of the verb, in the shell's menus and on the box.
inline constexpr char kSignatureInfoTitle[] = "İmza bilgisi";

enum class SummaryIcon { Information, Warning, Question };

// Information for an intact signature, warning for a broken one, question
// when it could not be checked.
SummaryIcon IconOf(Status status);

// A time as day.month.year hours:minutes in the user's local time zone;
// empty when the system cannot express it.
std::string LocalTimeText(std::int64_t secondsSince1970);

// The lines of the "İmza bilgisi" box, separated by '\n': the verdict, what
// the signer's certificate says where it could be read, and what the check
// does not tell.
std::string SummaryText(const SignatureReport& report);

} // namespace tolv::signature
