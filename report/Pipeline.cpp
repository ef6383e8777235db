#include "report/Pipeline.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace tolv::report {
namespace {

std::vector<std::unique_ptr<std::uint8_t[]>> Blocks(std::size_t size, std::size_t depth) {
    std::vector<std::unique_ptr<std::uint8_t[]>> blocks(std::max<std::size_t>(depth, 2));
    for (auto& block : blocks)
        block.reset(new std::uint8_t[size]);
    return blocks;
}

} // namespace

ReadAhead::ReadAhead(ByteSource& source, std::size_t pieceSize, std::size_t depth)
    : source_(source), pieceSize_(pieceSize), blocks_(Blocks(pieceSize, depth)),
      sizes_(blocks_.size()), thread_([this] { Run(); }) {}

ReadAhead::~ReadAhead() {
    {
        const std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    changed_.notify_all();
    thread_.join();
}

void ReadAhead::Run() noexcept {
    for (std::size_t tail = 0;; tail = (tail + 1) % blocks_.size()) {
        {
            std::unique_lock lock(mutex_);
            changed_.wait(lock, [&] { return stopping_ || filled_ < blocks_.size(); });
            if (stopping_)
                return;
        }
        std::uint8_t* const block = blocks_[tail].get();
        std::size_t size = 0;
        int error = 0;
        while (size < pieceSize_) {
            std::size_t got = 0;
            error = source_.Read(block + size, pieceSize_ - size, got);
            if (error != 0 || got == 0)
                break;
            size += got;
        }
        const bool end = size < pieceSize_;
        {
            const std::lock_guard lock(mutex_);
            sizes_[tail] = size;
            if (size > 0)
                ++filled_;
            ended_ = end;
            error_ = error;
        }
        changed_.notify_all();
        if (end)
            return;
    }
}

ReadAhead::Piece ReadAhead::Next() {
    std::unique_lock lock(mutex_);
    if (holding_) {
        holding_ = false;
        --filled_;
        head_ = (head_ + 1) % blocks_.size();
        changed_.notify_all();
    }
    changed_.wait(lock, [&] { return filled_ > 0 || ended_; });
    if (filled_ == 0)
        return {};
    holding_ = true;
    return {blocks_[head_].get(), sizes_[head_]};
}

int ReadAhead::Error() {
    const std::lock_guard lock(mutex_);
    return error_;
}

WriteBehind::WriteBehind(ByteSink& sink, std::size_t blockSize, std::size_t depth)
    : sink_(sink), blockSize_(blockSize), blocks_(Blocks(blockSize, depth)), sizes_(blocks_.size()),
      thread_([this] { Run(); }) {}

WriteBehind::~WriteBehind() {
    if (!thread_.joinable())
        return;
    {
        const std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    changed_.notify_all();
    thread_.join();
}

void WriteBehind::Run() noexcept {
    for (std::size_t head = 0;; head = (head + 1) % blocks_.size()) {
        std::size_t size = 0;
        {
            std::unique_lock lock(mutex_);
            changed_.wait(lock, [&] { return stopping_ || finishing_ || filled_ > 0; });
            if (stopping_ || filled_ == 0)
                return;
            size = sizes_[head];
        }
        const int error = sink_.Write(blocks_[head].get(), size);
        {
            const std::lock_guard lock(mutex_);
            --filled_;
            if (error != 0)
                error_ = error;
        }
        changed_.notify_all();
        if (error != 0)
            return;
    }
}

// Passes the block being filled to the thread and waits until the next one is
// free, which bounds how far the writes may fall behind.
bool WriteBehind::Hand(std::unique_lock<std::mutex>& lock) {
    sizes_[tail_] = used_;
    ++filled_;
    tail_ = (tail_ + 1) % blocks_.size();
    used_ = 0;
    changed_.notify_all();
    changed_.wait(lock, [&] { return filled_ < blocks_.size() || error_ != 0; });
    return error_ == 0;
}

bool WriteBehind::Write(const std::uint8_t* data, std::size_t size) {
    while (size > 0) {
        if (error_ != 0 || !thread_.joinable())
            return false;
        const std::size_t n = std::min(size, blockSize_ - used_);
        std::memcpy(blocks_[tail_].get() + used_, data, n);
        used_ += n;
        data += n;
        size -= n;
        if (used_ == blockSize_) {
            std::unique_lock lock(mutex_);
            if (!Hand(lock))
                return false;
        }
    }
    return error_ == 0;
}

int WriteBehind::Finish() {
    if (!thread_.joinable())
        return error_ != 0 ? error_.load() : EBADF;
    {
        const std::lock_guard lock(mutex_);
        if (used_ > 0 && error_ == 0) {
            sizes_[tail_] = used_;
            ++filled_;
            used_ = 0;
        }
        finishing_ = true;
    }
    changed_.notify_all();
    thread_.join();
    return error_;
}

} // namespace tolv::report
