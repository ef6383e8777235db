#include "linux/Settings.h"

#include "core/Preferences.h"
#include "core/Text.h"
#include "linux/GPtr.h"

#include <glib.h>
#include <glib/gstdio.h>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tolv::linux_edition {

namespace {

constexpr char kFolder[] = "tolv-viewer";
constexpr char kFileName[] = "settings.ini";

UniqueKeyFile LoadKeyFile(const std::filesystem::path& file, GKeyFileFlags flags) {
    UniqueKeyFile keyFile(g_key_file_new());
    if (!g_key_file_load_from_file(keyFile.get(), file.c_str(), flags, nullptr))
        return nullptr;
    return keyFile;
}

std::optional<std::string> RawValue(GKeyFile* keyFile, const char* key) {
    UniqueGChar value(g_key_file_get_value(keyFile, kSettingsGroup, key, nullptr));
    if (!value)
        return std::nullopt;
    return std::string(value.get());
}

// The number rule of the core works on wide text; the value is UTF-8.
bool NumberIsOn(const std::string& text) {
    std::wstring wide;
    const char* p = text.c_str();
    const char* end = p + text.size();
    while (p < end) {
        gunichar c = g_utf8_get_char_validated(p, end - p);
        if (c == static_cast<gunichar>(-1) || c == static_cast<gunichar>(-2))
            break; // not UTF-8: the number, if any, ends here
        wide += static_cast<wchar_t>(c);
        p = g_utf8_next_char(p);
    }
    return SettingIsOn(wide);
}

// Whether the text begins with a number for the core's rule, rather than with
// a word that the rule would read as 0. Blanks count nowhere, as for the rule.
bool StartsWithNumber(std::string_view text) {
    std::string s;
    for (char c : text)
        if (c != ' ' && c != '\t' && c != '\n')
            s += c;
    if (s.size() > 2 && s[0] == '&') {
        const char radix = g_ascii_tolower(s[1]);
        return (radix == 'h' && g_ascii_isxdigit(s[2])) ||
               (radix == 'o' && s[2] >= '0' && s[2] <= '7');
    }
    std::size_t i = 0;
    if (i < s.size() && (s[i] == '+' || s[i] == '-'))
        ++i;
    if (i < s.size() && s[i] == '.')
        ++i;
    return i < s.size() && g_ascii_isdigit(s[i]);
}

// An on/off key: a usable value in a file higher up wins; one that holds
// nothing usable leaves the key to the next file.
void TakeSwitch(GKeyFile* keyFile, const char* key, std::optional<bool>& value) {
    if (value)
        return;
    if (auto text = RawValue(keyFile, key))
        value = ParseSwitch(*text);
}

std::string ErrorText(const std::filesystem::path& path, int error) {
    UniqueGChar name(g_filename_display_name(path.c_str()));
    return std::string(name.get()) + ": " + g_strerror(error);
}

std::filesystem::path LinkTarget(const std::filesystem::path& file) {
    std::error_code error;
    if (!std::filesystem::is_symlink(file, error))
        return file;
    std::filesystem::path target = std::filesystem::weakly_canonical(file, error);
    return error ? file : target;
}

bool WriteAll(int fd, const char* data, size_t size) {
    while (size > 0) {
        ssize_t written = write(fd, data, size);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return false;
        data += written;
        size -= static_cast<size_t>(written);
    }
    return true;
}

} // namespace

std::optional<bool> ParseSwitch(std::string_view text) {
    std::string word(TrimBlanks(text));
    for (char& c : word)
        c = g_ascii_tolower(c);
    if (word == "true" || word == "yes" || word == "on")
        return true;
    if (word == "false" || word == "no" || word == "off")
        return false;
    if (StartsWithNumber(text))
        return NumberIsOn(std::string(text));
    return std::nullopt;
}

std::optional<BrowserChoice> ParseBrowserChoice(std::string_view text) {
    std::string word(TrimBlanks(text));
    for (char& c : word)
        c = g_ascii_tolower(c);
    if (word == "chrome")
        return BrowserChoice::Chrome;
    if (word == "edge")
        return BrowserChoice::Edge;
    if (word == "desktop")
        return BrowserChoice::Desktop;
    return std::nullopt;
}

const char* BrowserChoiceName(BrowserChoice choice) {
    switch (choice) {
    case BrowserChoice::Chrome:
        return "chrome";
    case BrowserChoice::Edge:
        return "edge";
    case BrowserChoice::Desktop:
        return "desktop";
    }
    return "chrome";
}

std::filesystem::path UserSettingsFile() {
    return std::filesystem::path(g_get_user_config_dir()) / kFolder / kFileName;
}

std::vector<std::filesystem::path> SettingsFiles() {
    std::vector<std::filesystem::path> files{UserSettingsFile()};
    for (const gchar* const* dir = g_get_system_config_dirs(); dir && *dir; ++dir)
        files.push_back(std::filesystem::path(*dir) / kFolder / kFileName);
    return files;
}

std::vector<std::filesystem::path> PolicyFiles(const std::filesystem::path& etc) {
    return {etc / "xdg" / kFolder / kFileName, etc / kFolder / kFileName};
}

std::filesystem::path SystemConfigFolder() {
#ifdef TOLV_TEST_SYSCONFDIR_HOOK
    if (const char* folder = g_getenv("TOLV_TEST_SYSCONFDIR"))
        return folder;
#endif
    return "/etc";
}

Settings LoadSettings(const std::vector<std::filesystem::path>& files,
                      const std::vector<std::filesystem::path>& policyFiles) {
    std::vector<UniqueKeyFile> keyFiles;
    for (const auto& file : files)
        keyFiles.push_back(LoadKeyFile(file, G_KEY_FILE_NONE)); // empty where unreadable

    std::optional<BrowserChoice> browser;
    std::optional<bool> savePDF, frame, checkSignature, warnUnverified, onlineRevocation,
        warnUntrusted;
    for (const auto& keyFile : keyFiles) {
        if (!keyFile)
            continue;
        if (!browser) {
            if (auto value = RawValue(keyFile.get(), kBrowserKey))
                browser = ParseBrowserChoice(*value);
        }
        TakeSwitch(keyFile.get(), kSavePDFKey, savePDF);
        TakeSwitch(keyFile.get(), kFrameKey, frame);
    }
    // A policy the user's own file could undo would be none, and so would one
    // the user's XDG_CONFIG_DIRS could move.
    std::vector<UniqueKeyFile> policy;
    for (const auto& file : policyFiles)
        policy.push_back(LoadKeyFile(file, G_KEY_FILE_NONE));
    if (!keyFiles.empty())
        policy.push_back(std::move(keyFiles.front()));
    for (const auto& keyFile : policy) {
        if (!keyFile)
            continue;
        TakeSwitch(keyFile.get(), kCheckSignatureKey, checkSignature);
        TakeSwitch(keyFile.get(), kWarnUnverifiedKey, warnUnverified);
        TakeSwitch(keyFile.get(), kOnlineRevocationKey, onlineRevocation);
        TakeSwitch(keyFile.get(), kWarnUntrustedKey, warnUntrusted);
    }
    return Settings{browser,
                    savePDF.value_or(false),
                    frame.value_or(false),
                    checkSignature.value_or(true),
                    warnUnverified.value_or(true),
                    onlineRevocation.value_or(true),
                    warnUntrusted.value_or(true)};
}

std::string SaveSettings(const Settings& settings, const std::filesystem::path& link) {
    // A link (a dotfile manager's) stays one: its target is what is replaced,
    // in the target's folder.
    const std::filesystem::path file = LinkTarget(link);
    const std::filesystem::path folder = file.parent_path();
    if (g_mkdir_with_parents(folder.c_str(), 0700) != 0)
        return ErrorText(folder, errno);

    // A file that cannot be read is replaced; nothing of it can be kept.
    UniqueKeyFile keyFile = LoadKeyFile(
        file, static_cast<GKeyFileFlags>(G_KEY_FILE_KEEP_COMMENTS | G_KEY_FILE_KEEP_TRANSLATIONS));
    if (!keyFile)
        keyFile.reset(g_key_file_new());
    if (settings.browser)
        g_key_file_set_string(keyFile.get(), kSettingsGroup, kBrowserKey,
                              BrowserChoiceName(*settings.browser));
    else
        g_key_file_remove_key(keyFile.get(), kSettingsGroup, kBrowserKey, nullptr);
    g_key_file_set_integer(keyFile.get(), kSettingsGroup, kSavePDFKey, settings.savePDF ? 1 : 0);
    g_key_file_set_integer(keyFile.get(), kSettingsGroup, kFrameKey, settings.frame ? 1 : 0);
    gsize size = 0;
    UniqueGChar data(g_key_file_to_data(keyFile.get(), &size, nullptr));

    std::string scratch = file.string() + ".XXXXXX";
    int fd = g_mkstemp_full(scratch.data(), O_WRONLY | O_CLOEXEC, 0600);
    if (fd < 0)
        return ErrorText(folder, errno);
    // The file keeps the mode its owner gave it.
    struct stat existing {};
    if (stat(file.c_str(), &existing) == 0 && S_ISREG(existing.st_mode))
        fchmod(fd, existing.st_mode & 07777);
    int error = 0;
    errno = 0;
    if (!WriteAll(fd, data.get(), size) || fsync(fd) != 0)
        error = errno ? errno : EIO;
    if (close(fd) != 0 && error == 0)
        error = errno;
    if (error == 0 && rename(scratch.c_str(), file.c_str()) != 0)
        error = errno;
    if (error != 0) {
        unlink(scratch.c_str());
        return ErrorText(file, error);
    }
    // The rename itself is durable only once the folder is flushed too.
    int dirFd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd >= 0) {
        fsync(dirFd);
        close(dirFd);
    }
    return {};
}

} // namespace tolv::linux_edition
