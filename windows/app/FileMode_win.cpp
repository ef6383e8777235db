#include "windows/app/Browser.h"
#include "windows/app/Modes.h"

namespace tolv {

void RunFileMode(const std::wstring& argumentText) {
    Browser browser;
    browser.Show(argumentText);
}

} // namespace tolv
