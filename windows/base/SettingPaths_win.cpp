#include "windows/base/SettingPaths.h"

#include "core/Preferences.h"
#include "windows/base/ShellRegistry.h"

namespace tolv {

// The switches are not settings of the preferences window: each is read on its
// own, in the 32-bit view beside the preferences.
bool SwitchIsOn(const wchar_t* settingPath) {
    const std::optional<std::wstring> value = RegRead(settingPath, RegistryView::Wow64_32);
    return !value || SettingIsOn(*value);
}

} // namespace tolv
