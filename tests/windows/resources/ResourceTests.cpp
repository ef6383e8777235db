// Reads the resources back from the built program, the way Explorer and the
// loader see them, not from the resource script.

#include "tests/windows/support/TestPaths.h"

#include "windows/base/StringConvert.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <regex>
#include <set>
#include <string>
#include <tuple>
#include <vector>

using tolv::test::BesideTestExe;

namespace {

const wchar_t kProductText[] = L"Tolv İçerik Gösterici Tarayıcı Derlemesi";

std::wstring ProgramPath() {
    return BesideTestExe(L"Tolv.Viewer.Exe").wstring();
}

// The program loaded as resources only: nothing of it runs.
class ProgramResources : public testing::Test {
protected:
    void SetUp() override {
        module_ = LoadLibraryExW(ProgramPath().c_str(), nullptr,
                                 LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
        ASSERT_NE(module_, nullptr) << "cannot load " << tolv::WideToUtf8(ProgramPath());
    }
    void TearDown() override {
        if (module_ != nullptr)
            FreeLibrary(module_);
    }

    std::string_view Resource(const wchar_t* type, const wchar_t* name, WORD language = 0) const {
        HRSRC found = language == 0 ? FindResourceW(module_, name, type)
                                    : FindResourceExW(module_, type, name, language);
        if (found == nullptr)
            return {};
        HGLOBAL loaded = LoadResource(module_, found);
        return {static_cast<const char*>(LockResource(loaded)), SizeofResource(module_, found)};
    }

    // The mapped image: a data-file handle carries flag bits in its low bits.
    const BYTE* Image() const {
        return reinterpret_cast<const BYTE*>(reinterpret_cast<ULONG_PTR>(module_) & ~ULONG_PTR{3});
    }

    HMODULE module_ = nullptr;
};

// One node of a version record: key, text value, children.
struct VersionNode {
    std::wstring key;
    std::vector<VersionNode> children;
};

VersionNode ParseVersionNode(const BYTE* data, size_t size) {
    auto word = [data](size_t at) { return *reinterpret_cast<const WORD*>(data + at); };
    auto align = [](size_t at) { return (at + 3) & ~size_t{3}; };
    VersionNode node;
    const size_t length = std::min<size_t>(word(0), size);
    const size_t valueLength = word(2);
    const bool isText = word(4) == 1;
    const auto* key = reinterpret_cast<const wchar_t*>(data + 6);
    node.key.assign(key, wcsnlen(key, (length - 6) / 2));
    size_t at = align(6 + (node.key.size() + 1) * 2);
    at = align(at + valueLength * (isText ? 2 : 1));
    while (at + 6 <= length) {
        const size_t childLength = word(at);
        if (childLength == 0)
            break;
        node.children.push_back(ParseVersionNode(data + at, std::min(childLength, length - at)));
        at = align(at + childLength);
    }
    return node;
}

std::wstring VersionText(const std::vector<BYTE>& block, const std::wstring& name) {
    wchar_t* value = nullptr;
    UINT length = 0;
    const std::wstring path = L"\\StringFileInfo\\040904B0\\" + name;
    if (!VerQueryValueW(block.data(), path.c_str(), reinterpret_cast<void**>(&value), &length) ||
        value == nullptr)
        return L"<missing>";
    return std::wstring(value, wcsnlen(value, length));
}

} // namespace

TEST(ProgramVersionRecord, HasExactlyTheListedFieldsInUsEnglishUnicode) {
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeW(ProgramPath().c_str(), &ignored);
    ASSERT_GT(size, 0u);
    std::vector<BYTE> block(size);
    ASSERT_TRUE(GetFileVersionInfoW(ProgramPath().c_str(), 0, size, block.data()));

    WORD* translation = nullptr;
    UINT translationBytes = 0;
    ASSERT_TRUE(VerQueryValueW(block.data(), L"\\VarFileInfo\\Translation",
                               reinterpret_cast<void**>(&translation), &translationBytes));
    ASSERT_EQ(translationBytes, 4u);
    EXPECT_EQ(translation[0], 0x0409);
    EXPECT_EQ(translation[1], 1200);

    const std::map<std::wstring, std::wstring> expected = {
        {L"FileVersion", L"2.00"},
        {L"ProductVersion", L"2.00"},
        {L"ProductName", kProductText},
        {L"FileDescription", kProductText},
        {L"Comments", kProductText},
        {L"InternalName", L"Tolv.Viewer"},
        {L"OriginalFilename", L"Tolv.Viewer.Exe"}};
    for (const auto& [name, text] : expected)
        EXPECT_EQ(VersionText(block, name), text) << tolv::WideToUtf8(name);
    for (const wchar_t* credit : {L"CompanyName", L"LegalCopyright"}) {
        const std::wstring text = VersionText(block, credit);
        EXPECT_NE(text, L"<missing>") << tolv::WideToUtf8(credit);
        EXPECT_FALSE(text.empty()) << tolv::WideToUtf8(credit);
    }

    // No field besides those: walk the record itself, VerQueryValue only answers for known names.
    VersionNode root = ParseVersionNode(block.data(), block.size());
    EXPECT_EQ(root.key, L"VS_VERSION_INFO");
    std::set<std::wstring> tables, fields;
    for (const VersionNode& child : root.children) {
        if (child.key != L"StringFileInfo")
            continue;
        for (const VersionNode& table : child.children) {
            tables.insert(table.key);
            for (const VersionNode& field : table.children)
                fields.insert(field.key);
        }
    }
    EXPECT_EQ(tables, std::set<std::wstring>{L"040904B0"});
    EXPECT_EQ(fields,
              (std::set<std::wstring>{L"Comments", L"CompanyName", L"FileDescription",
                                      L"FileVersion", L"InternalName", L"LegalCopyright",
                                      L"OriginalFilename", L"ProductName", L"ProductVersion"}));

    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT fixedBytes = 0;
    ASSERT_TRUE(VerQueryValueW(block.data(), L"\\", reinterpret_cast<void**>(&fixed), &fixedBytes));
    EXPECT_EQ(fixed->dwFileVersionMS, 0x00020000u);
    EXPECT_EQ(fixed->dwProductVersionMS, 0x00020000u);
}

TEST_F(ProgramResources, ManifestAsksForNoElevationCommonControls6AndPerMonitorDpi) {
    const std::string manifest(Resource(RT_MANIFEST, MAKEINTRESOURCEW(1)));
    ASSERT_FALSE(manifest.empty());
    auto has = [&manifest](const char* pattern) {
        return std::regex_search(manifest, std::regex(pattern));
    };
    EXPECT_TRUE(has(R"(<requestedExecutionLevel[^>]*\slevel="asInvoker")"));
    EXPECT_TRUE(has(
        R"(<dependentAssembly>\s*<assemblyIdentity[^>]*"Microsoft\.Windows\.Common-Controls")"));
    EXPECT_TRUE(has(
        R"(<assemblyIdentity[^>]*"Microsoft\.Windows\.Common-Controls"[^>]*version="6\.0\.0\.0")"));
    EXPECT_TRUE(has(R"(<dpiAware[^>]*>\s*true/pm\s*</dpiAware>)"));
    EXPECT_TRUE(has(R"(<dpiAwareness[^>]*>\s*PerMonitorV2\b)"));
    for (const char* os : {"8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a",  // Windows 10 and 11
                           "1f676c76-80e1-4239-95bb-83d0f6d0da78",  // 8.1
                           "4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38",  // 8
                           "35138b9a-5d96-4fbd-8e2d-a2440225f93a"}) // 7
        EXPECT_TRUE(has((std::string("<supportedOS Id=\"\\{") + os + "\\}\"").c_str())) << os;

    // The loader must accept it: an activation context is built from it as at start-up.
    ACTCTXW request{};
    request.cbSize = sizeof(request);
    request.dwFlags = ACTCTX_FLAG_RESOURCE_NAME_VALID;
    const std::wstring path = ProgramPath();
    request.lpSource = path.c_str();
    request.lpResourceName = MAKEINTRESOURCEW(1);
    HANDLE context = CreateActCtxW(&request);
    ASSERT_NE(context, INVALID_HANDLE_VALUE) << "error " << GetLastError();

    ACTIVATION_CONTEXT_RUN_LEVEL_INFORMATION runLevel{};
    SIZE_T written = 0;
    EXPECT_TRUE(QueryActCtxW(0, context, nullptr, RunlevelInformationInActivationContext, &runLevel,
                             sizeof(runLevel), &written));
    EXPECT_EQ(runLevel.RunLevel, ACTCTX_RUN_LEVEL_AS_INVOKER);
    EXPECT_FALSE(runLevel.UiAccess);
    wchar_t setting[64] = {};
    EXPECT_TRUE(QueryActCtxSettingsW(0, context, nullptr, L"dpiAware", setting, 64, &written));
    EXPECT_STREQ(setting, L"true/pm");
    EXPECT_TRUE(QueryActCtxSettingsW(0, context,
                                     L"http://schemas.microsoft.com/SMI/2016/WindowsSettings",
                                     L"dpiAwareness", setting, 64, &written));
    EXPECT_STREQ(setting, L"PerMonitorV2, PerMonitor");
    ReleaseActCtx(context);
}

namespace {

#pragma pack(push, 2)
struct GroupIconHeader {
    WORD reserved;
    WORD type;
    WORD count;
};
struct GroupIconEntry {
    BYTE width;
    BYTE height;
    BYTE colorCount;
    BYTE reserved;
    WORD planes;
    WORD bitCount;
    DWORD bytes;
    WORD id;
};
#pragma pack(pop)

using IconImage = std::tuple<int, int, int>; // width, height, bits per pixel

BOOL CALLBACK CollectName(HMODULE, LPCWSTR, LPWSTR name, LONG_PTR names) {
    reinterpret_cast<std::vector<ULONG_PTR>*>(names)->push_back(reinterpret_cast<ULONG_PTR>(name));
    return TRUE;
}

} // namespace

TEST_F(ProgramResources, IconGroupHasTheSixImagesAndEachLoads) {
    // The program's icon is group 1, the first, what "path,0" shows for report
    // files; the four verdict icons of the signature window follow it.
    std::vector<ULONG_PTR> groups;
    EnumResourceNamesW(module_, RT_GROUP_ICON, CollectName, reinterpret_cast<LONG_PTR>(&groups));
    EXPECT_EQ(groups, (std::vector<ULONG_PTR>{1, 2, 3, 4, 5}));

    const std::string_view group = Resource(RT_GROUP_ICON, MAKEINTRESOURCEW(1));
    ASSERT_GE(group.size(), sizeof(GroupIconHeader));
    GroupIconHeader header;
    std::memcpy(&header, group.data(), sizeof(header));
    EXPECT_EQ(header.type, 1);
    ASSERT_EQ(group.size(), sizeof(header) + header.count * sizeof(GroupIconEntry));

    std::vector<IconImage> declared, stored;
    for (WORD i = 0; i < header.count; ++i) {
        GroupIconEntry entry;
        std::memcpy(&entry, group.data() + sizeof(header) + i * sizeof(entry), sizeof(entry));
        const int width = entry.width == 0 ? 256 : entry.width;
        const int height = entry.height == 0 ? 256 : entry.height;
        declared.emplace_back(width, height, entry.bitCount);

        // The image itself must be what the group says, and the system must make an icon of it.
        const std::string_view image = Resource(RT_ICON, MAKEINTRESOURCEW(entry.id));
        ASSERT_EQ(image.size(), entry.bytes) << "image " << entry.id;
        if (image.substr(0, 4) == "\x89PNG") {
            // PNG: width and height are big-endian at offsets 16 and 20, depth 8 bits per channel
            // RGBA.
            auto be32 = [&image](size_t at) {
                const auto* b = reinterpret_cast<const unsigned char*>(image.data() + at);
                return int(b[0] << 24 | b[1] << 16 | b[2] << 8 | b[3]);
            };
            EXPECT_EQ(image[25], 6) << "PNG image " << entry.id << " is not RGBA";
            stored.emplace_back(be32(16), be32(20), image[24] * 4);
        } else {
            BITMAPINFOHEADER bitmap;
            ASSERT_GE(image.size(), sizeof(bitmap));
            std::memcpy(&bitmap, image.data(), sizeof(bitmap));
            stored.emplace_back(bitmap.biWidth, bitmap.biHeight / 2, bitmap.biBitCount);
        }
        HICON icon = CreateIconFromResourceEx(
            reinterpret_cast<BYTE*>(const_cast<char*>(image.data())),
            static_cast<DWORD>(image.size()), TRUE, 0x00030000, width, height, LR_DEFAULTCOLOR);
        EXPECT_NE(icon, nullptr) << "image " << entry.id;
        if (icon != nullptr)
            DestroyIcon(icon);
    }
    const std::vector<IconImage> expected = {{32, 32, 8},  {24, 24, 8},  {256, 256, 32},
                                             {48, 48, 32}, {32, 32, 32}, {24, 24, 32}};
    EXPECT_EQ(declared, expected);
    EXPECT_EQ(stored, expected);
}

TEST_F(ProgramResources, StringTableHoldsTheTurkishTextsWithTheirLineMarks) {
    const std::map<UINT, std::wstring> expected = {
        {101, L"TolvViewer Tarayıcı Versionu 2.0_Geliştiren: TolvViewer açık kaynak "
              L"ekibi_İletişim: destek@tolvviewer.example"},
        {102, L"Arayüzü yönetici olarak başlatılmalıdır._Uygulama üzerine sağ tıklayın ve açılan "
              L"menüden 'Yönetici olarak çalıştır'ı seçin._Bu işlem imzalı rapor(tolv) dosyalarını "
              L"'TolvViewer' ile ilişkilendirir ve tercih yapabileceğiniz bir pencere açar."}};
    for (const auto& [id, text] : expected) {
        const wchar_t* loaded = nullptr;
        const int length = LoadStringW(module_, id, reinterpret_cast<LPWSTR>(&loaded), 0);
        ASSERT_GT(length, 0) << id;
        EXPECT_EQ(std::wstring(loaded, length), text) << id;
        // Strings live in blocks of 16; the block must be the Turkish one.
        EXPECT_FALSE(Resource(RT_STRING, MAKEINTRESOURCEW(id / 16 + 1),
                              MAKELANGID(LANG_TURKISH, SUBLANG_DEFAULT))
                         .empty())
            << id;
    }
}

// Statically linked: a 64-bit program that needs nothing beside it but Windows itself.
TEST_F(ProgramResources, ProgramIs64BitAndImportsOnlySystemDlls) {
    const BYTE* image = Image();
    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(image);
    ASSERT_EQ(dos->e_magic, IMAGE_DOS_SIGNATURE);
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS64*>(image + dos->e_lfanew);
    ASSERT_EQ(nt->Signature, IMAGE_NT_SIGNATURE);
    EXPECT_EQ(nt->FileHeader.Machine, IMAGE_FILE_MACHINE_AMD64);
    ASSERT_EQ(nt->OptionalHeader.Magic, IMAGE_NT_OPTIONAL_HDR64_MAGIC);
    EXPECT_EQ(nt->OptionalHeader.Subsystem, IMAGE_SUBSYSTEM_WINDOWS_GUI);

    const IMAGE_DATA_DIRECTORY& directory =
        nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    ASSERT_NE(directory.VirtualAddress, 0u);
    std::vector<std::string> dlls;
    for (auto* import =
             reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(image + directory.VirtualAddress);
         import->Name != 0; ++import) {
        std::string name(reinterpret_cast<const char*>(image + import->Name));
        std::transform(name.begin(), name.end(), name.begin(),
                       [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
        dlls.push_back(name);
    }
    ASSERT_FALSE(dlls.empty());
    // OpenSSL is inside the program; the system gives the roots (crypt32).
    for (const char* needed : {"kernel32.dll", "crypt32.dll"})
        EXPECT_NE(std::find(dlls.begin(), dlls.end(), needed), dlls.end()) << needed;

    wchar_t system[MAX_PATH] = {};
    GetSystemDirectoryW(system, MAX_PATH);
    for (const std::string& dll : dlls) {
        for (const char* runtime :
             {"libstdc++", "libgcc", "libwinpthread", "libssp", "libexpat", "libcrypto"})
            EXPECT_EQ(dll.find(runtime), std::string::npos) << dll;
        const std::filesystem::path inSystem = std::filesystem::path(system) / dll;
        EXPECT_TRUE(std::filesystem::exists(inSystem)) << dll << " is not a system DLL";
    }
}
