// "İmza bilgisi" end to end: the real program shows its task dialog for
// reports signed with a throwaway PKI (make-window-reports.py) and the
// samples, and the test reads the dialog's controls back as another program
// would. Wine's task dialog is made of ordinary static controls and buttons:
// the icon, the verdict, the content, the details (hidden while collapsed),
// the footer, in that order.

#include "tests/windows/support/FakeBrowsers.h"
#include "tests/windows/support/ProgramDriver.h"
#include "tests/windows/support/SampleReport.h"
#include "tests/windows/support/TestEnvironment.h"
#include "windows/base/StringConvert.h"

#include <gtest/gtest.h>

#include <winsock2.h>

#include <atomic>
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

// What the task dialog shows.
struct Shown {
    std::wstring title, verdict, content, details, footer, expando;
    bool detailsVisible = false;
    bool progress = false;
    bool icon = false; // the verdict's icon drawn
    std::vector<std::pair<int, std::wstring>> buttons;
};

Shown Read(HWND window) {
    Shown shown;
    shown.title = WindowText(window);
    std::vector<Control> texts;
    for (const Control& c : Controls(window)) {
        const LONG type = c.style & 0x1F;
        if (c.className == L"Static" && type != SS_ICON)
            texts.push_back(c);
        else if (c.className == L"Static")
            shown.icon = shown.icon || SendMessageW(c.hwnd, STM_GETICON, 0, 0) != 0;
        else if (c.className == L"msctls_progress32")
            shown.progress = shown.progress || IsWindowVisible(c.hwnd);
        else if (c.className == L"Button" && type == BS_OWNERDRAW)
            shown.expando = c.text;
        else if (c.className == L"Button")
            shown.buttons.push_back({GetDlgCtrlID(c.hwnd), c.text});
    }
    if (texts.size() >= 3) {
        shown.verdict = texts[0].text;
        shown.content = texts[1].text;
        shown.footer = texts.back().text;
    }
    if (texts.size() == 4) {
        shown.details = texts[2].text;
        shown.detailsVisible = IsWindowVisible(texts[2].hwnd);
    }
    return shown;
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
        for (int i = 0; i < 300 && (shown.progress || shown.verdict.empty()); ++i) {
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
    EXPECT_TRUE(shown.icon);
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
    EXPECT_EQ(shown.expando, L"Ayrıntılar");
    EXPECT_EQ(shown.footer, kLegalNote);
    std::vector<std::pair<int, std::wstring>> buttons{{kOpenReport, L"&Raporu aç"},
                                                      {IDCANCEL, L"Kapat"}};
    if (c.report != GoodReport) // whose made-up certificate cannot be shown
        buttons.insert(buttons.begin() + 1, {kShowCertificate, L"Sertifikayı göster"});
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
                   L"İmzalayanın sertifikası imzadan önce iptal edilmiş. İçeriğine güvenmeyin; "
                   L"raporu gönderenden yeniden isteyin.",
                   {L"İmzalayan: İptal Edilmiş İmzacı", kAnchor},
                   L"invalid / REVOKED",
                   false},
        WindowCase{"SelfSigned",
                   SelfSigned,
                   false,
                   L"İmzalayanın kimliği doğrulanamadı",
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
                   kAskSender,
                   {L"İmzalayan: Örnek İmzacı (sertifikada yazan ad, doğrulanmadı)"},
                   L"invalid / HASH_FAILURE",
                   false},
        WindowCase{"NoRevocationDataOnlineOff",
                   Unasked,
                   true,
                   L"Sertifikanın iptal edilip edilmediği öğrenilemedi",
                   L"İnternete bağlıyken yeniden deneyin; sonuç değişmezse yöneticinize sorun.",
                   {L"İmzalayan: Çevrimiçi İmzacı", kNoRevocation},
                   L"indeterminate / TRY_LATER",
                   false},
        WindowCase{"CannotBeChecked",
                   GoodReport,
                   false,
                   L"İmzanın biçimi bozuk",
                   L"İmza, denetlenebilecek biçimde değil. Raporu gönderenden yeniden isteyin.",
                   {},
                   L"indeterminate / FORMAT_FAILURE",
                   false},
        // The CRL the certificate names, fetched from the test's own server.
        WindowCase{"NoRevocationDataAskedOnline",
                   Unasked,
                   false,
                   L"İmza geçerli",
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

// The certificate button opens the system's certificate window over the task
// dialog, which stays; Enter presses Kapat, the default button.
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
    EXPECT_TRUE(IsWindowVisible(window_)) << "the task dialog closed with it";

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

TEST_F(SignatureWindowTest, EscCloses) {
    StoreDword(L"OnlineRevocation", 0);
    Open(Altered(), L"a.Tolv");
    ASSERT_NE(window_, nullptr);
    PressKey(window_, VK_ESCAPE);
    EXPECT_EQ(run_->WaitForExit(), 0u);
}

} // namespace
