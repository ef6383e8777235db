// Baseline of the benchmark: one pass of expat over a report with empty
// handlers, read in the reader's piece size. This is what any reader that runs
// the whole document through the tokenizer costs at least.

#include <cstdio>
#include <memory>

#include <expat.h>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: expat-pass REPORT\n");
        return 2;
    }
    std::FILE* file = std::fopen(argv[1], "rb");
    if (!file)
        return 2;
    XML_Parser parser = XML_ParserCreateNS(nullptr, '\x01');
    XML_SetElementHandler(
        parser, [](void*, const XML_Char*, const XML_Char**) {}, [](void*, const XML_Char*) {});
    XML_SetCharacterDataHandler(parser, [](void*, const XML_Char*, int) {});
    constexpr std::size_t kPiece = 1024 * 1024;
    const std::unique_ptr<char[]> buffer(new char[kPiece]);
    int status = 0;
    for (;;) {
        const std::size_t n = std::fread(buffer.get(), 1, kPiece, file);
        const bool last = n < kPiece;
        if (XML_Parse(parser, buffer.get(), int(n), last) == XML_STATUS_ERROR) {
            std::fprintf(stderr, "expat: %s\n", XML_ErrorString(XML_GetErrorCode(parser)));
            status = 1;
            break;
        }
        if (last)
            break;
    }
    XML_ParserFree(parser);
    std::fclose(file);
    return status;
}
