#include "validation/Anchors.h"

#include "validation/AnchorFiles.h"

#include <algorithm>
#include <fstream>
#include <iterator>
#include <optional>
#include <system_error>

namespace tolv::validation {
namespace {

namespace fs = std::filesystem;

// A certificate bundle is a few hundred kilobytes; anything this large is not one.
constexpr std::uintmax_t kMaxAnchorFile = 16u << 20;

std::string Shown(const fs::path& path) {
    const std::u8string text = path.u8string();
    return "“" + std::string(text.begin(), text.end()) + "”";
}

std::optional<Bytes> ReadFile(const fs::path& path) {
    std::error_code error;
    const std::uintmax_t size = fs::file_size(path, error);
    if (error || size > kMaxAnchorFile)
        return std::nullopt;
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return std::nullopt;
    Bytes contents(std::istreambuf_iterator<char>(in), {});
    if (in.bad())
        return std::nullopt;
    return contents;
}

} // namespace

std::string Anchors::Add(const fs::path& path) {
    std::error_code error;
    const fs::file_status status = fs::status(path, error);
    if (!fs::exists(status))
        return Shown(path) + " bulunamadı";
    if (fs::is_directory(status)) {
        fs::directory_iterator entries(path, error);
        if (error)
            return Shown(path) + " klasörü okunamadı";
        // Sorted, so that the anchors come in the same order on every system.
        std::vector<fs::path> files;
        for (const fs::directory_entry& entry : entries)
            if (entry.is_regular_file(error))
                files.push_back(entry.path());
        std::sort(files.begin(), files.end());
        for (const fs::path& file : files)
            if (const auto contents = ReadFile(file))
                for (Bytes& certificate : detail::CertificatesIn(*contents))
                    added_.push_back(std::move(certificate));
        return {};
    }
    const auto contents = ReadFile(path);
    if (!contents)
        return Shown(path) + " okunamadı";
    std::vector<Bytes> certificates = detail::CertificatesIn(*contents);
    if (certificates.empty())
        return Shown(path) + " içinde sertifika yok";
    for (Bytes& certificate : certificates)
        added_.push_back(std::move(certificate));
    return {};
}

} // namespace tolv::validation
