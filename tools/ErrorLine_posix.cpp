#include "tools/ErrorLine.h"

#include <cstdio>
#include <unistd.h>

namespace tolv::tools {

void PrintLine(const char* text) {
    std::fprintf(stderr, "%s\n", text);
}

void PrintOutputLine(const char* text) {
    std::fprintf(stdout, "%s\n", text);
    std::fflush(stdout);
}

bool ErrorIsTerminal() {
    return isatty(STDERR_FILENO) == 1;
}

bool OutputIsTerminal() {
    return isatty(STDOUT_FILENO) == 1;
}

void PrintProgress(const char* text) {
    std::fprintf(stderr, "\r%s", text);
}

} // namespace tolv::tools
