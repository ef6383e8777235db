#include "tools/ReportWalk.h"

#include "report/File.h"
#include "tools/FolderId.h"

#include <algorithm>
#include <optional>
#include <set>
#include <string>
#include <system_error>
#include <vector>

namespace tolv::tools {

namespace fs = std::filesystem;

namespace {

// Deeper than any archive is kept: a last guard where a folder cannot be told
// from another (IdentifyFolder fails) and a link is not reported as one.
constexpr int kMaxDepth = 64;

using ReportFound = std::function<void(const fs::path&)>;
using FolderUnreadable = std::function<void(const fs::path&, const std::string&)>;

// A regular file, or a link to one: a pipe's reading would wait for a writer.
// One that cannot be looked at still gets its line, unless it has gone.
bool IsFile(const fs::directory_entry& entry) {
    std::error_code error;
    const bool file = entry.is_regular_file(error);
    return file || (error && error != std::errc::no_such_file_or_directory);
}

struct Entry {
    std::u8string name;
    fs::path path;
    bool folder;
};

// The folders and reports in folder, sorted; false when it cannot be listed.
bool ListFolder(const fs::path& folder, std::vector<Entry>& entries, std::error_code& error) {
    for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
        std::error_code kind;
        const bool isFolder = it->is_directory(kind);
        // A link to a folder is neither entered nor taken for a report: it
        // could lead out of the archive or round in a circle.
        if (isFolder && IsFolderLink(it->path()))
            continue;
        if (isFolder || (IsReportName(it->path().filename()) && IsFile(*it)))
            entries.push_back({it->path().filename().u8string(), it->path(), isFolder});
    }
    // UTF-8 bytes on both systems: Windows' UTF-16 order differs beyond U+FFFF.
    std::sort(entries.begin(), entries.end(),
              [](const Entry& a, const Entry& b) { return a.name < b.name; });
    return !error;
}

// One PATH of the command line, walked depth-first.
class Walk {
public:
    Walk(const ReportFound& report, const FolderUnreadable& unreadable)
        : report_(report), unreadable_(unreadable) {}

    void Folder(const fs::path& folder, int depth = 0) {
        if (depth > kMaxDepth) {
            unreadable_(folder, "Klasör okunamadı: " + report::PathText(folder) + " (" +
                                    std::to_string(kMaxDepth) + " klasörden daha derinde)");
            return;
        }
        // A folder reached again (through a mount, or a link not shown as
        // one) is not walked twice, nor round in a circle.
        if (const std::optional<FolderId> id = IdentifyFolder(folder);
            id && !entered_.insert(*id).second)
            return;
        std::vector<Entry> entries;
        std::error_code error;
        if (!ListFolder(folder, entries, error)) {
            unreadable_(folder, "Klasör okunamadı: " + report::PathText(folder) + " (" +
                                    report::FileErrorText(error.value()) + ")");
            return;
        }
        for (const Entry& entry : entries) {
            if (entry.folder)
                Folder(entry.path, depth + 1);
            else
                report_(entry.path);
        }
    }

private:
    const ReportFound& report_;
    const FolderUnreadable& unreadable_;
    std::set<FolderId> entered_;
};

} // namespace

bool IsReportName(const fs::path& name) {
    const std::u8string text = name.filename().u8string();
    constexpr std::u8string_view kEnd = u8".tolv";
    if (text.size() < kEnd.size())
        return false;
    return std::equal(kEnd.begin(), kEnd.end(), text.end() - kEnd.size(), [](char8_t a, char8_t b) {
        return a == (b >= u8'A' && b <= u8'Z' ? char8_t(b - u8'A' + u8'a') : b);
    });
}

void WalkReports(const std::vector<fs::path>& paths,
                 const std::function<void(const fs::path&)>& report,
                 const std::function<void(const fs::path&, const std::string&)>& unreadable) {
    for (const fs::path& path : paths) {
        std::error_code error;
        if (fs::is_directory(path, error))
            Walk(report, unreadable).Folder(path);
        else
            report(path);
    }
}

} // namespace tolv::tools
