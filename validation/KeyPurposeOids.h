#pragma once
// The extended key usages that make a key a signer's.

#include <string_view>

namespace tolv::validation::detail {

inline constexpr std::string_view kSigningPurposes[] = {
    "1.3.6.1.5.5.7.3.4",       // id-kp-emailProtection
    "1.3.6.1.5.5.7.3.36",      // id-kp-documentSigning (RFC 9336)
    "1.3.6.1.4.1.311.10.3.12", // Microsoft document signing
    "2.5.29.37.0",             // anyExtendedKeyUsage
};

bool SigningPurpose(std::string_view oid);

} // namespace tolv::validation::detail
