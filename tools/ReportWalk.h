#pragma once
// The reports of a command line: a path that is a folder stands for every
// report under it, in a fixed order, so that two runs over one archive list it
// the same way on either system.

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace tolv::tools {

// Whether name ends in ".tolv" in any letter case.
bool IsReportName(const std::filesystem::path& name);

// Calls report for each path in turn: a folder is walked depth-first, the
// entries of each sorted by the bytes of their UTF-8 names, and gives the
// regular files under it named as reports (a link to a folder, which on
// Windows is any reparse point, a pipe or a device is skipped, and no folder
// is entered twice);
// anything else is given as it is, so that a path that cannot be read still
// has its line. A folder that cannot be listed is given to unreadable with the
// reason, in its place.
void WalkReports(
    const std::vector<std::filesystem::path>& paths,
    const std::function<void(const std::filesystem::path&)>& report,
    const std::function<void(const std::filesystem::path&, const std::string&)>& unreadable);

} // namespace tolv::tools
