#include "signature/Verifier.h"

#include "report/Extraction.h"

#include "signature/Algorithms.h"
#include "signature/Canonicalizer.h"
#include "signature/HashSink.h"
#include "signature/XmlNames.h"
#include "signature/UnsignedProperties.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>
#include <set>
#include <unordered_map>
#include <unordered_set>

namespace tolv::signature {
namespace {

constexpr std::string_view kExcC14n = "http://www.w3.org/2001/10/xml-exc-c14n#";

// Limits against hostile signatures: what the check keeps is bounded by them.
constexpr std::size_t kMaxReferences = 64;
constexpr std::size_t kMaxSignedInfoBytes = 256 * 1024;
constexpr std::size_t kMaxCertificates = 16;
constexpr std::size_t kMaxValueText = 64 * 1024; // one Base64 value, one time
constexpr std::size_t kMaxIds = 10000;
constexpr std::size_t kMaxCertDigests = 16;
// Distinct prefixes of one InclusiveNamespaces list. Signers list the handful
// their document uses; hundreds are no signature anyone made, and each
// reference keeps its own copy of the list.
constexpr std::size_t kMaxInclusivePrefixes = 256;
// Namespace declarations and xml: attributes in scope, and references digested
// at once: what is kept for the open elements grows with the first two, the
// work per event with the last.
constexpr std::size_t kMaxNamespaces = 1024;
constexpr std::size_t kMaxXmlAttributes = 256;
constexpr std::size_t kMaxDigestsAtOnce = 8;
// Key sizes below which a signature proves nothing.
constexpr unsigned kMinRsaBits = 1024;
constexpr unsigned kMinEcBits = 256;

// An algorithm's URI as a user may recognise it: what follows its last '#'
// or '/' ("rsa-sha1", "REC-xpath-19991116").
std::string ShortName(std::string_view uri) {
    const std::size_t cut = uri.find_last_of("#/");
    if (cut != std::string_view::npos && cut + 1 < uri.size())
        uri.remove_prefix(cut + 1);
    return std::string(uri);
}

// The ID-typed attributes a report may use, without a DTD to say so.
std::vector<const char*> IdsOf(const char** atts) {
    std::vector<const char*> ids;
    for (const char** a = atts; *a != nullptr; a += 2) {
        const QName name = SplitName(a[0]);
        if ((name.uri.empty() && (name.local == "Id" || name.local == "ID" || name.local == "id")) ||
            (name.uri == kXmlNamespace && name.local == "id"))
            ids.push_back(a[1]);
    }
    return ids;
}

std::vector<std::string> SplitPrefixes(const char* list) {
    std::vector<std::string> result;
    std::string current;
    for (const char* p = list; *p != '\0'; ++p) {
        if (*p == ' ' || *p == '\t' || *p == '\n' || *p == '\r') {
            if (!current.empty())
                result.push_back(std::move(current));
            current.clear();
        } else {
            current += *p;
        }
    }
    if (!current.empty())
        result.push_back(std::move(current));
    std::sort(result.begin(), result.end());
    result.erase(std::unique(result.begin(), result.end()), result.end());
    return result;
}

// The ID of "#xpointer(id('ID'))" (or with double quotes).
std::optional<std::string> XPointerId(std::string_view uri) {
    constexpr std::string_view open = "#xpointer(id(", close = "))";
    if (uri.size() < open.size() + close.size() + 3 || uri.substr(0, open.size()) != open ||
        uri.substr(uri.size() - close.size()) != close)
        return std::nullopt;
    const std::string_view quoted = uri.substr(open.size(), uri.size() - open.size() - close.size());
    const char quote = quoted.front();
    const std::string_view id = quoted.substr(1, quoted.size() - 2);
    if ((quote != '\'' && quote != '"') || quoted.back() != quote ||
        id.find_first_of("'\" \t\r\n") != std::string_view::npos)
        return std::nullopt;
    return std::string(id);
}

// SignedInfo's events, kept to be canonicalized once its method is known.
struct Recorded {
    enum class Kind { Namespace, Start, End, Text, Comment, Pi } kind;
    std::vector<std::string> strings;
    bool operator==(const Recorded&) const = default;
};

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
    bool secondPass = false;

    // The digest and what it covered, by element ordinals.
    std::optional<Bytes> actual;
    std::uint64_t firstOrdinal = 0, lastOrdinal = 0;
    std::uint64_t excludedFirst = 0, excludedLast = 0;
    bool decodesAsShown = true;
};

// One xades:Cert/xades:CertDigest of SigningCertificate(V2), and where it
// stood: only one inside a signed reference counts.
struct CertDigest {
    std::string method;
    std::string value;
    std::uint64_t ordinal = 0;
};

// Decodes the text of a base64 transform into the digest as it streams by.
class Base64Stage {
public:
    explicit Base64Stage(ByteSink& out) : out_(out) {}
    // The viewer's decoder removes only line ends and takes every other blank
    // for a place in the text, where this decoding skips it: with a blank
    // inside the text the two decode differently, and the digest does not
    // speak for the PDF shown.
    bool BlanksInside() const { return inner_; }
    void PlainText(const char* text, std::size_t size) {
        plain_ = true; // a raw run's CRs are its line ends
        Text(text, size);
        plain_ = false;
    }
    void Text(const char* text, std::size_t size) {
        for (std::size_t i = 0; i < size; ++i) {
            const char c = text[i];
            if (c == '\n' || (plain_ && c == '\r'))
                continue;
            if (c == ' ' || c == '\t' || c == '\r') {
                blank_ = started_;
                continue;
            }
            started_ = true;
            inner_ = inner_ || blank_;
            blank_ = false;
            if (c == '=') {
                padded_ = true;
                continue;
            }
            const int value = Base64Digit(c);
            if (value < 0 || padded_) {
                bad_ = true;
                return;
            }
            group_ = (group_ << 6) | std::uint32_t(value);
            if (++count_ == 4) {
                const char bytes[3] = {char(group_ >> 16), char(group_ >> 8), char(group_)};
                out_.Write(bytes, 3);
                group_ = 0;
                count_ = 0;
            }
        }
    }
    bool Finish() {
        if (count_ == 2) {
            const char byte = char(group_ >> 4);
            out_.Write(&byte, 1);
        } else if (count_ == 3) {
            const char bytes[2] = {char(group_ >> 10), char(group_ >> 2)};
            out_.Write(bytes, 2);
        }
        return !bad_ && count_ != 1;
    }

private:
    ByteSink& out_;
    std::uint32_t group_ = 0;
    int count_ = 0;
    bool padded_ = false;
    bool bad_ = false;
    bool plain_ = false;
    bool started_ = false, blank_ = false, inner_ = false;
};

// One reference's digest, fed with the events of its element (or of the whole
// document) as they pass.
struct Digester {
    std::size_t reference = 0;
    int apexDepth = 0; // 0: the whole document
    std::unique_ptr<HashSink> sink;
    std::unique_ptr<Canonicalizer> c14n;
    std::unique_ptr<Base64Stage> base64;
    int skipDepth = 0; // inside the signature an enveloped-signature transform takes out
};

} // namespace

class Check : public report::XmlObserver {
public:
    // Document events.
    void Doctype(bool) override { Unknown("raporda bir belge türü bildirimi (DOCTYPE) var"); }
    void Namespace(const char* prefix, const char* uri) override;
    void StartElement(const char* name, const char** atts) override;
    void EndElement() override;
    void Text(const char* text, std::size_t size) override { OnText(text, size, false); }
    void PlainText(const char* text, std::size_t size) override { OnText(text, size, true); }
    void Comment(const char* text) override;
    void ProcessingInstruction(const char* target, const char* data) override;
    void PayloadElement(std::uint64_t ordinal) override { payload_ = ordinal; }

    Check() = default;
    // The check of a second read, which knows SignedInfo from the first.
    explicit Check(const Check* first);

    // After a read: true when a second read must digest what came before
    // SignedInfo (never after the second).
    bool EndPass();
    // SignedInfo has been read: what follows can be digested in this read.
    bool SignedInfoRead() const { return signedInfoCount_ > 0 && signedInfoDepth_ == 0; }
    void CannotCheck(std::string reason, UnknownCause cause) { Unknown(std::move(reason), cause); }
    // trust: the system's roots read once; without it they are read now.
    SignatureReport Evaluate(const SystemTrust* trust = nullptr);

private:
    void Unknown(std::string reason, UnknownCause cause = UnknownCause::Structure,
                 std::string_view name = {}) {
        if (!unknown_.empty())
            return;
        unknown_ = std::move(reason);
        unknownCause_ = cause;
        unknownName_ = ShortName(name);
    }
    void UnknownMethod(const std::string& what, const std::string& name) {
        Unknown(what + ": " + name, UnknownCause::Method, name);
    }
    void OnText(const char* text, std::size_t size, bool plain);
    void Collect(const char* text, std::size_t size);
    void StartInSignature(const QName& name, const char** atts, int relative);
    void EndInSignature(int relative);
    void CheckOrder(const QName& name);
    void Record(Recorded::Kind kind, std::vector<std::string> strings);
    void ParseSignedInfo(const QName& name, const char** atts, int relative);
    void PrepareReferences();
    void CompareWithPlan();
    void StartDigester(std::size_t reference, const char* name, const char** atts);
    void FinishDigester(Digester& digester);
    template <class F> void ForDigesters(F f);
    std::optional<std::string> CanonicalSignedInfo();
    std::size_t ChooseSigner(const std::vector<std::optional<CertificateInfo>>& infos) const;

    // A second read digests every reference from its own bytes, as planned by
    // the SignedInfo of the first; its own SignedInfo must be the same.
    const Check* plan_ = nullptr;
    int depth_ = 0;
    std::uint64_t ordinal_ = 0;
    NamespaceScope scope_;
    struct XmlAttribute {
        int depth;
        std::string local, value;
    };
    std::vector<XmlAttribute> xmlAttributes_;
    std::unordered_set<std::string> ids_;

    // The report's signature: where it is, and what it says.
    int signatureDepth_ = 0;
    bool signatureClosed_ = false;
    std::uint64_t signatureOrdinal_ = 0, signatureLastOrdinal_ = 0;
    int nestedSignatureDepth_ = 0; // a counter-signature inside it, ignored
    std::string unknown_;
    UnknownCause unknownCause_ = UnknownCause::None;
    std::string unknownName_;

    int signedInfoDepth_ = 0; // relative depth inside SignedInfo while reading it
    int signedInfoCount_ = 0;
    int childPlace_ = 0; // of the signature's children: SignedInfo, SignatureValue, KeyInfo, Object
    std::vector<Recorded> signedInfo_;
    std::size_t signedInfoBytes_ = 0;
    std::vector<NamespaceScope::Binding> signedInfoContext_;
    std::vector<std::pair<std::string, std::string>> signedInfoXml_;
    std::string c14nMethod_;
    std::vector<std::string> c14nPrefixes_;
    std::string signatureMethod_;
    std::vector<Reference> references_;

    std::string signatureValue_;
    std::vector<std::string> certificates_;
    int keyInfoDepth_ = 0; // while the first KeyInfo is open
    bool keyInfoSeen_ = false;
    std::string signingTime_;
    bool haveSigningTime_ = false;
    int signingCertificateDepth_ = 0; // while one is open
    int certDigestDepth_ = 0;
    std::vector<CertDigest> certDigests_;
    std::unordered_set<std::string> duplicateIds_;

    std::string* collecting_ = nullptr;
    int collectingDepth_ = 0;

    std::unordered_map<std::string, std::vector<std::size_t>> pendingIds_;
    std::vector<std::unique_ptr<Digester>> digesters_;
    std::uint64_t payload_ = 0;
};

void Check::Namespace(const char* prefix, const char* uri) {
    scope_.Declare(prefix, uri);
}

template <class F> void Check::ForDigesters(F f) {
    for (auto& digester : digesters_) {
        try {
            f(*digester);
        } catch (const Unsupported& e) {
            UnknownMethod("desteklenmeyen kurallı biçimleme", e.what());
            digester->c14n.reset();
        }
    }
}

void Check::StartElement(const char* name, const char** atts) {
    ++depth_;
    ++ordinal_;
    scope_.Push();
    const QName qname = SplitName(name);
    for (const char** a = atts; *a != nullptr; a += 2) {
        const QName attribute = SplitName(a[0]);
        if (attribute.uri == kXmlNamespace)
            xmlAttributes_.push_back({depth_, std::string(attribute.local), a[1]});
    }

    const std::vector<const char*> ids = IdsOf(atts);
    for (const char* id : ids) {
        // A value used twice matters only where a reference names it.
        if (!ids_.insert(id).second && duplicateIds_.size() < kMaxIds)
            duplicateIds_.insert(id);
        else if (ids_.size() > kMaxIds)
            Unknown("raporda çok fazla kimlikli öğe var");
    }
    if (scope_.Size() > kMaxNamespaces)
        Unknown("raporda çok fazla ad alanı bildirimi var");
    if (xmlAttributes_.size() > kMaxXmlAttributes)
        Unknown("raporda çok fazla xml: özniteliği var");
    if (!unknown_.empty())
        digesters_.clear(); // the answer is known; nothing more to digest

    // The report's signature: the root, or the root's first ds:Signature child.
    const bool isSignature = IsDsig(qname, "Signature");
    if (signatureDepth_ == 0 && !signatureClosed_ && isSignature && (depth_ == 1 || depth_ == 2)) {
        signatureDepth_ = depth_;
        signatureOrdinal_ = ordinal_;
    }

    // Digests already under way see the element first.
    ForDigesters([&](Digester& d) {
        if (d.skipDepth > 0) {
            ++d.skipDepth;
            return;
        }
        const Reference& ref = references_[d.reference];
        if (ref.enveloped && ordinal_ == signatureOrdinal_) {
            d.skipDepth = 1;
            return;
        }
        if (d.c14n)
            d.c14n->StartElement(name, atts, scope_);
    });
    for (const char* id : ids) {
        const auto pending = pendingIds_.find(id);
        if (pending == pendingIds_.end() || !unknown_.empty())
            continue;
        const std::vector<std::size_t> waiting = std::move(pending->second);
        pendingIds_.erase(pending);
        for (const std::size_t reference : waiting)
            StartDigester(reference, name, atts);
    }

    if (collecting_ != nullptr) {
        // A value is text; an element inside one is no signature XML-DSig knows.
        Unknown("imzanın yapısı bozuk: bir değerin içinde öğe var");
        collecting_ = nullptr;
    }
    if (signatureDepth_ != 0 && !signatureClosed_ && depth_ >= signatureDepth_)
        StartInSignature(qname, atts, depth_ - signatureDepth_);
}

void Check::StartInSignature(const QName& name, const char** atts, int relative) {
    if (nestedSignatureDepth_ > 0) {
        ++nestedSignatureDepth_;
        return;
    }
    if (relative > 0 && IsDsig(name, "Signature")) {
        // Inside SignedInfo it would be left out of what is verified.
        if (signedInfoDepth_ > 0)
            Unknown("imzanın yapısı bozuk: SignedInfo içinde bir imza var");
        nestedSignatureDepth_ = 1;
        return;
    }
    if (signedInfoDepth_ > 0) {
        ParseSignedInfo(name, atts, ++signedInfoDepth_);
        return;
    }
    if (relative == 1)
        CheckOrder(name);
    if (relative == 1 && IsDsig(name, "SignedInfo")) {
        if (++signedInfoCount_ > 1) {
            Unknown("imzada birden çok SignedInfo var");
            return;
        }
        signedInfoDepth_ = 1;
        // Its context: the namespaces and xml: attributes of its ancestors.
        signedInfoContext_ = scope_.InScope(true);
        for (const auto& attribute : xmlAttributes_)
            if (attribute.depth < depth_)
                signedInfoXml_.insert(signedInfoXml_.begin(), {attribute.local, attribute.value});
        ParseSignedInfo(name, atts, 1);
        return;
    }
    if (relative == 1 && IsDsig(name, "SignatureValue") && signatureValue_.empty()) {
        collecting_ = &signatureValue_;
        collectingDepth_ = depth_;
    } else if (relative == 1 && IsDsig(name, "KeyInfo") && !keyInfoSeen_) {
        keyInfoDepth_ = depth_;
        keyInfoSeen_ = true;
    } else if (keyInfoDepth_ != 0 && depth_ == keyInfoDepth_ + 2 && IsDsig(name, "X509Certificate")) {
        if (certificates_.size() >= kMaxCertificates) {
            Unknown("imzada çok fazla sertifika var");
            return;
        }
        certificates_.emplace_back();
        collecting_ = &certificates_.back();
        collectingDepth_ = depth_;
    } else if (IsXades(name, "SigningTime") && !haveSigningTime_) {
        haveSigningTime_ = true;
        collecting_ = &signingTime_;
        collectingDepth_ = depth_;
    } else if ((IsXades(name, "SigningCertificate") || IsXades(name, "SigningCertificateV2")) &&
               signingCertificateDepth_ == 0) {
        signingCertificateDepth_ = depth_;
    } else if (signingCertificateDepth_ != 0 && depth_ == signingCertificateDepth_ + 2 &&
               IsXades(name, "CertDigest")) {
        if (certDigests_.size() >= kMaxCertDigests) {
            Unknown("imzalı özelliklerde çok fazla sertifika özeti var");
            return;
        }
        certDigests_.push_back({"", "", ordinal_});
        certDigestDepth_ = depth_;
    } else if (certDigestDepth_ != 0 && depth_ == certDigestDepth_ + 1 &&
               IsDsig(name, "DigestMethod")) {
        const char* algorithm = Attribute(atts, "Algorithm");
        certDigests_.back().method = algorithm != nullptr ? algorithm : "";
    } else if (certDigestDepth_ != 0 && depth_ == certDigestDepth_ + 1 &&
               IsDsig(name, "DigestValue")) {
        collecting_ = &certDigests_.back().value;
        collectingDepth_ = depth_;
    }
}

// A signature's children come as XML-DSig orders them: SignedInfo,
// SignatureValue, at most one KeyInfo, then Objects. Anything else leaves it
// open which part is meant (a second KeyInfo: which key?).
void Check::CheckOrder(const QName& name) {
    static constexpr std::string_view kOrder[] = {"SignedInfo", "SignatureValue", "KeyInfo",
                                                  "Object"};
    int place = 0;
    while (place < 4 && !IsDsig(name, kOrder[place]))
        ++place;
    if (place == 0 && signedInfoCount_ > 0)
        return; // a second SignedInfo, said as such
    const bool inPlace = place == 3 ? childPlace_ >= 2 : place < 4 && place == childPlace_;
    if (!inPlace)
        Unknown("imzanın yapısı bozuk: " + std::string(name.local) + " yerinde değil");
    childPlace_ = place + 1;
}

void Check::Record(Recorded::Kind kind, std::vector<std::string> strings) {
    for (const std::string& s : strings)
        signedInfoBytes_ += s.size() + 16;
    if (signedInfoBytes_ > kMaxSignedInfoBytes) {
        Unknown("SignedInfo çok büyük (en çok " + std::to_string(kMaxSignedInfoBytes / 1024) +
                " KB)");
        return;
    }
    signedInfo_.push_back({kind, std::move(strings)});
}

void Check::ParseSignedInfo(const QName& name, const char** atts, int relative) {
    for (const auto& binding : scope_.Declared())
        Record(Recorded::Kind::Namespace, {binding.prefix, binding.uri});
    std::vector<std::string> start;
    for (const char** a = atts; *a != nullptr; ++a)
        start.emplace_back(*a);
    // The element's own name goes first.
    std::string full;
    if (!name.uri.empty()) {
        full = std::string(name.uri) + '\x01' + std::string(name.local);
        if (!name.prefix.empty())
            full += '\x01' + std::string(name.prefix);
    } else {
        full = std::string(name.local);
    }
    start.insert(start.begin(), std::move(full));
    Record(Recorded::Kind::Start, std::move(start));
    if (plan_ != nullptr)
        return; // the first read's SignedInfo says what to do

    const char* algorithm = Attribute(atts, "Algorithm");
    if (relative == 2 && IsDsig(name, "CanonicalizationMethod")) {
        c14nMethod_ = algorithm != nullptr ? algorithm : "";
    } else if (relative == 2 && IsDsig(name, "SignatureMethod")) {
        signatureMethod_ = algorithm != nullptr ? algorithm : "";
    } else if (relative == 2 && IsDsig(name, "Reference")) {
        if (references_.size() >= kMaxReferences) {
            Unknown("imzada çok fazla başvuru var (en çok " + std::to_string(kMaxReferences) + ")");
            return;
        }
        references_.emplace_back();
        const char* uri = Attribute(atts, "URI");
        references_.back().uri = uri != nullptr ? uri : "\x01"; // absent: not even empty
    } else if (relative == 4 && IsDsig(name, "Transform") && !references_.empty()) {
        references_.back().transforms.push_back({algorithm != nullptr ? algorithm : "", {}});
    } else if (name.uri == kExcC14n && name.local == "InclusiveNamespaces") {
        const char* list = Attribute(atts, "PrefixList");
        std::vector<std::string> prefixes = SplitPrefixes(list != nullptr ? list : "");
        if (prefixes.size() > kMaxInclusivePrefixes) {
            Unknown("imzadaki ad alanı önek listesi (PrefixList) çok uzun (en çok " +
                    std::to_string(kMaxInclusivePrefixes) + " önek)");
            return;
        }
        if (relative == 3)
            c14nPrefixes_ = std::move(prefixes);
        else if (relative == 5 && !references_.empty() && !references_.back().transforms.empty())
            references_.back().transforms.back().prefixes = std::move(prefixes);
    } else if (relative == 3 && IsDsig(name, "DigestMethod") && !references_.empty()) {
        references_.back().digestMethod = algorithm != nullptr ? algorithm : "";
    } else if (relative == 3 && IsDsig(name, "DigestValue") && !references_.empty()) {
        collecting_ = &references_.back().digestText;
        collectingDepth_ = depth_;
    }
}

void Check::EndElement() {
    ForDigesters([&](Digester& d) {
        if (d.skipDepth > 0) {
            if (--d.skipDepth == 0) {
                Reference& ref = references_[d.reference];
                ref.excludedFirst = signatureOrdinal_;
                ref.excludedLast = ordinal_;
            }
            return;
        }
        if (d.c14n)
            d.c14n->EndElement();
    });
    for (auto it = digesters_.begin(); it != digesters_.end();) {
        if ((*it)->apexDepth == depth_) {
            FinishDigester(**it);
            it = digesters_.erase(it);
        } else {
            ++it;
        }
    }

    if (signatureDepth_ != 0 && !signatureClosed_ && depth_ >= signatureDepth_)
        EndInSignature(depth_ - signatureDepth_);
    if (collecting_ != nullptr && depth_ == collectingDepth_)
        collecting_ = nullptr;

    while (!xmlAttributes_.empty() && xmlAttributes_.back().depth == depth_)
        xmlAttributes_.pop_back();
    scope_.Pop();
    --depth_;
}

void Check::EndInSignature(int relative) {
    if (nestedSignatureDepth_ > 0) {
        --nestedSignatureDepth_;
        return;
    }
    if (relative == 0) {
        signatureClosed_ = true;
        signatureLastOrdinal_ = ordinal_;
        return;
    }
    if (signedInfoDepth_ > 0) {
        Record(Recorded::Kind::End, {});
        if (--signedInfoDepth_ == 0 && plan_ != nullptr)
            CompareWithPlan();
        else if (signedInfoDepth_ == 0)
            PrepareReferences();
        return;
    }
    if (keyInfoDepth_ == depth_)
        keyInfoDepth_ = 0;
    if (certDigestDepth_ == depth_)
        certDigestDepth_ = 0;
    if (signingCertificateDepth_ == depth_)
        signingCertificateDepth_ = 0;
}

void Check::Collect(const char* text, std::size_t size) {
    if (collecting_->size() + size > kMaxValueText) {
        Unknown("imzadaki bir değer çok uzun");
        collecting_ = nullptr;
        return;
    }
    collecting_->append(text, size);
}

void Check::OnText(const char* text, std::size_t size, bool plain) {
    ForDigesters([&](Digester& d) {
        if (d.skipDepth > 0)
            return;
        if (d.base64 && plain)
            d.base64->PlainText(text, size);
        else if (d.base64)
            d.base64->Text(text, size);
        else if (d.c14n && plain)
            d.c14n->PlainText(text, size);
        else if (d.c14n)
            d.c14n->Text(text, size);
    });
    if (signedInfoDepth_ > 0 && plain) {
        StringSink lines; // SignedInfo is canonicalized later, from LF line ends
        lines.WriteLines(text, size);
        Record(Recorded::Kind::Text, {std::move(lines.text)});
    } else if (signedInfoDepth_ > 0) {
        Record(Recorded::Kind::Text, {std::string(text, size)});
    }
    if (collecting_ != nullptr)
        Collect(text, size);
}

void Check::Comment(const char* text) {
    // Only a canonicalization that keeps comments writes them.
    ForDigesters([&](Digester& d) {
        if (d.skipDepth == 0 && d.c14n)
            d.c14n->Comment(text);
    });
    if (signedInfoDepth_ > 0)
        Record(Recorded::Kind::Comment, {text});
}

void Check::ProcessingInstruction(const char* target, const char* data) {
    ForDigesters([&](Digester& d) {
        if (d.skipDepth == 0 && d.c14n)
            d.c14n->ProcessingInstruction(target, data);
    });
    if (signedInfoDepth_ > 0)
        Record(Recorded::Kind::Pi, {target, data});
}

void Check::PrepareReferences() {
    if (references_.empty())
        Unknown("imzada hiç başvuru yok");
    for (std::size_t i = 0; i < references_.size(); ++i) {
        Reference& ref = references_[i];
        // The XPointer forms select the same nodes as "" and "#id", but with
        // the comments, which a canonicalization with comments then keeps.
        bool comments = false;
        if (ref.uri.empty() || ref.uri == "#xpointer(/)") {
            ref.wholeDocument = true;
            comments = !ref.uri.empty();
        } else if (const auto id = XPointerId(ref.uri)) {
            ref.id = *id;
            comments = true;
        } else if (ref.uri[0] == '#' && ref.uri.size() > 1 &&
                   ref.uri.find_first_of("()/ ") == std::string::npos) {
            ref.id = ref.uri.substr(1);
        } else if (ref.uri.rfind("#xpointer(", 0) == 0) {
            UnknownMethod("desteklenmeyen başvuru biçimi", ref.uri);
            continue;
        } else {
            Unknown("imza belge dışındaki bir kaynağa başvuruyor: " +
                    (ref.uri == "\x01" ? std::string("(URI yok)") : ref.uri));
            continue;
        }
        // Transforms: enveloped-signature, then at most one canonicalization,
        // or a base64 decoding alone.
        bool c14nSeen = false;
        for (const Transform& t : ref.transforms) {
            if (t.algorithm == kEnvelopedSignature && !c14nSeen && !ref.base64) {
                ref.enveloped = true;
            } else if (const auto c14n = C14nFromUri(t.algorithm); c14n && !c14nSeen && !ref.base64) {
                ref.c14n = *c14n;
                ref.prefixes = t.prefixes;
                c14nSeen = true;
            } else if (t.algorithm == kBase64Transform && !c14nSeen && !ref.base64) {
                ref.base64 = true;
            } else if (C14nFromUri(t.algorithm) || t.algorithm == kEnvelopedSignature ||
                       t.algorithm == kBase64Transform) {
                Unknown("desteklenmeyen dönüşüm sırası (başvuru " + ref.uri + ")");
            } else {
                UnknownMethod("desteklenmeyen dönüşüm", t.algorithm);
            }
        }
        if (ref.c14n.method != C14nMethod::Exclusive)
            ref.prefixes.clear();
        ref.c14n.comments = ref.c14n.comments && comments;
        const auto hash = DigestFromUri(ref.digestMethod);
        if (!hash) {
            UnknownMethod("desteklenmeyen özet algoritması", ref.digestMethod);
            continue;
        }
        ref.hash = *hash;
        const auto expected = DecodeBase64(ref.digestText);
        if (!expected) {
            Unknown("başvurunun özet değeri geçerli Base64 değil (" + ref.uri + ")");
            continue;
        }
        if (expected->size() != HashLength(*hash)) {
            Unknown("başvurunun özet değerinin uzunluğu algoritmasına uymuyor (" + ref.uri + ")");
            continue;
        }
        ref.expected = *expected;
        if (ref.wholeDocument || ids_.count(ref.id) != 0)
            ref.secondPass = true;
        else
            pendingIds_[ref.id].push_back(i);
    }
    // With a second read to come, that read digests everything: what the
    // viewer shows and what is checked then come from the same bytes.
    if (std::any_of(references_.begin(), references_.end(),
                    [](const Reference& ref) { return ref.secondPass; }))
        pendingIds_.clear();
}

Check::Check(const Check* first)
    : plan_(first), c14nMethod_(first->c14nMethod_), c14nPrefixes_(first->c14nPrefixes_),
      signatureMethod_(first->signatureMethod_) {
    for (const Reference& planned : first->references_) {
        Reference& ref = references_.emplace_back();
        ref.uri = planned.uri;
        ref.digestMethod = planned.digestMethod;
        ref.wholeDocument = planned.wholeDocument;
        ref.id = planned.id;
        ref.enveloped = planned.enveloped;
        ref.base64 = planned.base64;
        ref.c14n = planned.c14n;
        ref.prefixes = planned.prefixes;
        ref.hash = planned.hash;
        ref.expected = planned.expected;
    }
    for (std::size_t i = 0; i < references_.size(); ++i) {
        if (references_[i].wholeDocument)
            StartDigester(i, nullptr, nullptr);
        else
            pendingIds_[references_[i].id].push_back(i);
    }
}

// The second read's SignedInfo must be the first's, or the references it
// digested were chosen by other bytes than the ones it checks.
void Check::CompareWithPlan() {
    const auto sameBinding = [](const NamespaceScope::Binding& a, const NamespaceScope::Binding& b) {
        return a.prefix == b.prefix && a.uri == b.uri;
    };
    if (signedInfo_ != plan_->signedInfo_ || signedInfoXml_ != plan_->signedInfoXml_ ||
        !std::equal(signedInfoContext_.begin(), signedInfoContext_.end(),
                    plan_->signedInfoContext_.begin(), plan_->signedInfoContext_.end(), sameBinding))
        Unknown("rapor, imzası denetlenirken değişti (iki okumada SignedInfo farklı)",
                UnknownCause::ChangedWhileRead);
}

void Check::StartDigester(std::size_t reference, const char* name, const char** atts) {
    const Reference& ref = references_[reference];
    if (digesters_.size() >= kMaxDigestsAtOnce) {
        Unknown("imzada aynı anda özetlenecek çok fazla başvuru var");
        return;
    }
    auto d = std::make_unique<Digester>();
    d->reference = reference;
    d->apexDepth = ref.wholeDocument ? 0 : depth_;
    try {
        d->sink = std::make_unique<HashSink>(ref.hash);
    } catch (const std::bad_alloc&) {
        throw;
    } catch (const std::exception&) {
        // Windows' CNG has no SHA-224, for one.
        Unknown(std::string("bu sistem ") + HashName(ref.hash) + " özetini hesaplayamıyor",
                UnknownCause::Method, HashName(ref.hash));
        return;
    }
    if (ref.base64) {
        d->base64 = std::make_unique<Base64Stage>(*d->sink);
    } else {
        d->c14n = std::make_unique<Canonicalizer>(ref.c14n, *d->sink, ref.prefixes);
        if (!ref.wholeDocument) {
            std::vector<std::pair<std::string, std::string>> inherited;
            for (auto it = xmlAttributes_.rbegin(); it != xmlAttributes_.rend(); ++it)
                if (it->depth < depth_)
                    inherited.emplace_back(it->local, it->value);
            try {
                d->c14n->Inherit(std::move(inherited));
                d->c14n->StartElement(name, atts, scope_);
            } catch (const Unsupported& e) {
                UnknownMethod("desteklenmeyen kurallı biçimleme", e.what());
                return;
            }
        }
    }
    references_[reference].firstOrdinal = ref.wholeDocument ? 0 : ordinal_;
    digesters_.push_back(std::move(d));
}

void Check::FinishDigester(Digester& d) {
    Reference& ref = references_[d.reference];
    if (d.base64 && !d.base64->Finish()) {
        Unknown("base64 dönüşümündeki metin geçerli Base64 değil (" + ref.uri + ")");
        return;
    }
    ref.actual = d.sink->Finish();
    ref.lastOrdinal = ordinal_;
    ref.decodesAsShown = !d.base64 || !d.base64->BlanksInside();
}

bool Check::EndPass() {
    for (auto& d : digesters_)
        FinishDigester(*d); // the whole document's
    digesters_.clear();
    if (plan_ != nullptr || !unknown_.empty())
        return false;
    return std::any_of(references_.begin(), references_.end(),
                       [](const Reference& ref) { return ref.secondPass; });
}

std::optional<std::string> Check::CanonicalSignedInfo() {
    const auto algorithm = C14nFromUri(c14nMethod_);
    if (!algorithm)
        return std::nullopt;
    StringSink out;
    Canonicalizer c14n(*algorithm, out,
                       algorithm->method == C14nMethod::Exclusive ? c14nPrefixes_
                                                                  : std::vector<std::string>());
    c14n.Inherit(signedInfoXml_);
    NamespaceScope scope;
    for (const auto& binding : signedInfoContext_)
        scope.Declare(binding.prefix, binding.uri);
    scope.Push();
    for (const Recorded& event : signedInfo_) {
        switch (event.kind) {
        case Recorded::Kind::Namespace:
            scope.Declare(event.strings[0], event.strings[1]);
            break;
        case Recorded::Kind::Start: {
            std::vector<const char*> atts;
            for (std::size_t i = 1; i < event.strings.size(); ++i)
                atts.push_back(event.strings[i].c_str());
            atts.push_back(nullptr);
            scope.Push();
            c14n.StartElement(event.strings[0].c_str(), atts.data(), scope);
            break;
        }
        case Recorded::Kind::End:
            c14n.EndElement();
            scope.Pop();
            break;
        case Recorded::Kind::Text:
            c14n.Text(event.strings[0].data(), event.strings[0].size());
            break;
        case Recorded::Kind::Comment:
            c14n.Comment(event.strings[0].c_str());
            break;
        case Recorded::Kind::Pi:
            c14n.ProcessingInstruction(event.strings[0].c_str(), event.strings[1].c_str());
            break;
        }
    }
    return std::move(out.text);
}

std::size_t Check::ChooseSigner(const std::vector<std::optional<CertificateInfo>>& infos) const {
    // The signer's certificate is the one that issued none of the others.
    for (std::size_t i = 0; i < infos.size(); ++i) {
        if (!infos[i])
            continue;
        bool issuer = false;
        for (std::size_t j = 0; j < infos.size(); ++j)
            if (j != i && infos[j] && infos[j]->issuerName == infos[i]->subjectName)
                issuer = true;
        if (!issuer)
            return i;
    }
    return 0;
}

SignatureReport Check::Evaluate(const SystemTrust* trust) {
    SignatureReport report;
    auto unknown = [&](std::string reason, UnknownCause cause = UnknownCause::Structure,
                       std::string_view name = {}) {
        report.status = Status::Unknown;
        report.reason = std::move(reason);
        report.cause = cause;
        report.causeName = ShortName(name);
        return report;
    };
    auto unknownMethod = [&](const std::string& what, const std::string& name) {
        return unknown(what + ": " + name, UnknownCause::Method, name);
    };
    auto altered = [&](std::string reason, SignatureReport::Mismatch mismatch) {
        report.status = Status::Altered;
        report.reason = std::move(reason);
        report.mismatch = mismatch;
        return report;
    };

    // What can be told whatever the outcome.
    const auto c14n = C14nFromUri(c14nMethod_);
    const auto method = SignatureFromUri(signatureMethod_);
    if (c14n)
        report.canonicalization = C14nName(*c14n);
    if (method) {
        report.signatureMethod = SignatureName(*method);
        report.usesSha1 = method->hash == HashAlgorithm::Sha1;
    }
    for (const Reference& ref : references_) {
        const auto hash = DigestFromUri(ref.digestMethod);
        if (!hash)
            continue;
        report.usesSha1 = report.usesSha1 || *hash == HashAlgorithm::Sha1;
        const std::string name = HashName(*hash);
        if (("," + report.digestMethods + ",").find("," + name + ",") == std::string::npos)
            report.digestMethods += (report.digestMethods.empty() ? "" : ",") + name;
    }
    std::vector<Bytes> certificates;
    std::vector<std::optional<CertificateInfo>> infos;
    for (const std::string& text : certificates_) {
        auto der = DecodeBase64(text);
        certificates.push_back(der ? std::move(*der) : Bytes());
        infos.push_back(der ? ReadCertificate(certificates.back()) : std::nullopt);
    }
    const std::size_t signer = ChooseSigner(infos);
    if (!infos.empty() && infos[signer]) {
        const CertificateInfo& info = *infos[signer];
        report.signer = info.subject;
        report.issuer = info.issuer;
        report.notBefore = info.notBefore;
        report.notAfter = info.notAfter;
        std::vector<Bytes> others;
        for (std::size_t i = 0; i < certificates.size(); ++i)
            if (i != signer && infos[i])
                others.push_back(certificates[i]);
        report.trusted = trust != nullptr ? trust->Trusts(certificates[signer], others)
                                          : ChainIsTrusted(certificates[signer], others);
        report.key = KeyName(info);
        report.keyBits = info.keyBits;
        report.rsaKey = IsRsaKey(info);
        report.signerCertificate = certificates[signer];
        report.otherCertificates = std::move(others);
    }
    if (haveSigningTime_) {
        std::string_view text = signingTime_;
        while (!text.empty() && std::strchr(" \t\r\n", text.front()) != nullptr)
            text.remove_prefix(1);
        while (!text.empty() && std::strchr(" \t\r\n", text.back()) != nullptr)
            text.remove_suffix(1);
        report.signingTimeText = text;
        report.signingTime = ParseDateTime(text);
    }

    // First whatever makes the check impossible.
    if (signatureOrdinal_ == 0)
        return unknown("raporda imza yok", UnknownCause::NoSignature);
    if (!unknown_.empty())
        return unknown(unknown_, unknownCause_, unknownName_);
    if (signedInfoCount_ == 0)
        return unknown("imzada SignedInfo yok");
    if (!c14n)
        return unknownMethod("desteklenmeyen kurallı biçimleme algoritması", c14nMethod_);
    if (!method)
        return unknownMethod("desteklenmeyen imza algoritması", signatureMethod_);
    for (const Reference& ref : references_)
        if (!ref.wholeDocument && duplicateIds_.count(ref.id) != 0)
            return unknown("başvurulan kimlik (Id) birden çok öğede var: " + ref.uri);
    for (const Reference& ref : references_)
        if (!ref.actual)
            return unknown("başvurulan öğe raporda yok: " + ref.uri);
    if (certificates.empty())
        return unknown("imzada imzalayanın sertifikası yok", UnknownCause::NoCertificate);
    if (!infos[signer])
        return unknown("imzalayanın sertifikası okunamadı", UnknownCause::NoCertificate);
    const auto value = DecodeBase64(signatureValue_);
    if (!value || value->empty())
        return unknown("imza değeri geçerli Base64 değil");
    std::optional<std::string> signedInfo;
    try {
        signedInfo = CanonicalSignedInfo();
    } catch (const Unsupported& e) {
        return unknownMethod("desteklenmeyen kurallı biçimleme", e.what());
    }
    // Signing-certificate digests count only where a reference signs them.
    std::vector<const CertDigest*> signedDigests;
    for (const CertDigest& entry : certDigests_)
        for (const Reference& ref : references_)
            if (ref.wholeDocument || (ref.firstOrdinal <= entry.ordinal && entry.ordinal <= ref.lastOrdinal)) {
                signedDigests.push_back(&entry);
                break;
            }
    bool certificateListed = signedDigests.empty();
    for (const CertDigest* digest : signedDigests) {
        const CertDigest& entry = *digest;
        const auto hash = DigestFromUri(entry.method);
        if (!hash)
            return unknownMethod("desteklenmeyen özet algoritması", entry.method);
        const auto expected = DecodeBase64(entry.value);
        if (!expected)
            return unknown("imzalayan sertifikasının özeti geçerli Base64 değil");
        std::unique_ptr<Hasher> hasher;
        try {
            hasher = NewHasher(*hash);
        } catch (const std::bad_alloc&) {
            throw;
        } catch (const std::exception&) {
            return unknown(std::string("bu sistem ") + HashName(*hash) + " özetini hesaplayamıyor",
                           UnknownCause::Method, HashName(*hash));
        }
        hasher->Update(certificates[signer].data(), certificates[signer].size());
        certificateListed = certificateListed || hasher->Finish() == *expected;
    }
    // A key this short can be broken by anyone who cares to: its signature
    // says nothing of who made it.
    const CertificateInfo& key = *infos[signer];
    const unsigned minimum = IsRsaKey(key) ? kMinRsaBits : kMinEcBits;
    if (!report.key.empty() && key.keyBits < minimum) {
        const std::string kind = IsRsaKey(key) ? "RSA" : "EC";
        return unknown("imzalayanın anahtarı çok kısa: " + std::to_string(key.keyBits) + " bitlik " +
                           kind + " (en az " + std::to_string(minimum) + " bit)",
                       UnknownCause::Method, std::to_string(key.keyBits) + " bitlik " + kind + " anahtarı");
    }
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(signedInfo->data());
    const VerifyOutcome outcome =
        VerifySignature(certificates[signer], *method, {bytes, signedInfo->size()}, *value);
    if (outcome.kind == VerifyOutcome::Kind::Unusable)
        return unknown(outcome.reason, UnknownCause::Method,
                       report.key.empty() ? report.signatureMethod : report.key);

    // Then a definite mismatch.
    if (outcome.kind == VerifyOutcome::Kind::Invalid)
        return altered("imza değeri imzalanan bilgilerle uyuşmuyor",
                       SignatureReport::Mismatch::SignatureValue);
    for (const Reference& ref : references_)
        if (*ref.actual != ref.expected)
            return altered("imzalanan içerik değiştirilmiş (başvuru " +
                               (ref.uri.empty() ? std::string("\"\" (belgenin tümü)") : ref.uri) + ")",
                           SignatureReport::Mismatch::Digest);
    if (!certificateListed)
        return altered("imzalayanın sertifikası, imzalı özelliklerde adı geçen sertifika değil",
                       SignatureReport::Mismatch::SigningCertificate);
    if (payload_ != 0) {
        const bool covered = std::any_of(references_.begin(), references_.end(), [&](const Reference& ref) {
            const bool inside = ref.wholeDocument ||
                                (ref.firstOrdinal <= payload_ && payload_ <= ref.lastOrdinal);
            const bool excluded = ref.excludedFirst != 0 && ref.excludedFirst <= payload_ &&
                                  payload_ <= ref.excludedLast;
            return inside && !excluded && ref.decodesAsShown;
        });
        if (!covered)
            return altered("gösterilen içerik imzalanan içerik değil: PDF'yi taşıyan öğe imzanın "
                           "kapsamında değil",
                           SignatureReport::Mismatch::NotCovered);
    }
    report.status = Status::Intact;
    report.cause = UnknownCause::None;
    return report;
}

// One read's consumers: the check, and the reader of what the signature
// carries beside what it signs.
class Reading : public report::XmlObserver {
public:
    Reading() = default;
    explicit Reading(const Reading* first) : check_(&first->check_) {}

    void Doctype(bool internalSubset) override { check_.Doctype(internalSubset); }
    void Namespace(const char* prefix, const char* uri) override {
        check_.Namespace(prefix, uri);
        extra_.Namespace(prefix, uri);
    }
    void StartElement(const char* name, const char** atts) override {
        check_.StartElement(name, atts);
        extra_.StartElement(name, atts);
    }
    void EndElement() override {
        check_.EndElement();
        extra_.EndElement();
    }
    void Text(const char* text, std::size_t size) override {
        check_.Text(text, size);
        extra_.Text(text, size);
    }
    void PlainText(const char* text, std::size_t size) override {
        check_.PlainText(text, size);
        extra_.PlainText(text, size);
    }
    void Comment(const char* text) override { check_.Comment(text); }
    void ProcessingInstruction(const char* target, const char* data) override {
        check_.ProcessingInstruction(target, data);
    }
    void PayloadElement(std::uint64_t ordinal) override { check_.PayloadElement(ordinal); }

    bool EndPass() { return check_.EndPass(); }
    bool SignedInfoRead() const { return check_.SignedInfoRead(); }
    void CannotCheck(std::string reason, UnknownCause cause) { check_.CannotCheck(std::move(reason), cause); }
    SignatureReport Evaluate(const SystemTrust* trust = nullptr) {
        SignatureReport report = check_.Evaluate(trust);
        report.unsignedData = extra_.Take();
        return report;
    }

private:
    Check check_;
    UnsignedPropertiesReader extra_;
};

namespace {

bool IsRegularFile(const std::filesystem::path& path) {
    std::error_code error;
    return std::filesystem::is_regular_file(path, error);
}

// A report whose references need a second read: a pipe cannot give it.
void NoSecondRead(Reading& check) {
    check.CannotCheck("rapor, imzası için ikinci kez okunabilen bir dosya değil",
                      UnknownCause::Structure);
}

// Where a second read turns out necessary only after it: the first needed
// none, the second says otherwise, so the bytes changed in between.
void ChangedBetweenReads(Reading& check) {
    check.CannotCheck("rapor, imzası denetlenirken değişti", UnknownCause::ChangedWhileRead);
}

} // namespace

const char* StatusName(Status status) {
    switch (status) {
    case Status::Intact:
        return "intact";
    case Status::Altered:
        return "altered";
    case Status::Unknown:
        break;
    }
    return "unknown";
}

SignatureCheck::SignatureCheck() : check_(std::make_unique<Reading>()) {}
SignatureCheck::~SignatureCheck() = default;

report::XmlObserver& SignatureCheck::Observer() {
    return *check_;
}

bool SignatureCheck::NeedsSecondRead() {
    return check_->EndPass();
}

void SignatureCheck::BeginSecondRead() {
    first_ = std::move(check_);
    check_ = std::make_unique<Reading>(first_.get());
}

SignatureReport SignatureCheck::Result() {
    check_->EndPass();
    return check_->Evaluate();
}

namespace {

SignatureReport CheckFile(const std::filesystem::path& report, const report::FileTaps& taps,
                          const SystemTrust* trust) {
    const bool regular = IsRegularFile(report);
    Reading first;
    report::ReadReport(report, first, taps);
    if (!first.EndPass())
        return first.Evaluate(trust);
    if (!regular) {
        NoSecondRead(first);
        return first.Evaluate(trust);
    }
    Reading second(&first);
    report::ReadReport(report, second, taps);
    second.EndPass();
    return second.Evaluate(trust);
}

} // namespace

SignatureReport CheckReport(const std::filesystem::path& report, const report::FileTaps& taps) {
    return CheckFile(report, taps, nullptr);
}

SignatureReport CheckReport(const std::filesystem::path& report) {
    return CheckFile(report, report::FileTaps{}, nullptr);
}

SignatureReport CheckReport(const std::filesystem::path& report, const SystemTrust& trust) {
    return CheckFile(report, report::FileTaps{}, &trust);
}

// What the viewer shows and what is digested come from one read. The first
// read decodes the PDF only when SignedInfo came before it, so that whatever
// covers the PDF is digested on the way (an enveloping signature). Otherwise
// (an enveloped one: the signature after what it signs) the first read only
// learns SignedInfo, and a second read writes the PDF and digests every
// reference from its own bytes; its SignedInfo must be the first's.
ViewResult WritePdfAndCheck(const std::filesystem::path& report, const std::filesystem::path& pdf,
                            const std::function<bool(const SignatureReport&)>& decide,
                            const report::FileTaps& taps) {
    const bool regular = IsRegularFile(report);
    ViewResult result;
    bool evaluated = false;
    const auto evaluate = [&](Reading& check) {
        result.signature = check.Evaluate();
        evaluated = true;
        return !decide || decide(result.signature);
    };

    Reading first;
    bool secondNeeded = false;
    report::ReadHooks hooks;
    hooks.observer = &first;
    // A pipe cannot be read again: its PDF is decoded now, whatever follows.
    hooks.decodePdf = [&] { return !regular || first.SignedInfoRead(); };
    hooks.beforeCommit = [&] {
        secondNeeded = first.EndPass();
        if (secondNeeded && regular)
            return false; // the second read writes it
        if (secondNeeded)
            NoSecondRead(first);
        return evaluate(first);
    };
    result.pdf = report::ExtractPdf(report, pdf, hooks, taps);
    if (evaluated)
        return result;
    secondNeeded = first.EndPass();
    const bool pdfLeft = result.pdf.outcome == report::PdfResult::Outcome::Skipped ||
                         result.pdf.outcome == report::PdfResult::Outcome::Declined;
    if (!secondNeeded && !pdfLeft) {
        result.signature = first.Evaluate();
        return result;
    }
    if (!regular) {
        NoSecondRead(first);
        result.signature = first.Evaluate();
        return result;
    }

    // Planned by the first read's SignedInfo, or, where the first read needed
    // no second one and only skipped the PDF, a check of its own.
    std::unique_ptr<Reading> second = secondNeeded ? std::make_unique<Reading>(&first)
                                                 : std::make_unique<Reading>();
    const auto finish = [&] {
        if (second->EndPass())
            ChangedBetweenReads(*second);
    };
    hooks = report::ReadHooks{};
    hooks.observer = second.get();
    hooks.beforeCommit = [&] {
        finish();
        return evaluate(*second);
    };
    result.pdf = report::ExtractPdf(report, pdf, hooks, taps);
    if (!evaluated) {
        finish();
        result.signature = second->Evaluate();
    }
    return result;
}

ViewResult WritePdfAndCheck(const std::filesystem::path& report, const std::filesystem::path& pdf,
                            const std::function<bool(const SignatureReport&)>& decide) {
    return WritePdfAndCheck(report, pdf, decide, report::FileTaps{});
}

} // namespace tolv::signature
