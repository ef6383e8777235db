/* The stand-in message tables are loaded as data only; this entry point is
   never called and just makes the linker produce a DLL. */
#include <windows.h>

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
    (void)instance;
    (void)reason;
    (void)reserved;
    return TRUE;
}
