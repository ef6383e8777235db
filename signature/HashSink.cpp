#include "signature/HashSink.h"

#include <cstring>

namespace tolv::signature {
namespace {

constexpr std::size_t kBufferSize = 1024 * 1024;
constexpr std::size_t kMaxBuffers = 4;

} // namespace

HashSink::HashSink(HashAlgorithm algorithm) : hasher_(NewHasher(algorithm)) {}

HashSink::~HashSink() {
    if (worker_.joinable()) {
        {
            std::lock_guard lock(mutex_);
            done_ = true;
        }
        changed_.notify_all();
        worker_.join();
    }
}

void HashSink::Write(const char* data, std::size_t size) {
    while (size > 0) {
        if (filling_.capacity() == 0)
            filling_.reserve(kBufferSize);
        const std::size_t n = std::min(size, kBufferSize - filling_.size());
        filling_.insert(filling_.end(), data, data + n);
        data += n;
        size -= n;
        if (filling_.size() == kBufferSize)
            Hand(std::move(filling_));
    }
}

// Small digests never start the thread; the first full buffer does.
void HashSink::Hand(std::vector<char> buffer) {
    std::unique_lock lock(mutex_);
    if (!worker_.joinable())
        worker_ = std::thread([this] { Work(); });
    full_.push_back(std::move(buffer));
    ++buffers_;
    changed_.notify_all();
    changed_.wait(lock, [this] { return !spare_.empty() || buffers_ < kMaxBuffers; });
    if (!spare_.empty()) {
        filling_ = std::move(spare_.back());
        spare_.pop_back();
        filling_.clear();
    } else {
        filling_ = std::vector<char>();
    }
}

void HashSink::Work() {
    std::unique_lock lock(mutex_);
    for (;;) {
        changed_.wait(lock, [this] { return !full_.empty() || done_; });
        if (full_.empty())
            return;
        std::vector<char> buffer = std::move(full_.front());
        full_.pop_front();
        lock.unlock();
        hasher_->Update(buffer.data(), buffer.size());
        lock.lock();
        spare_.push_back(std::move(buffer));
        changed_.notify_all();
    }
}

Bytes HashSink::Finish() {
    if (worker_.joinable()) {
        {
            std::lock_guard lock(mutex_);
            done_ = true;
        }
        changed_.notify_all();
        worker_.join();
    }
    hasher_->Update(filling_.data(), filling_.size());
    filling_.clear();
    return hasher_->Finish();
}

} // namespace tolv::signature
