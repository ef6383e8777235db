#include "linux/CertificateViewer.h"

#include "linux/GPtr.h"

#include <glib.h>
#include <glib/gstdio.h>

#include <cerrno>
#include <ctime>
#include <filesystem>
#include <vector>
#include <sys/stat.h>
#include <unistd.h>

namespace tolv::linux_edition {

namespace {

constexpr char kFileName[] = "imzalayan";
constexpr char kFolderPrefix[] = "tolv-viewer-";
// A viewer may still be reading a copy of the last hours; not one of days ago.
constexpr time_t kKeepSeconds = 24 * 60 * 60;

// The viewers started and not yet ended; their child watches count them down.
int runningViewers = 0;

struct GErrorDeleter {
    void operator()(GError* p) const { g_error_free(p); }
};
using UniqueGError = std::unique_ptr<GError, GErrorDeleter>;

// PEM rather than DER: every certificate tool takes it whatever the file's name.
std::string Pem(const signature::Bytes& der) {
    UniqueGChar base64(g_base64_encode(der.data(), der.size()));
    std::string text = "-----BEGIN CERTIFICATE-----\n";
    const std::string body(base64.get());
    for (std::size_t i = 0; i < body.size(); i += 64)
        text += body.substr(i, 64) + "\n";
    return text + "-----END CERTIFICATE-----\n";
}

// The signer's name as a file name: the viewer shows it as the window's title.
std::string FileName(const std::string& signer) {
    std::string name;
    for (const char c : signer)
        name += c == '/' || static_cast<unsigned char>(c) < 0x20 ? '_' : c;
    if (name.empty() || name[0] == '.' || name.size() > 200 ||
        !g_utf8_validate(name.data(), static_cast<gssize>(name.size()), nullptr))
        name = kFileName;
    return name + ".pem";
}

void RemoveFolder(const std::filesystem::path& folder) {
    std::error_code ignored;
    std::filesystem::remove_all(folder, ignored);
}

void ViewerEnded(GPid pid, gint, gpointer data) {
    const std::unique_ptr<std::filesystem::path> folder(static_cast<std::filesystem::path*>(data));
    RemoveFolder(*folder);
    g_spawn_close_pid(pid);
    --runningViewers;
}

// In the session's runtime folder where there is one: a copy left by a run
// that was killed goes with the session, not to /tmp for good.
std::string CopiesFolder() {
    const char* runtime = g_getenv("XDG_RUNTIME_DIR");
    return runtime != nullptr && runtime[0] == '/' ? runtime : g_get_tmp_dir();
}

// One of this user's copy folders, not a link, and old: /tmp is everybody's.
bool IsOldCopy(const std::filesystem::path& folder, time_t limit) {
    struct stat info {};
    return g_str_has_prefix(folder.filename().c_str(), kFolderPrefix) &&
           lstat(folder.c_str(), &info) == 0 && S_ISDIR(info.st_mode) && info.st_uid == getuid() &&
           info.st_mtime < limit;
}

std::string Failure(const char* what, const GError* error) {
    return std::string("Sertifika gösterilemedi: ") + what + (error ? error->message : "");
}

} // namespace

std::string ShowCertificate(const signature::Bytes& der, const std::vector<signature::Bytes>& path,
                            const std::string& signer) {
    std::string name = CopiesFolder() + "/" + kFolderPrefix + "XXXXXX";
    if (g_mkdtemp_full(name.data(), 0700) == nullptr)
        return std::string("Sertifika gösterilemedi: geçici klasör açılamadı: ") +
               g_strerror(errno);
    GError* error = nullptr;
    const std::filesystem::path folder(name);
    const std::filesystem::path file = folder / FileName(signer);
    std::string pem = Pem(der);
    for (const signature::Bytes& issuer : path)
        pem += Pem(issuer);
    error = nullptr;
    const bool written =
        g_file_set_contents_full(file.c_str(), pem.data(), static_cast<gssize>(pem.size()),
                                 G_FILE_SET_CONTENTS_NONE, 0600, &error);
    UniqueGError writeError(error);
    if (!written) {
        RemoveFolder(folder);
        return Failure("dosya yazılamadı: ", error);
    }
    const gchar* argv[] = {kCertificateViewer, file.c_str(), nullptr};
    GPid pid = 0;
    error = nullptr;
    const bool started =
        g_spawn_async(nullptr, const_cast<gchar**>(argv), nullptr,
                      static_cast<GSpawnFlags>(G_SPAWN_SEARCH_PATH | G_SPAWN_DO_NOT_REAP_CHILD),
                      nullptr, nullptr, &pid, &error);
    UniqueGError spawnError(error);
    if (!started) {
        RemoveFolder(folder);
        if (g_error_matches(error, G_SPAWN_ERROR, G_SPAWN_ERROR_NOENT))
            return "Sertifika gösterilemedi: sertifika gösterici (gcr-viewer) bulunamadı. "
                   "Göstermek için gcr paketini kurun.";
        return Failure("", error);
    }
    g_child_watch_add(pid, ViewerEnded, new std::filesystem::path(folder));
    ++runningViewers;
    return {};
}

void WaitForCertificateViewers() {
    while (runningViewers > 0)
        g_main_context_iteration(nullptr, TRUE);
}

void RemoveOldCertificateCopies() {
    const time_t limit = time(nullptr) - kKeepSeconds;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(CopiesFolder(), error))
        if (IsOldCopy(entry.path(), limit))
            RemoveFolder(entry.path());
}

} // namespace tolv::linux_edition
