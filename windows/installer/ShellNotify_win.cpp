// Tells the shell that file associations changed. The installer package runs it
// after it has written or removed the association of reports: Windows Installer
// writes registry values without telling the shell, and the viewer itself
// cannot be asked to, since its whole argument text is a report path.

#include <windows.h>
#include <shlobj.h>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    // Flushed: the process ends right after, and the notice must not go with it.
    SHChangeNotify(SHCNE_ASSOCCHANGED, SHCNF_IDLIST | SHCNF_FLUSH, nullptr, nullptr);
    return 0;
}
