#include "app/message_queue.h"

namespace kr35 {

void MessageQueue::Post(const DialogMessage& message) {
  {
    std::lock_guard lock(mutex_);
    queue_.push_back(message);
  }
  condition_.notify_one();
}

bool MessageQueue::DispatchFor(DialogController& controller,
                               std::optional<std::chrono::milliseconds> timeout) {
  std::unique_lock lock(mutex_);
  const auto ready = [this] { return !queue_.empty(); };
  if (timeout) {
    condition_.wait_for(lock, *timeout, ready);
  } else {
    condition_.wait(lock, ready);
  }
  bool handed = false;
  while (!queue_.empty()) {
    const DialogMessage message = queue_.front();
    queue_.pop_front();
    lock.unlock();
    controller.OnMessage(message);
    handed = true;
    lock.lock();
  }
  return handed;
}

}  // namespace kr35
