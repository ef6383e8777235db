#include "tools/CommandLine.h"

#include "report/File.h"

#include <algorithm>

namespace tolv::tools {

namespace {

using Path = std::filesystem::path;

struct Option {
    const char* name;
    const char* value; // nullptr: takes none
    bool verifyOnly;
    const char* help;
};

// --help prints this table: every option has its line.
constexpr Option kOptions[] = {
    {"--check", nullptr, false, "PDF'i yazarken raporun imzasını da denetler"},
    {"--verify", nullptr, false, "PDF yazmaz, imzaları denetler: rapor başına bir satır"},
    {"--json", nullptr, true, "satırları JSON nesneleri olarak yazar"},
    {"--jobs", "N", true, "N iş parçacığında denetler (1-1024; öntanımlı: çekirdek sayısı)"},
    {"--online", nullptr, true, "raporun verisi yetmezse iptal durumunu ağdan sorar"},
    {"--trust-anchors", "YOL", true, "YOL'daki sertifikalara da güvenir (yinelenebilir)"},
    {"--require", "intact|valid", true,
     "valid: geçerli olmayan imza çıkış durumu 6 (öntanımlı intact)"},
    {"--help", nullptr, false, "bu yardımı yazar"},
    {"--version", nullptr, false, "sürümü yazar"},
};

const Option* Find(const std::string& name) {
    const auto it = std::find_if(std::begin(kOptions), std::end(kOptions),
                                 [&](const Option& o) { return name == o.name; });
    return it == std::end(kOptions) ? nullptr : it;
}

bool IsOption(const Path& arg) {
    return !arg.native().empty() && arg.native()[0] == Path::value_type('-');
}

// A number of threads from 1 to 1024.
std::optional<unsigned> Jobs(const std::string& text) {
    unsigned n = 0;
    for (const char c : text)
        if (c < '0' || c > '9' || (n = n * 10 + unsigned(c - '0')) > 1024)
            return std::nullopt;
    if (text.empty() || n == 0)
        return std::nullopt;
    return n;
}

void SetMode(CommandLine& line, Mode mode) {
    if (line.mode != Mode::Extract && line.mode != mode)
        throw UsageError("--check ile --verify birlikte kullanılamaz");
    line.mode = mode;
}

void Apply(const Option& option, const Path& value, CommandLine& line) {
    const std::string name = option.name;
    const std::string text = report::PathText(value);
    if (name == "--check" || name == "--verify")
        SetMode(line, name == "--check" ? Mode::Check : Mode::Verify);
    else if (name == "--json")
        line.json = true;
    else if (name == "--online")
        line.online = true;
    else if (name == "--trust-anchors")
        line.anchors.push_back(value);
    else if (name == "--jobs" && !(line.jobs = Jobs(text)))
        throw UsageError("--jobs 1 ile 1024 arasında bir sayı ister: " + text);
    else if (name == "--require" && text != "intact" && text != "valid")
        throw UsageError("--require intact ya da valid ister: " + text);
    else if (name == "--require")
        line.require = text == "valid" ? Requirement::Valid : Requirement::Intact;
}

// The option args[at] names and its value, from after its "=" or the next
// argument; at is left on the last argument used.
std::pair<const Option*, Path> Take(const std::vector<Path>& args, std::size_t& at) {
    const Path::string_type& arg = args[at].native();
    const std::size_t equals = arg.find(Path::value_type('='));
    const std::string name = report::PathText(Path(arg.substr(0, equals)));
    const Option* option = Find(name);
    if (option == nullptr)
        throw UsageError("bilinmeyen seçenek: " + report::PathText(args[at]));
    if (option->value == nullptr && equals != arg.npos)
        throw UsageError(name + " bir değer almaz");
    if (option->value == nullptr)
        return {option, {}};
    Path value = equals != arg.npos     ? Path(arg.substr(equals + 1))
                 : at + 1 < args.size() ? args[++at]
                                        : Path();
    if (value.empty())
        throw UsageError(name + " bir değer ister (" + name + "=" + option->value + ")");
    return {option, std::move(value)};
}

void CheckOperands(const CommandLine& line, const char* verifyOnly) {
    if (line.mode != Mode::Verify && verifyOnly != nullptr)
        throw UsageError(std::string(verifyOnly) + " yalnız --verify ile kullanılır");
    if (line.mode == Mode::Verify && line.operands.empty())
        throw UsageError("denetlenecek rapor ya da klasör verilmedi");
    if (line.mode != Mode::Verify && line.operands.size() != 2)
        throw UsageError("bir rapor ve bir PDF yolu gerekir");
}

} // namespace

CommandLine ReadCommandLine(const std::vector<Path>& args) {
    CommandLine line;
    const char* verifyOnly = nullptr; // the first option given that only --verify takes
    bool optionsEnded = false;
    for (std::size_t at = 0; at < args.size(); ++at) {
        if (optionsEnded || !IsOption(args[at])) {
            line.operands.push_back(args[at]);
        } else if (args[at].native() == Path("--").native()) {
            optionsEnded = true;
        } else {
            const auto [option, value] = Take(args, at);
            if (const std::string name = option->name; name == "--help" || name == "--version") {
                line.mode = name == "--help" ? Mode::Help : Mode::Version;
                return line;
            }
            if (option->verifyOnly && verifyOnly == nullptr)
                verifyOnly = option->name;
            Apply(*option, value, line);
        }
    }
    CheckOperands(line, verifyOnly);
    return line;
}

std::string UsageText() {
    return "kullanım: tolv-extract [--check] [--] RAPOR.Tolv ÇIKTI.pdf\n"
           "          tolv-extract --verify [--json] [--jobs N] [--online] [--trust-anchors "
           "YOL]...\n"
           "                       [--require intact|valid] [--] RAPOR.Tolv|KLASÖR...\n"
           "          tolv-extract --help | --version";
}

std::string HelpText() {
    std::string out =
        UsageText() + "\n\nSeçenekler (--json'dan --require'a dek yalnız --verify ile):\n";
    const auto add = [&](std::string left, const char* help) {
        left.resize(std::max<std::size_t>(left.size() + 2, 24), ' ');
        out += "  " + left + help + '\n';
    };
    for (const Option& o : kOptions)
        add(o.value ? std::string(o.name) + '=' + o.value : o.name, o.help);
    add("--", "seçeneklerin sonu: ardından gelen her şey bir yoldur");
    return out +
           "\nÇıkış durumu: 0 yazıldı; 1 raporda PDF yok; 2 okunamayan rapor ya da yanlış\n"
           "komut satırı; 3 PDF yazılamadı. --verify: 4 değiştirilmiş ya da geçersiz, yoksa\n"
           "2 okunamayan, yoksa 6 (--require valid) geçerli olmayan, yoksa 5 denetlenemeyen,\n"
           "yoksa 0.";
}

} // namespace tolv::tools
