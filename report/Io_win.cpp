// Windows side of the reader's plain reads and writes. The C runtime's
// descriptors are thin over ReadFile and WriteFile in binary mode, and they
// turn the system's errors into the errno values that File_win.cpp and the
// stdio functions before them gave, so the reasons shown stay the same.
#include "report/Io.h"

#include "report/File.h"

#include <windows.h>

#include <fcntl.h>
#include <io.h>

#include <algorithm>
#include <cerrno>

namespace tolv::report {
namespace {

// The C runtime counts in unsigned int.
constexpr std::size_t kMaxCall = std::size_t(1) << 30;

} // namespace

std::unique_ptr<ReportInput> ReportInput::Open(const std::filesystem::path& path, int& error) {
    errno = 0;
    // _O_SEQUENTIAL: FILE_FLAG_SEQUENTIAL_SCAN, the cache reads ahead further.
    const int fd = _wopen(path.c_str(), _O_RDONLY | _O_BINARY | _O_SEQUENTIAL | _O_NOINHERIT);
    if (fd < 0) {
        error = errno != 0 ? errno : EIO;
        return nullptr;
    }
    // A pipe, the console or another device would be read until it ends, if
    // ever: only files on a disk are reports.
    if (GetFileType(reinterpret_cast<HANDLE>(_get_osfhandle(fd))) != FILE_TYPE_DISK) {
        _close(fd);
        error = kNotRegularFile;
        return nullptr;
    }
    const __int64 size = _filelengthi64(fd);
    return std::unique_ptr<ReportInput>(new ReportInput(fd, size > 0 ? std::uint64_t(size) : 0));
}

ReportInput::~ReportInput() {
    _close(fd_);
}

int ReportInput::Read(std::uint8_t* data, std::size_t size, std::size_t& got) noexcept {
    errno = 0;
    const int n = _read(fd_, data, unsigned(std::min(size, kMaxCall)));
    if (n < 0)
        return errno != 0 ? errno : EIO;
    got = std::size_t(n);
    return 0;
}

FileSink::FileSink(std::FILE* file) : fd_(_fileno(file)) {}

int FileSink::Write(const std::uint8_t* data, std::size_t size) noexcept {
    while (size > 0) {
        errno = 0;
        const int n = _write(fd_, data, unsigned(std::min(size, kMaxCall)));
        if (n <= 0)
            return n < 0 && errno != 0 ? errno : ENOSPC;
        data += n;
        size -= std::size_t(n);
    }
    return 0;
}

void ReserveRoom(std::FILE*, std::uint64_t) noexcept {
    // Not asked for: Wine passes FileAllocationInfo on to no file system call,
    // so what it would bring on NTFS cannot be measured here.
}

int SetFileLength(std::FILE* file, std::uint64_t length) noexcept {
    return _chsize_s(_fileno(file), static_cast<__int64>(length));
}

} // namespace tolv::report
