#include "signature/OpenSsl.h"

#include <openssl/crypto.h>

#include <chrono>
#include <ctime>

namespace tolv::signature::openssl {
namespace {

// Before any other OpenSSL call: no configuration file is read, so that a file
// on the machine (or OPENSSL_CONF) cannot change which algorithms, providers
// or limits a verdict depends on, and every desk judges alike.
const bool initialised = OPENSSL_init_crypto(OPENSSL_INIT_NO_LOAD_CONFIG, nullptr) == 1;

} // namespace

Bytes Der(X509* certificate) {
    unsigned char* der = nullptr;
    const int length = i2d_X509(certificate, &der);
    const UniqueText owner(der);
    return length > 0 ? Bytes(der, der + length) : Bytes{};
}

std::optional<std::int64_t> Seconds(const ASN1_TIME* time) {
    std::tm parts{};
    if (!time || ASN1_TIME_to_tm(time, &parts) != 1)
        return std::nullopt;
    using namespace std::chrono;
    const sys_days date = year(parts.tm_year + 1900) / month(parts.tm_mon + 1) / day(parts.tm_mday);
    return date.time_since_epoch().count() * std::int64_t{86400} + parts.tm_hour * 3600 +
           parts.tm_min * 60 + parts.tm_sec;
}

UniqueCertificates StackOf(const std::vector<Bytes>& certificates) {
    UniqueCertificates stack(sk_X509_new_null());
    for (const Bytes& der : certificates) {
        UniqueX509 certificate = ParseCertificate(der);
        if (stack && certificate && sk_X509_push(stack.get(), certificate.get()) > 0)
            certificate.release();
    }
    return stack;
}

UniqueStore NewStore() {
    (void)initialised;
    return UniqueStore(X509_STORE_new());
}

} // namespace tolv::signature::openssl
