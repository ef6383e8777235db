#include "report/XmlEvents.h"

#include <cstring>

namespace tolv::report {

void ForEachLine(const char* text, std::size_t size,
                 void (*put)(void* context, const char* text, std::size_t size), void* context) {
    const char* end = text + size;
    for (;;) {
        const char* cr = static_cast<const char*>(std::memchr(text, '\r', std::size_t(end - text)));
        if (cr == nullptr)
            break;
        if (cr > text)
            put(context, text, std::size_t(cr - text));
        if (cr + 1 == end || cr[1] != '\n')
            put(context, "\n", 1);
        text = cr + 1; // a CR LF's LF goes with what follows
    }
    if (end > text)
        put(context, text, std::size_t(end - text));
}

void XmlObserver::PlainText(const char* text, std::size_t size) {
    ForEachLine(
        text, size,
        [](void* self, const char* piece, std::size_t n) {
            static_cast<XmlObserver*>(self)->Text(piece, n);
        },
        this);
}

} // namespace tolv::report
