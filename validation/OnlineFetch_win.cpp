// HTTP for asking online on Windows: WinHTTP, with the system's proxy settings.

#include "validation/OnlineFetch.h"

#include "signature/UniqueHandle.h"

#include <windows.h>
#include <winhttp.h>

#include <cstdlib>

namespace tolv::validation::detail {
namespace {

inline void CloseInternet(HINTERNET handle) noexcept {
    WinHttpCloseHandle(handle);
}
using UniqueInternet = signature::Unique<HINTERNET, CloseInternet>;

std::wstring Widen(const std::string& text) {
    return std::wstring(text.begin(), text.end());
}

std::string Win32Error(DWORD code) {
    switch (code) {
    case ERROR_WINHTTP_TIMEOUT:
        return "yanıt zamanında gelmedi";
    case ERROR_WINHTTP_CANNOT_CONNECT:
    case ERROR_WINHTTP_CONNECTION_ERROR:
        return "bağlantı kurulamadı";
    case ERROR_WINHTTP_NAME_NOT_RESOLVED:
        return "sunucunun adı çözümlenemedi";
    default:
        break;
    }
    return "bağlantı kurulamadı (hata " + std::to_string(code) + ")";
}

} // namespace

HttpAnswer HttpExchange(const std::string& url, const Bytes& body, const char* contentType,
                        std::chrono::milliseconds timeout) {
    HttpAnswer answer;
    const std::wstring wideUrl = Widen(url);
    URL_COMPONENTS parts{};
    parts.dwStructSize = sizeof(parts);
    parts.dwHostNameLength = parts.dwUrlPathLength = parts.dwExtraInfoLength = DWORD(-1);
    if (!WinHttpCrackUrl(wideUrl.c_str(), 0, 0, &parts)) {
        answer.error = "adres okunamadı";
        return answer;
    }
    const std::wstring host(parts.lpszHostName, parts.dwHostNameLength);
    std::wstring path(parts.lpszUrlPath, parts.dwUrlPathLength);
    path.append(parts.lpszExtraInfo, parts.dwExtraInfoLength);
    if (path.empty())
        path = L"/";

    const UniqueInternet session(WinHttpOpen(L"Tolv.Viewer", WINHTTP_ACCESS_TYPE_DEFAULT_PROXY,
                                             WINHTTP_NO_PROXY_NAME, WINHTTP_NO_PROXY_BYPASS, 0));
    const int ms = static_cast<int>(timeout.count());
    if (!session || !WinHttpSetTimeouts(session.get(), ms, ms, ms, ms)) {
        answer.error = "HTTP istemcisi başlatılamadı";
        return answer;
    }
    const UniqueInternet connection(WinHttpConnect(session.get(), host.c_str(), parts.nPort, 0));
    const UniqueInternet request(
        connection
            ? WinHttpOpenRequest(connection.get(), body.empty() ? L"GET" : L"POST", path.c_str(),
                                 nullptr, WINHTTP_NO_REFERER, WINHTTP_DEFAULT_ACCEPT_TYPES,
                                 parts.nScheme == INTERNET_SCHEME_HTTPS ? WINHTTP_FLAG_SECURE : 0)
            : nullptr);
    const std::wstring header =
        body.empty() ? std::wstring() : L"Content-Type: " + Widen(contentType) + L"\r\n";
    if (!request ||
        !WinHttpSendRequest(request.get(),
                            header.empty() ? WINHTTP_NO_ADDITIONAL_HEADERS : header.c_str(),
                            header.empty() ? 0 : DWORD(-1), const_cast<std::uint8_t*>(body.data()),
                            static_cast<DWORD>(body.size()), static_cast<DWORD>(body.size()), 0) ||
        !WinHttpReceiveResponse(request.get(), nullptr)) {
        answer.error = Win32Error(GetLastError());
        return answer;
    }
    DWORD status = 0, size = sizeof(status);
    WinHttpQueryHeaders(request.get(), WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER,
                        WINHTTP_HEADER_NAME_BY_INDEX, &status, &size, WINHTTP_NO_HEADER_INDEX);
    if (status != 200) {
        answer.error = "sunucu HTTP " + std::to_string(status) + " ile yanıt verdi";
        return answer;
    }
    // The timeouts bound each step; a server that trickles is bounded here.
    const ULONGLONG deadline = GetTickCount64() + static_cast<ULONGLONG>(timeout.count());
    for (;;) {
        if (GetTickCount64() > deadline) {
            answer.error = "yanıt zamanında gelmedi";
            return answer;
        }
        std::uint8_t chunk[16384];
        DWORD read = 0;
        if (!WinHttpReadData(request.get(), chunk, sizeof(chunk), &read)) {
            answer.error = Win32Error(GetLastError());
            return answer;
        }
        if (read == 0)
            break;
        if (answer.body.size() + read > kMaxAnswer) {
            answer.error = "yanıt çok büyük";
            return answer;
        }
        answer.body.insert(answer.body.end(), chunk, chunk + read);
    }
    answer.ok = true;
    return answer;
}

std::filesystem::path UserCacheFolder() {
    const wchar_t* local = _wgetenv(L"LOCALAPPDATA");
    return local != nullptr && local[0] != L'\0' ? std::filesystem::path(local)
                                                 : std::filesystem::path();
}

} // namespace tolv::validation::detail
