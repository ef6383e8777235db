// HTTP for asking online on Linux: OpenSSL's own client, which lives in the
// libcrypto every start loads anyway (a general HTTP library brought some
// thirty libraries of its own into every start, online or not). Plain http
// only: responders and distribution points publish over it, and what they
// answer is signed.

#include "validation/OnlineFetch.h"

#include "validation/OpenSsl.h"

#include <openssl/err.h>
#include <openssl/http.h>
#include <openssl/httperr.h>
#include <openssl/x509v3.h>

#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <atomic>
#include <condition_variable>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <optional>
#include <system_error>
#include <thread>

namespace tolv::validation::detail {
namespace {

using Clock = std::chrono::steady_clock;

constexpr const char* kLate = "yanıt zamanında gelmedi";
constexpr const char* kNotFollowed = "sunucu başka bir adrese yönlendirdi; yönlendirme izlenmez";
constexpr const char* kNoClient = "HTTP istemcisi başlatılamadı";

void FreeString(char* text) noexcept {
    OPENSSL_free(text);
}
void CloseHttp(OSSL_HTTP_REQ_CTX* http) noexcept {
    OSSL_HTTP_close(http, 1);
}
void FreeHeaders(STACK_OF(CONF_VALUE) * headers) noexcept {
    sk_CONF_VALUE_pop_free(headers, X509V3_conf_free);
}
using UniqueString = Owner<char, FreeString>;
using UniqueHttp = Owner<OSSL_HTTP_REQ_CTX, CloseHttp>;
using UniqueHeaders = Owner<STACK_OF(CONF_VALUE), FreeHeaders>;
using UniqueAddresses = Owner<addrinfo, freeaddrinfo>;

int MillisecondsLeft(Clock::time_point deadline) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left > 0 ? static_cast<int>(left) : 0;
}

// Where the request goes: the server, or the proxy http_proxy names.
struct Target {
    std::string host, port, path; // as the request names them
    std::string connectHost, connectPort;
};

struct UrlParts {
    int tls = 0;
    UniqueString host, port, path; // an IPv6 host in brackets
};

bool Parse(const char* url, UrlParts& parts) {
    char *host = nullptr, *port = nullptr, *path = nullptr;
    const bool parsed = OSSL_HTTP_parse_url(url, &parts.tls, nullptr, &host, &port, nullptr, &path,
                                            nullptr, nullptr) == 1;
    parts.host.reset(host);
    parts.port.reset(port);
    parts.path.reset(path);
    return parsed;
}

std::optional<Target> TargetOf(const std::string& url, std::string& error) {
    UrlParts parts;
    if (!Parse(url.c_str(), parts)) {
        error = "adres okunamadı";
        return std::nullopt;
    }
    if (parts.tls != 0) {
        error = "https adresleri sorulmaz, yalnızca http";
        return std::nullopt;
    }
    Target target{parts.host.get(), parts.port.get(), parts.path.get(), parts.host.get(),
                  parts.port.get()};
    // http_proxy, HTTP_PROXY, no_proxy and NO_PROXY, read as curl and wget read them.
    if (const char* proxy = OSSL_HTTP_adapt_proxy(nullptr, nullptr, parts.host.get(), 0)) {
        UrlParts via;
        if (!Parse(proxy, via)) {
            error = "vekil sunucunun adresi okunamadı";
            return std::nullopt;
        }
        target.connectHost = via.host.get();
        target.connectPort = via.port.get();
        target.path = "http://" + target.host + ":" + target.port + target.path;
    }
    return target;
}

// getaddrinfo cannot be interrupted, and a name server that does not answer
// holds it for half a minute: the lookup runs on a thread of its own, left to
// finish alone when the deadline comes first.
struct Lookup {
    std::mutex mutex;
    std::condition_variable done;
    bool finished = false;
    int status = 0;
    UniqueAddresses addresses;
};

constexpr int kMaxPendingLookups = 32;

UniqueAddresses Resolve(std::string host, const std::string& port, Clock::time_point deadline,
                        std::string& error) {
    if (host.size() > 2 && host.front() == '[' && host.back() == ']')
        host = host.substr(1, host.size() - 2);
    auto lookup = std::make_shared<Lookup>();
    // Lookups left behind at their deadline still hold a thread each: past
    // a few dozen (a resolver that never answers, many reports at once) no
    // more are started.
    static std::atomic<int> pending{0};
    if (pending.load() >= kMaxPendingLookups) {
        error = "sunucunun adı çözümlenemedi (çok sayıda ad sorgusu bekliyor)";
        return {};
    }
    ++pending;
    try {
        std::thread([lookup, host, port] {
            addrinfo hints{};
            hints.ai_socktype = SOCK_STREAM;
            addrinfo* found = nullptr;
            const int status = getaddrinfo(host.c_str(), port.c_str(), &hints, &found);
            const std::lock_guard lock(lookup->mutex);
            lookup->status = status;
            lookup->addresses.reset(found);
            lookup->finished = true;
            lookup->done.notify_all();
            --pending;
        }).detach();
    } catch (const std::system_error&) {
        --pending;
        error = "sunucunun adı çözümlenemedi (iş parçacığı başlatılamadı)";
        return {};
    }
    std::unique_lock lock(lookup->mutex);
    if (!lookup->done.wait_until(lock, deadline, [&] { return lookup->finished; }))
        error = kLate;
    else if (lookup->status != 0 || !lookup->addresses)
        error = "sunucunun adı çözümlenemedi";
    else
        return std::move(lookup->addresses);
    return {};
}

// A socket whose every wait ends at one deadline. OpenSSL's own waits count
// whole seconds and start again with each read, so a server that sends a byte
// a second would hold them for ever.
struct Deadline {
    int fd = -1;
    Clock::time_point at;
    bool passed = false;
};

Deadline& DeadlineOf(BIO* bio) {
    return *static_cast<Deadline*>(BIO_get_data(bio));
}

// Whether fd is ready before the deadline; passed is set when it is not.
bool Ready(Deadline& deadline, short events) {
    pollfd wanted{deadline.fd, events, 0};
    for (;;) {
        const int count = poll(&wanted, 1, MillisecondsLeft(deadline.at));
        if (count > 0)
            return true;
        if (count == 0)
            deadline.passed = true;
        if (count == 0 || errno != EINTR)
            return false;
    }
}

template <class Transfer> int Bounded(BIO* bio, short events, Transfer transfer) {
    BIO_clear_retry_flags(bio); // waited for here, never by OpenSSL
    Deadline& deadline = DeadlineOf(bio);
    for (;;) {
        if (!Ready(deadline, events))
            return -1;
        const ssize_t done = transfer(deadline.fd);
        if (done >= 0 || (errno != EAGAIN && errno != EINTR))
            return static_cast<int>(done);
    }
}

int SocketRead(BIO* bio, char* out, int size) {
    return Bounded(bio, POLLIN, [&](int fd) { return recv(fd, out, size, 0); });
}

int SocketWrite(BIO* bio, const char* in, int size) {
    // A server that hangs up must not end the program with SIGPIPE.
    return Bounded(bio, POLLOUT, [&](int fd) { return send(fd, in, size, MSG_NOSIGNAL); });
}

long SocketControl(BIO*, int command, long, void*) {
    return command == BIO_CTRL_FLUSH ? 1 : 0;
}

int SocketCreate(BIO* bio) {
    BIO_set_init(bio, 1);
    return 1;
}

int SocketDestroy(BIO* bio) {
    if (auto* deadline = static_cast<Deadline*>(BIO_get_data(bio))) {
        if (deadline->fd >= 0)
            close(deadline->fd);
        delete deadline;
    }
    return 1;
}

const BIO_METHOD* SocketMethod() {
    static const BIO_METHOD* const method = [] {
        BIO_METHOD* made = BIO_meth_new(BIO_get_new_index() | BIO_TYPE_SOURCE_SINK, "deadline");
        if (made != nullptr &&
            (!BIO_meth_set_read(made, SocketRead) || !BIO_meth_set_write(made, SocketWrite) ||
             !BIO_meth_set_ctrl(made, SocketControl) || !BIO_meth_set_create(made, SocketCreate) ||
             !BIO_meth_set_destroy(made, SocketDestroy))) {
            BIO_meth_free(made);
            made = nullptr;
        }
        return made;
    }();
    return method;
}

UniqueBio NewSocket(Clock::time_point deadline) {
    const BIO_METHOD* method = SocketMethod();
    UniqueBio bio(method != nullptr ? BIO_new(method) : nullptr);
    if (bio)
        BIO_set_data(bio.get(), new Deadline{-1, deadline});
    return bio;
}

bool ConnectOne(Deadline& deadline, const addrinfo& address) {
    deadline.fd = socket(address.ai_family, address.ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC,
                         address.ai_protocol);
    if (deadline.fd < 0)
        return false;
    if (connect(deadline.fd, address.ai_addr, address.ai_addrlen) == 0)
        return true;
    int failure = errno;
    socklen_t size = sizeof(failure);
    if (failure == EINPROGRESS && Ready(deadline, POLLOUT) &&
        getsockopt(deadline.fd, SOL_SOCKET, SO_ERROR, &failure, &size) == 0 && failure == 0)
        return true;
    close(deadline.fd);
    deadline.fd = -1;
    return false;
}

UniqueBio ConnectTo(const Target& target, Clock::time_point at, std::string& error) {
    const UniqueAddresses addresses = Resolve(target.connectHost, target.connectPort, at, error);
    UniqueBio bio = addresses ? NewSocket(at) : nullptr;
    if (!bio) {
        if (error.empty())
            error = kNoClient;
        return nullptr;
    }
    Deadline& deadline = DeadlineOf(bio.get());
    for (const addrinfo* address = addresses.get(); address != nullptr && !deadline.passed;
         address = address->ai_next)
        if (ConnectOne(deadline, *address))
            return bio;
    error = deadline.passed ? kLate : "bağlantı kurulamadı";
    return nullptr;
}

// What a status line other than 200 said ("code=404, reason=Not Found").
std::string StatusFailure(const char* data) {
    const char* code = data != nullptr ? std::strstr(data, "code=") : nullptr;
    const long status = code != nullptr ? std::strtol(code + 5, nullptr, 10) : 0;
    if (status >= 300 && status < 400)
        return kNotFollowed;
    return "sunucu HTTP " + std::to_string(status) + " ile yanıt verdi";
}

// Why the exchange failed, from what OpenSSL queued.
std::string FailureOf(const Deadline& deadline) {
    if (deadline.passed)
        return kLate;
    std::string failure = "yanıt okunamadı";
    const char* data = nullptr;
    int flags = 0;
    while (const unsigned long error =
               ERR_get_error_all(nullptr, nullptr, nullptr, &data, &flags)) {
        if (ERR_GET_LIB(error) != ERR_LIB_HTTP)
            continue;
        switch (ERR_GET_REASON(error)) {
        case HTTP_R_RECEIVED_ERROR:
        case HTTP_R_STATUS_CODE_UNSUPPORTED:
            failure = StatusFailure((flags & ERR_TXT_STRING) != 0 ? data : nullptr);
            break;
        case HTTP_R_REDIRECTION_NOT_ENABLED:
            failure = kNotFollowed;
            break;
        case HTTP_R_MISSING_ASN1_ENCODING:
            failure = "yanıt DER biçiminde değil";
            break;
        case HTTP_R_MAX_RESP_LEN_EXCEEDED:
        case HTTP_R_ASN1_LEN_EXCEEDS_MAX_RESP_LEN:
            failure = "yanıt çok büyük";
            break;
        default:
            break;
        }
    }
    return failure;
}

// OpenSSL names the host alone; a server on another port is told it too.
UniqueHeaders HostHeader(const Target& target) {
    STACK_OF(CONF_VALUE)* headers = nullptr;
    if (target.port != "80")
        X509V3_add_value("Host", (target.host + ":" + target.port).c_str(), &headers);
    return UniqueHeaders(headers);
}

void Exchange(BIO* connection, const Target& target, const Bytes& body, const char* contentType,
              HttpAnswer& answer) {
    const UniqueHttp http(OSSL_HTTP_open(target.host.c_str(), target.port.c_str(), nullptr, nullptr,
                                         0, connection, connection, nullptr, nullptr, 0, 0));
    const UniqueBio request(
        body.empty() ? nullptr : BIO_new_mem_buf(body.data(), static_cast<int>(body.size())));
    const UniqueHeaders headers = HostHeader(target);
    // Both answers are DER: read whole, up to its own length and at most
    // kMaxAnswer; the deadline is the connection's, so OpenSSL's is none.
    if (!http || (!body.empty() && !request) ||
        !OSSL_HTTP_set1_request(http.get(), target.path.c_str(), headers.get(),
                                request ? contentType : nullptr, request.get(), nullptr, 1,
                                kMaxAnswer, 0, 0)) {
        answer.error = kNoClient;
        return;
    }
    char* location = nullptr;
    const UniqueBio response(OSSL_HTTP_exchange(http.get(), &location));
    const UniqueString moved(location);
    if (!response) {
        answer.error = moved ? kNotFollowed : FailureOf(DeadlineOf(connection));
        return;
    }
    const char* data = nullptr;
    const long length = BIO_get_mem_data(response.get(), &data);
    answer.body.assign(data, data + length);
    answer.ok = true;
}

} // namespace

HttpAnswer HttpExchange(const std::string& url, const Bytes& body, const char* contentType,
                        std::chrono::milliseconds timeout) {
    const Clock::time_point deadline = Clock::now() + timeout;
    HttpAnswer answer;
    ERR_clear_error(); // what the exchange queues tells why it failed
    if (const std::optional<Target> target = TargetOf(url, answer.error))
        if (const UniqueBio connection = ConnectTo(*target, deadline, answer.error))
            Exchange(connection.get(), *target, body, contentType, answer);
    ERR_clear_error();
    return answer;
}

std::filesystem::path UserCacheFolder() {
    // A relative folder names no place of the user's, only one relative to
    // wherever the program runs: no cache then. Empty is unset, as XDG has it.
    if (const char* cache = std::getenv("XDG_CACHE_HOME"); cache != nullptr && cache[0] != '\0')
        return cache[0] == '/' ? std::filesystem::path(cache) : std::filesystem::path();
    if (const char* home = std::getenv("HOME"); home != nullptr && home[0] == '/')
        return std::filesystem::path(home) / ".cache";
    return {};
}

} // namespace tolv::validation::detail
