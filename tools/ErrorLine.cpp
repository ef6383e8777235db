#include "tools/ErrorLine.h"

#include <cstdio>

namespace tolv::tools {

void PrintLine(const char* text) {
    std::fprintf(stderr, "%s\n", text);
}

void PrintOutputLine(const char* text) {
    std::fprintf(stdout, "%s\n", text);
}

} // namespace tolv::tools
