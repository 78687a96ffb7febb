#pragma once

#include <array>
#include <atomic>
#include <cstddef>

namespace tone {

// A fixed ring for one producer thread and one consumer thread: no locks, no allocation.
template <typename T, std::size_t N>
class SpscRing {
    static_assert(N > 0 && (N & (N - 1)) == 0, "capacity must be a power of two");

  public:
    // Producer side; false when the ring is full.
    bool push(const T& item) {
        const std::size_t tail = tail_.load(std::memory_order_relaxed);
        if (tail - head_.load(std::memory_order_acquire) == N) {
            return false;
        }
        items_[tail % N] = item;
        tail_.store(tail + 1, std::memory_order_release);
        return true;
    }

    // Consumer side; false when the ring is empty.
    bool pop(T& item) {
        const std::size_t head = head_.load(std::memory_order_relaxed);
        if (head == tail_.load(std::memory_order_acquire)) {
            return false;
        }
        item = items_[head % N];
        head_.store(head + 1, std::memory_order_release);
        return true;
    }

    // Consumer side: whether nothing waits.
    bool empty() const {
        return head_.load(std::memory_order_relaxed) == tail_.load(std::memory_order_acquire);
    }

  private:
    std::array<T, N> items_{};
    alignas(64) std::atomic<std::size_t> head_{0};
    alignas(64) std::atomic<std::size_t> tail_{0};
};

}  // namespace tone
