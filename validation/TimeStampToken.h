#pragma once
// What the platform reads of a time-stamp token; TimeStamp.cpp judges it, so
// that both platforms check in the same order and give the same reasons.

#include "validation/Anchors.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tolv::validation::detail {

struct TokenContents {
    enum class Reading {
        Read,
        Unreadable,  // not a SignedData over a TSTInfo with one signer
        Unsupported, // a platform call that should have worked did not
    };
    Reading reading = Reading::Unreadable;
    std::string detail;    // for Unreadable and Unsupported: what failed
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

// For Unsupported: "Call: hata 0x80092002".
std::string CallFailed(const char* call, unsigned long error);

} // namespace tolv::validation::detail
