#pragma once
// The process's umask, for tests of the modes that new files get.

#include <sys/stat.h>

namespace tolv::report::reporttest {

// Sets the umask and answers the one before.
inline mode_t SetUmask(mode_t mask) {
    return ::umask(mask);
}

} // namespace tolv::report::reporttest
