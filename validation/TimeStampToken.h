#pragma once
// What OpenSSL reads of a time-stamp token (TimeStampToken.cpp); TimeStamp.cpp
// judges it.

#include "validation/Anchors.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tolv::validation::detail {

struct TokenContents {
    enum class Reading {
        Read,
        Unreadable, // not a SignedData over a TSTInfo with one signer
    };
    Reading reading = Reading::Unreadable;
    std::string detail;    // for Unreadable: what failed
    std::int64_t time = 0; // genTime, seconds since 1970 (UTC)
    std::string hashOid;   // of the message imprint, dotted
    Bytes imprint;
    Bytes signer;                    // the TSA's certificate; empty when found nowhere
    std::vector<Bytes> certificates; // those the token carries
    bool signatureVerifies = false;  // by the signer's key, over the signed attributes
};

// others: certificates from elsewhere that may be the TSA's.
TokenContents ReadToken(const Bytes& token, const std::vector<Bytes>& others);

// Whether the certificate's extended key usage names time-stamping and is
// marked critical.
bool TimeStampingCritical(const Bytes& certificate);

// Whether digest is that of data with the algorithm oid names (SHA-1, SHA-256,
// SHA-384, SHA-512); nullopt for another algorithm.
std::optional<bool> DigestMatches(const std::string& oid, const Bytes& data, const Bytes& digest);

} // namespace tolv::validation::detail
