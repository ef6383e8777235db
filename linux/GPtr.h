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
struct GObjectDeleter {
    void operator()(gpointer p) const { g_object_unref(p); }
};
struct GKeyFileDeleter {
    void operator()(GKeyFile* p) const { g_key_file_free(p); }
};
using UniqueGChar = std::unique_ptr<gchar, GFreeDeleter>;
template <typename T> using UniqueGObject = std::unique_ptr<T, GObjectDeleter>;
using UniqueKeyFile = std::unique_ptr<GKeyFile, GKeyFileDeleter>;

} // namespace tolv::linux_edition
