#pragma once
// The namespaces of XML-DSig and XAdES, and how their elements are told apart
// in the reader's events.

#include "signature/Canonicalizer.h"

#include <string_view>

namespace tolv::signature {

inline constexpr std::string_view kDsig = "http://www.w3.org/2000/09/xmldsig#";
// Every XAdES version's namespace (1.1.1 to 1.4.1) starts so.
inline constexpr std::string_view kXadesPrefix = "http://uri.etsi.org/01903/";

inline bool IsDsig(const QName& name, std::string_view local) {
    return name.uri == kDsig && name.local == local;
}

inline bool IsXades(const QName& name, std::string_view local) {
    return name.uri.substr(0, kXadesPrefix.size()) == kXadesPrefix && name.local == local;
}

// An attribute's value among expat's name, value, ..., nullptr; nullptr when absent.
inline const char* Attribute(const char** atts, std::string_view name) {
    for (const char** a = atts; *a != nullptr; a += 2)
        if (name == *a)
            return a[1];
    return nullptr;
}

} // namespace tolv::signature
