// Setup mode: makes the program the handler of .Tolv reports and opens the
// preferences window. Only an administrator may write the association.

#include "windows/base/MessageBox.h"
#include "windows/app/Modes.h"
#include "core/Text.h"
#include "windows/registry/Errors.h"
#include "windows/registry/Register.h"
#include "windows/resources/resource.h"
#include "windows/ui/Container.h"

#include <windows.h>
#include <shlobj.h>

#include <stdexcept>
#include <string>

namespace tolv {

namespace {

constexpr wchar_t kReportExtension[] = L".Tolv";

// The running executable's full path, however long.
std::wstring ModulePath() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length == 0)
            throw std::runtime_error("Programın kendi yolu okunamadı.");
        if (length < path.size()) {
            path.resize(length);
            return path;
        }
        path.resize(path.size() * 2);
    }
}

// The path handed to the association: the program's folder (a drive root
// keeps its backslash, so the result then has two in a row), "\", the file
// name without its extension, and ".Exe" in this letter case, whatever the
// file's real extension looks like.
std::wstring AssociationPath() {
    const std::wstring module = ModulePath();
    const size_t slash = module.find_last_of(L'\\');
    std::wstring folder = slash == std::wstring::npos ? std::wstring() : module.substr(0, slash);
    if (folder.size() == 2 && folder[1] == L':')
        folder += L'\\';
    std::wstring name = slash == std::wstring::npos ? module : module.substr(slash + 1);
    if (size_t dot = name.find_last_of(L'.'); dot != std::wstring::npos)
        name.erase(dot);
    return folder + L"\\" + name + L".Exe";
}

} // namespace

HWND RunSetupMode() {
    if (!IsUserAnAdmin()) {
        ShowMessage(ExpandLineBreaks(LoadResString(IDS_ADMIN_NOTICE)), kStyleWarning);
        return nullptr;
    }

    bool associated = false;
    LSTATUS failure = ERROR_SUCCESS;
    {
        Register registry;
        associated = registry.AssociateToApp(AssociationPath(), kReportExtension, failure);
    }
    if (!associated) {
        // The guard's refusal stays silent; a failed write is told, as a
        // failed save of the preferences is.
        if (failure == ERROR_SUCCESS)
            return nullptr;
        ShowMessage(Errors::WriteFailureText(static_cast<int32_t>(failure)), kStyleError);
        ExitProcess(1);
    }

    // The window lives until it ends the process itself (Save, Cancel or
    // closing it); it is never destroyed before that.
    auto* container = new ui::Container();
    if (!container->Show())
        throw std::runtime_error("Tercihler penceresi açılamadı.");
    return container->Window();
}

} // namespace tolv
