#include "tools/FolderId.h"

#include <cstring>
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
    // Some network file systems give every folder the ID 0: taken as an
    // identity, it would leave all but the first folder unwalked.
    FILE_ID_INFO id{};
    if (GetFileInformationByHandleEx(handle.get(), FileIdInfo, &id, sizeof(id))) {
        std::uint64_t halves[2] = {};
        static_assert(sizeof(halves) == sizeof(id.FileId.Identifier));
        std::memcpy(halves, id.FileId.Identifier, sizeof(halves));
        if (halves[0] == 0 && halves[1] == 0)
            return std::nullopt;
        return FolderId{id.VolumeSerialNumber, halves[0], halves[1]};
    }
    // Before Windows 8, and on file systems without 128-bit IDs.
    BY_HANDLE_FILE_INFORMATION info{};
    if (!GetFileInformationByHandle(handle.get(), &info))
        return std::nullopt;
    const std::uint64_t file = (std::uint64_t(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
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
