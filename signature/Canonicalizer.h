#pragma once
// Canonical XML (1.0, 1.1 and exclusive, with or without comments) as a stage
// of a stream: the reader's events go in, canonical UTF-8 bytes go out to a
// sink as they come; nothing of the document is kept beyond the namespaces and
// xml: attributes of the open elements.

#include <cstddef>
#include <map>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace tolv::signature {

class ByteSink {
public:
    virtual ~ByteSink() = default;
    virtual void Write(const char* data, std::size_t size) = 0;
    // The same with CR LF and a lone CR written as LF.
    virtual void WriteLines(const char* data, std::size_t size);
};

class StringSink : public ByteSink {
public:
    void Write(const char* data, std::size_t size) override { text.append(data, size); }
    std::string text;
};

// Something the canonicalizer cannot do faithfully (and so must not guess).
class Unsupported : public std::runtime_error {
    using std::runtime_error::runtime_error;
};

enum class C14nMethod { Inclusive10, Inclusive11, Exclusive };

struct C14nAlgorithm {
    C14nMethod method = C14nMethod::Inclusive10;
    bool comments = false;
};

std::optional<C14nAlgorithm> C14nFromUri(std::string_view uri);
// "c14n", "c14n11", "exc-c14n", with "-comments" after it where they are kept.
std::string C14nName(const C14nAlgorithm& algorithm);

// A name as expat reports it with triplets, split.
struct QName {
    std::string_view uri;
    std::string_view local;
    std::string_view prefix;
};
QName SplitName(const char* name);

constexpr std::string_view kXmlNamespace = "http://www.w3.org/XML/1998/namespace";

// The namespaces in scope at each open element of the document. A lookup
// costs the logarithm of the prefixes in scope, not their number: a report
// chooses how many it declares, and every element looks some up. An ordered
// map rather than a hash, so that no choice of prefixes makes lookups slow.
class NamespaceScope {
public:
    struct Binding {
        std::string prefix; // "" for the default namespace
        std::string uri;    // "" where xmlns="" undeclares the default
    };
    // Declarations of the element that starts next.
    void Declare(std::string prefix, std::string uri) { pending_.push_back({std::move(prefix), std::move(uri)}); }
    void Push();
    void Pop();
    // The URI a prefix is bound to at the top element; nullptr when it is not
    // bound (the default namespace unbound reads as "").
    const std::string* Lookup(std::string_view prefix) const;
    // The same, but nullptr for the default namespace too when nothing binds it.
    const std::string* Find(std::string_view prefix) const;
    std::size_t Size() const { return bindings_.size() + pending_.size(); }
    // What the top element declared itself.
    std::span<const Binding> Declared() const;
    // Every binding in scope at the top element (or at its parent), the
    // nearest for each prefix.
    std::vector<Binding> InScope(bool parent = false) const;

private:
    std::vector<Binding> bindings_;
    std::vector<std::size_t> shadowed_; // of each binding: the one it hides, or npos
    std::map<std::string, std::size_t, std::less<>> nearest_;
    std::vector<std::size_t> frames_;
    std::vector<Binding> pending_;
};

class Canonicalizer {
public:
    // inclusivePrefixes: the exclusive method's InclusiveNamespaces PrefixList
    // ("#default" for the default namespace), repeats allowed.
    Canonicalizer(C14nAlgorithm algorithm, ByteSink& out,
                  std::vector<std::string> inclusivePrefixes = {});

    // For a document subset: the xml: attributes its apex inherits from
    // ancestors outside the subset (local name, value; the nearest first).
    void Inherit(std::vector<std::pair<std::string, std::string>> xmlAttributes);

    // scope already holds the element's own declarations (pushed).
    void StartElement(const char* name, const char** atts, const NamespaceScope& scope);
    void EndElement();
    void Text(const char* text, std::size_t size);
    // Text without markup characters, as XmlObserver::PlainText has it.
    void PlainText(const char* text, std::size_t size) {
        if (!openNames_.empty())
            out_.WriteLines(text, size);
    }
    void Comment(const char* text);
    void ProcessingInstruction(const char* target, const char* data);

private:
    void Put(std::string_view text) { out_.Write(text.data(), text.size()); }
    void PutEscaped(std::string_view text, bool attribute);
    bool Inclusive(std::string_view prefix) const;
    void Around(bool before);

    C14nAlgorithm algorithm_;
    ByteSink& out_;
    std::vector<std::string> inclusivePrefixes_; // sorted, no repeats
    std::vector<std::pair<std::string, std::string>> inherited_;
    // The namespaces output on the open elements.
    NamespaceScope rendered_;
    std::vector<std::string> openNames_; // qualified names, for the end tags
    bool rootSeen_ = false;
};

} // namespace tolv::signature
