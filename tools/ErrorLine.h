#pragma once

namespace tolv::tools {

// Writes one line of UTF-8 text to standard error.
void PrintLine(const char* text);

// The same to standard output, at once: a batch's lines stream.
void PrintOutputLine(const char* text);

// Whether standard error is a terminal (a console on Windows).
bool ErrorIsTerminal();

// The same of standard output.
bool OutputIsTerminal();

// Writes text at the start of standard error's current line, without ending
// it, so that the next call overwrites it.
void PrintProgress(const char* text);

} // namespace tolv::tools
