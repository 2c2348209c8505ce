#pragma once
// A lock for critical sections of a few dozen instructions taken on every host call
// (the live-object registry): uncontended it is one atomic exchange, where a mutex costs
// a library call each way. A waiter yields its time slice between attempts, so a holder
// that was preempted is not starved.

#include <atomic>
#include <thread>

namespace vorn::platform {

class TSpinLock {
public:
    void lock() noexcept {
        while (FHeld.exchange(true, std::memory_order_acquire)) {
            while (FHeld.load(std::memory_order_relaxed)) std::this_thread::yield();
        }
    }
    bool try_lock() noexcept { return !FHeld.exchange(true, std::memory_order_acquire); }
    void unlock() noexcept { FHeld.store(false, std::memory_order_release); }

private:
    std::atomic<bool> FHeld{false};
};

} // namespace vorn::platform
