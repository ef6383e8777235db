#pragma once
// The digests of a signature's references, made as the document streams by:
// each reference's element (or the whole document) goes through its
// canonicalization or base64 decoding into its hash, and what each digest
// covered is kept as element ordinals.

#include "signature/DocumentContext.h"
#include "signature/SignedInfo.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

namespace tolv::signature {

// One reference's digest and what it covered, by element ordinals.
struct ReferenceDigest {
    std::optional<Bytes> actual;
    std::uint64_t firstOrdinal = 0, lastOrdinal = 0;
    // The signature an enveloped-signature transform took out of it.
    std::uint64_t excludedFirst = 0, excludedLast = 0;
    bool decodesAsShown = true;
};

class ReferenceDigests {
public:
    ReferenceDigests(Obstacle& obstacle, const DocumentContext& context);
    ~ReferenceDigests();
    ReferenceDigests(const ReferenceDigests&) = delete;
    ReferenceDigests& operator=(const ReferenceDigests&) = delete;

    // A first read, when SignedInfo has just been read: the references whose
    // elements are still to come are digested in this read, unless one needs
    // what came before, in which case a second read digests them all.
    void PlanFirstRead(const std::vector<Reference>& references);
    // A second read digests every reference from its own bytes.
    void PlanSecondRead(const std::vector<Reference>& references);
    // The answer is known: nothing more to digest.
    void Stop();

    // signatureOrdinal: where the report's signature starts (0: not yet), for
    // an enveloped-signature transform to leave it out.
    void StartElement(const char* name, const char** atts, const std::vector<const char*>& ids,
                      std::uint64_t signatureOrdinal);
    void EndElement(std::uint64_t signatureOrdinal);
    void Text(const char* text, std::size_t size, bool plain);
    void Comment(const char* text);
    void ProcessingInstruction(const char* target, const char* data);

    // After a read: finishes the whole document's digests; true when a second
    // read must digest what came before SignedInfo (never after the second).
    bool EndPass();
    // Of the reference at this place in SignedInfo.
    const ReferenceDigest& Digest(std::size_t reference) const;

private:
    struct Digester;
    void Start(std::size_t reference, const char* name, const char** atts);
    void Finish(Digester& digester);
    template <class F> void ForDigesters(F f);

    Obstacle& obstacle_;
    const DocumentContext& context_;
    std::vector<Reference> references_;
    std::vector<ReferenceDigest> digests_;
    bool secondRead_ = false;
    bool secondReadNeeded_ = false;
    std::unordered_map<std::string, std::vector<std::size_t>> pendingIds_;
    std::vector<std::unique_ptr<Digester>> digesters_;
};

} // namespace tolv::signature
