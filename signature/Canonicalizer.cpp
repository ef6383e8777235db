#include "signature/Canonicalizer.h"

#include "report/XmlEvents.h"

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

void ByteSink::WriteLines(const char* data, std::size_t size) {
    report::ForEachLine(
        data, size,
        [](void* self, const char* piece, std::size_t n) {
            static_cast<ByteSink*>(self)->Write(piece, n);
        },
        this);
}

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

constexpr std::size_t kNone = std::size_t(-1);

void NamespaceScope::Push() {
    frames_.push_back(bindings_.size());
    for (Binding& binding : pending_) {
        const std::size_t index = bindings_.size();
        auto [it, added] = nearest_.try_emplace(binding.prefix, index);
        shadowed_.push_back(added ? kNone : it->second);
        it->second = index;
        bindings_.push_back(std::move(binding));
    }
    pending_.clear();
}

void NamespaceScope::Pop() {
    if (frames_.empty())
        return;
    for (std::size_t i = bindings_.size(); i-- > frames_.back();) {
        const auto it = nearest_.find(bindings_[i].prefix);
        if (shadowed_[i] == kNone)
            nearest_.erase(it);
        else
            it->second = shadowed_[i];
    }
    bindings_.resize(frames_.back());
    shadowed_.resize(frames_.back());
    frames_.pop_back();
}

const std::string* NamespaceScope::Find(std::string_view prefix) const {
    const auto it = nearest_.find(prefix);
    return it != nearest_.end() ? &bindings_[it->second].uri : nullptr;
}

const std::string* NamespaceScope::Lookup(std::string_view prefix) const {
    static const std::string kUnbound;
    const std::string* uri = Find(prefix);
    return uri == nullptr && prefix.empty() ? &kUnbound : uri;
}

std::span<const NamespaceScope::Binding> NamespaceScope::Declared() const {
    const std::size_t from = frames_.empty() ? 0 : frames_.back();
    return std::span<const Binding>(bindings_).subspan(from);
}

std::vector<NamespaceScope::Binding> NamespaceScope::InScope(bool parent) const {
    const std::size_t end = parent && !frames_.empty() ? frames_.back() : bindings_.size();
    std::vector<Binding> result;
    for (const auto& [prefix, nearest] : nearest_) {
        std::size_t i = nearest;
        while (i != kNone && i >= end)
            i = shadowed_[i];
        if (i != kNone)
            result.push_back(bindings_[i]);
    }
    return result;
}

Canonicalizer::Canonicalizer(C14nAlgorithm algorithm, ByteSink& out,
                             std::vector<std::string> inclusivePrefixes)
    : algorithm_(algorithm), out_(out), inclusivePrefixes_(std::move(inclusivePrefixes)) {
    for (std::string& prefix : inclusivePrefixes_)
        if (prefix == "#default")
            prefix.clear();
    std::sort(inclusivePrefixes_.begin(), inclusivePrefixes_.end());
    inclusivePrefixes_.erase(std::unique(inclusivePrefixes_.begin(), inclusivePrefixes_.end()),
                             inclusivePrefixes_.end());
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

bool Canonicalizer::Inclusive(std::string_view prefix) const {
    return std::binary_search(inclusivePrefixes_.begin(), inclusivePrefixes_.end(), prefix);
}

void Canonicalizer::StartElement(const char* name, const char** atts, const NamespaceScope& scope) {
    const bool apex = openNames_.empty();
    const QName element = SplitName(name);
    std::vector<Attribute> attributes;
    for (const char** a = atts; *a != nullptr; a += 2)
        attributes.push_back({SplitName(a[0]), a[1]});

    // Namespace nodes to output: those whose binding differs from what the
    // nearest output ancestor has rendered. Every lookup here is logarithmic
    // and their number follows the element's own markup, so an element costs
    // the same whatever the scope or the prefix list holds.
    std::vector<NamespaceScope::Binding> output;
    auto consider = [&](std::string_view prefix) {
        if (prefix == "xml")
            return;
        const std::string* uri = scope.Lookup(prefix);
        if (uri == nullptr)
            return;
        const std::string* rendered = rendered_.Find(prefix);
        // Where nothing was rendered, there is no default namespace to undo.
        if (rendered != nullptr ? *rendered == *uri : prefix.empty() && uri->empty())
            return;
        output.push_back({std::string(prefix), *uri});
    };
    if (algorithm_.method == C14nMethod::Exclusive) {
        consider(element.prefix);
        for (const Attribute& a : attributes)
            if (!a.name.prefix.empty())
                consider(a.name.prefix);
        // Below the apex every element is output, so a listed prefix can
        // differ from its rendering only where the element declares it.
        if (!inclusivePrefixes_.empty()) {
            auto listed = [&](const NamespaceScope::Binding& binding) {
                if (Inclusive(binding.prefix))
                    consider(binding.prefix);
            };
            if (apex)
                std::ranges::for_each(scope.InScope(), listed);
            else
                std::ranges::for_each(scope.Declared(), listed);
        }
    } else if (apex) {
        for (const auto& binding : scope.InScope())
            consider(binding.prefix);
    } else {
        for (const auto& binding : scope.Declared())
            consider(binding.prefix);
    }
    std::sort(output.begin(), output.end(),
              [](const auto& a, const auto& b) { return a.prefix < b.prefix; });
    output.erase(std::unique(output.begin(), output.end(),
                             [](const auto& a, const auto& b) { return a.prefix == b.prefix; }),
                 output.end());
    for (const auto& binding : output)
        rendered_.Declare(binding.prefix, binding.uri);
    rendered_.Push();

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
    if (apex && !inherited_.empty()) {
        std::vector<std::string_view> own;
        for (const Attribute& a : attributes)
            if (a.name.uri == kXmlNamespace)
                own.push_back(a.name.local);
        std::sort(own.begin(), own.end());
        for (const auto& [local, value] : inherited_)
            if (!std::binary_search(own.begin(), own.end(), std::string_view(local)))
                attributes.push_back({QName{kXmlNamespace, local, "xml"}, value});
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
    rendered_.Pop();
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
