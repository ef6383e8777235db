#include "linux/OutputFile.h"

#include "report/File.h"

#include <glib.h>
#include <glib/gstdio.h>

#include <cerrno>
#include <ctime>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tolv::linux_edition {

namespace {

constexpr char kFolderName[] = "tolv-viewer";
constexpr int kMaxSuffix = 9999;
// A browser may still be reading a PDF of the last hours; not one of days ago.
constexpr time_t kKeepSeconds = 24 * 60 * 60;

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

// The XDG rules: the user's own folder, mode 0700. A value left over from
// another user (after su) or a folder that is gone is not used.
bool IsUsableRuntimeFolder(const char* path) {
    struct stat info {};
    return path && g_path_is_absolute(path) && stat(path, &info) == 0 && S_ISDIR(info.st_mode) &&
           info.st_uid == getuid() && (info.st_mode & 0777) == 0700;
}

// The viewer's own names: its PDFs and the reader's scratch files.
bool IsOwnName(const std::string& name) {
    return g_str_has_suffix(name.c_str(), ".pdf") ||
           (g_str_has_prefix(name.c_str(), ".~tolv-") && g_str_has_suffix(name.c_str(), ".tmp"));
}

} // namespace

std::filesystem::path DesktopPdfPath(const std::filesystem::path& desktopFolder,
                                     const std::filesystem::path& report) {
    return desktopFolder / (report.filename().string() + ".Pdf");
}

bool CreateDesktopPdf(const std::filesystem::path& pdf) {
    int fd = open(pdf.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0)
        return false;
    close(fd);
    return true;
}

std::filesystem::path PrivateFolder() {
    const char* runtime = g_getenv("XDG_RUNTIME_DIR");
    if (IsUsableRuntimeFolder(runtime))
        return std::filesystem::path(runtime) / kFolderName;
    return std::filesystem::path(g_get_user_cache_dir()) / kFolderName;
}

void RemoveOldFiles(const std::filesystem::path& folder) {
    const time_t limit = time(nullptr) - kKeepSeconds;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(folder, error)) {
        struct stat info {};
        if (IsOwnName(entry.path().filename().string()) &&
            lstat(entry.path().c_str(), &info) == 0 && S_ISREG(info.st_mode) &&
            info.st_uid == getuid() && info.st_mtime < limit)
            unlink(entry.path().c_str());
    }
}

std::filesystem::path CreatePrivatePdf(const std::filesystem::path& folder,
                                       const std::filesystem::path& report) {
    MakePrivateFolder(folder);
    RemoveOldFiles(folder);
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
