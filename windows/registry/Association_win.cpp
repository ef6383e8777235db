// The file association and the default web browser: the two operations of the
// registry class that work on the shell's file types (written under
// HKEY_LOCAL_MACHINE\Software\Classes, read through HKEY_CLASSES_ROOT).

#include "windows/registry/Register.h"

#include "core/Arguments.h"

#include "windows/base/Handles.h"
#include "windows/base/Process_win.h"
#include "windows/base/StringConvert.h"
#include "windows/registry/Errors.h"

#include <shlobj.h>

#include <stdexcept>
#include <utility>

namespace tolv {

namespace {

// The verb of "İmza bilgisi" beside open, as the MSI writes it too.
constexpr wchar_t kInfoVerbKey[] = L"shell\\imza";
constexpr wchar_t kInfoCommandKey[] = L"shell\\imza\\command";
constexpr wchar_t kInfoVerbText[] = L"İmza bilgisi";

// Machine-wide, under HKEY_LOCAL_MACHINE itself: through HKEY_CLASSES_ROOT a
// key that already exists in the administrator's own HKEY_CURRENT_USER
// classes would be written there, for that one user.
[[nodiscard]] LSTATUS CreateClassKey(const std::wstring& key, UniqueHkey& opened) {
    return RegCreateKeyW(HKEY_LOCAL_MACHINE, (L"Software\\Classes\\" + key).c_str(), opened.put());
}

// The older RegSetValueW creates a missing sub-key on its way, so that each
// key of the association takes one call.
[[nodiscard]] LSTATUS SetDefaultText(HKEY key, const wchar_t* subKey, const std::wstring& text) {
    const DWORD bytes = static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t));
    return RegSetValueW(key, subKey, REG_SZ, text.c_str(), bytes);
}

} // namespace

bool Register::AssociateToApp(std::wstring LetAppPath, std::wstring LetExtension) {
    LSTATUS failure = ERROR_SUCCESS;
    return AssociateToApp(std::move(LetAppPath), std::move(LetExtension), failure);
}

bool Register::AssociateToApp(std::wstring LetAppPath, std::wstring LetExtension,
                              LSTATUS& failure) {
    failure = ERROR_SUCCESS;
    std::wstring folder;
    const std::wstring name = ExtractFileName(LetAppPath, folder);

    // An extension registered under HKEY_LOCAL_MACHINE itself is left alone.
    if (KeyIsExist(LetExtension, L"", kHkeyClassesRoot, kHkeyLocalMachine))
        return false;

    // The program path is quoted: unquoted, a path with a blank is ambiguous
    // ("C:\Program Files\..." may start C:\Program.exe). %1 stays unquoted:
    // the program takes its whole argument text as the report path.
    const std::wstring command = L"\"" + LetAppPath + L"\" %1";
    const std::wstring icon = LetAppPath + L",0";
    // The second verb quotes %1: after the switch the path must stand apart.
    const std::wstring infoCommand =
        L"\"" + LetAppPath + L"\" " + kSignatureInfoSwitch + L" \"%1\"";

    // Each step runs only when the one before it succeeded; what was written
    // stays written.
    UniqueHkey key;
    if ((failure = CreateClassKey(LetExtension, key)) != ERROR_SUCCESS)
        return false;
    if ((failure = SetDefaultText(key.get(), nullptr, name)) != ERROR_SUCCESS)
        return false;
    if ((failure = CreateClassKey(name, key)) != ERROR_SUCCESS)
        return false;
    if ((failure = SetDefaultText(key.get(), L"shell\\open\\command", command)) != ERROR_SUCCESS)
        return false;
    if ((failure = CreateClassKey(name, key)) != ERROR_SUCCESS)
        return false;
    failure = SetDefaultText(key.get(), L"DefaultIcon", icon);
    // "open" stays the default verb: the shell key names none, and open is
    // then the one a double-click takes.
    if (failure == ERROR_SUCCESS)
        failure = SetDefaultText(key.get(), kInfoVerbKey, kInfoVerbText);
    if (failure == ERROR_SUCCESS)
        failure = SetDefaultText(key.get(), kInfoCommandKey, infoCommand);

    SHChangeNotify(SHCNE_ASSOCCHANGED, SHCNF_IDLIST, nullptr, nullptr);
    return failure == ERROR_SUCCESS;
}

bool Register::OpenIBrowser(const std::wstring& LetURL) {
    // The registered command is used as it stands: a %1 in it is not
    // replaced, and the URL follows after one blank.
    const std::wstring line =
        QueryValue(kHkeyClassesRoot, L"http\\shell\\open\\command", L"") + L" " + LetURL;

    DWORD error = 0;
    const UniqueProcessInfo started = StartProcess(line, SW_SHOWNORMAL, &error);
    if (!started)
        throw std::runtime_error("Tarayıcı başlatılamadı: " +
                                 WideToUtf8(Errors::GetErrorText(static_cast<int32_t>(error))));
    return started.processId() != 0;
}

} // namespace tolv
