#include "signature/Verifier.h"

#include "report/Extraction.h"

#include "signature/DocumentContext.h"
#include "signature/Evaluation.h"
#include "signature/ReferenceDigests.h"
#include "signature/SignatureStructure.h"
#include "signature/UnsignedProperties.h"

#include <memory>

namespace tolv::signature {

// One read's consumers: where the read stands, the signature's own structure,
// the digests of its references, and what the signature carries beside what
// it signs. Where two of them find an obstacle in one event, the order below
// decides which one the user is told.
class Reading : public report::XmlObserver {
public:
    Reading() : structure_(obstacle_, context_), digests_(obstacle_, context_) {}
    // A second read digests every reference from its own bytes, as planned by
    // the SignedInfo of the first; its own SignedInfo must be the same.
    explicit Reading(const Reading* first)
        : structure_(obstacle_, context_, first->structure_), digests_(obstacle_, context_) {
        digests_.PlanSecondRead(structure_.SignedInfo().References());
    }

    void Doctype(bool) override { obstacle_.Set("raporda bir belge türü bildirimi (DOCTYPE) var"); }
    void Namespace(const char* prefix, const char* uri) override {
        context_.Namespace(prefix, uri);
        extra_.Namespace(prefix, uri);
    }
    void StartElement(const char* name, const char** atts) override;
    void EndElement() override;
    void Text(const char* text, std::size_t size) override {
        digests_.Text(text, size, false);
        structure_.Text(text, size, false);
        extra_.Text(text, size);
    }
    void PlainText(const char* text, std::size_t size) override {
        digests_.Text(text, size, true);
        structure_.Text(text, size, true);
        extra_.PlainText(text, size);
    }
    void Comment(const char* text) override {
        digests_.Comment(text);
        structure_.Comment(text);
    }
    void ProcessingInstruction(const char* target, const char* data) override {
        digests_.ProcessingInstruction(target, data);
        structure_.ProcessingInstruction(target, data);
    }
    void PayloadElement(std::uint64_t ordinal) override { payload_ = ordinal; }

    // After a read: true when a second read must digest what came before
    // SignedInfo (never after the second).
    bool EndPass() { return digests_.EndPass(); }
    // SignedInfo has been read: what follows can be digested in this read.
    bool SignedInfoRead() const { return structure_.SignedInfo().Read(); }
    void CannotCheck(std::string reason, UnknownCause cause) {
        obstacle_.Set(std::move(reason), cause);
    }
    SignatureReport Evaluate() {
        SignatureReport report =
            signature::Evaluate({obstacle_, context_, structure_, digests_, payload_});
        report.unsignedData = extra_.Take();
        return report;
    }

private:
    Obstacle obstacle_;
    DocumentContext context_;
    SignatureStructure structure_;
    ReferenceDigests digests_;
    UnsignedPropertiesReader extra_;
    std::uint64_t payload_ = 0;
};

void Reading::StartElement(const char* name, const char** atts) {
    const std::vector<const char*> ids = context_.StartElement(atts, obstacle_);
    if (obstacle_.Found())
        digests_.Stop();
    const QName qname = SplitName(name);
    structure_.Locate(qname); // before the digests, for an enveloped signature to be left out
    digests_.StartElement(name, atts, ids, structure_.Ordinal());
    structure_.StartElement(qname, atts);
    extra_.StartElement(name, atts);
}

void Reading::EndElement() {
    digests_.EndElement(structure_.Ordinal());
    if (structure_.EndElement())
        digests_.PlanFirstRead(structure_.SignedInfo().References());
    context_.EndElement();
    extra_.EndElement();
}

namespace {

bool IsRegularFile(const std::filesystem::path& path) {
    std::error_code error;
    return std::filesystem::is_regular_file(path, error);
}

// A report whose references need a second read: a pipe cannot give it.
void NoSecondRead(Reading& check) {
    check.CannotCheck("rapor, imzası için ikinci kez okunabilen bir dosya değil",
                      UnknownCause::Structure);
}

// Where a second read turns out necessary only after it: the first needed
// none, the second says otherwise, so the bytes changed in between.
void ChangedBetweenReads(Reading& check) {
    check.CannotCheck("rapor, imzası denetlenirken değişti", UnknownCause::ChangedWhileRead);
}

} // namespace

const char* StatusName(Status status) {
    switch (status) {
    case Status::Intact:
        return "intact";
    case Status::Altered:
        return "altered";
    case Status::Unknown:
        break;
    }
    return "unknown";
}

SignatureCheck::SignatureCheck() : check_(std::make_unique<Reading>()) {}
SignatureCheck::~SignatureCheck() = default;

report::XmlObserver& SignatureCheck::Observer() {
    return *check_;
}

bool SignatureCheck::NeedsSecondRead() {
    return check_->EndPass();
}

void SignatureCheck::BeginSecondRead() {
    first_ = std::move(check_);
    check_ = std::make_unique<Reading>(first_.get());
}

SignatureReport SignatureCheck::Result() {
    check_->EndPass();
    return check_->Evaluate();
}

SignatureReport CheckReport(const std::filesystem::path& report, const report::FileTaps& taps) {
    const bool regular = IsRegularFile(report);
    Reading first;
    report::ReadReport(report, first, taps);
    if (!first.EndPass())
        return first.Evaluate();
    if (!regular) {
        NoSecondRead(first);
        return first.Evaluate();
    }
    Reading second(&first);
    report::ReadReport(report, second, taps);
    second.EndPass();
    return second.Evaluate();
}

SignatureReport CheckReport(const std::filesystem::path& report) {
    return CheckReport(report, report::FileTaps{});
}

// What the viewer shows and what is digested come from one read. The first
// read decodes the PDF only when SignedInfo came before it, so that whatever
// covers the PDF is digested on the way (an enveloping signature). Otherwise
// (an enveloped one: the signature after what it signs) the first read only
// learns SignedInfo, and a second read writes the PDF and digests every
// reference from its own bytes; its SignedInfo must be the first's.
ViewResult WritePdfAndCheck(const std::filesystem::path& report, const std::filesystem::path& pdf,
                            const std::function<bool(const SignatureReport&)>& decide,
                            const report::FileTaps& taps) {
    const bool regular = IsRegularFile(report);
    ViewResult result;
    bool evaluated = false;
    const auto evaluate = [&](Reading& check) {
        result.signature = check.Evaluate();
        evaluated = true;
        return !decide || decide(result.signature);
    };

    Reading first;
    bool secondNeeded = false;
    report::ReadHooks hooks;
    hooks.observer = &first;
    // A pipe cannot be read again: its PDF is decoded now, whatever follows.
    hooks.decodePdf = [&] { return !regular || first.SignedInfoRead(); };
    hooks.beforeCommit = [&] {
        secondNeeded = first.EndPass();
        if (secondNeeded && regular)
            return false; // the second read writes it
        if (secondNeeded)
            NoSecondRead(first);
        return evaluate(first);
    };
    result.pdf = report::ExtractPdf(report, pdf, hooks, taps);
    if (evaluated)
        return result;
    secondNeeded = first.EndPass();
    const bool pdfLeft = result.pdf.outcome == report::PdfResult::Outcome::Skipped ||
                         result.pdf.outcome == report::PdfResult::Outcome::Declined;
    if (!secondNeeded && !pdfLeft) {
        result.signature = first.Evaluate();
        return result;
    }
    if (!regular) {
        NoSecondRead(first);
        result.signature = first.Evaluate();
        return result;
    }

    // Planned by the first read's SignedInfo, or, where the first read needed
    // no second one and only skipped the PDF, a check of its own.
    std::unique_ptr<Reading> second = secondNeeded ? std::make_unique<Reading>(&first)
                                                 : std::make_unique<Reading>();
    const auto finish = [&] {
        if (second->EndPass())
            ChangedBetweenReads(*second);
    };
    hooks = report::ReadHooks{};
    hooks.observer = second.get();
    hooks.beforeCommit = [&] {
        finish();
        return evaluate(*second);
    };
    result.pdf = report::ExtractPdf(report, pdf, hooks, taps);
    if (!evaluated) {
        finish();
        result.signature = second->Evaluate();
    }
    return result;
}

ViewResult WritePdfAndCheck(const std::filesystem::path& report, const std::filesystem::path& pdf,
                            const std::function<bool(const SignatureReport&)>& decide) {
    return WritePdfAndCheck(report, pdf, decide, report::FileTaps{});
}

} // namespace tolv::signature
