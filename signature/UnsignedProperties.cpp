#include "signature/UnsignedProperties.h"

#include "signature/Algorithms.h"
#include "signature/XmlNames.h"

#include <cstring>
#include <string_view>
#include <utility>

namespace tolv::signature {
namespace {

constexpr char kDefaultC14n[] = "http://www.w3.org/TR/2001/REC-xml-c14n-20010315";

// A report carries a few of each; a CRL may be large, so one value may be too.
// Beyond these the rest is left out, and said so.
constexpr std::size_t kMaxValues = 32;
constexpr std::size_t kMaxValueText = 8 * 1024 * 1024;
constexpr std::size_t kMaxTotalText = 32 * 1024 * 1024;
constexpr std::size_t kMaxSignatureValue = 64 * 1024;

struct Value {
    enum class Kind { TimeStamp, Certificate, Ocsp, Crl } kind;
    std::string text;    // Base64
    std::string method;  // a time-stamp's canonicalization
};

} // namespace

struct UnsignedPropertiesReader::State {
    int depth = 0;
    NamespaceScope scope;
    struct XmlAttribute {
        int depth;
        std::string local, value;
    };
    std::vector<XmlAttribute> xmlAttributes;

    // The report's signature, as the check finds it, and a counter-signature
    // inside it, whose properties are its own.
    int signatureDepth = 0;
    bool signatureClosed = false;
    int nestedDepth = 0;

    // ds:SignatureValue, kept to be canonicalized as each time-stamp says.
    bool valueSeen = false;
    int valueDepth = 0;
    std::vector<NamespaceScope::Binding> valueContext, valueDeclared;
    std::vector<std::string> valueStart; // its name, then its attributes
    std::vector<std::pair<std::string, std::string>> valueXml;
    std::string valueText;

    int unsignedDepth = 0;  // UnsignedSignatureProperties, while open
    int timeStampDepth = 0; // a SignatureTimeStamp, while open
    std::string timeStampMethod;
    Value* collecting = nullptr;
    int collectingDepth = 0;
    std::vector<Value> values;
    std::size_t total = 0;
    std::string problem;

    void Note(std::string text) {
        if (problem.empty())
            problem = std::move(text);
    }
    void StartValue(Value::Kind kind);
    std::string CanonicalValue(const std::string& method);
};

void UnsignedPropertiesReader::State::StartValue(Value::Kind kind) {
    std::size_t same = 0;
    for (const Value& v : values)
        same += v.kind == kind;
    if (same >= kMaxValues) {
        Note("imzasız özelliklerde çok fazla değer var; fazlası okunmadı");
        return;
    }
    values.push_back({kind, {}, kind == Value::Kind::TimeStamp ? timeStampMethod : std::string()});
    collecting = &values.back();
    collectingDepth = depth;
}

UnsignedPropertiesReader::UnsignedPropertiesReader() : state_(std::make_unique<State>()) {}
UnsignedPropertiesReader::~UnsignedPropertiesReader() = default;

void UnsignedPropertiesReader::Namespace(const char* prefix, const char* uri) {
    state_->scope.Declare(prefix, uri);
}

void UnsignedPropertiesReader::StartElement(const char* name, const char** atts) {
    State& s = *state_;
    ++s.depth;
    s.scope.Push();
    for (const char** a = atts; *a != nullptr; a += 2) {
        const QName attribute = SplitName(a[0]);
        if (attribute.uri == kXmlNamespace)
            s.xmlAttributes.push_back({s.depth, std::string(attribute.local), a[1]});
    }
    s.collecting = nullptr; // a value is text; an element inside one ends it
    const QName qname = SplitName(name);
    const bool signature = IsDsig(qname, "Signature");
    if (s.signatureDepth == 0 && !s.signatureClosed && signature && s.depth <= 2) {
        s.signatureDepth = s.depth;
        return;
    }
    if (s.signatureDepth == 0 || s.signatureClosed)
        return;
    if (s.nestedDepth > 0 || signature) {
        ++s.nestedDepth;
        return;
    }
    if (s.depth == s.signatureDepth + 1 && IsDsig(qname, "SignatureValue") && !s.valueSeen) {
        s.valueSeen = true;
        s.valueDepth = s.depth;
        s.valueContext = s.scope.InScope(true);
        s.valueDeclared.assign(s.scope.Declared().begin(), s.scope.Declared().end());
        s.valueStart.assign(1, name);
        for (const char** a = atts; *a != nullptr; ++a)
            s.valueStart.emplace_back(*a);
        for (auto it = s.xmlAttributes.rbegin(); it != s.xmlAttributes.rend(); ++it)
            if (it->depth < s.depth)
                s.valueXml.emplace_back(it->local, it->value);
    } else if (IsXades(qname, "UnsignedSignatureProperties") && s.unsignedDepth == 0) {
        s.unsignedDepth = s.depth;
    } else if (s.unsignedDepth == 0) {
        return;
    } else if (IsXades(qname, "SignatureTimeStamp") && s.timeStampDepth == 0) {
        s.timeStampDepth = s.depth;
        s.timeStampMethod = kDefaultC14n;
    } else if (s.timeStampDepth != 0 && IsDsig(qname, "CanonicalizationMethod")) {
        const char* algorithm = Attribute(atts, "Algorithm");
        s.timeStampMethod = algorithm != nullptr ? algorithm : "";
    } else if (s.timeStampDepth != 0 && IsXades(qname, "EncapsulatedTimeStamp")) {
        s.StartValue(Value::Kind::TimeStamp);
    } else if (IsXades(qname, "EncapsulatedX509Certificate")) {
        s.StartValue(Value::Kind::Certificate);
    } else if (IsXades(qname, "EncapsulatedOCSPValue")) {
        s.StartValue(Value::Kind::Ocsp);
    } else if (IsXades(qname, "EncapsulatedCRLValue")) {
        s.StartValue(Value::Kind::Crl);
    }
}

void UnsignedPropertiesReader::EndElement() {
    State& s = *state_;
    if (s.collecting != nullptr && s.depth == s.collectingDepth)
        s.collecting = nullptr;
    if (s.nestedDepth > 0)
        --s.nestedDepth;
    else if (s.depth == s.signatureDepth && !s.signatureClosed && s.signatureDepth != 0)
        s.signatureClosed = true;
    if (s.depth == s.valueDepth)
        s.valueDepth = 0;
    if (s.depth == s.timeStampDepth)
        s.timeStampDepth = 0;
    if (s.depth == s.unsignedDepth)
        s.unsignedDepth = 0;
    while (!s.xmlAttributes.empty() && s.xmlAttributes.back().depth == s.depth)
        s.xmlAttributes.pop_back();
    s.scope.Pop();
    --s.depth;
}

void UnsignedPropertiesReader::OnText(const char* text, std::size_t size, bool plain) {
    State& s = *state_;
    if (s.valueDepth != 0 && s.depth == s.valueDepth) {
        if (s.valueText.size() + size > kMaxSignatureValue) {
            s.Note("imza değeri çok uzun");
            s.valueSeen = false; // nothing a time-stamp could cover
            s.valueDepth = 0;
            return;
        }
        // A raw run's line ends become LF as the parser's would; a CR in the
        // parser's own text is a character reference and stays one.
        StringSink lines;
        if (plain)
            lines.WriteLines(text, size);
        else
            lines.Write(text, size);
        s.valueText += lines.text;
    }
    if (s.collecting == nullptr)
        return;
    if (s.collecting->text.size() + size > kMaxValueText || s.total + size > kMaxTotalText) {
        s.Note("imzasız özelliklerdeki bir değer çok büyük; okunmadı");
        s.total -= s.collecting->text.size();
        s.values.erase(s.values.begin() + (s.collecting - s.values.data()));
        s.collecting = nullptr;
        return;
    }
    s.collecting->text.append(text, size);
    s.total += size;
}

// The ds:SignatureValue element alone, as a document subset, in the
// canonical form a time-stamp's method gives it.
std::string UnsignedPropertiesReader::State::CanonicalValue(const std::string& method) {
    const auto algorithm = C14nFromUri(method);
    if (!algorithm || !valueSeen)
        return {};
    StringSink out;
    Canonicalizer c14n(*algorithm, out);
    NamespaceScope context;
    for (const auto& binding : valueContext)
        context.Declare(binding.prefix, binding.uri);
    context.Push();
    for (const auto& binding : valueDeclared)
        context.Declare(binding.prefix, binding.uri);
    context.Push();
    std::vector<const char*> atts;
    for (std::size_t i = 1; i < valueStart.size(); ++i)
        atts.push_back(valueStart[i].c_str());
    atts.push_back(nullptr);
    try {
        c14n.Inherit(valueXml);
        c14n.StartElement(valueStart[0].c_str(), atts.data(), context);
        c14n.Text(valueText.data(), valueText.size());
        c14n.EndElement();
    } catch (const Unsupported&) {
        return {};
    }
    return std::move(out.text);
}

UnsignedData UnsignedPropertiesReader::Take() {
    State& s = *state_;
    UnsignedData data;
    data.problem = s.problem;
    for (const Value& value : s.values) {
        std::optional<Bytes> der = DecodeBase64(value.text);
        if (!der || der->empty()) {
            if (data.problem.empty())
                data.problem = "imzasız özelliklerde geçerli Base64 olmayan bir değer var";
            continue;
        }
        switch (value.kind) {
        case Value::Kind::TimeStamp: {
            const std::string covered = s.CanonicalValue(value.method);
            if (covered.empty()) {
                if (data.problem.empty())
                    data.problem = "zaman damgasının kurallı biçimleme yöntemi desteklenmiyor: " + value.method;
                continue;
            }
            data.signatureTimeStamps.push_back({std::move(*der), Bytes(covered.begin(), covered.end())});
            break;
        }
        case Value::Kind::Certificate:
            data.certificates.push_back(std::move(*der));
            break;
        case Value::Kind::Ocsp:
            data.ocspResponses.push_back(std::move(*der));
            break;
        case Value::Kind::Crl:
            data.crls.push_back(std::move(*der));
            break;
        }
    }
    return data;
}

} // namespace tolv::signature
