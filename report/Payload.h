#pragma once
// Turns the text of a qualifying element into PDF bytes while the document is
// still being read: white space at the two ends is left out, line feeds are
// removed, everything else takes its place in the decoder's groups.

#include "report/Base64.h"
#include "report/Scan.h"

#include <cstddef>
#include <cstdint>
#include <memory>

namespace tolv::report {

// Where the decoded bytes of one element go. Open is called once per element,
// on its first decoded byte, and starts the file afresh; Close ends it.
class PdfOutput {
public:
    virtual ~PdfOutput() = default;
    virtual bool Open() = 0;
    virtual bool Write(const std::uint8_t* data, std::size_t size) = 0;
    virtual bool Close() = 0;
    // A qualifying element begins; it may or may not decode to anything.
    virtual void Begin() {}
    // false for an output that only asks whether the element decodes to
    // anything (the signature check's own read): decoding stops at the first
    // byte, and Open, Write and Close are not called. Fixed from Begin on.
    virtual bool NeedsBytes() const { return true; }
};

class PayloadDecoder {
public:
    enum class Outcome { Empty, Written, Failed };

    explicit PayloadDecoder(PdfOutput& output,
                            Base64Decoder::Engine engine = Base64Decoder::Engine::Auto);
    ~PayloadDecoder();
    PayloadDecoder(const PayloadDecoder&) = delete;
    PayloadDecoder& operator=(const PayloadDecoder&) = delete;

    void Begin();
    // Character data as the XML parser reports it: UTF-8, line ends already LF.
    void AddText(const char* text, std::size_t size);
    // Raw document bytes that are all plain (see IsPlainByte), in an
    // ASCII-compatible encoding. Every CR and LF among them is a line end of the
    // file, which the parser would have turned into LF, so all are removed.
    // position follows the bytes.
    void AddRaw(const std::uint8_t* data, std::size_t size, TextPosition& position);
    Outcome End();
    // Drops an element that cannot be finished (the document failed).
    void Abandon();

    bool Wanted() const { return active_ && !failed_ && !answered_; }

private:
    void PutBlanksIfInside();
    void Put(const std::uint8_t* data, std::size_t size);
    std::size_t TakeLines(const std::uint8_t* data, std::size_t size, TextPosition& position);
    void DecodeStaged(const std::uint8_t* data, std::size_t size);
    void FlushOutput();

    PdfOutput& output_;
    Base64Decoder decoder_;
    std::unique_ptr<std::uint8_t[]> staging_;
    std::size_t staged_ = 0;
    std::unique_ptr<std::uint8_t[]> out_;
    std::size_t outSize_ = 0;
    std::uint64_t pendingBlanks_ = 0;
    bool active_ = false;
    bool inside_ = false; // past the leading white space
    bool opened_ = false;
    bool failed_ = false;
    bool answered_ = false; // for an output that needs no bytes: something decoded
};

} // namespace tolv::report
