// An auto-reset event: Set wakes one wait, which clears it again.
#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>

#include "protocol/clock.h"

namespace kr35 {

class AutoResetEvent : public Waitable {
 public:
  void Set() {
    // Notified under the lock: a waiter that sees the flag may destroy the
    // event at once, so nothing may touch it after the lock is released.
    std::lock_guard lock(mutex_);
    signalled_ = true;
    condition_.notify_one();
  }
  void Reset() {
    std::lock_guard lock(mutex_);
    signalled_ = false;
  }
  // Waits at most `timeout`; true (and cleared) when it was set.
  bool Wait(std::chrono::milliseconds timeout) override {
    std::unique_lock lock(mutex_);
    if (!condition_.wait_for(lock, timeout, [this] { return signalled_; })) return false;
    signalled_ = false;
    return true;
  }
  void WaitForever() {
    std::unique_lock lock(mutex_);
    condition_.wait(lock, [this] { return signalled_; });
    signalled_ = false;
  }
  // Tests without waiting; true (and cleared) when it was set.
  bool TryWait() {
    std::lock_guard lock(mutex_);
    const bool was = signalled_;
    signalled_ = false;
    return was;
  }

 private:
  std::mutex mutex_;
  std::condition_variable condition_;
  bool signalled_ = false;
};

}  // namespace kr35
