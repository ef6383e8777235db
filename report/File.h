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

// The reason for an errno value, in Turkish, for the user.
std::string FileErrorText(int error);

// A path as UTF-8, for messages.
std::string PathText(const std::filesystem::path& path);

} // namespace tolv::report
