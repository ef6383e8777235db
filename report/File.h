#pragma once
// Files opened by path, where a path may hold any letters (on Windows it is
// UTF-16, so the narrow C functions would lose Turkish letters).

#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>

namespace tolv::report {

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using UniqueFile = std::unique_ptr<std::FILE, FileCloser>;

// mode as for fopen ("rb", "wb"). On failure errno tells why.
UniqueFile OpenFile(const std::filesystem::path& path, const char* mode);

// Creates a new, empty file for writing in the folder of `target`, under a
// name no other file has, and sets `scratch` to its path. On failure errno
// tells why.
UniqueFile CreateScratchFile(const std::filesystem::path& target, std::filesystem::path& scratch);

// Moves the closed file `from` over `to` in the same folder, replacing a file
// already there in one step. false when it cannot (the target is open in a
// program that does not share it, is a folder, is read-only...); errno then
// tells why and both files are as they were.
bool MoveOver(const std::filesystem::path& from, const std::filesystem::path& to);

// An error of the reader's own beside errno's: the path names a pipe, a
// device or a socket, whose reading could wait for ever or never end.
inline constexpr int kNotRegularFile = -1;

// The reason for an errno value (or kNotRegularFile), in Turkish, for the user.
std::string FileErrorText(int error);

// A path as UTF-8, for messages.
std::string PathText(const std::filesystem::path& path);

} // namespace tolv::report
