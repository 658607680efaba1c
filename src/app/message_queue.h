// A dialog queue drained by the thread that runs the controller, for hosts
// without a window of their own (kr35ctl's terminal host, the agent).
#pragma once

#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <optional>

#include "app/dialog_controller.h"
#include "hid/dialog_queue.h"

namespace kr35 {

class MessageQueue final : public DialogQueue {
 public:
  void Post(const DialogMessage& message) override;
  // Waits at most `timeout` (without one: until a message comes) and hands
  // every queued message to the controller. True when one was handed over.
  bool DispatchFor(DialogController& controller, std::optional<std::chrono::milliseconds> timeout);

 private:
  std::mutex mutex_;
  std::condition_variable condition_;
  std::deque<DialogMessage> queue_;
};

}  // namespace kr35
