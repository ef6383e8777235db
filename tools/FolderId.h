#pragma once
// What the folder walk asks the system about a folder: whether an entry is a
// link to one, and which folder a path leads to, whatever the path.

#include <compare>
#include <cstdint>
#include <filesystem>
#include <optional>

namespace tolv::tools {

struct FolderId {
    std::uint64_t volume = 0;
    std::uint64_t file = 0;
    std::uint64_t fileHigh = 0; // Windows: the upper half of a 128-bit file ID (ReFS)
    auto operator<=>(const FolderId&) const = default;
};

// The folder's device and inode number, or on Windows its volume serial number
// and file ID (128 bits where the file system has them); empty when they
// cannot be read or say nothing (an ID of 0).
[[nodiscard]] std::optional<FolderId> IdentifyFolder(const std::filesystem::path& folder);

// Whether the folder entry at path is a link: a symbolic link, or on Windows
// any reparse point (symbolic links and junctions, which std::filesystem there
// takes for plain folders).
[[nodiscard]] bool IsFolderLink(const std::filesystem::path& path);

} // namespace tolv::tools
