// HTTP for asking online on Windows: WinHTTP, with the system's proxy settings.
// Asynchronous, so that one deadline bounds the whole exchange: WinHTTP's own
// timeouts start again with every packet, and a server that sends its headers
// or its body a byte a second would never let them expire.

#include "validation/OnlineFetch.h"

#include "signature/UniqueHandle.h"

#include <windows.h>
#include <winhttp.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <memory>
#include <optional>

namespace tolv::validation::detail {
namespace {

inline void CloseInternet(HINTERNET handle) noexcept {
    WinHttpCloseHandle(handle);
}
inline void CloseEvent(HANDLE handle) noexcept {
    CloseHandle(handle);
}
using UniqueInternet = signature::Unique<HINTERNET, CloseInternet>;
using UniqueEvent = signature::Unique<HANDLE, CloseEvent>;

constexpr const char* kNoClient = "HTTP istemcisi başlatılamadı";

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

std::string StatusError(DWORD status) {
    if (status >= 300 && status < 400)
        return "sunucu başka bir adrese yönlendirdi; yönlendirme izlenmez";
    return "sunucu HTTP " + std::to_string(status) + " ile yanıt verdi";
}

struct Target {
    std::wstring host, path;
    INTERNET_PORT port = 0;
    bool secure = false;
};

std::optional<Target> Crack(const std::string& url) {
    const std::wstring wideUrl = Widen(url);
    URL_COMPONENTS parts{};
    parts.dwStructSize = sizeof(parts);
    parts.dwHostNameLength = parts.dwUrlPathLength = parts.dwExtraInfoLength = DWORD(-1);
    if (!WinHttpCrackUrl(wideUrl.c_str(), 0, 0, &parts))
        return std::nullopt;
    Target target{std::wstring(parts.lpszHostName, parts.dwHostNameLength),
                  std::wstring(parts.lpszUrlPath, parts.dwUrlPathLength), parts.nPort,
                  parts.nScheme == INTERNET_SCHEME_HTTPS};
    target.path.append(parts.lpszExtraInfo, parts.dwExtraInfoLength);
    if (target.path.empty())
        target.path = L"/";
    return target;
}

// What one request's callbacks report, and the buffers WinHTTP may still
// write or read after the caller stopped waiting. The request handle owns it
// and frees it as the handle closes, after its last callback.
struct Progress {
    UniqueEvent done{CreateEventW(nullptr, FALSE, FALSE, nullptr)};
    DWORD status = 0; // the WINHTTP_CALLBACK_STATUS_ that completed the step
    DWORD error = 0;
    DWORD available = 0;
    DWORD read = 0;
    std::wstring header;
    Bytes body;
    std::array<std::uint8_t, 16384> chunk{};
};

void CALLBACK OnProgress(HINTERNET, DWORD_PTR context, DWORD status, LPVOID info, DWORD length) {
    auto* progress = reinterpret_cast<Progress*>(context);
    if (progress == nullptr) // the session's and the connection's own
        return;
    switch (status) {
    case WINHTTP_CALLBACK_STATUS_HANDLE_CLOSING:
        delete progress;
        return;
    case WINHTTP_CALLBACK_STATUS_REQUEST_ERROR:
        progress->error = static_cast<WINHTTP_ASYNC_RESULT*>(info)->dwError;
        break;
    case WINHTTP_CALLBACK_STATUS_DATA_AVAILABLE:
        progress->available = *static_cast<DWORD*>(info);
        break;
    case WINHTTP_CALLBACK_STATUS_READ_COMPLETE:
        progress->read = length;
        break;
    case WINHTTP_CALLBACK_STATUS_SENDREQUEST_COMPLETE:
    case WINHTTP_CALLBACK_STATUS_HEADERS_AVAILABLE:
        break;
    default:
        return;
    }
    progress->status = status;
    SetEvent(progress->done.get());
}

constexpr DWORD kNotified =
    WINHTTP_CALLBACK_FLAG_SENDREQUEST_COMPLETE | WINHTTP_CALLBACK_FLAG_HEADERS_AVAILABLE |
    WINHTTP_CALLBACK_FLAG_DATA_AVAILABLE | WINHTTP_CALLBACK_FLAG_READ_COMPLETE |
    WINHTTP_CALLBACK_FLAG_REQUEST_ERROR | WINHTTP_CALLBACK_FLAG_HANDLES;

// OCSP responders and CRL servers have no reason to redirect, and a plain
// http redirect could send the request to any host, the loopback included.
UniqueInternet OpenSession(std::chrono::milliseconds timeout) {
    UniqueInternet session(WinHttpOpen(L"Tolv.Viewer", WINHTTP_ACCESS_TYPE_DEFAULT_PROXY,
                                       WINHTTP_NO_PROXY_NAME, WINHTTP_NO_PROXY_BYPASS,
                                       WINHTTP_FLAG_ASYNC));
    const int ms = static_cast<int>(timeout.count());
    DWORD never = WINHTTP_OPTION_REDIRECT_POLICY_NEVER;
    if (!session || !WinHttpSetTimeouts(session.get(), ms, ms, ms, ms) ||
        !WinHttpSetOption(session.get(), WINHTTP_OPTION_REDIRECT_POLICY, &never, sizeof(never)) ||
        WinHttpSetStatusCallback(session.get(), OnProgress, kNotified, 0) ==
            WINHTTP_INVALID_STATUS_CALLBACK)
        session.reset();
    return session;
}

UniqueInternet OpenRequest(HINTERNET connection, const Target& target, bool post) {
    UniqueInternet request(WinHttpOpenRequest(
        connection, post ? L"POST" : L"GET", target.path.c_str(), nullptr, WINHTTP_NO_REFERER,
        WINHTTP_DEFAULT_ACCEPT_TYPES, target.secure ? WINHTTP_FLAG_SECURE : 0));
    DWORD disabled = WINHTTP_DISABLE_REDIRECTS;
    if (request && !WinHttpSetOption(request.get(), WINHTTP_OPTION_DISABLE_FEATURE, &disabled,
                                     sizeof(disabled)))
        request.reset();
    return request;
}

// Hands a new Progress to request, which frees it; nullptr when it cannot.
Progress* Attach(HINTERNET request) {
    auto progress = std::make_unique<Progress>();
    DWORD_PTR context = reinterpret_cast<DWORD_PTR>(progress.get());
    if (!progress->done ||
        !WinHttpSetOption(request, WINHTTP_OPTION_CONTEXT_VALUE, &context, sizeof(context)))
        return nullptr;
    return progress.release();
}

// Waits for the step just started to end, no later than deadline; 0 when it
// ended as expected, else the reason.
DWORD Await(Progress& progress, BOOL started, DWORD expected, ULONGLONG deadline) {
    if (!started)
        return GetLastError();
    const ULONGLONG now = GetTickCount64();
    const DWORD left = now < deadline ? static_cast<DWORD>(deadline - now) : 0;
    if (WaitForSingleObject(progress.done.get(), left) != WAIT_OBJECT_0)
        return ERROR_WINHTTP_TIMEOUT;
    if (progress.status == WINHTTP_CALLBACK_STATUS_REQUEST_ERROR)
        return progress.error != 0 ? progress.error : ERROR_WINHTTP_INTERNAL_ERROR;
    return progress.status == expected ? 0 : ERROR_WINHTTP_INTERNAL_ERROR;
}

DWORD Send(HINTERNET request, Progress& progress, ULONGLONG deadline) {
    const wchar_t* header =
        progress.header.empty() ? WINHTTP_NO_ADDITIONAL_HEADERS : progress.header.c_str();
    const DWORD size = static_cast<DWORD>(progress.body.size());
    const BOOL sent =
        WinHttpSendRequest(request, header, progress.header.empty() ? 0 : DWORD(-1),
                           progress.body.empty() ? WINHTTP_NO_REQUEST_DATA : progress.body.data(),
                           size, size, reinterpret_cast<DWORD_PTR>(&progress));
    if (const DWORD error =
            Await(progress, sent, WINHTTP_CALLBACK_STATUS_SENDREQUEST_COMPLETE, deadline))
        return error;
    return Await(progress, WinHttpReceiveResponse(request, nullptr),
                 WINHTTP_CALLBACK_STATUS_HEADERS_AVAILABLE, deadline);
}

// The body, read while the deadline lasts. Only what has arrived is asked
// for: Wine reads on the calling thread when some data is waiting, and then
// until the buffer is full, past any deadline.
std::optional<std::string> Receive(HINTERNET request, Progress& progress, ULONGLONG deadline,
                                   Bytes& body) {
    for (;;) {
        if (const DWORD error = Await(progress, WinHttpQueryDataAvailable(request, nullptr),
                                      WINHTTP_CALLBACK_STATUS_DATA_AVAILABLE, deadline))
            return Win32Error(error);
        const auto wanted =
            static_cast<DWORD>(std::min<std::size_t>(progress.available, progress.chunk.size()));
        if (wanted == 0)
            return std::nullopt;
        const BOOL started = WinHttpReadData(request, progress.chunk.data(), wanted, nullptr);
        if (const DWORD error =
                Await(progress, started, WINHTTP_CALLBACK_STATUS_READ_COMPLETE, deadline))
            return Win32Error(error);
        if (progress.read == 0)
            return std::nullopt;
        if (body.size() + progress.read > kMaxAnswer)
            return "yanıt çok büyük";
        body.insert(body.end(), progress.chunk.data(), progress.chunk.data() + progress.read);
    }
}

void Exchange(HINTERNET connection, const Target& target, const Bytes& body,
              const char* contentType, ULONGLONG deadline, HttpAnswer& answer) {
    const UniqueInternet request = OpenRequest(connection, target, !body.empty());
    Progress* progress = request ? Attach(request.get()) : nullptr;
    if (progress == nullptr) {
        answer.error = kNoClient;
        return;
    }
    progress->body = body;
    if (!body.empty())
        progress->header = L"Content-Type: " + Widen(contentType) + L"\r\n";
    if (const DWORD error = Send(request.get(), *progress, deadline)) {
        answer.error = Win32Error(error);
        return;
    }
    DWORD status = 0, size = sizeof(status);
    WinHttpQueryHeaders(request.get(), WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER,
                        WINHTTP_HEADER_NAME_BY_INDEX, &status, &size, WINHTTP_NO_HEADER_INDEX);
    if (status != 200) {
        answer.error = StatusError(status);
        return;
    }
    if (std::optional<std::string> error = Receive(request.get(), *progress, deadline, answer.body))
        answer.error = std::move(*error);
    else
        answer.ok = true;
}

} // namespace

HttpAnswer HttpExchange(const std::string& url, const Bytes& body, const char* contentType,
                        std::chrono::milliseconds timeout) {
    const ULONGLONG deadline = GetTickCount64() + static_cast<ULONGLONG>(timeout.count());
    HttpAnswer answer;
    const std::optional<Target> target = Crack(url);
    if (!target) {
        answer.error = "adres okunamadı";
        return answer;
    }
    const UniqueInternet session = OpenSession(timeout);
    const UniqueInternet connection(
        session ? WinHttpConnect(session.get(), target->host.c_str(), target->port, 0) : nullptr);
    if (!connection)
        answer.error = kNoClient;
    else
        Exchange(connection.get(), *target, body, contentType, deadline, answer);
    if (!answer.ok)
        answer.body.clear();
    return answer;
}

std::filesystem::path UserCacheFolder() {
    const wchar_t* local = _wgetenv(L"LOCALAPPDATA");
    return local != nullptr && local[0] != L'\0' ? std::filesystem::path(local)
                                                 : std::filesystem::path();
}

} // namespace tolv::validation::detail
