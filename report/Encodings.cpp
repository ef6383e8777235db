#include "report/Encodings.h"

#include <cstring>
#include <string>

namespace tolv::report {
namespace {

enum class Table { Latin1, Latin5, Windows1252, Windows1254 };

// 0x80-0x9F of windows-1252. Bytes the code page leaves undefined keep the C1
// control of the same number, as Windows' own conversion does.
const int kWindowsHigh[32] = {0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                              0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
                              0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                              0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

// Where ISO-8859-9 (and windows-1254) differ from ISO-8859-1: the Turkish letters.
struct Replacement {
    unsigned char byte;
    int code;
};
const Replacement kTurkish[] = {{0xD0, 0x011E}, {0xDD, 0x0130}, {0xDE, 0x015E},
                                {0xF0, 0x011F}, {0xFD, 0x0131}, {0xFE, 0x015F}};

bool Lookup(const XML_Char* name, Table& table) {
    std::string key;
    for (const XML_Char* p = name; *p; ++p) {
        const char c = static_cast<char>(*p);
        if (c != '-' && c != '_')
            key += (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c;
    }
    static const struct {
        const char* key;
        Table table;
    } names[] = {{"windows1254", Table::Windows1254},
                 {"cp1254", Table::Windows1254},
                 {"xcp1254", Table::Windows1254},
                 {"iso88599", Table::Latin5},
                 {"latin5", Table::Latin5},
                 {"l5", Table::Latin5},
                 {"windows1252", Table::Windows1252},
                 {"cp1252", Table::Windows1252},
                 {"xcp1252", Table::Windows1252},
                 {"latin1", Table::Latin1},
                 {"l1", Table::Latin1},
                 {"iso88591", Table::Latin1}};
    for (const auto& entry : names) {
        if (key == entry.key) {
            table = entry.table;
            return true;
        }
    }
    return false;
}

} // namespace

int XMLCALL SingleByteEncodingHandler(void*, const XML_Char* name, XML_Encoding* info) {
    Table table;
    if (name == nullptr || !Lookup(name, table))
        return XML_STATUS_ERROR;
    for (int byte = 0; byte < 256; ++byte)
        info->map[byte] = byte;
    if (table == Table::Windows1252 || table == Table::Windows1254)
        for (int i = 0; i < 32; ++i)
            info->map[0x80 + i] = kWindowsHigh[i];
    if (table == Table::Windows1254) {
        // Ž and ž are not part of the Turkish code page.
        info->map[0x8E] = 0x8E;
        info->map[0x9E] = 0x9E;
    }
    if (table == Table::Latin5 || table == Table::Windows1254)
        for (const auto& r : kTurkish)
            info->map[r.byte] = r.code;
    info->data = nullptr;
    info->convert = nullptr;
    info->release = nullptr;
    return XML_STATUS_OK;
}

} // namespace tolv::report
