#pragma once

namespace tolv::tools {

// Writes one line of UTF-8 text to standard error.
void PrintLine(const char* text);

// The same to standard output.
void PrintOutputLine(const char* text);

} // namespace tolv::tools
