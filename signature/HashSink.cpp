#include "signature/HashSink.h"

#include "report/XmlEvents.h"

#include <cstring>

namespace tolv::signature {
namespace {

// Small enough that a buffer is still in the shared cache when the worker
// hashes it; measured against 64 KiB to 1 MiB buffers.
constexpr std::size_t kBufferSize = 256 * 1024;
constexpr std::size_t kMaxBuffers = 8;

} // namespace

HashSink::HashSink(HashAlgorithm algorithm) : hasher_(NewHasher(algorithm)) {
    filling_.bytes.reset(new char[kBufferSize]);
    buffers_ = 1;
}

HashSink::~HashSink() {
    Stop();
}

void HashSink::Stop() {
    if (!worker_.joinable())
        return;
    {
        std::lock_guard lock(mutex_);
        done_ = true;
    }
    changed_.notify_all();
    worker_.join();
}

void HashSink::Write(const char* data, std::size_t size) {
    while (size > 0) {
        const std::size_t n = std::min(size, kBufferSize - filling_.size);
        std::memcpy(filling_.bytes.get() + filling_.size, data, n);
        filling_.size += n;
        data += n;
        size -= n;
        if (filling_.size == kBufferSize)
            Hand();
    }
}

void HashSink::WriteLines(const char* data, std::size_t size) {
    report::ForEachLine(
        data, size,
        [](void* self, const char* piece, std::size_t n) {
            static_cast<HashSink*>(self)->HashSink::Write(piece, n);
        },
        this);
}

// Small digests never start the thread; the first full buffer does.
void HashSink::Hand() {
    std::unique_lock lock(mutex_);
    if (!worker_.joinable())
        worker_ = std::thread([this] { Work(); });
    full_.push_back(std::move(filling_));
    changed_.notify_all();
    changed_.wait(lock, [this] { return !spare_.empty() || buffers_ < kMaxBuffers; });
    if (!spare_.empty()) {
        filling_ = std::move(spare_.back());
        spare_.pop_back();
    } else {
        filling_.bytes.reset(new char[kBufferSize]);
        ++buffers_;
    }
    filling_.size = 0;
}

void HashSink::Work() {
    std::unique_lock lock(mutex_);
    for (;;) {
        changed_.wait(lock, [this] { return !full_.empty() || done_; });
        if (full_.empty())
            return;
        Buffer buffer = std::move(full_.front());
        full_.pop_front();
        lock.unlock();
        hasher_->Update(buffer.bytes.get(), buffer.size);
        lock.lock();
        spare_.push_back(std::move(buffer));
        changed_.notify_all();
    }
}

Bytes HashSink::Finish() {
    Stop();
    hasher_->Update(filling_.bytes.get(), filling_.size);
    filling_.size = 0;
    return hasher_->Finish();
}

} // namespace tolv::signature
