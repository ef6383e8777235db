#include "signature/SystemRoots.h"

#include <openssl/err.h>
#include <openssl/pem.h>
#include <sys/stat.h>

#include <cstdlib>
#include <mutex>
#include <string>
#include <vector>

namespace tolv::signature {
namespace {

// SSL_CERT_FILE's certificates, parsed once per process for every store that
// wants them while the file stays as it was (its size and time).
struct Bundle {
    std::mutex mutex;
    std::string path;
    off_t size = -1;
    timespec changed{};
    std::vector<X509*> roots;
};

bool AddBundle(X509_STORE* store, const char* file) {
    struct stat about {};
    if (stat(file, &about) != 0)
        return false;
    // Never freed: the stores of a process may still hold these at its exit.
    static Bundle& bundle = *new Bundle;
    std::lock_guard lock(bundle.mutex);
    if (bundle.path != file || bundle.size != about.st_size ||
        bundle.changed.tv_sec != about.st_mtim.tv_sec ||
        bundle.changed.tv_nsec != about.st_mtim.tv_nsec) {
        for (X509* root : bundle.roots)
            X509_free(root);
        bundle.roots.clear();
        if (BIO* in = BIO_new_file(file, "r")) {
            while (X509* root = PEM_read_bio_X509_AUX(in, nullptr, nullptr, nullptr))
                bundle.roots.push_back(root);
            BIO_free(in);
        }
        ERR_clear_error(); // the end of the file reads as an error
        bundle.path = file;
        bundle.size = about.st_size;
        bundle.changed = about.st_mtim;
    }
    for (X509* root : bundle.roots)
        X509_STORE_add_cert(store, root);
    return !bundle.roots.empty();
}

} // namespace

std::vector<Bytes> DistrustedCertificates() {
    return {};
}

bool AddSystemRoots(X509_STORE* store) {
    bool added = false;
    if (const char* file = std::getenv(X509_get_default_cert_file_env()))
        added = AddBundle(store, file);
    const char* folder = std::getenv(X509_get_default_cert_dir_env());
    if (X509_STORE_load_path(store, folder != nullptr ? folder : X509_get_default_cert_dir()) == 1)
        added = true;
    return added;
}

} // namespace tolv::signature
