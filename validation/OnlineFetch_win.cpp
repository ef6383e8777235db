// Asking online on Windows: crypt32 for the certificate's extensions and the
// OCSP request, WinHTTP for HTTP (with the system's proxy settings).

#include "validation/OnlineFetch.h"

#include "validation/Crypt32_win.h"

#include <winhttp.h>

#include <cstdlib>

namespace tolv::validation::detail {
namespace {

inline void CloseInternet(HINTERNET handle) noexcept {
    WinHttpCloseHandle(handle);
}
using UniqueInternet = Unique<HINTERNET, CloseInternet>;

template <class T>
const T* Decode(LPCSTR type, const CRYPT_DATA_BLOB& blob, UniqueLocal& memory) {
    DWORD size = 0;
    void* decoded = nullptr;
    if (!CryptDecodeObjectEx(X509_ASN_ENCODING, type, blob.pbData, blob.cbData,
                             CRYPT_DECODE_ALLOC_FLAG, nullptr, &decoded, &size))
        return nullptr;
    memory.reset(decoded);
    return static_cast<const T*>(decoded);
}

std::string Narrow(const wchar_t* text) {
    std::string out;
    for (; text != nullptr && *text != L'\0'; ++text) {
        if (*text > 0x7e || *text < 0x20)
            return {}; // a URL outside printable ASCII is not asked
        out += static_cast<char>(*text);
    }
    return out;
}

std::wstring Widen(const std::string& text) {
    return std::wstring(text.begin(), text.end());
}

bool IsHttp(const std::string& url) {
    return url.rfind("http://", 0) == 0 || url.rfind("https://", 0) == 0;
}

void AddUrl(const CERT_ALT_NAME_ENTRY& name, std::vector<std::string>& to) {
    if (name.dwAltNameChoice != CERT_ALT_NAME_URL)
        return;
    if (const std::string url = Narrow(name.pwszURL); IsHttp(url))
        to.push_back(url);
}

Bytes Sha1(const BYTE* data, DWORD size) {
    Bytes digest(20);
    DWORD length = static_cast<DWORD>(digest.size());
    if (!CryptHashCertificate2(BCRYPT_SHA1_ALGORITHM, 0, nullptr, data, size, digest.data(), &length))
        return {};
    return digest;
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

StatusSources StatusSourcesOf(const Bytes& certificate) {
    StatusSources sources;
    const UniqueCertificate parsed = ParseCertificate(certificate);
    if (!parsed)
        return sources;
    const CERT_INFO& info = *parsed.get()->pCertInfo;
    if (const CERT_EXTENSION* aia =
            CertFindExtension(szOID_AUTHORITY_INFO_ACCESS, info.cExtension, info.rgExtension)) {
        UniqueLocal memory;
        if (const auto* access = Decode<CERT_AUTHORITY_INFO_ACCESS>(X509_AUTHORITY_INFO_ACCESS,
                                                                    aia->Value, memory))
            for (DWORD i = 0; i < access->cAccDescr; ++i)
                if (std::string(access->rgAccDescr[i].pszAccessMethod) == szOID_PKIX_OCSP)
                    AddUrl(access->rgAccDescr[i].AccessLocation, sources.ocsp);
    }
    if (const CERT_EXTENSION* cdp =
            CertFindExtension(szOID_CRL_DIST_POINTS, info.cExtension, info.rgExtension)) {
        UniqueLocal memory;
        if (const auto* points = Decode<CRL_DIST_POINTS_INFO>(X509_CRL_DIST_POINTS, cdp->Value, memory))
            for (DWORD i = 0; i < points->cDistPoint; ++i) {
                const CRL_DIST_POINT_NAME& name = points->rgDistPoint[i].DistPointName;
                if (name.dwDistPointNameChoice != CRL_DIST_POINT_FULL_NAME)
                    continue;
                for (DWORD j = 0; j < name.FullName.cAltEntry; ++j)
                    AddUrl(name.FullName.rgAltEntry[j], sources.crl);
            }
    }
    return sources;
}

Bytes OcspRequestFor(const Bytes& certificate, const Bytes& issuer) {
    const UniqueCertificate subject = ParseCertificate(certificate);
    const UniqueCertificate authority = ParseCertificate(issuer);
    if (!subject || !authority)
        return {};
    const CERT_INFO& issuerInfo = *authority.get()->pCertInfo;
    // CertID: SHA-1 of the issuer's name and of its key's bits, and the serial.
    Bytes nameHash = Sha1(issuerInfo.Subject.pbData, issuerInfo.Subject.cbData);
    const CRYPT_BIT_BLOB& key = issuerInfo.SubjectPublicKeyInfo.PublicKey;
    Bytes keyHash = Sha1(key.pbData, key.cbData);
    if (nameHash.empty() || keyHash.empty())
        return {};
    OCSP_REQUEST_ENTRY entry{};
    entry.CertId.HashAlgorithm.pszObjId = const_cast<char*>(szOID_OIWSEC_sha1);
    entry.CertId.IssuerNameHash = {static_cast<DWORD>(nameHash.size()), nameHash.data()};
    entry.CertId.IssuerKeyHash = {static_cast<DWORD>(keyHash.size()), keyHash.data()};
    entry.CertId.SerialNumber = subject.get()->pCertInfo->SerialNumber;
    OCSP_REQUEST_INFO request{};
    request.dwVersion = OCSP_REQUEST_V1;
    request.cRequestEntry = 1;
    request.rgRequestEntry = &entry;

    auto encode = [](LPCSTR type, const void* value) {
        DWORD size = 0;
        if (!CryptEncodeObjectEx(X509_ASN_ENCODING, type, value, 0, nullptr, nullptr, &size))
            return Bytes{};
        Bytes der(size);
        if (!CryptEncodeObjectEx(X509_ASN_ENCODING, type, value, 0, nullptr, der.data(), &size))
            return Bytes{};
        der.resize(size);
        return der;
    };
    Bytes toBeSigned = encode(OCSP_REQUEST, &request);
    if (toBeSigned.empty())
        return {};
    OCSP_SIGNED_REQUEST_INFO whole{};
    whole.ToBeSigned = {static_cast<DWORD>(toBeSigned.size()), toBeSigned.data()};
    return encode(OCSP_SIGNED_REQUEST, &whole);
}

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
        connection ? WinHttpOpenRequest(connection.get(), body.empty() ? L"GET" : L"POST",
                                        path.c_str(), nullptr, WINHTTP_NO_REFERER,
                                        WINHTTP_DEFAULT_ACCEPT_TYPES,
                                        parts.nScheme == INTERNET_SCHEME_HTTPS ? WINHTTP_FLAG_SECURE : 0)
                   : nullptr);
    const std::wstring header =
        body.empty() ? std::wstring() : L"Content-Type: " + Widen(contentType) + L"\r\n";
    if (!request ||
        !WinHttpSendRequest(request.get(), header.empty() ? WINHTTP_NO_ADDITIONAL_HEADERS : header.c_str(),
                            header.empty() ? 0 : DWORD(-1),
                            const_cast<std::uint8_t*>(body.data()), static_cast<DWORD>(body.size()),
                            static_cast<DWORD>(body.size()), 0) ||
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
    return local != nullptr && local[0] != L'\0' ? std::filesystem::path(local) : std::filesystem::path();
}

} // namespace tolv::validation::detail
