#include "report/File.h"

#include <cerrno>

namespace tolv::report {

#ifndef _WIN32
UniqueFile OpenFile(const std::filesystem::path& path, const char* mode) {
    return UniqueFile(std::fopen(path.c_str(), mode));
}
#endif

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
    default:
        return "sistem hata kodu " + std::to_string(error);
    }
}

std::string PathText(const std::filesystem::path& path) {
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

} // namespace tolv::report
