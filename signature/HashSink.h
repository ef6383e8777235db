#pragma once
// The last stage of a reference: canonical bytes into a digest. A large
// reference (the report's PDF, as text) is hashed on a second thread while
// the reader goes on decoding, through a few fixed buffers.

#include "signature/Canonicalizer.h"
#include "signature/Crypto.h"

#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace tolv::signature {

class HashSink : public ByteSink {
public:
    explicit HashSink(HashAlgorithm algorithm);
    ~HashSink() override;
    HashSink(const HashSink&) = delete;
    HashSink& operator=(const HashSink&) = delete;

    void Write(const char* data, std::size_t size) override;
    // Copies straight into the buffer, its CRs dropped on the way.
    void WriteLines(const char* data, std::size_t size) override;
    Bytes Finish();

private:
    struct Buffer {
        std::unique_ptr<char[]> bytes;
        std::size_t size = 0;
    };
    void Hand();
    void Work();
    void Stop();

    std::unique_ptr<Hasher> hasher_;
    Buffer filling_;
    // Filled buffers on their way to the worker, and emptied ones coming back.
    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<Buffer> full_;
    std::vector<Buffer> spare_;
    std::size_t buffers_ = 0;
    bool done_ = false;
    std::thread worker_;
};

} // namespace tolv::signature
