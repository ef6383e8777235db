#include "signature/Canonicalizer.h"

#include <algorithm>
#include <cstring>

namespace tolv::signature {
namespace {

constexpr char kSeparator = '\x01';

struct UriAlgorithm {
    std::string_view uri;
    C14nAlgorithm algorithm;
};

constexpr UriAlgorithm kAlgorithms[] = {
    {"http://www.w3.org/TR/2001/REC-xml-c14n-20010315", {C14nMethod::Inclusive10, false}},
    {"http://www.w3.org/TR/2001/REC-xml-c14n-20010315#WithComments",
     {C14nMethod::Inclusive10, true}},
    {"http://www.w3.org/2006/12/xml-c14n11", {C14nMethod::Inclusive11, false}},
    {"http://www.w3.org/2006/12/xml-c14n11#WithComments", {C14nMethod::Inclusive11, true}},
    {"http://www.w3.org/2001/10/xml-exc-c14n#", {C14nMethod::Exclusive, false}},
    {"http://www.w3.org/2001/10/xml-exc-c14n#WithComments", {C14nMethod::Exclusive, true}},
};

struct Attribute {
    QName name;
    std::string_view value;
};

} // namespace

std::optional<C14nAlgorithm> C14nFromUri(std::string_view uri) {
    for (const UriAlgorithm& entry : kAlgorithms)
        if (entry.uri == uri)
            return entry.algorithm;
    return std::nullopt;
}

std::string C14nName(const C14nAlgorithm& algorithm) {
    std::string name = algorithm.method == C14nMethod::Inclusive10   ? "c14n"
                       : algorithm.method == C14nMethod::Inclusive11 ? "c14n11"
                                                                     : "exc-c14n";
    return algorithm.comments ? name + "-comments" : name;
}

QName SplitName(const char* name) {
    QName result;
    const char* first = std::strchr(name, kSeparator);
    if (first == nullptr) {
        result.local = name;
        return result;
    }
    result.uri = std::string_view(name, std::size_t(first - name));
    const char* second = std::strchr(first + 1, kSeparator);
    if (second == nullptr) {
        result.local = first + 1;
        return result;
    }
    result.local = std::string_view(first + 1, std::size_t(second - first - 1));
    result.prefix = second + 1;
    return result;
}

void NamespaceScope::Push() {
    frames_.push_back(bindings_.size());
    for (Binding& binding : pending_)
        bindings_.push_back(std::move(binding));
    pending_.clear();
}

void NamespaceScope::Pop() {
    if (frames_.empty())
        return;
    bindings_.resize(frames_.back());
    frames_.pop_back();
}

const std::string* NamespaceScope::Lookup(std::string_view prefix) const {
    for (auto it = bindings_.rbegin(); it != bindings_.rend(); ++it)
        if (it->prefix == prefix)
            return &it->uri;
    static const std::string kNone;
    return prefix.empty() ? &kNone : nullptr;
}

std::vector<NamespaceScope::Binding> NamespaceScope::Declared() const {
    const std::size_t from = frames_.empty() ? 0 : frames_.back();
    return {bindings_.begin() + std::ptrdiff_t(from), bindings_.end()};
}

std::vector<NamespaceScope::Binding> NamespaceScope::InScope(bool parent) const {
    std::vector<Binding> result;
    const std::size_t end = parent && !frames_.empty() ? frames_.back() : bindings_.size();
    for (auto it = bindings_.rbegin() + std::ptrdiff_t(bindings_.size() - end); it != bindings_.rend(); ++it) {
        const bool seen = std::any_of(result.begin(), result.end(),
                                      [&](const Binding& b) { return b.prefix == it->prefix; });
        if (!seen)
            result.push_back(*it);
    }
    return result;
}

Canonicalizer::Canonicalizer(C14nAlgorithm algorithm, ByteSink& out,
                             std::vector<std::string> inclusivePrefixes)
    : algorithm_(algorithm), out_(out), inclusivePrefixes_(std::move(inclusivePrefixes)) {
    for (std::string& prefix : inclusivePrefixes_)
        if (prefix == "#default")
            prefix.clear();
}

void Canonicalizer::Inherit(std::vector<std::pair<std::string, std::string>> xmlAttributes) {
    if (algorithm_.method == C14nMethod::Exclusive)
        return;
    for (auto& attribute : xmlAttributes) {
        const std::string& local = attribute.first;
        if (algorithm_.method == C14nMethod::Inclusive11) {
            // 1.1 joins inherited xml:base values into one URI; that is not done
            // here, so such a subset is not canonicalized at all.
            if (local == "base")
                throw Unsupported("xml:base (Canonical XML 1.1)");
            if (local == "id")
                continue;
        }
        const bool nearer = std::any_of(inherited_.begin(), inherited_.end(),
                                        [&](const auto& a) { return a.first == local; });
        if (!nearer)
            inherited_.push_back(std::move(attribute));
    }
}

const std::string* Canonicalizer::Rendered(std::string_view prefix) const {
    for (auto it = rendered_.rbegin(); it != rendered_.rend(); ++it)
        if (it->prefix == prefix)
            return &it->uri;
    return nullptr;
}

void Canonicalizer::StartElement(const char* name, const char** atts, const NamespaceScope& scope) {
    const bool apex = frames_.empty();
    const QName element = SplitName(name);
    std::vector<Attribute> attributes;
    for (const char** a = atts; *a != nullptr; a += 2)
        attributes.push_back({SplitName(a[0]), a[1]});

    // Namespace nodes to output: those whose binding differs from what the
    // nearest output ancestor has rendered.
    std::vector<NamespaceScope::Binding> candidates;
    auto addCandidate = [&](std::string_view prefix) {
        if (prefix == "xml")
            return;
        for (const auto& c : candidates)
            if (c.prefix == prefix)
                return;
        const std::string* uri = scope.Lookup(prefix);
        if (uri != nullptr)
            candidates.push_back({std::string(prefix), *uri});
    };
    if (algorithm_.method == C14nMethod::Exclusive) {
        addCandidate(element.prefix);
        for (const Attribute& a : attributes)
            if (!a.name.prefix.empty())
                addCandidate(a.name.prefix);
        for (const std::string& prefix : inclusivePrefixes_)
            addCandidate(prefix);
    } else {
        for (const auto& binding : apex ? scope.InScope() : scope.Declared())
            addCandidate(binding.prefix);
    }
    frames_.push_back(rendered_.size());
    std::vector<NamespaceScope::Binding> output;
    for (auto& c : candidates) {
        const std::string* rendered = Rendered(c.prefix);
        // Where nothing was rendered, there is no default namespace to undo.
        if (rendered != nullptr ? *rendered == c.uri : c.prefix.empty() && c.uri.empty())
            continue;
        output.push_back(c);
    }
    std::sort(output.begin(), output.end(),
              [](const auto& a, const auto& b) { return a.prefix < b.prefix; });
    for (const auto& binding : output)
        rendered_.push_back(binding);

    std::string qname = element.prefix.empty() ? std::string(element.local)
                                               : std::string(element.prefix) + ':' +
                                                     std::string(element.local);
    Put("<");
    Put(qname);
    for (const auto& binding : output) {
        Put(binding.prefix.empty() ? " xmlns=\"" : " xmlns:");
        if (!binding.prefix.empty()) {
            Put(binding.prefix);
            Put("=\"");
        }
        PutEscaped(binding.uri, true);
        Put("\"");
    }
    if (apex) {
        for (const auto& inherited : inherited_) {
            const std::string& local = inherited.first;
            const bool own = std::any_of(attributes.begin(), attributes.end(), [&](const Attribute& a) {
                return a.name.uri == kXmlNamespace && a.name.local == local;
            });
            if (!own)
                attributes.push_back({QName{kXmlNamespace, local, "xml"}, inherited.second});
        }
    }
    std::sort(attributes.begin(), attributes.end(), [](const Attribute& a, const Attribute& b) {
        return a.name.uri != b.name.uri ? a.name.uri < b.name.uri : a.name.local < b.name.local;
    });
    for (const Attribute& a : attributes) {
        Put(" ");
        if (!a.name.prefix.empty()) {
            Put(a.name.prefix);
            Put(":");
        }
        Put(a.name.local);
        Put("=\"");
        PutEscaped(a.value, true);
        Put("\"");
    }
    Put(">");
    openNames_.push_back(std::move(qname));
    rootSeen_ = true;
}

void Canonicalizer::EndElement() {
    if (openNames_.empty())
        return;
    Put("</");
    Put(openNames_.back());
    Put(">");
    openNames_.pop_back();
    rendered_.resize(frames_.back());
    frames_.pop_back();
}

void Canonicalizer::Text(const char* text, std::size_t size) {
    if (!openNames_.empty())
        PutEscaped(std::string_view(text, size), false);
}

// Outside the document element, each comment and PI gets a line feed on the
// side that faces the document element.
void Canonicalizer::Around(bool before) {
    if (openNames_.empty() && rootSeen_ == before)
        Put("\n");
}

void Canonicalizer::Comment(const char* text) {
    if (!algorithm_.comments)
        return;
    Around(true);
    Put("<!--");
    Put(text);
    Put("-->");
    Around(false);
}

void Canonicalizer::ProcessingInstruction(const char* target, const char* data) {
    Around(true);
    Put("<?");
    Put(target);
    if (*data != '\0') {
        Put(" ");
        Put(data);
    }
    Put("?>");
    Around(false);
}

void Canonicalizer::PutEscaped(std::string_view text, bool attribute) {
    std::size_t start = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char* replacement = nullptr;
        switch (text[i]) {
        case '&':
            replacement = "&amp;";
            break;
        case '<':
            replacement = "&lt;";
            break;
        case '>':
            replacement = attribute ? nullptr : "&gt;";
            break;
        case '"':
            replacement = attribute ? "&quot;" : nullptr;
            break;
        case '\t':
            replacement = attribute ? "&#x9;" : nullptr;
            break;
        case '\n':
            replacement = attribute ? "&#xA;" : nullptr;
            break;
        case '\r':
            replacement = "&#xD;";
            break;
        default:
            break;
        }
        if (replacement == nullptr)
            continue;
        out_.Write(text.data() + start, i - start);
        Put(replacement);
        start = i + 1;
    }
    out_.Write(text.data() + start, text.size() - start);
}

} // namespace tolv::signature
