#include "signature/SystemRoots_posix.h"

#include <cstdlib>

namespace tolv::signature {

bool AddSystemRoots(X509_STORE* store) {
    bool added = false;
    if (const char* file = std::getenv(X509_get_default_cert_file_env()))
        added = X509_STORE_load_file(store, file) == 1;
    const char* folder = std::getenv(X509_get_default_cert_dir_env());
    if (X509_STORE_load_path(store, folder != nullptr ? folder : X509_get_default_cert_dir()) == 1)
        added = true;
    return added;
}

} // namespace tolv::signature
