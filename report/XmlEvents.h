#pragma once
// What the reader's single pass over a report tells a second consumer (the
// signature check) besides finding the PDF. Names are expat's triplets:
// "namespace\x01local\x01prefix", "namespace\x01local" for an unprefixed name
// in a default namespace, "local" for a name in no namespace.

#include <cstddef>
#include <cstdint>

namespace tolv::report {

class XmlObserver {
public:
    virtual ~XmlObserver() = default;
    // A DOCTYPE, before the root.
    virtual void Doctype(bool hasInternalSubset) = 0;
    // One call per namespace declaration of the next element, before its
    // StartElement. prefix is "" for the default namespace, uri "" for xmlns="".
    virtual void Namespace(const char* prefix, const char* uri) = 0;
    // atts: name, value, name, value..., nullptr; values are normalised as XML
    // says (no DTD: every attribute is CDATA).
    virtual void StartElement(const char* name, const char** atts) = 0;
    virtual void EndElement() = 0;
    // Character data in UTF-8, line ends already LF; CDATA sections come as text.
    virtual void Text(const char* text, std::size_t size) = 0;
    // Text known to hold only Base64 letters, '=' and white space (no CR: line
    // ends are LF already), taken around the parser on the fast path.
    virtual void PlainText(const char* text, std::size_t size) { Text(text, size); }
    virtual void Comment(const char* text) = 0;
    virtual void ProcessingInstruction(const char* target, const char* data) = 0;
    // The element the PDF was taken from, by its place in document order: the
    // n-th StartElement, counted from 1. Called once, when it is known.
    virtual void PayloadElement(std::uint64_t ordinal) = 0;
};

} // namespace tolv::report
