#include "report/Payload.h"

#include <algorithm>
#include <cstring>

namespace tolv::report {
namespace {

constexpr std::size_t kStagingSize = 64 * 1024;
constexpr std::size_t kOutputSize = 256 * 1024;
constexpr std::size_t kOutputCapacity = kOutputSize + Base64Decoder::OutputBound(kStagingSize);

// Any byte outside the alphabet will do for a character that only takes a place.
constexpr std::uint8_t kBlank = ' ';
constexpr std::uint8_t kNonAscii = 0x80;

} // namespace

PayloadDecoder::PayloadDecoder(PdfOutput& output, Base64Decoder::Engine engine)
    : output_(output), decoder_(engine), staging_(new std::uint8_t[kStagingSize]),
      out_(new std::uint8_t[kOutputCapacity]) {}

PayloadDecoder::~PayloadDecoder() {
    Abandon();
}

void PayloadDecoder::Begin() {
    output_.Begin();
    decoder_.Reset();
    staged_ = 0;
    outSize_ = 0;
    pendingBlanks_ = 0;
    active_ = true;
    inside_ = false;
    opened_ = false;
    failed_ = false;
    answered_ = false;
}

// White space is held back until something else follows it: only then is it
// inside the text rather than at its end. Blanks only take places, so a count
// is all that needs keeping, however long the run.
void PayloadDecoder::PutBlanksIfInside() {
    static const std::uint8_t blanks[256] = {};
    while (pendingBlanks_ > 0) {
        const std::size_t n = std::size_t(std::min<std::uint64_t>(pendingBlanks_, sizeof blanks));
        Put(blanks, n);
        pendingBlanks_ -= n;
    }
}

void PayloadDecoder::AddText(const char* text, std::size_t size) {
    if (!Wanted())
        return;
    const auto* p = reinterpret_cast<const std::uint8_t*>(text);
    const auto* const end = p + size;
    while (p < end) {
        const std::uint8_t* special = FindBlankOrControl(p, end);
        if (special > p) {
            PutBlanksIfInside();
            inside_ = true;
            Put(p, std::size_t(special - p));
        }
        if (special == end)
            break;
        const std::uint8_t c = *special;
        p = special + 1;
        if (c == '\n')
            continue;
        if (c == ' ' || c == '\t' || c == '\r') {
            if (inside_)
                ++pendingBlanks_;
            continue;
        }
        if (c >= 0x80 && c < 0xC0)
            continue; // continuation byte: the character has its place already
        PutBlanksIfInside();
        inside_ = true;
        const std::uint8_t place = c >= 0x80 ? kNonAscii : c;
        Put(&place, 1);
    }
}

void PayloadDecoder::AddRaw(const std::uint8_t* data, std::size_t size, TextPosition& position) {
    if (!Wanted()) {
        AdvanceOverPlain(data, size, position);
        return;
    }
    const std::uint8_t* const end = data + size;
    while (data < end) {
        if (pendingBlanks_ == 0 && end - data >= 64) {
            const std::size_t taken = TakeLines(data, std::size_t(end - data), position);
            data += taken;
            if (taken > 0)
                continue;
        }
        const std::uint8_t* blank = FindBlankOrControl(data, end);
        if (blank > data) {
            PutBlanksIfInside();
            inside_ = true;
            Put(data, std::size_t(blank - data));
            position.Advance(std::uint64_t(blank - data));
        }
        if (blank == end)
            break;
        switch (*blank) {
        case '\r':
            position.Cr();
            break;
        case '\n':
            position.Lf();
            break;
        default:
            position.Advance(1);
            if (inside_)
                ++pendingBlanks_;
        }
        data = blank + 1;
    }
}

// Lines without blanks go to the staging buffer in one step, their line ends
// left out; a blank (with what follows it) takes the way through Put.
std::size_t PayloadDecoder::TakeLines(const std::uint8_t* data, std::size_t size,
                                      TextPosition& position) {
    if (kStagingSize - staged_ < 64) {
        DecodeStaged(staging_.get(), staged_);
        staged_ = 0;
    }
    std::size_t stored = 0;
    const std::size_t taken = CopyTextOfLines(data, std::min(size, kStagingSize - staged_),
                                              staging_.get() + staged_, stored, position);
    staged_ += stored;
    if (stored > 0)
        inside_ = true;
    return taken;
}

void PayloadDecoder::Put(const std::uint8_t* data, std::size_t size) {
    while (size > 0) {
        if (staged_ == 0 && size >= kStagingSize) {
            DecodeStaged(data, kStagingSize);
            data += kStagingSize;
            size -= kStagingSize;
            continue;
        }
        const std::size_t n = std::min(size, kStagingSize - staged_);
        std::memcpy(staging_.get() + staged_, data, n);
        staged_ += n;
        data += n;
        size -= n;
        if (staged_ == kStagingSize) {
            DecodeStaged(staging_.get(), staged_);
            staged_ = 0;
        }
    }
}

void PayloadDecoder::DecodeStaged(const std::uint8_t* data, std::size_t size) {
    if (failed_)
        return;
    outSize_ += decoder_.Decode(data, size, out_.get() + outSize_);
    if (!output_.NeedsBytes()) {
        answered_ = decoder_.Produced() > 0;
        outSize_ = 0;
        return;
    }
    if (outSize_ >= kOutputSize)
        FlushOutput();
}

void PayloadDecoder::FlushOutput() {
    if (outSize_ == 0 || failed_) {
        outSize_ = 0;
        return;
    }
    if (!opened_) {
        opened_ = true;
        if (!output_.Open()) {
            failed_ = true;
            opened_ = false;
            outSize_ = 0;
            return;
        }
    }
    if (!output_.Write(out_.get(), outSize_))
        failed_ = true;
    outSize_ = 0;
}

PayloadDecoder::Outcome PayloadDecoder::End() {
    if (!active_)
        return Outcome::Empty;
    pendingBlanks_ = 0; // trailing white space is not part of the text
    if (staged_ > 0 && !answered_)
        DecodeStaged(staging_.get(), staged_);
    staged_ = 0;
    if (!failed_ && !answered_)
        outSize_ += decoder_.Finish(out_.get() + outSize_);
    if (!output_.NeedsBytes())
        outSize_ = 0;
    FlushOutput();
    active_ = false;
    bool ok = !failed_;
    if (opened_) {
        opened_ = false;
        ok = output_.Close() && ok;
    }
    if (decoder_.Produced() == 0)
        return Outcome::Empty;
    return ok ? Outcome::Written : Outcome::Failed;
}

void PayloadDecoder::Abandon() {
    if (opened_)
        output_.Close();
    opened_ = false;
    active_ = false;
}

} // namespace tolv::report
