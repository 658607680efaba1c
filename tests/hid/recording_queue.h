// A dialog queue that records every message posted to it, from any thread:
// the one test double for whatever posts to a dialog (the channel's reader,
// the notification backends, the simulated adapter).
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <utility>
#include <vector>

#include "hid/dialog_queue.h"

namespace kr35::test {

class RecordingQueue : public DialogQueue {
 public:
  void Post(const DialogMessage& message) override {
    std::lock_guard lock(mutex_);
    messages_.push_back(message);
    changed_.notify_all();
  }
  std::vector<DialogMessage> Messages() const {
    std::lock_guard lock(mutex_);
    return messages_;
  }
  // Waits until `count` messages were posted, or `limit` passed; returns
  // what was posted by then.
  std::vector<DialogMessage> WaitFor(std::size_t count,
                                     std::chrono::milliseconds limit = std::chrono::seconds(5)) {
    std::unique_lock lock(mutex_);
    changed_.wait_for(lock, limit, [&] { return messages_.size() >= count; });
    return messages_;
  }
  // The (wParam, lParam) pairs posted since the last call.
  std::vector<std::pair<std::uintptr_t, std::intptr_t>> TakeEvents() {
    std::lock_guard lock(mutex_);
    std::vector<std::pair<std::uintptr_t, std::intptr_t>> events;
    for (std::size_t i = taken_; i < messages_.size(); ++i) {
      events.emplace_back(messages_[i].wParam, messages_[i].lParam);
    }
    taken_ = messages_.size();
    return events;
  }

 private:
  mutable std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<DialogMessage> messages_;
  std::size_t taken_ = 0;
};

// The wParams of `messages`: for device notices, which notice each one was.
inline std::vector<std::uintptr_t> WParamsOf(const std::vector<DialogMessage>& messages) {
  std::vector<std::uintptr_t> wParams;
  for (const DialogMessage& message : messages) wParams.push_back(message.wParam);
  return wParams;
}

}  // namespace kr35::test
