// Windows side of the report reader's files. Paths go to the system as the
// UTF-16 they are (_wfopen, CreateFileW, MoveFileExW); the narrow functions
// would pass them through the ANSI code page.
#include "report/File.h"

#include <windows.h>

#include <fcntl.h>
#include <io.h>

#include <cerrno>
#include <cwchar>
#include <random>
#include <string>

namespace tolv::report {
namespace {

// The errno that the C runtime would set for a system error, so that one
// table of reasons serves both.
int ErrnoOf(DWORD error) {
    switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_DRIVE:
    case ERROR_BAD_NETPATH:
        return ENOENT;
    case ERROR_ACCESS_DENIED:
    case ERROR_NETWORK_ACCESS_DENIED:
        return EACCES;
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
        return EBUSY;
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS:
        return EEXIST;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
        return ENOSPC;
    case ERROR_WRITE_PROTECT:
        return EROFS;
    case ERROR_FILENAME_EXCED_RANGE:
        return ENAMETOOLONG;
    case ERROR_INVALID_NAME:
    case ERROR_DIRECTORY:
        return EINVAL;
    case ERROR_TOO_MANY_OPEN_FILES:
        return EMFILE;
    case ERROR_NOT_ENOUGH_MEMORY:
    case ERROR_OUTOFMEMORY:
        return ENOMEM;
    case ERROR_NOT_SAME_DEVICE:
        return EXDEV;
    default:
        return EIO;
    }
}

} // namespace

UniqueFile OpenFile(const std::filesystem::path& path, const char* mode) {
    const std::wstring wideMode(mode, mode + std::char_traits<char>::length(mode));
    return UniqueFile(_wfopen(path.c_str(), wideMode.c_str()));
}

UniqueFile CreateScratchFile(const std::filesystem::path& target, std::filesystem::path& scratch) {
    std::random_device random;
    for (int attempt = 0; attempt < 100; ++attempt) {
        wchar_t name[32];
        std::swprintf(name, 32, L"~tolv-%08x.tmp", unsigned(random()));
        const std::filesystem::path candidate = target.parent_path() / name;
        HANDLE handle = CreateFileW(candidate.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                    CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (handle == INVALID_HANDLE_VALUE) {
            const DWORD error = GetLastError();
            if (error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS)
                continue;
            errno = ErrnoOf(error);
            return nullptr;
        }
        // The C runtime takes the handle over; closing the FILE closes it.
        const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(handle), _O_WRONLY | _O_BINARY);
        UniqueFile file(fd >= 0 ? _fdopen(fd, "wb") : nullptr);
        if (!file) {
            const int error = errno;
            if (fd >= 0)
                _close(fd);
            else
                CloseHandle(handle);
            DeleteFileW(candidate.c_str());
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
    if (MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING))
        return true;
    errno = ErrnoOf(GetLastError());
    return false;
}

} // namespace tolv::report
