#include "signature/ReferenceDigests.h"

#include "signature/Algorithms.h"
#include "signature/HashSink.h"

#include <new>

namespace tolv::signature {
namespace {

// References digested at once: the work per event grows with them.
constexpr std::size_t kMaxDigestsAtOnce = 8;

// Decodes the text of a base64 transform into the digest as it streams by.
class Base64Stage {
public:
    explicit Base64Stage(ByteSink& out) : out_(out) {}
    // The viewer's decoder removes only line ends and takes every other blank
    // for a place in the text, where this decoding skips it: with a blank
    // inside the text the two decode differently, and the digest does not
    // speak for the PDF shown.
    bool BlanksInside() const { return inner_; }
    void PlainText(const char* text, std::size_t size) {
        plain_ = true; // a raw run's CRs are its line ends
        Text(text, size);
        plain_ = false;
    }
    void Text(const char* text, std::size_t size) {
        for (std::size_t i = 0; i < size; ++i) {
            const char c = text[i];
            if (c == '\n' || (plain_ && c == '\r'))
                continue;
            if (c == ' ' || c == '\t' || c == '\r') {
                blank_ = started_;
                continue;
            }
            started_ = true;
            inner_ = inner_ || blank_;
            blank_ = false;
            if (c == '=') {
                padded_ = true;
                continue;
            }
            const int value = Base64Digit(c);
            if (value < 0 || padded_) {
                bad_ = true;
                return;
            }
            group_ = (group_ << 6) | std::uint32_t(value);
            if (++count_ == 4) {
                const char bytes[3] = {char(group_ >> 16), char(group_ >> 8), char(group_)};
                out_.Write(bytes, 3);
                group_ = 0;
                count_ = 0;
            }
        }
    }
    bool Finish() {
        if (count_ == 2) {
            const char byte = char(group_ >> 4);
            out_.Write(&byte, 1);
        } else if (count_ == 3) {
            const char bytes[2] = {char(group_ >> 10), char(group_ >> 2)};
            out_.Write(bytes, 2);
        }
        return !bad_ && count_ != 1;
    }

private:
    ByteSink& out_;
    std::uint32_t group_ = 0;
    int count_ = 0;
    bool padded_ = false;
    bool bad_ = false;
    bool plain_ = false;
    bool started_ = false, blank_ = false, inner_ = false;
};

} // namespace

// One reference's digest, fed with the events of its element (or of the whole
// document) as they pass.
struct ReferenceDigests::Digester {
    std::size_t reference = 0;
    int apexDepth = 0; // 0: the whole document
    std::unique_ptr<HashSink> sink;
    std::unique_ptr<Canonicalizer> c14n;
    std::unique_ptr<Base64Stage> base64;
    int skipDepth = 0; // inside the signature an enveloped-signature transform takes out
};

ReferenceDigests::ReferenceDigests(Obstacle& obstacle, const DocumentContext& context)
    : obstacle_(obstacle), context_(context) {}

ReferenceDigests::~ReferenceDigests() = default;

void ReferenceDigests::PlanFirstRead(const std::vector<Reference>& references) {
    if (obstacle_.Found())
        return; // nothing will be digested
    references_ = references;
    digests_.assign(references_.size(), ReferenceDigest{});
    for (std::size_t i = 0; i < references_.size(); ++i) {
        const Reference& ref = references_[i];
        if (ref.wholeDocument || context_.Seen(ref.id))
            secondReadNeeded_ = true;
        else
            pendingIds_[ref.id].push_back(i);
    }
    // With a second read to come, that read digests everything: what the
    // viewer shows and what is checked then come from the same bytes.
    if (secondReadNeeded_)
        pendingIds_.clear();
}

void ReferenceDigests::PlanSecondRead(const std::vector<Reference>& references) {
    secondRead_ = true;
    references_ = references;
    digests_.assign(references_.size(), ReferenceDigest{});
    for (std::size_t i = 0; i < references_.size(); ++i) {
        if (references_[i].wholeDocument)
            Start(i, nullptr, nullptr);
        else
            pendingIds_[references_[i].id].push_back(i);
    }
}

void ReferenceDigests::Stop() {
    digesters_.clear();
}

template <class F> void ReferenceDigests::ForDigesters(F f) {
    for (auto& digester : digesters_) {
        try {
            f(*digester);
        } catch (const Unsupported& e) {
            obstacle_.Method("desteklenmeyen kurallı biçimleme", e.what());
            digester->c14n.reset();
        }
    }
}

void ReferenceDigests::StartElement(const char* name, const char** atts,
                                    const std::vector<const char*>& ids,
                                    std::uint64_t signatureOrdinal) {
    // Digests already under way see the element first.
    ForDigesters([&](Digester& d) {
        if (d.skipDepth > 0) {
            ++d.skipDepth;
            return;
        }
        if (references_[d.reference].enveloped && context_.Ordinal() == signatureOrdinal) {
            d.skipDepth = 1;
            return;
        }
        if (d.c14n)
            d.c14n->StartElement(name, atts, context_.Scope());
    });
    for (const char* id : ids) {
        const auto pending = pendingIds_.find(id);
        if (pending == pendingIds_.end() || obstacle_.Found())
            continue;
        const std::vector<std::size_t> waiting = std::move(pending->second);
        pendingIds_.erase(pending);
        for (const std::size_t reference : waiting)
            Start(reference, name, atts);
    }
}

void ReferenceDigests::EndElement(std::uint64_t signatureOrdinal) {
    ForDigesters([&](Digester& d) {
        if (d.skipDepth > 0) {
            if (--d.skipDepth == 0) {
                digests_[d.reference].excludedFirst = signatureOrdinal;
                digests_[d.reference].excludedLast = context_.Ordinal();
            }
            return;
        }
        if (d.c14n)
            d.c14n->EndElement();
    });
    for (auto it = digesters_.begin(); it != digesters_.end();) {
        if ((*it)->apexDepth == context_.Depth()) {
            Finish(**it);
            it = digesters_.erase(it);
        } else {
            ++it;
        }
    }
}

void ReferenceDigests::Text(const char* text, std::size_t size, bool plain) {
    ForDigesters([&](Digester& d) {
        if (d.skipDepth > 0)
            return;
        if (d.base64 && plain)
            d.base64->PlainText(text, size);
        else if (d.base64)
            d.base64->Text(text, size);
        else if (d.c14n && plain)
            d.c14n->PlainText(text, size);
        else if (d.c14n)
            d.c14n->Text(text, size);
    });
}

void ReferenceDigests::Comment(const char* text) {
    // Only a canonicalization that keeps comments writes them.
    ForDigesters([&](Digester& d) {
        if (d.skipDepth == 0 && d.c14n)
            d.c14n->Comment(text);
    });
}

void ReferenceDigests::ProcessingInstruction(const char* target, const char* data) {
    ForDigesters([&](Digester& d) {
        if (d.skipDepth == 0 && d.c14n)
            d.c14n->ProcessingInstruction(target, data);
    });
}

void ReferenceDigests::Start(std::size_t reference, const char* name, const char** atts) {
    const Reference& ref = references_[reference];
    if (digesters_.size() >= kMaxDigestsAtOnce) {
        obstacle_.Set("imzada aynı anda özetlenecek çok fazla başvuru var");
        return;
    }
    auto d = std::make_unique<Digester>();
    d->reference = reference;
    d->apexDepth = ref.wholeDocument ? 0 : context_.Depth();
    try {
        d->sink = std::make_unique<HashSink>(ref.hash);
    } catch (const std::bad_alloc&) {
        throw;
    } catch (const std::exception&) {
        // Windows' CNG has no SHA-224, for one.
        obstacle_.Set(std::string("bu sistem ") + HashName(ref.hash) + " özetini hesaplayamıyor",
                      UnknownCause::Method, HashName(ref.hash));
        return;
    }
    if (ref.base64) {
        d->base64 = std::make_unique<Base64Stage>(*d->sink);
    } else {
        d->c14n = std::make_unique<Canonicalizer>(ref.c14n, *d->sink, ref.prefixes);
        if (!ref.wholeDocument) {
            try {
                d->c14n->Inherit(context_.InheritedXml());
                d->c14n->StartElement(name, atts, context_.Scope());
            } catch (const Unsupported& e) {
                obstacle_.Method("desteklenmeyen kurallı biçimleme", e.what());
                return;
            }
        }
    }
    digests_[reference].firstOrdinal = ref.wholeDocument ? 0 : context_.Ordinal();
    digesters_.push_back(std::move(d));
}

void ReferenceDigests::Finish(Digester& d) {
    const Reference& ref = references_[d.reference];
    if (d.base64 && !d.base64->Finish()) {
        obstacle_.Set("base64 dönüşümündeki metin geçerli Base64 değil (" + ref.uri + ")");
        return;
    }
    ReferenceDigest& digest = digests_[d.reference];
    digest.actual = d.sink->Finish();
    digest.lastOrdinal = context_.Ordinal();
    digest.decodesAsShown = !d.base64 || !d.base64->BlanksInside();
}

bool ReferenceDigests::EndPass() {
    for (auto& d : digesters_)
        Finish(*d); // the whole document's
    digesters_.clear();
    return !secondRead_ && !obstacle_.Found() && secondReadNeeded_;
}

const ReferenceDigest& ReferenceDigests::Digest(std::size_t reference) const {
    // A reference read from a SignedInfo that never ended was never planned.
    static const ReferenceDigest none;
    return reference < digests_.size() ? digests_[reference] : none;
}

} // namespace tolv::signature
