#pragma once
// Starting another program: the one place that calls CreateProcessW.

#include "windows/base/Handles.h"

#include <windows.h>

#include <string>

namespace tolv {

// Starts commandLine as it stands (the program is its first word) with the
// given show-window style, in workingFolder (this process's own when empty).
// An empty owner when the start failed; `error`, when given, then receives the
// system's error number.
UniqueProcessInfo StartProcess(const std::wstring& commandLine, int showStyle,
                               DWORD* error = nullptr, const std::wstring& workingFolder = {});

} // namespace tolv
