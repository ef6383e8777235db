#pragma once
// What a XAdES signature carries beside what it signs: time-stamps over its
// signature value, certificates and revocation data (the unsigned signature
// properties), read in the same pass as the check and kept within limits.

#include "report/XmlEvents.h"
#include "signature/Canonicalizer.h"
#include "signature/Crypto.h"

#include <memory>
#include <string>
#include <vector>

namespace tolv::signature {

struct TimeStampToken {
    Bytes token;   // DER TimeStampToken, from EncapsulatedTimeStamp
    Bytes covered; // the canonical ds:SignatureValue element it must cover
};

struct UnsignedData {
    std::vector<TimeStampToken> signatureTimeStamps;
    std::vector<Bytes> certificates;  // CertificateValues
    std::vector<Bytes> ocspResponses; // RevocationValues/OCSPValues
    std::vector<Bytes> crls;          // RevocationValues/CRLValues
    std::string problem;              // in Turkish: what was left out and why
};

class UnsignedPropertiesReader : public report::XmlObserver {
public:
    UnsignedPropertiesReader();
    ~UnsignedPropertiesReader() override;

    void Doctype(bool) override {}
    void Namespace(const char* prefix, const char* uri) override;
    void StartElement(const char* name, const char** atts) override;
    void EndElement() override;
    void Text(const char* text, std::size_t size) override { OnText(text, size, false); }
    void PlainText(const char* text, std::size_t size) override { OnText(text, size, true); }
    void Comment(const char*) override {}
    void ProcessingInstruction(const char*, const char*) override {}
    void PayloadElement(std::uint64_t) override {}

    // After the read: the values, decoded; each time-stamp with the bytes it
    // must cover.
    UnsignedData Take();

private:
    void OnText(const char* text, std::size_t size, bool plain);
    struct State;
    std::unique_ptr<State> state_;
};

} // namespace tolv::signature
