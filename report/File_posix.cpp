// POSIX side of the report reader's files: paths are bytes and go to the
// system as they are.
#include "report/File.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <random>

namespace tolv::report {

UniqueFile OpenFile(const std::filesystem::path& path, const char* mode) {
    return UniqueFile(std::fopen(path.c_str(), mode));
}

UniqueFile CreateScratchFile(const std::filesystem::path& target, std::filesystem::path& scratch) {
    // The finished PDF takes the place of the file it replaces and keeps its
    // permissions: a private file (0600) made by the caller must not turn into
    // one everybody may read. A new file gets 0666 as fopen would give it, and
    // the umask decides.
    struct stat existing {};
    const bool replaces = ::stat(target.c_str(), &existing) == 0 && S_ISREG(existing.st_mode);
    const mode_t mode = replaces ? (existing.st_mode & 07777) : 0666;
    std::random_device random;
    for (int attempt = 0; attempt < 100; ++attempt) {
        char name[32];
        std::snprintf(name, sizeof name, ".~tolv-%08x.tmp", unsigned(random()));
        const std::filesystem::path candidate = target.parent_path() / name;
        const int fd = ::open(candidate.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
        if (fd < 0) {
            if (errno == EEXIST)
                continue;
            return nullptr;
        }
        if (replaces)
            (void)::fchmod(fd, mode);
        UniqueFile file(::fdopen(fd, "wb"));
        if (!file) {
            const int error = errno;
            ::close(fd);
            ::unlink(candidate.c_str());
            errno = error;
            return nullptr;
        }
        scratch = candidate;
        return file;
    }
    errno = EEXIST;
    return nullptr;
}

bool MoveOver(const std::filesystem::path& from, const std::filesystem::path& to) {
    return ::rename(from.c_str(), to.c_str()) == 0;
}

} // namespace tolv::report
