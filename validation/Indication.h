#pragma once
// The conclusions of a signature's validation and why, by the names of the
// AdES validation model (main indications and their sub-indications).

namespace tolv::validation {

enum class Indication {
    Valid,         // TOTAL-PASSED
    Invalid,       // TOTAL-FAILED
    Indeterminate, // INDETERMINATE
};

enum class SubIndication {
    None, // only with Valid
    FormatFailure,
    HashFailure,
    SigCryptoFailure,
    Revoked,
    NoSigningCertificateFound,
    NoCertificateChainFound,
    ChainConstraintsFailure,
    SigConstraintsFailure,
    RevokedNoPoe,
    RevokedCaNoPoe,
    OutOfBoundsNoPoe,
    CryptoConstraintsFailureNoPoe,
    SignedDataNotFound,
    TryLater,
};

// "valid", "invalid", "indeterminate".
const char* IndicationName(Indication indication);
// "HASH_FAILURE", ...; "" for None.
const char* SubIndicationName(SubIndication sub);

} // namespace tolv::validation
