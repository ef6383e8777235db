#pragma once
// The process's umask, set for one scope: tests of the modes new files get.

#include <sys/stat.h>

namespace tolv::report::reporttest {

class ScopedUmask {
public:
    explicit ScopedUmask(mode_t mask) : before_(::umask(mask)) {}
    ~ScopedUmask() { ::umask(before_); }
    ScopedUmask(const ScopedUmask&) = delete;
    ScopedUmask& operator=(const ScopedUmask&) = delete;

private:
    mode_t before_;
};

} // namespace tolv::report::reporttest
