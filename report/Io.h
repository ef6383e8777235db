#pragma once
// The reader's files by descriptor, without the C library's buffers: the report
// is read in pieces of a fixed size and the PDF written in the decoder's large
// blocks, each straight from and into the reader's own buffers.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <memory>

namespace tolv::report {

// Errors are errno values (0: none) on every system, so that one table of
// reasons serves all of them (FileErrorText).
class ByteSource {
public:
    virtual ~ByteSource() = default;
    // Reads up to size bytes; got is 0 only at the end.
    virtual int Read(std::uint8_t* data, std::size_t size, std::size_t& got) noexcept = 0;
};

class ByteSink {
public:
    virtual ~ByteSink() = default;
    // Writes all of data.
    virtual int Write(const std::uint8_t* data, std::size_t size) noexcept = 0;
};

// Fills data with size bytes, or fewer at the end of the source, so that the
// parser is fed the same pieces however the system splits the reads.
int ReadPiece(ByteSource& source, std::uint8_t* data, std::size_t size, std::size_t& got);

// A report opened for reading from its start to its end.
class ReportInput final : public ByteSource {
public:
    // nullptr when it cannot be opened or is no regular file (a pipe, a
    // device: kNotRegularFile); error tells why. Opening never waits.
    static std::unique_ptr<ReportInput> Open(const std::filesystem::path& path, int& error);
    ~ReportInput() override;
    ReportInput(const ReportInput&) = delete;
    ReportInput& operator=(const ReportInput&) = delete;

    int Read(std::uint8_t* data, std::size_t size, std::size_t& got) noexcept override;
    std::uint64_t Size() const { return size_; }

private:
    ReportInput(int fd, std::uint64_t size) : fd_(fd), size_(size) {}
    int fd_;
    std::uint64_t size_;
};

// Writes to an open, unbuffered FILE (a scratch file), past its buffer.
class FileSink final : public ByteSink {
public:
    explicit FileSink(std::FILE* file);
    int Write(const std::uint8_t* data, std::size_t size) noexcept override;

private:
    int fd_;
};

// Asks the file system for room for size bytes from the start of the file
// without changing its length, so that writing it needs no allocation on the
// way and the file is not written out early when it replaces another. Only a
// hint: nothing happens where the system cannot do it without writing.
void ReserveRoom(std::FILE* file, std::uint64_t size) noexcept;

// Cuts the file to length bytes; room reserved beyond them is given back.
int SetFileLength(std::FILE* file, std::uint64_t length) noexcept;

} // namespace tolv::report
