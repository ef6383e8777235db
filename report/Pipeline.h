#pragma once
// Reading ahead and writing behind on threads of their own: the report's next
// piece is read, and the PDF's last bytes are written, while the parser works
// on the current piece. Each side turns over a few blocks of a fixed size, so
// memory stays flat however large the files are.

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace tolv::report {

// Errors are errno values (0: none) on every system, so that one table of
// reasons serves all of them (FileErrorText). Neither interface may throw: its
// functions run on the helper threads.
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

class ReadAhead {
public:
    struct Piece {
        const std::uint8_t* data = nullptr;
        std::size_t size = 0;
    };

    // Every piece but the last is full, so the parser is fed the same pieces
    // however the system splits the reads.
    ReadAhead(ByteSource& source, std::size_t pieceSize, std::size_t depth);
    ~ReadAhead();
    ReadAhead(const ReadAhead&) = delete;
    ReadAhead& operator=(const ReadAhead&) = delete;

    // The next piece, valid until the next call; an empty one at the end or
    // after a read failed, which Error then tells. The bytes read before the
    // failure come first.
    Piece Next();
    int Error();

private:
    void Run() noexcept;

    ByteSource& source_;
    const std::size_t pieceSize_;
    std::vector<std::unique_ptr<std::uint8_t[]>> blocks_;
    std::vector<std::size_t> sizes_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::size_t head_ = 0;
    std::size_t filled_ = 0; // read and not yet given back, the one held included
    bool holding_ = false;
    bool ended_ = false;
    bool stopping_ = false;
    int error_ = 0;
    std::thread thread_;
};

class WriteBehind {
public:
    WriteBehind(ByteSink& sink, std::size_t blockSize, std::size_t depth);
    // Drops what is not written yet.
    ~WriteBehind();
    WriteBehind(const WriteBehind&) = delete;
    WriteBehind& operator=(const WriteBehind&) = delete;

    // Takes a copy of data. false once a write has failed (Error tells why);
    // the failure may be that of bytes given earlier.
    bool Write(const std::uint8_t* data, std::size_t size);
    // Writes the rest and waits for it; the first error, 0 when there was none.
    int Finish();
    int Error() const { return error_.load(); }

private:
    void Run() noexcept;
    bool Hand(std::unique_lock<std::mutex>& lock);

    ByteSink& sink_;
    const std::size_t blockSize_;
    std::vector<std::unique_ptr<std::uint8_t[]>> blocks_;
    std::vector<std::size_t> sizes_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::size_t tail_ = 0;   // the block being filled
    std::size_t used_ = 0;   // bytes in it
    std::size_t filled_ = 0; // handed to the thread and not yet written
    bool finishing_ = false;
    bool stopping_ = false;
    std::atomic<int> error_{0};
    std::thread thread_;
};

} // namespace tolv::report
