#pragma once
// The certificates a signer's chain may end in: the system's trust anchors
// (Windows: the machine's trusted roots; Linux: ca-certificates) and those an
// institution adds for signatures alone.

#include "signature/Crypto.h"

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace tolv::validation {

using signature::Bytes;

class Anchors {
public:
    // withSystem: the system's anchors take part too, read once, on the
    // first chain that needs them.
    explicit Anchors(bool withSystem = true);
    ~Anchors();
    Anchors(Anchors&&) noexcept;
    Anchors& operator=(Anchors&&) noexcept;

    // Adds a PEM or DER certificate file (PEM may hold several), or every such
    // file in a folder (not its subfolders; other files are skipped). An empty
    // text on success, else why the path could not be used, in Turkish.
    std::string Add(const std::filesystem::path& path);

    // The added anchors, DER, in the order added.
    const std::vector<Bytes>& Added() const { return added_; }
    bool WithSystem() const { return withSystem_; }

    // The platform's state (its loaded store), made on first use.
    struct Platform;
    Platform& PlatformState() const;

private:
    bool withSystem_;
    std::vector<Bytes> added_;
    mutable std::unique_ptr<Platform> platform_;
};

} // namespace tolv::validation
