#pragma once
// What the parts of the signature check share as a read goes by: the first
// reason the check cannot be made, and where in the document the read stands.

#include "signature/Canonicalizer.h"
#include "signature/Verifier.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_set>
#include <utility>
#include <vector>

namespace tolv::signature {

// The first reason the check cannot be made. Later ones are dropped: the
// first is the one that explains the rest.
class Obstacle {
public:
    void Set(std::string reason, UnknownCause cause = UnknownCause::Structure,
             std::string_view name = {});
    void Method(const std::string& what, const std::string& name) {
        Set(what + ": " + name, UnknownCause::Method, name);
    }
    bool Found() const { return !reason_.empty(); }
    const std::string& Reason() const { return reason_; }
    UnknownCause Cause() const { return cause_; }
    const std::string& Name() const { return name_; }

private:
    std::string reason_;
    UnknownCause cause_ = UnknownCause::None;
    std::string name_;
};

// The open elements: depth, element ordinal, the namespaces and xml:
// attributes in scope, and every ID seen so far.
class DocumentContext {
public:
    void Namespace(const char* prefix, const char* uri) { scope_.Declare(prefix, uri); }
    // Returns the element's ID-typed attribute values.
    std::vector<const char*> StartElement(const char** atts, Obstacle& obstacle);
    void EndElement();

    int Depth() const { return depth_; }
    std::uint64_t Ordinal() const { return ordinal_; }
    const NamespaceScope& Scope() const { return scope_; }
    // The xml: attributes the current element inherits (local name, value;
    // the nearest first).
    std::vector<std::pair<std::string, std::string>> InheritedXml() const;
    bool Seen(const std::string& id) const { return ids_.count(id) != 0; }
    bool Repeated(const std::string& id) const { return duplicateIds_.count(id) != 0; }

private:
    int depth_ = 0;
    std::uint64_t ordinal_ = 0;
    NamespaceScope scope_;
    struct XmlAttribute {
        int depth;
        std::string local, value;
    };
    std::vector<XmlAttribute> xmlAttributes_;
    std::unordered_set<std::string> ids_;
    std::unordered_set<std::string> duplicateIds_;
};

} // namespace tolv::signature
