#pragma once
// A folder of its own for each test, removed afterwards.

#include <glib.h>

#include <filesystem>
#include <fstream>
#include <string>

namespace tolv::linux_edition::testing {

class ScratchFolder {
public:
    ScratchFolder() {
        gchar* made = g_dir_make_tmp("tolv-linux-XXXXXX", nullptr);
        path_ = made;
        g_free(made);
    }
    ~ScratchFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    const std::filesystem::path& path() const { return path_; }

    // Writes text to a file below the folder, making its folders.
    std::filesystem::path Write(const std::filesystem::path& relative,
                                const std::string& text) const {
        std::filesystem::path file = path_ / relative;
        std::filesystem::create_directories(file.parent_path());
        std::ofstream(file, std::ios::binary) << text;
        return file;
    }

private:
    std::filesystem::path path_;
};

inline std::string ReadText(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

} // namespace tolv::linux_edition::testing
