#include "report/Io.h"

namespace tolv::report {

int ReadPiece(ByteSource& source, std::uint8_t* data, std::size_t size, std::size_t& got) {
    got = 0;
    while (got < size) {
        std::size_t n = 0;
        if (const int error = source.Read(data + got, size - got, n); error != 0)
            return error;
        if (n == 0)
            break;
        got += n;
    }
    return 0;
}

} // namespace tolv::report
