// The watcher against boxes whose truth is known: this process shows them on a
// thread of its own, so caption, text, icon and the pressed button can be checked.

#include "tests/windows/support/BoxPrinters.h"
#include "tests/windows/support/MessageBoxWatcher.h"
#include "tests/windows/support/ScreenCapture.h"
#include "tests/windows/support/TestPaths.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <fstream>
#include <mutex>
#include <sstream>
#include <thread>

using namespace tolv::test;
using Clock = std::chrono::steady_clock;

namespace {

struct Box {
    UINT style;
    std::wstring text;
    std::wstring caption;
};

long long MsBetween(Clock::time_point from, Clock::time_point to) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(to - from).count();
}

// Shows boxes one after the other on a thread of this process and notes when
// each one became active, that is, appeared. Whatever a test does, the
// destructor answers what is left, so the thread always ends.
class BoxThread {
public:
    explicit BoxThread(std::vector<Box> boxes)
        : thread_([this, boxes = std::move(boxes)] { Run(boxes); }) {}
    ~BoxThread() {
        while (!done_) {
            for (HWND box : FindMessageBoxes(GetCurrentProcessId()))
                PressOk(box);
            Sleep(50);
        }
        thread_.join();
    }

    bool WaitUntilDone(DWORD timeoutMs) {
        for (DWORD waited = 0; !done_ && waited < timeoutMs; waited += 20)
            Sleep(20);
        return done_;
    }
    std::vector<int> Answers() {
        std::lock_guard lock(mutex_);
        return answers_;
    }
    std::optional<Clock::time_point> ShownAt(size_t index) {
        std::lock_guard lock(mutex_);
        return index < shownAt_.size() ? std::optional(shownAt_[index]) : std::nullopt;
    }

private:
    static LRESULT CALLBACK OnCbt(int code, WPARAM wParam, LPARAM lParam) {
        wchar_t name[16] = {};
        if (code == HCBT_ACTIVATE && GetClassNameW(reinterpret_cast<HWND>(wParam), name, 16) &&
            std::wstring_view(name) == L"#32770") {
            std::lock_guard lock(current_->mutex_);
            current_->shownAt_.push_back(Clock::now());
        }
        return CallNextHookEx(nullptr, code, wParam, lParam);
    }

    void Run(const std::vector<Box>& boxes) {
        current_ = this;
        HHOOK hook = SetWindowsHookExW(WH_CBT, OnCbt, nullptr, GetCurrentThreadId());
        for (const Box& box : boxes) {
            int answer = MessageBoxW(nullptr, box.text.c_str(), box.caption.c_str(), box.style);
            std::lock_guard lock(mutex_);
            answers_.push_back(answer);
        }
        if (hook != nullptr)
            UnhookWindowsHookEx(hook);
        done_ = true;
    }

    static thread_local BoxThread* current_;
    std::mutex mutex_;
    std::vector<int> answers_;
    std::vector<Clock::time_point> shownAt_;
    std::atomic<bool> done_ = false;
    std::thread thread_;
};
thread_local BoxThread* BoxThread::current_ = nullptr;

} // namespace

// The latency printed here is what every box test pays per box.
TEST(MessageBoxWatcher, ReadsABoxSoonAfterItAppearsAndPressesOk) {
    const std::vector<std::pair<UINT, BoxIcon>> cases = {{MB_ICONERROR, BoxIcon::Error},
                                                         {MB_ICONWARNING, BoxIcon::Warning},
                                                         {MB_ICONINFORMATION, BoxIcon::Information},
                                                         {MB_ICONQUESTION, BoxIcon::Question},
                                                         {MB_OK, BoxIcon::None}};
    for (const auto& [style, icon] : cases) {
        SCOPED_TRACE(testing::Message() << "style " << style);
        BoxThread shower({{style, L"Satır bir\r\nSatır iki", L"Başlık ğüşİöç"}});
        std::optional<HWND> box = WaitForMessageBox(GetCurrentProcessId(), 5000);
        ASSERT_TRUE(box.has_value());
        const Clock::time_point foundAt = Clock::now();
        BoxReport report = ReadMessageBox(*box);
        const Clock::time_point readAt = Clock::now();
        std::optional<Clock::time_point> shownAt = shower.ShownAt(0);
        ASSERT_TRUE(shownAt.has_value());
        std::printf("style %u: found %lld ms, read %lld ms after it appeared\n", style,
                    MsBetween(*shownAt, foundAt), MsBetween(*shownAt, readAt));
        EXPECT_LT(MsBetween(*shownAt, readAt), 500);

        EXPECT_EQ(report.caption, L"Başlık ğüşİöç");
        EXPECT_EQ(report.text, L"Satır bir\r\nSatır iki");
        EXPECT_EQ(report.icon, icon);
        ASSERT_EQ(report.buttons.size(), 1u);
        EXPECT_EQ(report.buttons[0].id, IDOK);

        PressOk(*box);
        ASSERT_TRUE(shower.WaitUntilDone(10000));
        EXPECT_EQ(shower.Answers(), std::vector<int>{IDOK});
    }
}

// A dialog with a text control and an OK button but also an edit field (as the
// preferences window has) is not a message box.
TEST(MessageBoxWatcher, IgnoresOtherDialogsAndSavesAScreenshot) {
    HWND dialog = CreateWindowExW(0, L"#32770", L"Benzer", WS_POPUP | WS_CAPTION | WS_VISIBLE, 10,
                                  10, 300, 150, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(dialog, nullptr);
    auto child = [dialog](const wchar_t* cls, DWORD style, int id, int y) {
        return CreateWindowExW(0, cls, L"Metin", WS_CHILD | WS_VISIBLE | style, 10, y, 200, 20,
                               dialog, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), nullptr,
                               nullptr);
    };
    ASSERT_NE(child(L"Static", 0, 0xFFFF, 10), nullptr);
    ASSERT_NE(child(L"Edit", WS_BORDER, 100, 35), nullptr);
    ASSERT_NE(child(L"Button", BS_DEFPUSHBUTTON, IDOK, 60), nullptr);
    EXPECT_TRUE(FindMessageBoxes(GetCurrentProcessId()).empty());

    BoxThread shower({{MB_ICONERROR, L"Gerçek kutu", L"Gerçek"}});
    std::optional<HWND> box = WaitForMessageBox(GetCurrentProcessId(), 5000);
    ASSERT_TRUE(box.has_value());
    EXPECT_NE(*box, dialog);
    EXPECT_EQ(FindMessageBoxes(GetCurrentProcessId()), std::vector<HWND>{*box});

    const std::filesystem::path shot = std::filesystem::temp_directory_path() / L"tolv-box.bmp";
    RECT rect{};
    GetWindowRect(*box, &rect);
    ASSERT_TRUE(SaveWindowBitmap(*box, shot.wstring()));
    std::ifstream file(shot, std::ios::binary);
    BITMAPFILEHEADER fileHeader{};
    BITMAPINFOHEADER header{};
    file.read(reinterpret_cast<char*>(&fileHeader), sizeof(fileHeader));
    file.read(reinterpret_cast<char*>(&header), sizeof(header));
    file.close();
    EXPECT_EQ(fileHeader.bfType, 0x4D42);
    EXPECT_EQ(header.biWidth, rect.right - rect.left);
    EXPECT_EQ(header.biHeight, rect.bottom - rect.top);
    EXPECT_EQ(std::filesystem::file_size(shot), fileHeader.bfSize);
    std::filesystem::remove(shot);

    PressOk(*box);
    EXPECT_TRUE(shower.WaitUntilDone(10000));
    DestroyWindow(dialog);
}

// MsgBoxWatch.exe watching this very process answers the boxes in the order they
// come and prints a line for each as it goes.
TEST(MsgBoxWatch, PrintsEachBoxInTurnAndPressesOk) {
    BoxThread shower({{MB_ICONERROR, L"Bir_\r\niki\r\n", L"Başlık 1"},
                      {MB_ICONWARNING, L"İkinci", L"Başlık 2"},
                      {MB_OK, L"Üçüncü\tkutu", L"Başlık 3"}});
    const std::filesystem::path outPath =
        std::filesystem::temp_directory_path() / L"tolv-msgboxwatch.txt";
    SECURITY_ATTRIBUTES inherit{sizeof(inherit), nullptr, TRUE};
    HANDLE out = CreateFileW(outPath.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit,
                             CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(out, INVALID_HANDLE_VALUE);
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = out;
    startup.hStdError = out;
    PROCESS_INFORMATION info{};
    std::wstring command = Quoted(BesideTestExe(L"MsgBoxWatch.exe").wstring()) + L" " +
                           std::to_wstring(GetCurrentProcessId()) + L" 60000";
    const BOOL started = CreateProcessW(nullptr, command.data(), nullptr, nullptr, TRUE, 0, nullptr,
                                        nullptr, &startup, &info);
    CloseHandle(out);
    ASSERT_TRUE(started);
    const bool answered = shower.WaitUntilDone(30000);
    // This process never ends, so the watcher would keep watching.
    EXPECT_EQ(WaitForSingleObject(info.hProcess, 0), WAIT_TIMEOUT);
    TerminateProcess(info.hProcess, 0);
    WaitForSingleObject(info.hProcess, 5000);
    CloseHandle(info.hThread);
    CloseHandle(info.hProcess);
    ASSERT_TRUE(answered);
    EXPECT_EQ(shower.Answers(), (std::vector<int>{IDOK, IDOK, IDOK}));

    std::ifstream file(outPath, std::ios::binary);
    std::stringstream content;
    content << file.rdbuf();
    file.close();
    std::filesystem::remove(outPath);
    std::vector<std::string> lines;
    std::string line;
    while (std::getline(content, line))
        lines.push_back(line.substr(0, line.rfind('\t'))); // the OK caption follows the locale
    EXPECT_EQ(lines, (std::vector<std::string>{"Başlık 1\tBir_\\niki\\n\terror",
                                               "Başlık 2\tİkinci\twarning",
                                               "Başlık 3\tÜçüncü\\tkutu\tnone"}));
    EXPECT_NE(content.str().find("\t1:"), std::string::npos);
}

TEST(RunAndWatch, EndsAProcessThatOutlivesTheTimeoutAndReportsAStartFailure) {
    // MsgBoxWatch watching this process would wait a minute.
    const Clock::time_point start = Clock::now();
    RunResult result = RunAndWatch(Quoted(BesideTestExe(L"MsgBoxWatch.exe").wstring()) + L" " +
                                       std::to_wstring(GetCurrentProcessId()) + L" 60000",
                                   1500);
    EXPECT_TRUE(result.started);
    EXPECT_TRUE(result.timedOut);
    EXPECT_TRUE(result.boxes.empty());
    EXPECT_LT(MsBetween(start, Clock::now()), 10000);

    RunResult missing = RunAndWatch(Quoted(BesideTestExe(L"NoSuchProgram.exe").wstring()), 1000);
    EXPECT_FALSE(missing.started);
    EXPECT_FALSE(missing.timedOut);
}
