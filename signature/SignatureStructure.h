#pragma once
// The report's own signature as it is written: where it stands, whether its
// children come in order, and what it says (SignedInfo, the signature value,
// the certificates of KeyInfo, the XAdES signing time and signing-certificate
// digests), each kept within a limit.

#include "signature/DocumentContext.h"
#include "signature/SignedInfo.h"

#include <cstdint>
#include <string>
#include <vector>

namespace tolv::signature {

// One xades:Cert/xades:CertDigest of SigningCertificate(V2), and where it
// stood: only one inside a signed reference counts.
struct CertDigest {
    std::string method;
    std::string value;
    std::uint64_t ordinal = 0;
};

class SignatureStructure {
public:
    SignatureStructure(Obstacle& obstacle, const DocumentContext& context)
        : obstacle_(obstacle), context_(context), signedInfo_(obstacle, context) {}
    // A second read's, planned by the first read's SignedInfo.
    SignatureStructure(Obstacle& obstacle, const DocumentContext& context,
                       const SignatureStructure& first)
        : obstacle_(obstacle), context_(context),
          signedInfo_(obstacle, context, first.signedInfo_) {}

    // Whether the element starting is the report's signature: told before
    // the digests see it, since an enveloped-signature transform leaves it out.
    void Locate(const QName& name);
    void StartElement(const QName& name, const char** atts);
    // True when SignedInfo has just ended in a first read (see SignedInfoReader).
    bool EndElement();
    void Text(const char* text, std::size_t size, bool plain);
    void Comment(const char* text);
    void ProcessingInstruction(const char* target, const char* data);

    // The signature's element ordinal; 0 while none has been seen.
    std::uint64_t Ordinal() const { return ordinal_; }
    const SignedInfoReader& SignedInfo() const { return signedInfo_; }
    const std::string& SignatureValue() const { return signatureValue_; }
    const std::vector<std::string>& Certificates() const { return certificates_; }
    // The XAdES SigningTime as written; nullptr when there is none.
    const std::string* SigningTime() const { return haveSigningTime_ ? &signingTime_ : nullptr; }
    const std::vector<CertDigest>& CertDigests() const { return certDigests_; }

private:
    bool Inside() const { return depth_ != 0 && !closed_ && context_.Depth() >= depth_; }
    void StartInSignature(const QName& name, const char** atts, int relative);
    void CheckOrder(const QName& name);
    bool StartKeyInfoPart(const QName& name, int relative);
    void StartSignedProperty(const QName& name, const char** atts);
    bool EndInSignature(int relative);
    void CollectInto(std::string* value);
    void Collect(const char* text, std::size_t size);

    Obstacle& obstacle_;
    const DocumentContext& context_;

    int depth_ = 0;
    bool closed_ = false;
    std::uint64_t ordinal_ = 0;
    int nestedSignatureDepth_ = 0; // a counter-signature inside it, ignored
    int childPlace_ = 0; // of the signature's children: SignedInfo, SignatureValue, KeyInfo, Object

    SignedInfoReader signedInfo_;
    std::string signatureValue_;
    std::vector<std::string> certificates_;
    int keyInfoDepth_ = 0; // while the first KeyInfo is open
    bool keyInfoSeen_ = false;
    std::string signingTime_;
    bool haveSigningTime_ = false;
    int signingCertificateDepth_ = 0; // while one is open
    int certDigestDepth_ = 0;
    std::vector<CertDigest> certDigests_;

    // The value whose text is being read, and the depth of its element.
    std::string* collecting_ = nullptr;
    int collectingDepth_ = 0;
};

} // namespace tolv::signature
