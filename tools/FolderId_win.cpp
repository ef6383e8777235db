#include "tools/FolderId.h"

#include <memory>
#include <windows.h>

namespace tolv::tools {

namespace {

struct HandleCloser {
    void operator()(HANDLE handle) const { CloseHandle(handle); }
};
using UniqueHandle = std::unique_ptr<void, HandleCloser>;

} // namespace

std::optional<FolderId> IdentifyFolder(const std::filesystem::path& folder) {
    // Backup semantics: the only way to open a folder; nothing is read.
    HANDLE opened = CreateFileW(folder.c_str(), FILE_READ_ATTRIBUTES,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (opened == INVALID_HANDLE_VALUE)
        return std::nullopt;
    const UniqueHandle handle(opened);
    BY_HANDLE_FILE_INFORMATION info{};
    if (!GetFileInformationByHandle(handle.get(), &info))
        return std::nullopt;
    const std::uint64_t file = (std::uint64_t(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
    // Some network file systems give every folder the index 0: taken as an
    // identity, it would leave all but the first folder unwalked.
    if (file == 0)
        return std::nullopt;
    return FolderId{info.dwVolumeSerialNumber, file};
}

bool IsFolderLink(const std::filesystem::path& path) {
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES &&
           (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
}

} // namespace tolv::tools
