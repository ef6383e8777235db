#pragma once
// The line that says how far a run has got, overwritten in place on a
// terminal: it changes a few times a second at most, stays up between
// changes, and the summary takes its place at the end.

#include <functional>
#include <string>

namespace tolv::tools {

class ProgressLine {
public:
    // sharesTerminal: standard output goes to the terminal the line is on.
    ProgressLine(bool shown, bool sharesTerminal) : shown_(shown), shares_(sharesTerminal) {}

    // Whether a new text is due at this point of the run.
    bool Due(double seconds) const { return shown_ && seconds >= next_; }
    void Show(std::string text, double seconds);

    // Runs print, which writes whole lines to standard output and, where
    // toError, to standard error, out of the line's way.
    void Around(bool toError, const std::function<void()>& print);

    // The summary over the last text, on a line of its own.
    void Finish(const std::string& summary);

private:
    void Write(const std::string& text);

    bool shown_;
    bool shares_;
    double next_ = 0;
    std::string text_;
    std::size_t width_ = 0; // in columns
};

} // namespace tolv::tools
