// "İmza bilgisi" end to end: the real program shows its window for reports
// signed with a throwaway PKI (make-window-reports.py) and the samples, and
// the test reads the window back as another program would: its parts by
// their ids, and the icon and the heading's colour off the screen.

#include "tests/windows/support/FakeBrowsers.h"
#include "tests/windows/support/ProgramDriver.h"
#include "tests/windows/support/SampleReport.h"
#include "tests/windows/support/ScreenCapture.h"
#include "tests/windows/support/TestEnvironment.h"
#include "windows/base/StringConvert.h"

#include <gtest/gtest.h>

#include <winsock2.h>

#include <atomic>
#include <map>
#include <thread>

namespace fs = std::filesystem;
using namespace tolv::test;

namespace {

constexpr int kShowCertificate = 1001;
constexpr int kOpenReport = 1002;
constexpr wchar_t kAsking[] = L"İptal durumu çevrimiçi soruluyor…";
constexpr wchar_t kAskSender[] = L"İçeriğine güvenmeyin; raporu gönderenden yeniden isteyin.";
constexpr wchar_t kNoRevocation[] = L"İptal durumu: öğrenilemedi (raporda iptal bilgisi yok)";
constexpr wchar_t kAnchor[] = L"Kimliği doğrulayan makam: Tolv Uzun Süreli Kök";
constexpr wchar_t kLegalNote[] = L"Bu bilgi imzanın hukuki geçerliliği hakkında bir karar "
                                 L"değildir. Nitelik, sertifikanın kendi beyanıdır; güven "
                                 L"listesine bakılmadı.";

fs::path Fixture(const wchar_t* name) {
    return fs::path(TOLV_WINDOW_REPORTS) / name;
}
fs::path Sample(const wchar_t* name) {
    return fs::path(L"Z:" TOLV_SOURCE_DIR_W) / L"samples" / name;
}

enum Part : int { kIcon = 100, kHeading, kContent, kProgress, kDetailsToggle, kDetails, kFooter };

// What the window shows.
struct Shown {
    std::wstring title, verdict, content, details, footer, expando;
    std::wstring icon; // what the icon says to a screen reader
    bool detailsVisible = false;
    bool progress = false;
    std::vector<std::pair<int, std::wstring>> buttons;
};

Shown Read(HWND window) {
    const auto text = [window](int id) {
        std::wstring read = WindowText(GetDlgItem(window, id));
        std::erase(read, L'\r');
        return read;
    };
    Shown shown{WindowText(window),
                text(kHeading),
                text(kContent),
                text(kDetails),
                text(kFooter),
                text(kDetailsToggle),
                text(kIcon),
                IsWindowVisible(GetDlgItem(window, kDetails)) != FALSE,
                IsWindowVisible(GetDlgItem(window, kProgress)) != FALSE,
                {}};
    for (const Control& c : Controls(window))
        if (c.className == L"Button" && GetDlgCtrlID(c.hwnd) != kDetailsToggle &&
            IsWindowVisible(c.hwnd))
            shown.buttons.push_back({GetDlgCtrlID(c.hwnd), c.text});
    return shown;
}

bool Near(std::uint32_t a, std::uint32_t b) {
    for (int shift : {0, 8, 16}) {
        const int difference =
            static_cast<int>((a >> shift) & 0xFF) - static_cast<int>((b >> shift) & 0xFF);
        if (difference > 40 || difference < -40)
            return false;
    }
    return true;
}

// How many pixels of a part of the window, as the screen shows it, `which` accepts.
template <class Which> int CountPixels(HWND window, int id, Which which) {
    const ScreenPixels picture = CaptureWindow(window, 2000);
    RECT frame{}, part{};
    GetWindowRect(window, &frame);
    GetWindowRect(GetDlgItem(window, id), &part);
    int count = 0;
    for (LONG y = part.top - frame.top; y < part.bottom - frame.top && y < picture.height; ++y)
        for (LONG x = part.left - frame.left; x < part.right - frame.left && x < picture.width; ++x)
            count += x >= 0 && y >= 0 &&
                     which(picture.pixels[static_cast<size_t>(y) * picture.width + x]);
    return count;
}

// The CRL the asking report names, served on 127.0.0.1 with a delay, so that
// the window is seen asking; each request is counted.
class CrlServer {
public:
    explicit CrlServer(std::string body) : body_(std::move(body)) {
        WSADATA data;
        WSAStartup(MAKEWORD(2, 2), &data);
        listener_ = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(47391);
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        listening_ = bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof(address)) == 0 &&
                     listen(listener_, 4) == 0;
        if (listening_)
            thread_ = std::thread([this] { Serve(); });
    }
    ~CrlServer() {
        closesocket(listener_); // ends the accept
        if (thread_.joinable())
            thread_.join();
        WSACleanup();
    }
    bool Listening() const { return listening_; }
    int Requests() const { return requests_; }

private:
    void Serve() {
        for (;;) {
            const SOCKET client = accept(listener_, nullptr, nullptr);
            if (client == INVALID_SOCKET)
                return;
            std::string request;
            char buffer[1024];
            int got = 0;
            while (request.find("\r\n\r\n") == std::string::npos &&
                   (got = recv(client, buffer, sizeof(buffer), 0)) > 0)
                request.append(buffer, got);
            ++requests_;
            Sleep(1500);
            const std::string answer = "HTTP/1.1 200 OK\r\nContent-Type: application/pkix-crl\r\n"
                                       "Content-Length: " +
                                       std::to_string(body_.size()) +
                                       "\r\nConnection: close\r\n\r\n" + body_;
            send(client, answer.data(), static_cast<int>(answer.size()), 0);
            shutdown(client, SD_SEND);
            closesocket(client);
        }
    }

    std::string body_;
    SOCKET listener_ = INVALID_SOCKET;
    bool listening_ = false;
    std::atomic<int> requests_{0};
    std::thread thread_;
};

class SignatureWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        StoreText(L"TrustAnchors", Fixture(L"ca.pem").wstring());
        ASSERT_TRUE(server_.Listening()) << "port 47391 is taken";
    }

    // The program's window for the report (copied under `name`), read once it
    // has settled; `first` gets what it showed at once.
    Shown Open(const std::string& report, const std::wstring& name, Shown* first = nullptr) {
        WriteBytes(reports_.path() / name, report);
        run_ = std::make_unique<TestProcess>(Quoted(ProgramPath().wstring()) + L" /imza " +
                                             Quoted((reports_.path() / name).wstring()));
        window_ = run_->WaitForWindow(L"İmza bilgisi: " + name, 30000);
        EXPECT_NE(window_, nullptr) << "the window did not open";
        if (window_ == nullptr)
            return {};
        Shown shown = Read(window_);
        if (first)
            *first = shown;
        // The online look ends within the program's ten seconds; while the
        // page is replaced the window may show nothing for a moment.
        const auto settled = [](const Shown& s) {
            return !s.progress && !s.verdict.empty() && s.verdict != L"İmza denetleniyor…";
        };
        for (int i = 0; i < 300 && !settled(shown); ++i) {
            Sleep(50);
            shown = Read(window_);
        }
        return shown;
    }

    void Click(int id) const {
        PostMessageW(window_, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                     reinterpret_cast<LPARAM>(GetDlgItem(window_, id)));
    }

    PreferencesBackup preferences_;
    ScopedFolder reports_{L"C:\\users\\Public\\TolvSignatureWindow" +
                          std::to_wstring(GetCurrentProcessId())};
    // Answers fetched online are cached there: each test starts without.
    ScopedEnv cache_{L"LOCALAPPDATA", (reports_.path() / L"Önbellek").wstring()};
    CrlServer server_{ReadBytes(Fixture(L"kok.crl"))};
    std::unique_ptr<TestProcess> run_;
    HWND window_ = nullptr;
};

struct WindowCase {
    const char* name;
    std::string (*report)();
    bool onlineOff;
    const wchar_t* verdict;
    const wchar_t* icon;             // its accessible name
    std::uint32_t colour;            // the heading's, 0xRRGGBB
    const wchar_t* reason;           // the content's first line
    std::vector<std::wstring> lines; // further in the content, each whole
    const wchar_t* result;           // the details' "Sonuç:" line
    bool asks;                       // shows the marquee and the asking line first
};

void PrintTo(const WindowCase& c, std::ostream* out) {
    *out << c.name;
}

class SignatureWindowCases : public SignatureWindowTest,
                             public ::testing::WithParamInterface<WindowCase> {};

TEST_P(SignatureWindowCases, ShowsTheVerdictTheSignerAndTheDetails) {
    const WindowCase& c = GetParam();
    if (c.onlineOff)
        StoreDword(L"OnlineRevocation", 0);
    Shown first;
    const Shown shown = Open(c.report(), L"r r.Tolv", &first);
    ASSERT_NE(window_, nullptr);

    EXPECT_EQ(shown.title, L"İmza bilgisi: r r.Tolv");
    EXPECT_EQ(shown.verdict, c.verdict);
    EXPECT_EQ(shown.icon, c.icon);
    // The fill of each of the program's verdict icons.
    const std::map<std::wstring, std::uint32_t> fills{
        {L"Güvenilir", 0x2e7d32}, {L"Güvenilmez", 0xc62828}, {L"Dikkat", 0xf2b705}};
    EXPECT_GT(
        CountPixels(window_, kIcon, [&](std::uint32_t p) { return Near(p, fills.at(c.icon)); }),
        400)
        << "not the verdict's icon";
    EXPECT_GT(CountPixels(window_, kHeading, [&](std::uint32_t p) { return Near(p, c.colour); }),
              20)
        << "the heading is not in its verdict's colour";
    EXPECT_TRUE((shown.content + L"\n").starts_with(std::wstring(c.reason) + L"\n"))
        << tolv::WideToUtf8(shown.content);
    const std::wstring content = L"\n" + shown.content + L"\n";
    for (const std::wstring& line : c.lines)
        EXPECT_NE(content.find(L"\n" + line + L"\n"), std::wstring::npos)
            << tolv::WideToUtf8(line) << " not in:\n"
            << tolv::WideToUtf8(shown.content);
    const std::wstring result = std::wstring(L"\nSonuç kodu: ") + c.result;
    EXPECT_NE((L"\n" + shown.details + L"\n").find(result + L"\n"), std::wstring::npos)
        << tolv::WideToUtf8(shown.details);
    EXPECT_FALSE(shown.detailsVisible) << "the details are collapsed at first";
    EXPECT_EQ(shown.expando, L"&Ayrıntılar");
    EXPECT_EQ(shown.footer, kLegalNote);
    std::vector<std::pair<int, std::wstring>> buttons{{kOpenReport, L"&Raporu aç"},
                                                      {IDCANCEL, L"&Kapat"}};
    if (c.report != GoodReport) // whose made-up certificate cannot be shown
        buttons.insert(buttons.begin() + 1, {kShowCertificate, L"&Sertifikayı göster"});
    EXPECT_EQ(shown.buttons, buttons);

    // Asking online shows itself, and what it found takes its place.
    EXPECT_EQ(first.progress, c.asks);
    EXPECT_EQ(first.verdict == L"İmza denetleniyor…", c.asks) << tolv::WideToUtf8(first.verdict);
    EXPECT_EQ(first.content.ends_with(kAsking), c.asks) << tolv::WideToUtf8(first.content);
    EXPECT_FALSE(shown.progress);
    EXPECT_EQ(shown.content.find(kAsking), std::wstring::npos);
    EXPECT_EQ(server_.Requests() > 0, c.asks) << server_.Requests() << " requests";

    Click(IDCANCEL);
    EXPECT_EQ(run_->WaitForExit(), 0u);
}

std::string Valid() {
    return ReadBytes(Fixture(L"valid.Tolv"));
}
std::string Revoked() {
    return ReadBytes(Fixture(L"revoked.Tolv"));
}
std::string Unasked() {
    return ReadBytes(Fixture(L"unasked.Tolv"));
}
std::string SelfSigned() {
    return ReadBytes(Sample(L"sample.Tolv"));
}
std::string Altered() {
    return ReadBytes(Sample(L"sample-altered.Tolv"));
}

INSTANTIATE_TEST_SUITE_P(
    Reports, SignatureWindowCases,
    ::testing::Values(
        WindowCase{"Valid",
                   Valid,
                   false,
                   L"İmza geçerli",
                   L"Güvenilir",
                   0x1b7a3e,
                   L"İmzalayan: Örnek İmzacı",
                   {L"Nitelikli elektronik sertifika değil (sertifikanın beyanına göre)",
                    L"İptal durumu: denetlendi, sertifika iptal edilmemiş (raporun kendi iptal "
                    L"listesi)",
                    kAnchor},
                   L"valid",
                   false},
        WindowCase{"RevokedBeforeItsTimeStamp",
                   Revoked,
                   false,
                   L"İmza geçersiz",
                   L"Güvenilmez",
                   0xc01c28,
                   L"İmzalayanın sertifikası imzadan önce iptal edilmiş. İçeriğine güvenmeyin; "
                   L"raporu gönderenden yeniden isteyin.",
                   {L"İmzalayan: İptal Edilmiş İmzacı", kAnchor},
                   L"invalid / REVOKED",
                   false},
        WindowCase{"SelfSigned",
                   SelfSigned,
                   false,
                   L"İmzalayanın kimliği doğrulanamadı",
                   L"Dikkat",
                   0x8a5a00,
                   L"Sertifikasını bu bilgisayarın güvendiği bir makam vermemiş. Raporu gönderene "
                   L"sorun; kurumunuzun kendi makamıysa yöneticiniz onu güvenilenlere "
                   L"ekleyebilir.",
                   {L"İmzalayan: Örnek İmzacı (sertifikada yazan ad, doğrulanmadı)", kNoRevocation},
                   L"indeterminate / NO_CERTIFICATE_CHAIN_FOUND",
                   false},
        WindowCase{"Altered",
                   Altered,
                   false,
                   L"Rapor imzalandıktan sonra değiştirilmiş",
                   L"Güvenilmez",
                   0xc01c28,
                   kAskSender,
                   {L"İmzalayan: Örnek İmzacı (sertifikada yazan ad, doğrulanmadı)"},
                   L"invalid / HASH_FAILURE",
                   false},
        WindowCase{"NoRevocationDataOnlineOff",
                   Unasked,
                   true,
                   L"Sertifikanın iptal edilip edilmediği öğrenilemedi",
                   L"Dikkat",
                   0x8a5a00,
                   L"İnternete bağlıyken yeniden deneyin; sonuç değişmezse yöneticinize sorun.",
                   {L"İmzalayan: Çevrimiçi İmzacı", kNoRevocation},
                   L"indeterminate / TRY_LATER",
                   false},
        WindowCase{"CannotBeChecked",
                   GoodReport,
                   false,
                   L"İmzanın biçimi bozuk",
                   L"Dikkat",
                   0x8a5a00,
                   L"İmza, denetlenebilecek biçimde değil. Raporu gönderenden yeniden isteyin.",
                   {},
                   L"indeterminate / FORMAT_FAILURE",
                   false},
        // The CRL the certificate names, fetched from the test's own server.
        WindowCase{"NoRevocationDataAskedOnline",
                   Unasked,
                   false,
                   L"İmza geçerli",
                   L"Güvenilir",
                   0x1b7a3e,
                   L"İmzalayan: Çevrimiçi İmzacı",
                   {kAnchor},
                   L"valid",
                   true}),
    [](const ::testing::TestParamInfo<WindowCase>& info) { return info.param.name; });

// The visible windows of a process other than `except`.
std::vector<HWND> OtherWindows(DWORD processId, HWND except) {
    struct Search {
        DWORD processId;
        HWND except;
        std::vector<HWND> found;
    } search{processId, except, {}};
    EnumWindows(
        [](HWND window, LPARAM param) -> BOOL {
            auto* s = reinterpret_cast<Search*>(param);
            DWORD owner = 0;
            GetWindowThreadProcessId(window, &owner);
            if (owner == s->processId && window != s->except && IsWindowVisible(window))
                s->found.push_back(window);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

// The certificate button opens the system's certificate window over the
// window, which stays; Enter presses Kapat, the default button.
TEST_F(SignatureWindowTest, TheCertificateButtonOpensTheSystemsViewerAndEnterCloses) {
    StoreDword(L"OnlineRevocation", 0);
    Open(Valid(), L"a.Tolv");
    ASSERT_NE(window_, nullptr);
    Click(kShowCertificate);
    std::vector<HWND> opened;
    for (int i = 0; i < 200 && opened.empty(); ++i) {
        Sleep(50);
        opened = OtherWindows(run_->Id(), window_);
    }
    ASSERT_EQ(opened.size(), 1u) << "no certificate window";

    // Wine's cryptui: a property sheet titled "Certificate" in an English locale.
    EXPECT_EQ(ClassName(opened[0]), L"#32770");
    EXPECT_NE(WindowText(opened[0]), L"");
    PostMessageW(opened[0], WM_COMMAND, IDOK, 0);
    for (int i = 0; i < 100 && IsWindowVisible(opened[0]); ++i)
        Sleep(50);
    EXPECT_FALSE(IsWindowVisible(opened[0]));
    EXPECT_TRUE(IsWindowVisible(window_)) << "the window closed with it";

    EXPECT_EQ(run_->WaitForExit(500), std::nullopt);
    PressKey(window_, VK_RETURN);
    EXPECT_EQ(run_->WaitForExit(), 0u);
}

// "Raporu aç" closes the window and shows the report as a double-click does:
// file mode, here with the fake Chrome.
TEST_F(SignatureWindowTest, OpenReportShowsTheReportInTheBrowser) {
    StoreDword(L"OnlineRevocation", 0);
    StoreDword(L"Browser", 0);
    InstalledBrowsers browsers;
    ScopedEnv temp{L"TEMP", reports_.path().wstring()};
    Open(Valid(), L"a.Tolv");
    ASSERT_NE(window_, nullptr);
    Click(kOpenReport);
    EXPECT_EQ(run_->WaitForExit(), 0u);
    std::vector<BrowserRun> runs;
    for (int i = 0; i < 300 && (runs.empty() || !runs[0].ended); ++i, Sleep(100))
        runs = browsers.chrome.Runs();
    ASSERT_EQ(runs.size(), 1u) << "the report was not shown";
    EXPECT_TRUE(runs[0].exists) << tolv::WideToUtf8(runs[0].file);
}

// The details open under their button, which then hides them; Esc closes.
TEST_F(SignatureWindowTest, TheDetailsOpenAndEscCloses) {
    StoreDword(L"OnlineRevocation", 0);
    Open(Altered(), L"a.Tolv");
    ASSERT_NE(window_, nullptr);
    RECT before{}, after{};
    GetWindowRect(window_, &before);
    Click(kDetailsToggle);
    Shown shown = Read(window_);
    for (int i = 0; i < 40 && !shown.detailsVisible; ++i, Sleep(50))
        shown = Read(window_);
    GetWindowRect(window_, &after);
    EXPECT_TRUE(shown.detailsVisible);
    EXPECT_EQ(shown.expando, L"Ayrıntıları &gizle");
    EXPECT_GT(after.bottom - after.top, before.bottom - before.top) << "the window did not grow";
    PressKey(window_, VK_ESCAPE);
    EXPECT_EQ(run_->WaitForExit(), 0u);
}

} // namespace
