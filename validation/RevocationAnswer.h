#pragma once
// What one OCSP response or CRL says of a certificate, as the platforms read
// it, and how the answers become RevocationFacts (Revocation.cpp).

#include "validation/Revocation.h"

#include <cstdint>
#include <string>
#include <vector>

namespace tolv::validation::detail {

struct RevocationAnswer {
    enum class Says {
        Nothing, // it does not count: reason says why
        Good,
        Revoked,
    };
    Says says = Says::Nothing;
    std::int64_t revokedAt = 0;  // seconds since 1970 (UTC), when Revoked
    std::string reason;          // in Turkish, when Nothing
    std::int64_t nextUpdate = 0; // when a newer answer is due; 0 when it does not say
};

inline RevocationAnswer NotCounted(std::string reason) {
    return {RevocationAnswer::Says::Nothing, 0, std::move(reason)};
}

// ocsp and crl: one answer per response and per CRL, in the order given.
RevocationFacts Combine(const std::vector<RevocationAnswer>& ocsp,
                        const std::vector<RevocationAnswer>& crl);

} // namespace tolv::validation::detail
