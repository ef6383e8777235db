#include "tools/ErrorLine.h"

#include <cstdio>

namespace tolv::tools {

void PrintLine(const char* text) {
    std::fprintf(stderr, "%s\n", text);
}

} // namespace tolv::tools
