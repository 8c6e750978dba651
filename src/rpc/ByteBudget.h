#pragma once
#include <atomic>
#include <cstddef>

namespace krv::rpc {

// Bytes the connections of one server may hold at once in frames still arriving. Shared by
// every worker thread, so a few clients sending huge unfinished frames cannot take the
// memory the others need.
class ByteBudget {
public:
    explicit ByteBudget(size_t limit) : limit_(limit) {}

    // False, taking nothing, when `bytes` more would pass the limit.
    bool take(size_t bytes) {
        size_t used = used_.load(std::memory_order_relaxed);
        do {
            if (bytes > limit_ - used) return false;
        } while (!used_.compare_exchange_weak(used, used + bytes, std::memory_order_relaxed));
        return true;
    }
    // Whether `bytes` more would fit now; nothing is taken.
    bool fits(size_t bytes) const { return bytes <= limit_ - used_.load(std::memory_order_relaxed); }
    // Takes `bytes` whatever their size when nothing is taken: one holder always gets through.
    bool takeWhenEmpty(size_t bytes) {
        size_t none = 0;
        return used_.compare_exchange_strong(none, bytes, std::memory_order_relaxed);
    }
    void give(size_t bytes) {
        used_.fetch_sub(bytes, std::memory_order_relaxed);
        short_.store(false, std::memory_order_relaxed);
    }
    // A holder was turned away since bytes last came back: there is no room for another.
    void markShort() { short_.store(true, std::memory_order_relaxed); }
    bool isShort() const { return short_.load(std::memory_order_relaxed); }
    size_t used() const { return used_.load(std::memory_order_relaxed); }
    size_t limit() const { return limit_; }

private:
    const size_t limit_;
    std::atomic<size_t> used_{0};
    std::atomic<bool> short_{false};
};

}  // namespace krv::rpc
