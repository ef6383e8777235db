#include "report/ReportParser.h"

#include "report/XmlErrorText.h"

#include <algorithm>
#include <cstring>
#include <exception>
#include <new>

namespace tolv::report {
namespace {

// Separates namespace name, local name and prefix in the names that expat
// reports. U+0001 cannot occur in an XML 1.0 document, not even as a reference.
constexpr XML_Char kSeparator = '\x01';

// A plain run shorter than this is not worth a separate call of the parser.
constexpr std::size_t kMinSkippedRun = 32;
constexpr std::size_t kMaxSlice = 1024 * 1024;

constexpr const char* kNotWellFormed = "Rapor dosyası geçerli bir XML belgesi değil: ";
constexpr const char* kCannotProcess = "Rapor dosyası işlenemedi: ";

// Candidates are direct children of the root whose qualified name, as written,
// begins with "ds:Object". The namespace bound to ds is not looked at.
bool IsCandidate(const XML_Char* name) {
    const char* first = std::strchr(name, kSeparator);
    if (first == nullptr)
        return false;
    const char* second = std::strchr(first + 1, kSeparator);
    if (second == nullptr)
        return false;
    return std::strcmp(second + 1, "ds") == 0 && second - (first + 1) >= 6 &&
           std::strncmp(first + 1, "Object", 6) == 0;
}

// Only the presence of an unprefixed "Encoding" counts, whatever its value.
bool HasEncoding(const XML_Char** atts) {
    for (; *atts != nullptr; atts += 2)
        if (std::strcmp(*atts, "Encoding") == 0)
            return true;
    return false;
}

} // namespace

ReportParser::ReportParser(PdfOutput& output, std::string name, Options options)
    : parser_(XML_ParserCreateNS(nullptr, kSeparator)), payload_(output, options.engine),
      name_(std::move(name)), options_(options), observer_(options.observer) {
    if (parser_ == nullptr)
        throw std::bad_alloc();
    XML_SetReturnNSTriplet(parser_, XML_TRUE);
    XML_SetUserData(parser_, this);
    XML_SetElementHandler(parser_, OnStart, OnEnd);
    XML_SetCharacterDataHandler(parser_, OnText);
    XML_SetCdataSectionHandler(parser_, OnCdataStart, OnCdataEnd);
    XML_SetStartDoctypeDeclHandler(parser_, OnDoctype);
    // Every other event goes here, so that the end of the last event always
    // tells how far the parser has got.
    XML_SetDefaultHandlerExpand(parser_, OnDefault);
    XML_SetUnknownEncodingHandler(parser_, UnknownEncodingHandler, &encoding_);
    // External entities and DTDs are never loaded: no external entity handler is
    // installed, and parameter entities are not parsed. expat's protection
    // against entity amplification stays at its defaults.
    XML_SetParamEntityParsing(parser_, XML_PARAM_ENTITY_PARSING_NEVER);
    if (observer_ != nullptr) {
        XML_SetStartNamespaceDeclHandler(parser_, OnNamespace);
        XML_SetCommentHandler(parser_, OnComment);
        XML_SetProcessingInstructionHandler(parser_, OnProcessingInstruction);
    }
}

ReportParser::~ReportParser() {
    XML_ParserFree(parser_);
}

// expat is C: nothing may be thrown through it. A failure inside a handler
// stops the parser, and Parse reports it once XML_Parse has returned.
template <class Handler> void ReportParser::Guarded(void* self, Handler handler) {
    auto* p = static_cast<ReportParser*>(self);
    if (p->aborted_)
        return;
    try {
        handler(*p);
    } catch (const std::bad_alloc&) {
        p->AbortAfterException("bellek yetersiz");
    } catch (const std::exception& e) {
        p->AbortAfterException(e.what());
    } catch (...) {
        p->AbortAfterException("bilinmeyen bir hata");
    }
}

void XMLCALL ReportParser::OnStart(void* self, const XML_Char* name, const XML_Char** atts) {
    Guarded(self, [&](ReportParser& p) { p.Start(name, atts); });
}

void XMLCALL ReportParser::OnEnd(void* self, const XML_Char*) {
    Guarded(self, [](ReportParser& p) { p.End(); });
}

void XMLCALL ReportParser::OnText(void* self, const XML_Char* text, int size) {
    Guarded(self, [&](ReportParser& p) {
        p.NoteEvent();
        if (p.activeDepth_ != 0)
            p.payload_.AddText(text, std::size_t(size));
        if (p.observer_ != nullptr)
            p.observer_->Text(text, std::size_t(size));
    });
}

void XMLCALL ReportParser::OnNamespace(void* self, const XML_Char* prefix, const XML_Char* uri) {
    Guarded(self, [&](ReportParser& p) {
        p.NoteEvent();
        p.observer_->Namespace(prefix != nullptr ? prefix : "", uri != nullptr ? uri : "");
    });
}

void XMLCALL ReportParser::OnComment(void* self, const XML_Char* text) {
    Guarded(self, [&](ReportParser& p) {
        p.NoteEvent();
        p.observer_->Comment(text);
    });
}

void XMLCALL ReportParser::OnProcessingInstruction(void* self, const XML_Char* target,
                                                   const XML_Char* data) {
    Guarded(self, [&](ReportParser& p) {
        p.NoteEvent();
        p.observer_->ProcessingInstruction(target, data);
    });
}

void XMLCALL ReportParser::OnCdataStart(void* self) {
    auto* p = static_cast<ReportParser*>(self);
    p->NoteEvent();
    p->inCdata_ = true;
}

void XMLCALL ReportParser::OnCdataEnd(void* self) {
    auto* p = static_cast<ReportParser*>(self);
    p->NoteEvent();
    p->inCdata_ = false;
}

void XMLCALL ReportParser::OnDoctype(void* self, const XML_Char*, const XML_Char*, const XML_Char*,
                                     int hasInternalSubset) {
    Guarded(self, [&](ReportParser& p) {
        p.NoteEvent();
        p.sawDoctype_ = true;
        if (p.observer_ != nullptr)
            p.observer_->Doctype(hasInternalSubset != 0);
    });
}

void XMLCALL ReportParser::OnDefault(void* self, const XML_Char*, int) {
    static_cast<ReportParser*>(self)->NoteEvent();
}

void ReportParser::NoteEvent() {
    if (XML_GetCurrentByteCount(parser_) == 0 && XML_GetCurrentByteIndex(parser_) < 0)
        return;
    std::uint64_t index = std::uint64_t(XML_GetCurrentByteIndex(parser_));
    if constexpr (sizeof(XML_Index) < 8) {
        // On Windows expat counts in 32 bits; the event lies within the data
        // handed over so far, so the high bits come from our own count.
        const std::uint32_t behind = std::uint32_t(feeding_) - std::uint32_t(index);
        index = feeding_ - behind;
    }
    const std::uint64_t end = index + std::uint64_t(XML_GetCurrentByteCount(parser_));
    lastEventEnd_ = std::max(lastEventEnd_, end);
}

void ReportParser::Start(const XML_Char* name, const XML_Char** atts) {
    NoteEvent();
    ++depth_;
    if (depth_ == 1) {
        // Only encodings in which every ASCII byte stands for itself may have
        // plain runs taken out of the parser's input; UTF-16 goes the plain way,
        // and so do those in which a run may begin inside a character.
        const bool utf16 = headSize_ == 2 && ((head_[0] == 0xFE && head_[1] == 0xFF) ||
                                              (head_[0] == 0xFF && head_[1] == 0xFE) ||
                                              head_[0] == 0 || head_[1] == 0);
        asciiCompatible_ = headSize_ == 2 && !utf16 && encoding_.plainRunsAreText;
    }
    if (depth_ > kMaxDepth) {
        Abort("öğeler çok derin iç içe geçmiş (en çok " + std::to_string(kMaxDepth) + " düzey)");
        return;
    }
    const auto tagBytes = std::uint32_t(XML_GetCurrentByteCount(parser_));
    openTagBytes_.push_back(tagBytes);
    openTagTotal_ += tagBytes;
    if (openTagTotal_ > kMaxOpenTagBytes) {
        Abort("açık öğelerin etiketleri çok büyük (toplam " +
              std::to_string(kMaxOpenTagBytes / (1024 * 1024)) + " MB sınırı aşıldı)");
        return;
    }
    ++ordinal_;
    if (depth_ == 2 && !found_ && IsCandidate(name) && HasEncoding(atts)) {
        activeDepth_ = depth_;
        activeOrdinal_ = ordinal_;
        payload_.Begin();
    }
    if (observer_ != nullptr)
        observer_->StartElement(name, atts);
}

void ReportParser::End() {
    NoteEvent();
    if (observer_ != nullptr)
        observer_->EndElement();
    if (activeDepth_ == depth_) {
        activeDepth_ = 0;
        if (payload_.End() == PayloadDecoder::Outcome::Written) {
            found_ = true;
            if (observer_ != nullptr)
                observer_->PayloadElement(activeOrdinal_);
        }
    }
    if (!openTagBytes_.empty()) {
        openTagTotal_ -= openTagBytes_.back();
        openTagBytes_.pop_back();
    }
    --depth_;
}

void ReportParser::Abort(std::string reason) {
    if (aborted_)
        return;
    aborted_ = true;
    abortReason_ = std::move(reason);
    abortLine_ = XML_GetCurrentLineNumber(parser_);
    abortColumn_ = XML_GetCurrentColumnNumber(parser_);
    XML_StopParser(parser_, XML_FALSE);
}

void ReportParser::AbortAfterException(const char* reason) noexcept {
    try {
        Abort(reason);
    } catch (...) {
        // No memory even for the reason: stop all the same, with an empty one.
        aborted_ = true;
        XML_StopParser(parser_, XML_FALSE);
    }
}

bool ReportParser::CanSkip() const {
    return asciiCompatible_ && depth_ >= 1 && !inCdata_ && !sawDoctype_ && !aborted_ &&
           lastEventEnd_ == fed_;
}

// Where the next call of the parser should stop: just before the next run of
// plain bytes long enough to be taken around it.
std::size_t ReportParser::NextParsePoint(const std::uint8_t* data, std::size_t pos,
                                         std::size_t size) const {
    const std::size_t limit = std::min(size, pos + kMaxSlice);
    if ((depth_ >= 1 && !asciiCompatible_) || sawDoctype_)
        return limit;
    std::size_t i = pos;
    if (IsPlainByte(data[i]))
        i += PlainRunLength(data + i, limit - i);
    std::size_t run = 0;
    for (; i < limit; ++i) {
        if (!IsPlainByte(data[i]))
            run = 0;
        else if (++run == kMinSkippedRun)
            return i + 1 - kMinSkippedRun;
    }
    return limit;
}

void ReportParser::Feed(const std::uint8_t* data, std::size_t size) {
    for (std::size_t i = 0; headSize_ < 2 && i < size; ++i)
        head_[headSize_++] = data[i];

    std::size_t pos = 0;
    while (pos < size) {
        if (CanSkip()) {
            std::size_t run = PlainRunLength(data + pos, size - pos);
            // An observer is given text with line ends made LF; a CR at the
            // end of a run may be the first half of a CR LF, so it is left to
            // the parser, which sees what follows.
            if (observer_ != nullptr && run > 0 && data[pos + run - 1] == '\r')
                --run;
            if (run > 0) {
                if (options_.skipPlainRuns)
                    Skip(data + pos, run);
                else
                    Parse(data + pos, run, false); // same pieces, for comparison
                pos += run;
                continue;
            }
        }
        const std::size_t next = NextParsePoint(data, pos, size);
        Parse(data + pos, next - pos, false);
        pos = next;
    }
}

bool ReportParser::Finish() {
    Parse(nullptr, 0, true);
    return found_;
}

void ReportParser::Parse(const std::uint8_t* data, std::size_t size, bool final) {
    feeding_ = fed_ + size;
    const XML_Status status = XML_Parse(parser_, reinterpret_cast<const char*>(data), int(size),
                                        final ? XML_TRUE : XML_FALSE);
    fed_ += size;
    if (status == XML_STATUS_ERROR) {
        payload_.Abandon();
        if (aborted_)
            Fail(kCannotProcess, abortReason_, abortLine_, abortColumn_);
        const XML_Error code = XML_GetErrorCode(parser_);
        FailAtParser(code == XML_ERROR_UNKNOWN_ENCODING && !encoding_.name.empty()
                         ? UnknownEncodingText(encoding_.name)
                         : XmlErrorText(code));
    }
    if (fed_ - lastEventEnd_ > kMaxTokenBytes) {
        payload_.Abandon();
        Fail(kCannotProcess,
             "tek bir etiket, yorum ya da bildirim çok büyük (" +
                 std::to_string(kMaxTokenBytes / (1024 * 1024)) + " MB sınırı aşıldı)",
             XML_GetCurrentLineNumber(parser_), XML_GetCurrentColumnNumber(parser_));
    }
}

void ReportParser::Skip(const std::uint8_t* data, std::size_t size) {
    if (!mapped_ || fedAtSkip_ != fed_) {
        // The parser has taken everything it was given, so its position is that
        // of the first skipped byte, in its own count of lines.
        const std::uint64_t line = XML_GetCurrentLineNumber(parser_);
        const std::uint64_t column = XML_GetCurrentColumnNumber(parser_);
        std::uint64_t trueLine = line, trueColumn = column;
        MapPosition(trueLine, trueColumn);
        truePosition_ = TextPosition{trueLine, trueColumn, false};
        parserLine_ = line;
        parserColumn_ = column;
        fedAtSkip_ = fed_;
        mapped_ = true;
    }
    if (observer_ != nullptr)
        ObservePlain(data, size);
    if (activeDepth_ != 0)
        payload_.AddRaw(data, size, truePosition_);
    else
        AdvanceOverPlain(data, size, truePosition_);
    skipped_ += size;
}

// Gives the observer a run as the parser would have: CR LF and a lone CR
// become LF. The run never ends with a CR (see Feed). One call for the run:
// Base64 text has a line end every few dozen bytes.
void ReportParser::ObservePlain(const std::uint8_t* data, std::size_t size) {
    const char* text = reinterpret_cast<const char*>(data);
    const char* end = text + size;
    const char* cr = static_cast<const char*>(std::memchr(text, '\r', size));
    if (cr == nullptr) {
        observer_->PlainText(text, size);
        return;
    }
    plainScratch_.resize(size);
    char* out = plainScratch_.data();
    while (cr != nullptr) {
        std::memcpy(out, text, std::size_t(cr - text));
        out += cr - text;
        if (cr + 1 < end && cr[1] == '\n') {
            text = cr + 1; // the LF is copied with what follows
        } else {
            *out++ = '\n';
            text = cr + 1;
        }
        cr = static_cast<const char*>(std::memchr(text, '\r', std::size_t(end - text)));
    }
    std::memcpy(out, text, std::size_t(end - text));
    out += end - text;
    observer_->PlainText(plainScratch_.data(), std::size_t(out - plainScratch_.data()));
}

// The parser counts lines and columns without the runs taken around it; this
// moves a position it reports after the last skip to the document's own.
void ReportParser::MapPosition(std::uint64_t& line, std::uint64_t& column) const {
    if (!mapped_)
        return;
    if (truePosition_.afterCr && fed_ == fedAtSkip_ && line == parserLine_ &&
        column == parserColumn_) {
        // The document ends with the CR that ended the taken-around text. The
        // parser holds such a CR back, waiting for a possible LF, so it never
        // counts that last line end; neither do we.
        line = truePosition_.line - 1;
        column = truePosition_.columnBeforeCr;
        return;
    }
    if (line == parserLine_) {
        column = truePosition_.column + (column - std::min(column, parserColumn_));
        line = truePosition_.line;
    } else if (line > parserLine_) {
        line = truePosition_.line + (line - parserLine_);
    }
}

void ReportParser::FailAtParser(const std::string& reason) {
    Fail(kNotWellFormed, reason, XML_GetCurrentLineNumber(parser_),
         XML_GetCurrentColumnNumber(parser_));
}

void ReportParser::Fail(const char* lead, const std::string& reason, std::uint64_t line,
                        std::uint64_t column) {
    MapPosition(line, column);
    throw ReportError(std::string(lead) + name_ + ", satır " + std::to_string(line) + ", sütun " +
                      std::to_string(column + 1) + ": " + reason);
}

} // namespace tolv::report
