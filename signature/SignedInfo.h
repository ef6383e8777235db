#pragma once
// ds:SignedInfo: its events recorded as they pass, to be canonicalized once
// its own canonicalization method is known, and read for what it says (the
// algorithms and the references).

#include "signature/Canonicalizer.h"
#include "signature/Crypto.h"
#include "signature/DocumentContext.h"

#include <optional>
#include <string>
#include <vector>

namespace tolv::signature {

struct Transform {
    std::string algorithm;
    std::vector<std::string> prefixes;
};

struct Reference {
    std::string uri;
    std::vector<Transform> transforms;
    std::string digestMethod;
    std::string digestText;

    // Worked out when SignedInfo ends.
    bool wholeDocument = false;
    std::string id;
    bool enveloped = false;
    bool base64 = false;
    C14nAlgorithm c14n;
    std::vector<std::string> prefixes;
    HashAlgorithm hash = HashAlgorithm::Sha256;
    Bytes expected;
};

class SignedInfoReader {
public:
    SignedInfoReader(Obstacle& obstacle, const DocumentContext& context)
        : obstacle_(obstacle), context_(context) {}
    // A second read's: what it says is the first read's, and its own
    // SignedInfo must be the same.
    SignedInfoReader(Obstacle& obstacle, const DocumentContext& context,
                     const SignedInfoReader& plan);

    bool Inside() const { return depth_ > 0; }
    bool Seen() const { return count_ > 0; }
    bool Read() const { return count_ > 0 && depth_ == 0; }

    // The signature's SignedInfo child starts.
    void Begin(const QName& name, const char** atts);
    // An element inside it: returns where its text is to be kept, if anywhere.
    std::string* StartElement(const QName& name, const char** atts);
    // True when SignedInfo has just ended in a first read: its references are
    // worked out and can be digested.
    bool EndElement();
    void Text(const char* text, std::size_t size, bool plain);
    void Comment(const char* text);
    void ProcessingInstruction(const char* target, const char* data);

    const std::string& CanonicalizationMethod() const { return c14nMethod_; }
    const std::string& SignatureMethod() const { return signatureMethod_; }
    const std::vector<Reference>& References() const { return references_; }
    // The bytes the signature value signs; nullopt for a canonicalization
    // method this program does not know. Throws Unsupported.
    std::optional<std::string> Canonical() const;

private:
    // SignedInfo's events, kept to be canonicalized once its method is known.
    struct Recorded {
        enum class Kind { Namespace, Start, End, Text, Comment, Pi } kind;
        std::vector<std::string> strings;
        bool operator==(const Recorded&) const = default;
    };
    void Record(Recorded::Kind kind, std::vector<std::string> strings);
    std::string* Parse(const QName& name, const char** atts, int relative);
    void PrepareReferences();
    std::optional<bool> ResolveUri(Reference& ref);
    void ReadTransforms(Reference& ref);
    void ReadDigest(Reference& ref);
    void CompareWithPlan();

    Obstacle& obstacle_;
    const DocumentContext& context_;
    const SignedInfoReader* plan_ = nullptr;

    int depth_ = 0; // relative depth inside SignedInfo while reading it
    int count_ = 0;
    std::vector<Recorded> recorded_;
    std::size_t recordedBytes_ = 0;
    std::vector<NamespaceScope::Binding> namespaces_; // of its ancestors
    std::vector<std::pair<std::string, std::string>> xmlAttributes_;
    std::string c14nMethod_;
    std::vector<std::string> c14nPrefixes_;
    std::string signatureMethod_;
    std::vector<Reference> references_;
};

} // namespace tolv::signature
