#pragma once
// The reader's engine: takes the report's bytes in pieces of any size, finds the
// qualifying element and streams its decoded text to a PdfOutput.

#include "report/Encodings.h"
#include "report/Payload.h"
#include "report/ReportReader.h"
#include "report/Scan.h"
#include "report/XmlEvents.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include <expat.h>

namespace tolv::report {

class ReportParser {
public:
    struct Options {
        Base64Decoder::Engine engine = Base64Decoder::Engine::Auto;
        // Lets plain runs bypass the XML tokenizer (see Feed). When false, the
        // same runs are handed to the parser in the same pieces instead: the
        // results must not differ, not even in the positions of errors.
        bool skipPlainRuns = true;
        // Sees every event of the document, in order, as the parser reads it.
        XmlObserver* observer = nullptr;
    };

    // name is what error descriptions call the report (its path).
    ReportParser(PdfOutput& output, std::string name, Options options);
    ReportParser(PdfOutput& output, std::string name) : ReportParser(output, name, Options{}) {}
    ~ReportParser();
    ReportParser(const ReportParser&) = delete;
    ReportParser& operator=(const ReportParser&) = delete;

    // Both throw ReportError.
    void Feed(const std::uint8_t* data, std::size_t size);
    // true when an element's PDF was written.
    bool Finish();

    // Bytes that went around the tokenizer; for tests and the benchmark.
    std::uint64_t SkippedBytes() const { return skipped_; }

    // Nesting and size limits against hostile documents.
    static constexpr int kMaxDepth = 1024;
    static constexpr std::uint64_t kMaxOpenTagBytes = 4 * 1024 * 1024;
    static constexpr std::uint64_t kMaxTokenBytes = 8 * 1024 * 1024;

private:
    static void XMLCALL OnStart(void* self, const XML_Char* name, const XML_Char** atts);
    static void XMLCALL OnEnd(void* self, const XML_Char* name);
    static void XMLCALL OnText(void* self, const XML_Char* text, int size);
    static void XMLCALL OnCdataStart(void* self);
    static void XMLCALL OnCdataEnd(void* self);
    static void XMLCALL OnDoctype(void* self, const XML_Char*, const XML_Char*, const XML_Char*,
                                  int hasInternalSubset);
    static void XMLCALL OnNamespace(void* self, const XML_Char* prefix, const XML_Char* uri);
    static void XMLCALL OnComment(void* self, const XML_Char* text);
    static void XMLCALL OnProcessingInstruction(void* self, const XML_Char* target,
                                                const XML_Char* data);
    static void XMLCALL OnDefault(void* self, const XML_Char*, int);
    template <class Handler> static void Guarded(void* self, Handler handler);

    void Start(const XML_Char* name, const XML_Char** atts);
    void End();
    void NoteEvent();
    void Abort(std::string reason);
    void AbortAfterException(const char* reason) noexcept;
    bool CanSkip() const;
    std::size_t NextParsePoint(const std::uint8_t* data, std::size_t pos, std::size_t size) const;
    void Parse(const std::uint8_t* data, std::size_t size, bool final);
    void Skip(const std::uint8_t* data, std::size_t size);
    void ObservePlain(const std::uint8_t* data, std::size_t size);
    void MapPosition(std::uint64_t& line, std::uint64_t& column) const;
    [[noreturn]] void Fail(const char* lead, const std::string& reason, std::uint64_t line,
                           std::uint64_t column);
    [[noreturn]] void FailAtParser(const std::string& reason);

    XML_Parser parser_;
    PayloadDecoder payload_;
    std::string name_;
    Options options_;
    DeclaredEncoding encoding_;

    // What the parser has been given, and where its last reported event ended.
    std::uint64_t fed_ = 0;
    std::uint64_t feeding_ = 0; // fed_ plus the piece the parser is working on
    std::uint64_t lastEventEnd_ = 0;
    std::uint64_t skipped_ = 0;
    std::uint8_t head_[2] = {};
    std::size_t headSize_ = 0;
    bool asciiCompatible_ = false;
    bool sawDoctype_ = false;
    bool inCdata_ = false;

    int depth_ = 0;
    std::vector<std::uint32_t> openTagBytes_;
    std::uint64_t openTagTotal_ = 0;
    int activeDepth_ = 0;
    bool found_ = false;
    XmlObserver* observer_ = nullptr;
    std::uint64_t ordinal_ = 0;       // StartElement events so far
    std::uint64_t activeOrdinal_ = 0; // that of the element being decoded
    std::vector<char> plainScratch_;  // a plain run with its line ends made LF

    // Line and column mapping past skipped runs: the parser's position at the
    // last skip and the document's true position after it.
    bool mapped_ = false;
    std::uint64_t parserLine_ = 0, parserColumn_ = 0;
    std::uint64_t fedAtSkip_ = 0;
    TextPosition truePosition_;

    bool aborted_ = false;
    std::string abortReason_;
    std::uint64_t abortLine_ = 0, abortColumn_ = 0;
};

} // namespace tolv::report
