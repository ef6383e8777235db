#include "signature/DocumentContext.h"

#include "signature/Algorithms.h"

namespace tolv::signature {
namespace {

constexpr std::size_t kMaxIds = 10000;
// Namespace declarations and xml: attributes in scope: what is kept for the
// open elements grows with them.
constexpr std::size_t kMaxNamespaces = 1024;
constexpr std::size_t kMaxXmlAttributes = 256;

// The ID-typed attributes a report may use, without a DTD to say so.
std::vector<const char*> IdsOf(const char** atts) {
    std::vector<const char*> ids;
    for (const char** a = atts; *a != nullptr; a += 2) {
        const QName name = SplitName(a[0]);
        if ((name.uri.empty() &&
             (name.local == "Id" || name.local == "ID" || name.local == "id")) ||
            (name.uri == kXmlNamespace && name.local == "id"))
            ids.push_back(a[1]);
    }
    return ids;
}

} // namespace

void Obstacle::Set(std::string reason, UnknownCause cause, std::string_view name) {
    if (Found())
        return;
    reason_ = std::move(reason);
    cause_ = cause;
    name_ = ShortName(name);
}

std::vector<const char*> DocumentContext::StartElement(const char** atts, Obstacle& obstacle) {
    ++depth_;
    ++ordinal_;
    scope_.Push();
    for (const char** a = atts; *a != nullptr; a += 2) {
        const QName attribute = SplitName(a[0]);
        if (attribute.uri == kXmlNamespace)
            xmlAttributes_.push_back({depth_, std::string(attribute.local), a[1]});
    }

    std::vector<const char*> ids = IdsOf(atts);
    for (const char* id : ids) {
        // A value used twice matters only where a reference names it.
        if (!ids_.insert(id).second && duplicateIds_.size() < kMaxIds)
            duplicateIds_.insert(id);
        else if (ids_.size() > kMaxIds)
            obstacle.Set("raporda çok fazla kimlikli öğe var");
    }
    if (scope_.Size() > kMaxNamespaces)
        obstacle.Set("raporda çok fazla ad alanı bildirimi var");
    if (xmlAttributes_.size() > kMaxXmlAttributes)
        obstacle.Set("raporda çok fazla xml: özniteliği var");
    return ids;
}

void DocumentContext::EndElement() {
    while (!xmlAttributes_.empty() && xmlAttributes_.back().depth == depth_)
        xmlAttributes_.pop_back();
    scope_.Pop();
    --depth_;
}

std::vector<std::pair<std::string, std::string>> DocumentContext::InheritedXml() const {
    std::vector<std::pair<std::string, std::string>> inherited;
    for (auto it = xmlAttributes_.rbegin(); it != xmlAttributes_.rend(); ++it)
        if (it->depth < depth_)
            inherited.emplace_back(it->local, it->value);
    return inherited;
}

} // namespace tolv::signature
