#include "report/File.h"

#include <cerrno>

namespace tolv::report {
namespace {

void AppendUtf8(std::string& text, char32_t c) {
    if (c < 0x80) {
        text += char(c);
    } else if (c < 0x800) {
        text += char(0xC0 | (c >> 6));
        text += char(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        text += char(0xE0 | (c >> 12));
        text += char(0x80 | ((c >> 6) & 0x3F));
        text += char(0x80 | (c & 0x3F));
    } else {
        text += char(0xF0 | (c >> 18));
        text += char(0x80 | ((c >> 12) & 0x3F));
        text += char(0x80 | ((c >> 6) & 0x3F));
        text += char(0x80 | (c & 0x3F));
    }
}

} // namespace

std::string FileErrorText(int error) {
    switch (error) {
    case ENOENT:
        return "dosya ya da klasör bulunamadı";
    case EACCES:
    case EPERM:
        return "erişim izni yok";
    case EISDIR:
        return "bu bir klasör, dosya değil";
    case ENOTDIR:
        return "yolun bir parçası klasör değil";
    case ENOSPC:
        return "diskte yer kalmadı";
    case EROFS:
        return "disk yalnızca okunabilir";
    case EMFILE:
    case ENFILE:
        return "açık dosya sayısı sınırda";
    case ENAMETOOLONG:
        return "dosya adı çok uzun";
    case EINVAL:
        return "dosya adı geçersiz";
    case EIO:
        return "okuma ya da yazma sırasında donanım hatası";
    case ENOMEM:
        return "bellek yetersiz";
    case EBUSY:
        return "dosya başka bir program tarafından kullanılıyor";
    case EEXIST:
        return "bu adda bir dosya zaten var";
    case EXDEV:
        return "dosya başka bir diskteki klasöre taşınamaz";
    case kNotRegularFile:
        return "düzenli bir dosya değil";
    default:
        return "sistem hata kodu " + std::to_string(error);
    }
}

std::string PathText(const std::filesystem::path& path) {
    const auto& native = path.native();
    if constexpr (sizeof(native[0]) == 1) {
        return std::string(native.begin(), native.end()); // bytes, shown as they are
    } else {
        // UTF-16 that the file system accepts need not be valid (a lone
        // surrogate): it becomes U+FFFD here instead of failing the message.
        std::string text;
        for (std::size_t i = 0; i < native.size(); ++i) {
            char32_t c = char32_t(native[i]);
            if (c >= 0xD800 && c <= 0xDBFF && i + 1 < native.size() &&
                char32_t(native[i + 1]) >= 0xDC00 && char32_t(native[i + 1]) <= 0xDFFF) {
                c = 0x10000 + ((c - 0xD800) << 10) + (char32_t(native[i + 1]) - 0xDC00);
                ++i;
            } else if (c >= 0xD800 && c <= 0xDFFF) {
                c = 0xFFFD;
            }
            AppendUtf8(text, c);
        }
        return text;
    }
}

} // namespace tolv::report
