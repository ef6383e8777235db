// tolv-c14n [--prefixes "a b"] ALGORITHM-URI FILE [ID]
// Writes the canonical form of FILE (or of its element with that Id, with the
// context its ancestors give) as the signature check makes it, for comparing
// with other implementations.

#include "report/ReportReader.h"
#include "signature/Canonicalizer.h"

#include <cstdio>
#include <cstring>
#include <exception>
#include <memory>
#include <string>
#include <vector>

namespace {

using namespace tolv::signature;

class StdoutSink : public ByteSink {
public:
    void Write(const char* data, std::size_t size) override { std::fwrite(data, 1, size, stdout); }
};

class Dump : public tolv::report::XmlObserver {
public:
    Dump(C14nAlgorithm algorithm, std::vector<std::string> prefixes, std::string id)
        : algorithm_(algorithm), prefixes_(std::move(prefixes)), id_(std::move(id)) {
        if (id_.empty())
            c14n_ = std::make_unique<Canonicalizer>(algorithm_, out_, prefixes_);
    }
    void Doctype(bool) override {}
    void Namespace(const char* prefix, const char* uri) override { scope_.Declare(prefix, uri); }
    void StartElement(const char* name, const char** atts) override {
        ++depth_;
        scope_.Push();
        const char* id = nullptr;
        for (const char** a = atts; *a != nullptr; a += 2) {
            const QName n = SplitName(a[0]);
            if (n.uri == kXmlNamespace)
                xml_.push_back({depth_, std::string(n.local), a[1]});
            if ((n.uri.empty() && (n.local == "Id" || n.local == "ID" || n.local == "id")) ||
                (n.uri == kXmlNamespace && n.local == "id"))
                id = a[1];
        }
        if (!c14n_ && !done_ && id != nullptr && id_ == id) {
            c14n_ = std::make_unique<Canonicalizer>(algorithm_, out_, prefixes_);
            std::vector<std::pair<std::string, std::string>> inherited;
            for (auto it = xml_.rbegin(); it != xml_.rend(); ++it)
                if (it->depth < depth_)
                    inherited.emplace_back(it->local, it->value);
            c14n_->Inherit(std::move(inherited));
            apex_ = depth_;
        }
        if (c14n_)
            c14n_->StartElement(name, atts, scope_);
    }
    void EndElement() override {
        if (c14n_)
            c14n_->EndElement();
        if (depth_ == apex_) {
            c14n_.reset();
            done_ = true;
        }
        while (!xml_.empty() && xml_.back().depth == depth_)
            xml_.pop_back();
        scope_.Pop();
        --depth_;
    }
    void Text(const char* text, std::size_t size) override {
        if (c14n_)
            c14n_->Text(text, size);
    }
    void PlainText(const char* text, std::size_t size) override {
        if (c14n_)
            c14n_->PlainText(text, size);
    }
    void Comment(const char* text) override {
        if (c14n_)
            c14n_->Comment(text);
    }
    void ProcessingInstruction(const char* target, const char* data) override {
        if (c14n_)
            c14n_->ProcessingInstruction(target, data);
    }
    void PayloadElement(std::uint64_t) override {}
    bool Found() const { return id_.empty() || done_; }

private:
    struct XmlAttribute {
        int depth;
        std::string local, value;
    };
    C14nAlgorithm algorithm_;
    std::vector<std::string> prefixes_;
    std::string id_;
    StdoutSink out_;
    NamespaceScope scope_;
    std::vector<XmlAttribute> xml_;
    std::unique_ptr<Canonicalizer> c14n_;
    int depth_ = 0, apex_ = -1;
    bool done_ = false;
};

} // namespace

int main(int argc, char** argv) {
    std::vector<std::string> prefixes;
    int i = 1;
    if (i + 1 < argc && std::strcmp(argv[i], "--prefixes") == 0) {
        std::string list = argv[i + 1];
        for (std::size_t p = 0; p < list.size();) {
            const std::size_t end = std::min(list.find(' ', p), list.size());
            if (end > p)
                prefixes.push_back(list.substr(p, end - p));
            p = end + 1;
        }
        i += 2;
    }
    if (argc - i < 2 || argc - i > 3) {
        std::fprintf(stderr, "usage: tolv-c14n [--prefixes LIST] ALGORITHM-URI FILE [ID]\n");
        return 2;
    }
    const auto algorithm = C14nFromUri(argv[i]);
    if (!algorithm) {
        std::fprintf(stderr, "tolv-c14n: unknown algorithm %s\n", argv[i]);
        return 2;
    }
    try {
        Dump dump(*algorithm, prefixes, argc - i == 3 ? argv[i + 2] : "");
        tolv::report::ReadReport(argv[i + 1], dump);
        if (!dump.Found()) {
            std::fprintf(stderr, "tolv-c14n: no element with that Id\n");
            return 1;
        }
    } catch (const std::exception& error) {
        std::fprintf(stderr, "tolv-c14n: %s\n", error.what());
        return 2;
    }
    return 0;
}
