#pragma once
// The texts the user sees: the Windows edition's, byte for byte.

namespace tolv::linux_edition {

inline constexpr char kAppTitle[] = "Tolv İçerik Gösterici Tarayıcı Derlemesi";
inline constexpr char kExtractionFailed[] = "Tolv imza dosyasının PDF ayrıştırması başarısız.";
inline constexpr char kBrowserFailed[] = "Tarayıcı entegrasyonu başarısız.";
// The Linux edition's second line under kExtractionFailed: where and why.
inline constexpr char kPdfNotWritten[] = "PDF yazılamadı: ";
inline constexpr char kUnexpectedError[] = "Beklenmeyen hata: ";
inline constexpr char kAboutTitle[] = "Hakkında";
// "_" marks a line break, as in the Windows edition's string table.
inline constexpr char kAboutText[] = "TolvViewer Tarayıcı Versionu 2.0_Geliştiren: TolvViewer açık "
                                     "kaynak ekibi_İletişim: destek@tolvviewer.example";

// The desktop id: the .desktop file, the icon and the AppStream component.
inline constexpr char kAppId[] = "tr.org.tolv.Viewer";

} // namespace tolv::linux_edition
