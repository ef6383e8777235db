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
    Bytes Finish();

private:
    void Hand(std::vector<char> buffer);
    void Work();

    std::unique_ptr<Hasher> hasher_;
    std::vector<char> filling_;
    // Filled buffers on their way to the worker, and emptied ones coming back.
    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<std::vector<char>> full_;
    std::vector<std::vector<char>> spare_;
    std::size_t buffers_ = 0;
    bool done_ = false;
    std::thread worker_;
};

} // namespace tolv::signature
