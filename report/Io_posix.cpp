// POSIX side of the reader's plain reads and writes.
#include "report/Io.h"

#include "report/File.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace tolv::report {

namespace {

// A FIFO's open waits for a writer and a device's may do anything: neither is
// opened when the path shows it, and what was opened is looked at again,
// without waiting, in case the path changed in between. -1 and error when not.
int OpenRegular(const std::filesystem::path& path, struct stat& info, int& error) {
    if (::stat(path.c_str(), &info) == 0 && !S_ISREG(info.st_mode)) {
        error = kNotRegularFile;
        return -1;
    }
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd < 0 || ::fstat(fd, &info) != 0) {
        error = errno != 0 ? errno : EIO;
    } else if (!S_ISREG(info.st_mode)) {
        error = kNotRegularFile;
    } else {
        (void)::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
        return fd;
    }
    if (fd >= 0)
        ::close(fd);
    return -1;
}

} // namespace

std::unique_ptr<ReportInput> ReportInput::Open(const std::filesystem::path& path, int& error) {
    struct stat info {};
    const int fd = OpenRegular(path, info, error);
    if (fd < 0)
        return nullptr;
#ifdef POSIX_FADV_SEQUENTIAL
    (void)::posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);
#endif
    return std::unique_ptr<ReportInput>(new ReportInput(fd, std::uint64_t(info.st_size)));
}

ReportInput::~ReportInput() {
    ::close(fd_);
}

int ReportInput::Read(std::uint8_t* data, std::size_t size, std::size_t& got) noexcept {
    for (;;) {
        const ssize_t n = ::read(fd_, data, size);
        if (n >= 0) {
            got = std::size_t(n);
            return 0;
        }
        if (errno != EINTR)
            return errno != 0 ? errno : EIO;
    }
}

FileSink::FileSink(std::FILE* file) : fd_(::fileno(file)) {}

int FileSink::Write(const std::uint8_t* data, std::size_t size) noexcept {
    while (size > 0) {
        const ssize_t n = ::write(fd_, data, size);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return n < 0 && errno != 0 ? errno : ENOSPC;
        data += n;
        size -= std::size_t(n);
    }
    return 0;
}

void ReserveRoom(std::FILE* file, std::uint64_t size) noexcept {
#if defined(__linux__)
    // fallocate, not posix_fallocate: where the file system cannot reserve
    // room, the latter writes zeros instead.
    if (size > 0)
        (void)::fallocate(::fileno(file), FALLOC_FL_KEEP_SIZE, 0, off_t(size));
#else
    (void)file;
    (void)size;
#endif
}

int SetFileLength(std::FILE* file, std::uint64_t length) noexcept {
    return ::ftruncate(::fileno(file), off_t(length)) == 0 ? 0 : errno;
}

} // namespace tolv::report
