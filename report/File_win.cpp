// _wfopen takes the UTF-16 path as it is; fopen would go through the ANSI code page.
#include "report/File.h"

#include <string>

namespace tolv::report {

UniqueFile OpenFile(const std::filesystem::path& path, const char* mode) {
    const std::wstring wideMode(mode, mode + std::char_traits<char>::length(mode));
    return UniqueFile(_wfopen(path.c_str(), wideMode.c_str()));
}

} // namespace tolv::report
