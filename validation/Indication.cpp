#include "validation/Indication.h"

namespace tolv::validation {

const char* IndicationName(Indication indication) {
    switch (indication) {
    case Indication::Valid:
        return "valid";
    case Indication::Invalid:
        return "invalid";
    case Indication::Indeterminate:
        break;
    }
    return "indeterminate";
}

const char* SubIndicationName(SubIndication sub) {
    switch (sub) {
    case SubIndication::None:
        return "";
    case SubIndication::FormatFailure:
        return "FORMAT_FAILURE";
    case SubIndication::HashFailure:
        return "HASH_FAILURE";
    case SubIndication::SigCryptoFailure:
        return "SIG_CRYPTO_FAILURE";
    case SubIndication::Revoked:
        return "REVOKED";
    case SubIndication::NoSigningCertificateFound:
        return "NO_SIGNING_CERTIFICATE_FOUND";
    case SubIndication::NoCertificateChainFound:
        return "NO_CERTIFICATE_CHAIN_FOUND";
    case SubIndication::ChainConstraintsFailure:
        return "CHAIN_CONSTRAINTS_FAILURE";
    case SubIndication::SigConstraintsFailure:
        return "SIG_CONSTRAINTS_FAILURE";
    case SubIndication::RevokedNoPoe:
        return "REVOKED_NO_POE";
    case SubIndication::RevokedCaNoPoe:
        return "REVOKED_CA_NO_POE";
    case SubIndication::OutOfBoundsNoPoe:
        return "OUT_OF_BOUNDS_NO_POE";
    case SubIndication::CryptoConstraintsFailureNoPoe:
        return "CRYPTO_CONSTRAINTS_FAILURE_NO_POE";
    case SubIndication::SignedDataNotFound:
        return "SIGNED_DATA_NOT_FOUND";
    case SubIndication::TryLater:
        break;
    }
    return "TRY_LATER";
}

} // namespace tolv::validation
