#include "tools/ProgressLine.h"

#include "tools/ErrorLine.h"

namespace tolv::tools {

namespace {

// A faster line only flickers, and every write of it costs the terminal.
constexpr double kInterval = 0.25;

// UTF-8 characters, each one column wide in the texts written here.
std::size_t Columns(const std::string& text) {
    std::size_t n = 0;
    for (const char c : text)
        n += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    return n;
}

std::string Padded(std::string text, std::size_t width) {
    const std::size_t columns = Columns(text);
    if (columns < width)
        text.append(width - columns, ' ');
    return text;
}

} // namespace

void ProgressLine::Show(std::string text, double seconds) {
    next_ = seconds + kInterval;
    text_ = std::move(text);
    Write(text_);
}

void ProgressLine::Around(bool toError, const std::function<void()>& print) {
    const bool lift = width_ > 0 && (toError || shares_);
    if (lift) {
        PrintProgress((std::string(width_, ' ') + '\r').c_str());
        width_ = 0;
    }
    print();
    if (lift)
        Write(text_);
}

void ProgressLine::Finish(const std::string& summary) {
    PrintLine(width_ > 0 ? ('\r' + Padded(summary, width_)).c_str() : summary.c_str());
    width_ = 0;
}

void ProgressLine::Write(const std::string& text) {
    PrintProgress(Padded(text, width_).c_str());
    width_ = Columns(text);
}

} // namespace tolv::tools
