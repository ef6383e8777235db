// Asking online on Linux: OpenSSL for the certificate's extensions and the
// OCSP request, libcurl for HTTP (it honours the proxy variables).

#include "validation/OnlineFetch.h"

#include "validation/OpenSsl_posix.h"

#include <curl/curl.h>
#include <openssl/ocsp.h>
#include <openssl/x509v3.h>

#include <cstdlib>
#include <mutex>

namespace tolv::validation::detail {
namespace {

void FreeDistPoints(STACK_OF(DIST_POINT) * points) { sk_DIST_POINT_pop_free(points, DIST_POINT_free); }
void FreeStrings(STACK_OF(OPENSSL_STRING) * strings) { X509_email_free(strings); }

using UniqueRequest = Owner<OCSP_REQUEST, OCSP_REQUEST_free>;
using UniqueDistPoints = Owner<STACK_OF(DIST_POINT), FreeDistPoints>;
using UniqueStrings = Owner<STACK_OF(OPENSSL_STRING), FreeStrings>;
using UniqueCurl = Owner<CURL, curl_easy_cleanup>;
using UniqueHeaders = Owner<curl_slist, curl_slist_free_all>;

bool IsHttp(const std::string& url) {
    return url.rfind("http://", 0) == 0 || url.rfind("https://", 0) == 0;
}

std::size_t Keep(char* data, std::size_t size, std::size_t count, void* to) {
    auto& body = *static_cast<Bytes*>(to);
    const std::size_t length = size * count;
    if (body.size() + length > kMaxAnswer)
        return 0; // ends the transfer
    body.insert(body.end(), data, data + length);
    return length;
}

} // namespace

StatusSources StatusSourcesOf(const Bytes& certificate) {
    StatusSources sources;
    const UniqueX509 parsed = ParseCertificate(certificate);
    if (!parsed)
        return sources;
    if (const UniqueStrings ocsp{X509_get1_ocsp(parsed.get())}; ocsp)
        for (int i = 0; i < sk_OPENSSL_STRING_num(ocsp.get()); ++i)
            if (const std::string url = sk_OPENSSL_STRING_value(ocsp.get(), i); IsHttp(url))
                sources.ocsp.push_back(url);
    const UniqueDistPoints points{static_cast<STACK_OF(DIST_POINT)*>(
        X509_get_ext_d2i(parsed.get(), NID_crl_distribution_points, nullptr, nullptr))};
    for (int i = 0; points && i < sk_DIST_POINT_num(points.get()); ++i) {
        const DIST_POINT* point = sk_DIST_POINT_value(points.get(), i);
        if (point->distpoint == nullptr || point->distpoint->type != 0)
            continue; // a name relative to the issuer's names no URL
        const GENERAL_NAMES* names = point->distpoint->name.fullname;
        for (int j = 0; j < sk_GENERAL_NAME_num(names); ++j) {
            const GENERAL_NAME* name = sk_GENERAL_NAME_value(names, j);
            if (name->type != GEN_URI)
                continue;
            const ASN1_IA5STRING* uri = name->d.uniformResourceIdentifier;
            const std::string url(reinterpret_cast<const char*>(ASN1_STRING_get0_data(uri)),
                                  static_cast<std::size_t>(ASN1_STRING_length(uri)));
            if (IsHttp(url))
                sources.crl.push_back(url);
        }
    }
    return sources;
}

Bytes OcspRequestFor(const Bytes& certificate, const Bytes& issuer) {
    const UniqueX509 subject = ParseCertificate(certificate);
    const UniqueX509 authority = ParseCertificate(issuer);
    if (!subject || !authority)
        return {};
    UniqueRequest request(OCSP_REQUEST_new());
    OCSP_CERTID* id = OCSP_cert_to_id(EVP_sha1(), subject.get(), authority.get());
    if (!request || id == nullptr || OCSP_request_add0_id(request.get(), id) == nullptr) {
        OCSP_CERTID_free(id);
        return {};
    }
    unsigned char* der = nullptr;
    const int length = i2d_OCSP_REQUEST(request.get(), &der);
    if (length <= 0)
        return {};
    Bytes out(der, der + length);
    OPENSSL_free(der);
    return out;
}

HttpAnswer HttpExchange(const std::string& url, const Bytes& body, const char* contentType,
                        std::chrono::milliseconds timeout) {
    static std::once_flag initialised;
    std::call_once(initialised, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
    HttpAnswer answer;
    const UniqueCurl curl(curl_easy_init());
    if (!curl) {
        answer.error = "HTTP istemcisi başlatılamadı";
        return answer;
    }
    UniqueHeaders headers;
    CURL* c = curl.get();
    curl_easy_setopt(c, CURLOPT_URL, url.c_str());
    curl_easy_setopt(c, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(c, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(c, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(c, CURLOPT_MAXREDIRS, 3L);
    curl_easy_setopt(c, CURLOPT_TIMEOUT_MS, static_cast<long>(timeout.count()));
    curl_easy_setopt(c, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(c, CURLOPT_WRITEFUNCTION, Keep);
    curl_easy_setopt(c, CURLOPT_WRITEDATA, &answer.body);
    if (!body.empty()) {
        headers.reset(curl_slist_append(nullptr, (std::string("Content-Type: ") + contentType).c_str()));
        curl_easy_setopt(c, CURLOPT_HTTPHEADER, headers.get());
        curl_easy_setopt(c, CURLOPT_POSTFIELDS, body.data());
        curl_easy_setopt(c, CURLOPT_POSTFIELDSIZE, static_cast<long>(body.size()));
    }
    const CURLcode result = curl_easy_perform(c);
    long status = 0;
    curl_easy_getinfo(c, CURLINFO_RESPONSE_CODE, &status);
    if (result == CURLE_OPERATION_TIMEDOUT)
        answer.error = "yanıt zamanında gelmedi";
    else if (result == CURLE_WRITE_ERROR)
        answer.error = "yanıt çok büyük";
    else if (result == CURLE_COULDNT_RESOLVE_HOST || result == CURLE_COULDNT_RESOLVE_PROXY)
        answer.error = "sunucunun adı çözümlenemedi";
    else if (result != CURLE_OK)
        answer.error = "bağlantı kurulamadı (curl hata " + std::to_string(result) + ")";
    else if (status != 200)
        answer.error = "sunucu HTTP " + std::to_string(status) + " ile yanıt verdi";
    else
        answer.ok = true;
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
