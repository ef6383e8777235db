#include "app/Browser.h"
#include "app/Modes.h"

namespace tolv {

void RunFileMode(const std::wstring& argumentText) {
    Browser browser;
    browser.Show(argumentText);
}

} // namespace tolv
