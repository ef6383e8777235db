// HTTP for asking online on Linux: libcurl (it honours the proxy variables).

#include "validation/OnlineFetch.h"

#include "validation/OpenSsl.h"

#include <curl/curl.h>

#include <cstdlib>
#include <mutex>

namespace tolv::validation::detail {
namespace {

using UniqueCurl = Owner<CURL, curl_easy_cleanup>;
using UniqueHeaders = Owner<curl_slist, curl_slist_free_all>;

std::size_t Keep(char* data, std::size_t size, std::size_t count, void* to) {
    auto& body = *static_cast<Bytes*>(to);
    const std::size_t length = size * count;
    if (body.size() + length > kMaxAnswer)
        return 0; // ends the transfer
    body.insert(body.end(), data, data + length);
    return length;
}

} // namespace

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
        headers.reset(
            curl_slist_append(nullptr, (std::string("Content-Type: ") + contentType).c_str()));
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
