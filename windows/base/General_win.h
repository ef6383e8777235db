#pragma once
// The helpers of file mode that need Windows: temporary files and starting a
// program and waiting for it.

#include <cstdint>
#include <string>

namespace tolv {

// The temporary folder, normally ending in a backslash; empty when it cannot be had.
std::wstring GetTempFolder();

// Creates a new empty file with a unique name (the first three characters of
// prefix, a hexadecimal number, ".tmp") in folder, or in the temporary folder
// when folder is empty (folder then receives it). Answers its full path, or
// only its name with nameOnly; empty when no file could be made.
std::wstring MakeTempFile(std::wstring& folder, const std::wstring& prefix, bool nameOnly);

// Starts commandLine with the given show-window style (in workingFolder, when
// given) and waits, without a time-out, until that very process has ended.
// True only for exit code 0. exitCode receives the code once the process has
// ended; it is left alone when no process could be started or waited for.
bool ShellAndWait(const std::wstring& commandLine, int32_t& exitCode, int windowStyle,
                  const std::wstring& workingFolder = {});

// The full path of the folder that holds `file` (which need not exist yet);
// empty when it cannot be had.
std::wstring FolderOfFile(const std::wstring& file);

// Makes the system folder this process's working folder, so that it keeps no
// other folder (say on a USB stick) in use while it waits.
void LeaveWorkingFolder();

} // namespace tolv
