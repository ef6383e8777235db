#include "signature/SignatureStructure.h"

#include "signature/XmlNames.h"

namespace tolv::signature {
namespace {

// Limits against hostile signatures: what the check keeps is bounded by them.
constexpr std::size_t kMaxCertificates = 16;
constexpr std::size_t kMaxValueText = 64 * 1024; // one Base64 value, one time
constexpr std::size_t kMaxCertDigests = 16;

} // namespace

void SignatureStructure::Locate(const QName& name) {
    // The report's signature: the root, or the root's first ds:Signature child.
    const int depth = context_.Depth();
    if (depth_ == 0 && !closed_ && IsDsig(name, "Signature") && (depth == 1 || depth == 2)) {
        depth_ = depth;
        ordinal_ = context_.Ordinal();
    }
}

void SignatureStructure::StartElement(const QName& name, const char** atts) {
    if (collecting_ != nullptr) {
        // A value is text; an element inside one is no signature XML-DSig knows.
        obstacle_.Set("imzanın yapısı bozuk: bir değerin içinde öğe var");
        collecting_ = nullptr;
    }
    if (Inside())
        StartInSignature(name, atts, context_.Depth() - depth_);
}

void SignatureStructure::StartInSignature(const QName& name, const char** atts, int relative) {
    if (nestedSignatureDepth_ > 0) {
        ++nestedSignatureDepth_;
        return;
    }
    if (relative > 0 && IsDsig(name, "Signature")) {
        // Inside SignedInfo it would be left out of what is verified.
        if (signedInfo_.Inside())
            obstacle_.Set("imzanın yapısı bozuk: SignedInfo içinde bir imza var");
        nestedSignatureDepth_ = 1;
        return;
    }
    if (signedInfo_.Inside()) {
        CollectInto(signedInfo_.StartElement(name, atts));
        return;
    }
    if (relative == 1)
        CheckOrder(name);
    if (relative == 1 && IsDsig(name, "SignedInfo")) {
        signedInfo_.Begin(name, atts);
        return;
    }
    if (!StartKeyInfoPart(name, relative))
        StartSignedProperty(name, atts);
}

// A signature's children come as XML-DSig orders them: SignedInfo,
// SignatureValue, at most one KeyInfo, then Objects. Anything else leaves it
// open which part is meant (a second KeyInfo: which key?).
void SignatureStructure::CheckOrder(const QName& name) {
    static constexpr std::string_view kOrder[] = {"SignedInfo", "SignatureValue", "KeyInfo",
                                                  "Object"};
    int place = 0;
    while (place < 4 && !IsDsig(name, kOrder[place]))
        ++place;
    if (place == 0 && signedInfo_.Seen())
        return; // a second SignedInfo, said as such
    const bool inPlace = place == 3 ? childPlace_ >= 2 : place < 4 && place == childPlace_;
    if (!inPlace)
        obstacle_.Set("imzanın yapısı bozuk: " + std::string(name.local) + " yerinde değil");
    childPlace_ = place + 1;
}

// SignatureValue and the certificates of the first KeyInfo; false for any
// other element.
bool SignatureStructure::StartKeyInfoPart(const QName& name, int relative) {
    const int depth = context_.Depth();
    if (relative == 1 && IsDsig(name, "SignatureValue") && signatureValue_.empty()) {
        CollectInto(&signatureValue_);
    } else if (relative == 1 && IsDsig(name, "KeyInfo") && !keyInfoSeen_) {
        keyInfoDepth_ = depth;
        keyInfoSeen_ = true;
    } else if (keyInfoDepth_ != 0 && depth == keyInfoDepth_ + 2 &&
               IsDsig(name, "X509Certificate")) {
        if (certificates_.size() >= kMaxCertificates) {
            obstacle_.Set("imzada çok fazla sertifika var");
            return true;
        }
        certificates_.emplace_back();
        CollectInto(&certificates_.back());
    } else {
        return false;
    }
    return true;
}

// The XAdES signed properties the check reads: SigningTime, and the digests
// of SigningCertificate(V2).
void SignatureStructure::StartSignedProperty(const QName& name, const char** atts) {
    const int depth = context_.Depth();
    if (IsXades(name, "SigningTime") && !haveSigningTime_) {
        haveSigningTime_ = true;
        CollectInto(&signingTime_);
    } else if ((IsXades(name, "SigningCertificate") || IsXades(name, "SigningCertificateV2")) &&
               signingCertificateDepth_ == 0) {
        signingCertificateDepth_ = depth;
    } else if (signingCertificateDepth_ != 0 && depth == signingCertificateDepth_ + 2 &&
               IsXades(name, "CertDigest")) {
        if (certDigests_.size() >= kMaxCertDigests) {
            obstacle_.Set("imzalı özelliklerde çok fazla sertifika özeti var");
            return;
        }
        certDigests_.push_back({"", "", context_.Ordinal()});
        certDigestDepth_ = depth;
    } else if (certDigestDepth_ != 0 && depth == certDigestDepth_ + 1 &&
               IsDsig(name, "DigestMethod")) {
        const char* algorithm = Attribute(atts, "Algorithm");
        certDigests_.back().method = algorithm != nullptr ? algorithm : "";
    } else if (certDigestDepth_ != 0 && depth == certDigestDepth_ + 1 &&
               IsDsig(name, "DigestValue")) {
        CollectInto(&certDigests_.back().value);
    }
}

bool SignatureStructure::EndElement() {
    const bool signedInfoRead = Inside() && EndInSignature(context_.Depth() - depth_);
    if (collecting_ != nullptr && context_.Depth() == collectingDepth_)
        collecting_ = nullptr;
    return signedInfoRead;
}

bool SignatureStructure::EndInSignature(int relative) {
    if (nestedSignatureDepth_ > 0) {
        --nestedSignatureDepth_;
        return false;
    }
    if (relative == 0) {
        closed_ = true;
        return false;
    }
    if (signedInfo_.Inside())
        return signedInfo_.EndElement();
    const int depth = context_.Depth();
    if (keyInfoDepth_ == depth)
        keyInfoDepth_ = 0;
    if (certDigestDepth_ == depth)
        certDigestDepth_ = 0;
    if (signingCertificateDepth_ == depth)
        signingCertificateDepth_ = 0;
    return false;
}

void SignatureStructure::Text(const char* text, std::size_t size, bool plain) {
    if (signedInfo_.Inside())
        signedInfo_.Text(text, size, plain);
    if (collecting_ != nullptr)
        Collect(text, size);
}

void SignatureStructure::Comment(const char* text) {
    if (signedInfo_.Inside())
        signedInfo_.Comment(text);
}

void SignatureStructure::ProcessingInstruction(const char* target, const char* data) {
    if (signedInfo_.Inside())
        signedInfo_.ProcessingInstruction(target, data);
}

void SignatureStructure::CollectInto(std::string* value) {
    if (value == nullptr)
        return;
    collecting_ = value;
    collectingDepth_ = context_.Depth();
}

void SignatureStructure::Collect(const char* text, std::size_t size) {
    if (collecting_->size() + size > kMaxValueText) {
        obstacle_.Set("imzadaki bir değer çok uzun");
        collecting_ = nullptr;
        return;
    }
    collecting_->append(text, size);
}

} // namespace tolv::signature
