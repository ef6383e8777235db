#include "linux/OutputFile.h"

#include "report/File.h"

#include <glib.h>
#include <glib/gstdio.h>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tolv::linux_edition {

namespace {

constexpr char kFolderName[] = "tolv-viewer";
constexpr int kMaxSuffix = 9999;

[[noreturn]] void Fail(const char* what, const std::filesystem::path& path, int error) {
    throw ViewerError(std::string(what) + report::PathText(path) + " (" +
                      report::FileErrorText(error) + ")");
}

// The folder must be ours and nobody else's: a folder of another user, or a
// link, in its place is refused rather than written into.
void MakePrivateFolder(const std::filesystem::path& folder) {
    if (g_mkdir_with_parents(folder.parent_path().c_str(), 0700) != 0)
        Fail("Klasör oluşturulamadı: ", folder.parent_path(), errno);
    if (mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST)
        Fail("Klasör oluşturulamadı: ", folder, errno);
    struct stat info {};
    if (lstat(folder.c_str(), &info) != 0)
        Fail("Klasör oluşturulamadı: ", folder, errno);
    if (!S_ISDIR(info.st_mode) || info.st_uid != getuid())
        Fail("Klasör kullanılamıyor: ", folder, EACCES);
    if ((info.st_mode & 07777) != 0700 && chmod(folder.c_str(), 0700) != 0)
        Fail("Klasör kullanılamıyor: ", folder, errno);
}

} // namespace

std::filesystem::path DesktopPdfPath(const std::filesystem::path& desktopFolder,
                                     const std::filesystem::path& report) {
    return desktopFolder / (report.filename().string() + ".Pdf");
}

std::filesystem::path PrivateFolder() {
    const char* runtime = g_getenv("XDG_RUNTIME_DIR");
    if (runtime && g_path_is_absolute(runtime))
        return std::filesystem::path(runtime) / kFolderName;
    return std::filesystem::path(g_get_user_cache_dir()) / kFolderName;
}

std::filesystem::path CreatePrivatePdf(const std::filesystem::path& folder,
                                       const std::filesystem::path& report) {
    MakePrivateFolder(folder);
    std::string stem = report.stem().string();
    if (stem.empty())
        stem = "rapor";
    for (int n = 1; n <= kMaxSuffix; ++n) {
        std::string name = n == 1 ? stem + ".pdf" : stem + " (" + std::to_string(n) + ").pdf";
        std::filesystem::path path = folder / name;
        int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0600);
        if (fd >= 0) {
            close(fd);
            return path;
        }
        if (errno != EEXIST)
            Fail("PDF dosyası oluşturulamadı: ", path, errno);
    }
    Fail("PDF dosyası oluşturulamadı: ", folder / (stem + ".pdf"), EEXIST);
}

} // namespace tolv::linux_edition
