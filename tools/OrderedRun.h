#pragma once
// Work on several threads, results in the order the work was given: the
// caller's thread adds items and receives each result as soon as it and all
// before it are done. At most a window of items is in flight, so memory does
// not grow with their number.

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

namespace tolv::tools {

template <class Item, class Result> class OrderedRun {
public:
    using Work = std::function<Result(const Item&)>; // on a worker; must not throw
    using Sink = std::function<void(Result&)>;       // on the caller's thread

    OrderedRun(unsigned workers, std::size_t window, Work work, Sink sink)
        : window_(window < workers ? workers : window), work_(std::move(work)),
          sink_(std::move(sink)) {
        for (unsigned i = 0; i < workers; ++i)
            threads_.emplace_back([this] { Serve(); });
    }
    ~OrderedRun() { Finish(); }
    OrderedRun(const OrderedRun&) = delete;
    OrderedRun& operator=(const OrderedRun&) = delete;

    // Waits, handing on finished results, while the window is full.
    void Add(Item item) {
        std::unique_lock lock(mutex_);
        for (;;) {
            HandOn(lock);
            if (slots_.size() < window_)
                break;
            done_.wait(lock);
        }
        slots_.push_back(Slot{std::move(item), std::nullopt});
        waiting_.notify_one();
    }

    // Hands on every result, then ends the workers.
    void Finish() {
        std::unique_lock lock(mutex_);
        if (threads_.empty())
            return;
        for (HandOn(lock); !slots_.empty(); HandOn(lock))
            done_.wait(lock);
        stopping_ = true;
        waiting_.notify_all();
        lock.unlock();
        for (std::thread& thread : threads_)
            thread.join();
        threads_.clear();
    }

private:
    struct Slot {
        Item item;
        std::optional<Result> result;
    };

    void HandOn(std::unique_lock<std::mutex>& lock) {
        while (!slots_.empty() && slots_.front().result) {
            Result result = std::move(*slots_.front().result);
            slots_.pop_front();
            ++handedOn_;
            lock.unlock();
            sink_(result);
            lock.lock();
        }
    }

    void Serve() {
        std::unique_lock lock(mutex_);
        for (;;) {
            waiting_.wait(lock,
                          [this] { return stopping_ || started_ < handedOn_ + slots_.size(); });
            if (started_ >= handedOn_ + slots_.size())
                return;
            // A slot stays where it is until its result has been handed on.
            Slot& slot = slots_[started_++ - handedOn_];
            lock.unlock();
            Result result = work_(slot.item);
            lock.lock();
            slot.result = std::move(result);
            done_.notify_one();
        }
    }

    const std::size_t window_;
    Work work_;
    Sink sink_;
    std::mutex mutex_;
    std::condition_variable waiting_; // workers, for items
    std::condition_variable done_;    // the caller, for results and room
    std::deque<Slot> slots_;          // from the first not handed on, in order
    std::size_t handedOn_ = 0;        // results handed on so far
    std::size_t started_ = 0;         // items given to a worker so far
    bool stopping_ = false;
    std::vector<std::thread> threads_;
};

} // namespace tolv::tools
