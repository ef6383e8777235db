// MsgBoxWatch.exe PROCESS_ID [TIMEOUT_MS]
// Watches the message boxes of a running process until it ends: prints one line
// per box as it appears (caption, text, icon, buttons; tab-separated, UTF-8, line breaks as \n)
// and presses OK on each. Exit code 0 when the process ended, 1 on timeout,
// 2 when the process cannot be watched.
// MsgBoxWatch.exe --run PROGRAM ARGUMENT_TEXT
// Starts PROGRAM with that argument text, as the association starts it, prints
// its boxes the same way and answers each with No where it has one (OK
// elsewhere); exits with PROGRAM's exit code (2 when it could not be run).

#include "windows/base/StringConvert.h"
#include "tests/windows/support/MessageBoxWatcher.h"
#include "tests/windows/support/TestPaths.h"
#include "tests/windows/support/WatchLoop.h"

#include <cwchar>
#include <memory>
#include <string>

namespace {

std::wstring Escaped(const std::wstring& text) {
    std::wstring out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == L'\r' && i + 1 < text.size() && text[i + 1] == L'\n')
            continue; // CR LF counts as one line break
        if (text[i] == L'\n' || text[i] == L'\r')
            out += L"\\n";
        else if (text[i] == L'\t')
            out += L"\\t";
        else
            out += text[i];
    }
    return out;
}

std::wstring Describe(const tolv::test::BoxReport& box) {
    std::wstring line = Escaped(box.caption) + L'\t' + Escaped(box.text) + L'\t' +
                        tolv::test::ToString(box.icon) + L'\t';
    for (size_t i = 0; i < box.buttons.size(); ++i) {
        if (i > 0)
            line += L' ';
        line += std::to_wstring(box.buttons[i].id) + L':' + Escaped(box.buttons[i].text);
    }
    return line + L'\n';
}

// UTF-16 to a console, UTF-8 bytes to a file or pipe.
void Print(const std::wstring& text) {
    HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
    DWORD mode = 0, written = 0;
    if (GetConsoleMode(out, &mode)) {
        WriteConsoleW(out, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
        return;
    }
    const std::string bytes = tolv::WideToUtf8(text);
    WriteFile(out, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc == 4 && std::wstring(argv[1]) == L"--run") {
        const tolv::test::RunResult result = tolv::test::RunAndWatch(
            tolv::test::Quoted(argv[2]) + L" " + argv[3], 120000, nullptr, IDNO);
        for (const tolv::test::BoxReport& box : result.boxes)
            Print(Describe(box));
        return result.started && !result.timedOut ? static_cast<int>(result.exitCode) : 2;
    }
    if (argc < 2 || argc > 3) {
        Print(L"usage: MsgBoxWatch PROCESS_ID [TIMEOUT_MS]\n");
        return 2;
    }
    const DWORD processId = std::wcstoul(argv[1], nullptr, 10);
    const DWORD timeoutMs = argc == 3 ? std::wcstoul(argv[2], nullptr, 10) : 60000;
    std::unique_ptr<void, decltype(&CloseHandle)> process(
        OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, processId),
        &CloseHandle);
    if (!process) {
        Print(L"MsgBoxWatch: no process " + std::wstring(argv[1]) + L"\n");
        return 2;
    }
    const bool ended = tolv::test::AnswerBoxesUntilExit(
        process.get(), timeoutMs, [](const tolv::test::BoxReport& box) { Print(Describe(box)); });
    return ended ? 0 : 1;
}
