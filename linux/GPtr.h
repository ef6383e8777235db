#pragma once
// One owner for each GLib and GTK object: std::unique_ptr with the matching
// release function, the C++ form of g_autoptr / g_autofree.

#include <glib-object.h>
#include <glib.h>

#include <memory>

namespace tolv::linux_edition {

struct GFreeDeleter {
    void operator()(void* p) const { g_free(p); }
};
struct GStrvDeleter {
    void operator()(gchar** p) const { g_strfreev(p); }
};
struct GObjectDeleter {
    void operator()(gpointer p) const { g_object_unref(p); }
};
struct GKeyFileDeleter {
    void operator()(GKeyFile* p) const { g_key_file_free(p); }
};
struct GErrorDeleter {
    void operator()(GError* p) const { g_error_free(p); }
};

using UniqueGChar = std::unique_ptr<gchar, GFreeDeleter>;
using UniqueGStrv = std::unique_ptr<gchar*, GStrvDeleter>;
template <typename T> using UniqueGObject = std::unique_ptr<T, GObjectDeleter>;
using UniqueKeyFile = std::unique_ptr<GKeyFile, GKeyFileDeleter>;
using UniqueGError = std::unique_ptr<GError, GErrorDeleter>;

// For out-parameters: GError** that the UniqueGError owns afterwards.
class ErrorSlot {
public:
    ~ErrorSlot() {
        if (error_)
            g_error_free(error_);
    }
    GError** put() { return &error_; }
    explicit operator bool() const { return error_ != nullptr; }
    const char* message() const { return error_ ? error_->message : ""; }

private:
    GError* error_ = nullptr;
};

} // namespace tolv::linux_edition
