#pragma once
// Lets GoogleTest print watcher results readably (icon names, texts as UTF-8)
// instead of as raw bytes when an expectation fails.

#include "tests/windows/support/MessageBoxWatcher.h"

#include "windows/base/StringConvert.h"

#include <ostream>

namespace tolv::test {

inline void PrintTo(BoxIcon icon, std::ostream* out) {
    *out << tolv::WideToUtf8(ToString(icon));
}

inline void PrintTo(const BoxReport& box, std::ostream* out) {
    *out << "{caption \"" << tolv::WideToUtf8(box.caption) << "\", text \""
         << tolv::WideToUtf8(box.text) << "\", icon " << tolv::WideToUtf8(ToString(box.icon))
         << ", buttons";
    for (const BoxButton& button : box.buttons)
        *out << ' ' << button.id << ":\"" << tolv::WideToUtf8(button.text) << '"';
    *out << '}';
}

} // namespace tolv::test
