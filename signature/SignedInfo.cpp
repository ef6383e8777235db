#include "signature/SignedInfo.h"

#include "signature/Algorithms.h"
#include "signature/XmlNames.h"

#include <algorithm>

namespace tolv::signature {
namespace {

constexpr std::string_view kExcC14n = "http://www.w3.org/2001/10/xml-exc-c14n#";

// Limits against hostile signatures: what the check keeps is bounded by them.
constexpr std::size_t kMaxReferences = 64;
constexpr std::size_t kMaxSignedInfoBytes = 256 * 1024;
// Distinct prefixes of one InclusiveNamespaces list. Signers list the handful
// their document uses; hundreds are no signature anyone made, and each
// reference keeps its own copy of the list.
constexpr std::size_t kMaxInclusivePrefixes = 256;

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
    const std::string_view quoted =
        uri.substr(open.size(), uri.size() - open.size() - close.size());
    const char quote = quoted.front();
    const std::string_view id = quoted.substr(1, quoted.size() - 2);
    if ((quote != '\'' && quote != '"') || quoted.back() != quote ||
        id.find_first_of("'\" \t\r\n") != std::string_view::npos)
        return std::nullopt;
    return std::string(id);
}

// The name as the canonicalizer takes it from the reader: URI, local name and
// prefix apart.
std::string FullName(const QName& name) {
    if (name.uri.empty())
        return std::string(name.local);
    std::string full = std::string(name.uri) + '\x01' + std::string(name.local);
    if (!name.prefix.empty())
        full += '\x01' + std::string(name.prefix);
    return full;
}

} // namespace

SignedInfoReader::SignedInfoReader(Obstacle& obstacle, const DocumentContext& context,
                                   const SignedInfoReader& plan)
    : obstacle_(obstacle), context_(context), plan_(&plan), c14nMethod_(plan.c14nMethod_),
      c14nPrefixes_(plan.c14nPrefixes_), signatureMethod_(plan.signatureMethod_),
      references_(plan.references_) {}

void SignedInfoReader::Begin(const QName& name, const char** atts) {
    if (++count_ > 1) {
        obstacle_.Set("imzada birden çok SignedInfo var");
        return;
    }
    depth_ = 1;
    // Its context: the namespaces and xml: attributes of its ancestors.
    namespaces_ = context_.Scope().InScope(true);
    xmlAttributes_ = context_.InheritedXml();
    Parse(name, atts, 1);
}

std::string* SignedInfoReader::StartElement(const QName& name, const char** atts) {
    return Parse(name, atts, ++depth_);
}

bool SignedInfoReader::EndElement() {
    Record(Recorded::Kind::End, {});
    if (--depth_ != 0)
        return false;
    if (plan_ != nullptr) {
        CompareWithPlan();
        return false;
    }
    PrepareReferences();
    return true;
}

void SignedInfoReader::Text(const char* text, std::size_t size, bool plain) {
    if (plain) {
        StringSink lines; // SignedInfo is canonicalized later, from LF line ends
        lines.WriteLines(text, size);
        Record(Recorded::Kind::Text, {std::move(lines.text)});
    } else {
        Record(Recorded::Kind::Text, {std::string(text, size)});
    }
}

void SignedInfoReader::Comment(const char* text) {
    Record(Recorded::Kind::Comment, {text});
}

void SignedInfoReader::ProcessingInstruction(const char* target, const char* data) {
    Record(Recorded::Kind::Pi, {target, data});
}

void SignedInfoReader::Record(Recorded::Kind kind, std::vector<std::string> strings) {
    for (const std::string& s : strings)
        recordedBytes_ += s.size() + 16;
    if (recordedBytes_ > kMaxSignedInfoBytes) {
        obstacle_.Set("SignedInfo çok büyük (en çok " + std::to_string(kMaxSignedInfoBytes / 1024) +
                      " KB)");
        return;
    }
    recorded_.push_back({kind, std::move(strings)});
}

std::string* SignedInfoReader::Parse(const QName& name, const char** atts, int relative) {
    for (const auto& binding : context_.Scope().Declared())
        Record(Recorded::Kind::Namespace, {binding.prefix, binding.uri});
    std::vector<std::string> start{FullName(name)}; // the element's own name goes first
    for (const char** a = atts; *a != nullptr; ++a)
        start.emplace_back(*a);
    Record(Recorded::Kind::Start, std::move(start));
    if (plan_ != nullptr)
        return nullptr; // the first read's SignedInfo says what to do

    const char* algorithm = Attribute(atts, "Algorithm");
    if (relative == 2 && IsDsig(name, "CanonicalizationMethod")) {
        c14nMethod_ = algorithm != nullptr ? algorithm : "";
    } else if (relative == 2 && IsDsig(name, "SignatureMethod")) {
        signatureMethod_ = algorithm != nullptr ? algorithm : "";
    } else if (relative == 2 && IsDsig(name, "Reference")) {
        if (references_.size() >= kMaxReferences) {
            obstacle_.Set("imzada çok fazla başvuru var (en çok " + std::to_string(kMaxReferences) +
                          ")");
            return nullptr;
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
            obstacle_.Set("imzadaki ad alanı önek listesi (PrefixList) çok uzun (en çok " +
                          std::to_string(kMaxInclusivePrefixes) + " önek)");
            return nullptr;
        }
        if (relative == 3)
            c14nPrefixes_ = std::move(prefixes);
        else if (relative == 5 && !references_.empty() && !references_.back().transforms.empty())
            references_.back().transforms.back().prefixes = std::move(prefixes);
    } else if (relative == 3 && IsDsig(name, "DigestMethod") && !references_.empty()) {
        references_.back().digestMethod = algorithm != nullptr ? algorithm : "";
    } else if (relative == 3 && IsDsig(name, "DigestValue") && !references_.empty()) {
        return &references_.back().digestText;
    }
    return nullptr;
}

void SignedInfoReader::PrepareReferences() {
    if (references_.empty())
        obstacle_.Set("imzada hiç başvuru yok");
    for (Reference& ref : references_) {
        const std::optional<bool> comments = ResolveUri(ref);
        if (!comments)
            continue;
        ReadTransforms(ref);
        if (ref.c14n.method != C14nMethod::Exclusive)
            ref.prefixes.clear();
        ref.c14n.comments = ref.c14n.comments && *comments;
        ReadDigest(ref);
    }
}

// Returns whether the URI selects the comments too; nullopt when it cannot be
// digested here.
std::optional<bool> SignedInfoReader::ResolveUri(Reference& ref) {
    // The XPointer forms select the same nodes as "" and "#id", but with
    // the comments, which a canonicalization with comments then keeps.
    if (ref.uri.empty() || ref.uri == "#xpointer(/)") {
        ref.wholeDocument = true;
        return !ref.uri.empty();
    }
    if (const auto id = XPointerId(ref.uri)) {
        ref.id = *id;
        return true;
    }
    if (ref.uri[0] == '#' && ref.uri.size() > 1 &&
        ref.uri.find_first_of("()/ ") == std::string::npos) {
        ref.id = ref.uri.substr(1);
        return false;
    }
    if (ref.uri.rfind("#xpointer(", 0) == 0)
        obstacle_.Method("desteklenmeyen başvuru biçimi", ref.uri);
    else
        obstacle_.Set("imza belge dışındaki bir kaynağa başvuruyor: " +
                      (ref.uri == "\x01" ? std::string("(URI yok)") : ref.uri));
    return std::nullopt;
}

// Transforms: enveloped-signature, then at most one canonicalization, or a
// base64 decoding alone.
void SignedInfoReader::ReadTransforms(Reference& ref) {
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
            obstacle_.Set("desteklenmeyen dönüşüm sırası (başvuru " + ref.uri + ")");
        } else {
            obstacle_.Method("desteklenmeyen dönüşüm", t.algorithm);
        }
    }
}

void SignedInfoReader::ReadDigest(Reference& ref) {
    const auto hash = DigestFromUri(ref.digestMethod);
    if (!hash) {
        obstacle_.Method("desteklenmeyen özet algoritması", ref.digestMethod);
        return;
    }
    ref.hash = *hash;
    const auto expected = DecodeBase64(ref.digestText);
    if (!expected) {
        obstacle_.Set("başvurunun özet değeri geçerli Base64 değil (" + ref.uri + ")");
        return;
    }
    if (expected->size() != HashLength(*hash)) {
        obstacle_.Set("başvurunun özet değerinin uzunluğu algoritmasına uymuyor (" + ref.uri + ")");
        return;
    }
    ref.expected = *expected;
}

// The second read's SignedInfo must be the first's, or the references it
// digested were chosen by other bytes than the ones it checks.
void SignedInfoReader::CompareWithPlan() {
    const auto sameBinding = [](const NamespaceScope::Binding& a,
                                const NamespaceScope::Binding& b) {
        return a.prefix == b.prefix && a.uri == b.uri;
    };
    if (recorded_ != plan_->recorded_ || xmlAttributes_ != plan_->xmlAttributes_ ||
        !std::equal(namespaces_.begin(), namespaces_.end(), plan_->namespaces_.begin(),
                    plan_->namespaces_.end(), sameBinding))
        obstacle_.Set("rapor, imzası denetlenirken değişti (iki okumada SignedInfo farklı)",
                      UnknownCause::ChangedWhileRead);
}

std::optional<std::string> SignedInfoReader::Canonical() const {
    const auto algorithm = C14nFromUri(c14nMethod_);
    if (!algorithm)
        return std::nullopt;
    StringSink out;
    Canonicalizer c14n(*algorithm, out,
                       algorithm->method == C14nMethod::Exclusive ? c14nPrefixes_
                                                                  : std::vector<std::string>());
    c14n.Inherit(xmlAttributes_);
    NamespaceScope scope;
    for (const auto& binding : namespaces_)
        scope.Declare(binding.prefix, binding.uri);
    scope.Push();
    for (const Recorded& event : recorded_) {
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

} // namespace tolv::signature
