#pragma once
// tolv-extract's command line, read the GNU way: options anywhere before
// "--", "--name=value" or "--name value", anything else that starts with "-"
// a usage error rather than a report path.

#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "tools/VerifyTally.h"

namespace tolv::tools {

enum class Mode { Extract, Check, Verify, Help, Version };

struct CommandLine {
    Mode mode = Mode::Extract;
    bool json = false;
    bool online = false;
    std::optional<unsigned> jobs; // none given: one per processor
    Requirement require = Requirement::Intact;
    std::vector<std::filesystem::path> anchors;
    std::vector<std::filesystem::path> operands; // the reports and folders, or REPORT PDF
};

// What is wrong with a command line, in Turkish, naming the option at fault.
class UsageError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Throws UsageError; --help and --version end the reading where they stand.
CommandLine ReadCommandLine(const std::vector<std::filesystem::path>& args);

// The synopsis a usage error ends with.
std::string UsageText();

// The synopsis, one line for each option, and the exit statuses.
std::string HelpText();

} // namespace tolv::tools
