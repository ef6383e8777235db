#include "tools/FolderId.h"

#include <sys/stat.h>

namespace tolv::tools {

std::optional<FolderId> IdentifyFolder(const std::filesystem::path& folder) {
    struct stat info {};
    if (::stat(folder.c_str(), &info) != 0)
        return std::nullopt;
    return FolderId{std::uint64_t(info.st_dev), std::uint64_t(info.st_ino)};
}

bool IsFolderLink(const std::filesystem::path& path) {
    struct stat info {};
    return ::lstat(path.c_str(), &info) == 0 && S_ISLNK(info.st_mode);
}

} // namespace tolv::tools
