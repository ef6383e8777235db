// Linked only into a test build of the program. Wine answers IsUserAnAdmin
// with yes for every token, even one in which the Administrators group is
// deny-only; Windows answers no for such a token. This stands in for shell32's
// function with Windows' answer, so that the program started with a
// restricted token takes the path of a user without administrator rights.
//
// The program calls IsUserAnAdmin through its import slot, __imp_IsUserAnAdmin.
// An object file that defines the slot wins over shell32's import library, so
// the program's own sources stay exactly as shipped.

#include <windows.h>

namespace {

BOOL WINAPI IsUserAnAdminAsOnWindows() {
    BYTE administrators[SECURITY_MAX_SID_SIZE];
    DWORD size = sizeof(administrators);
    BOOL member = FALSE;
    if (!CreateWellKnownSid(WinBuiltinAdministratorsSid, nullptr, administrators, &size) ||
        !CheckTokenMembership(nullptr, administrators, &member))
        return FALSE;
    return member;
}

} // namespace

extern "C" {
BOOL(WINAPI* __imp_IsUserAnAdmin)() = IsUserAnAdminAsOnWindows;
}
