// No silent minute: when nothing visible has changed for 2 s during a
// download, kr35ctl says what it is waiting for and for how long, again
// every second ("waiting for the adapter to finish erasing, 12 s"); in JSON
// a `waiting` event with the same facts. kr35ctl download and update both
// use these; the dialogs keep their own texts.
#pragma once

#include <chrono>
#include <optional>
#include <string>

#include "app/console/event_printer.h"
#include "protocol/transfer_events.h"

namespace kr35 {

enum class WaitingFor {
  kAnswer,    // an answer to a command (the retries of a step)
  kErasing,   // the DSP part: the adapter gets ready for blocks
  kChecking,  // the verdict on a part whose blocks were all sent
  kRestart,   // the adapter restarts after the USB part
};
const char* WaitingForName(WaitingFor what);  // "answer", "erasing", "checking", "restart"

inline constexpr std::chrono::seconds kSilenceBeforeWaitingLine{2};

// "waiting for the adapter to finish erasing, 12 s".
std::string WaitingText(WaitingFor what, std::optional<TransferPart> part,
                        std::chrono::seconds waited);
// The same facts as the fields of a `waiting` JSON event.
std::string WaitingJsonFields(WaitingFor what, std::optional<TransferPart> part,
                              std::chrono::seconds waited);

// Follows one download on the thread that runs it: Changed() at every
// visible change, Tick() as often as the waits allow (at least every few
// hundred ms); Tick prints the waiting line once the silence has lasted
// 2 s, then once a second.
class WaitingLine {
 public:
  explicit WaitingLine(EventPrinter& printer) : printer_(printer) {}
  // Something visible changed; from now on `next` is waited for.
  void Changed(WaitingFor next, std::optional<TransferPart> part = std::nullopt);
  void Tick();
  // Nothing is waited for until the next Changed().
  void Stop();

 private:
  using Time = std::chrono::steady_clock::time_point;
  EventPrinter& printer_;
  bool active_ = false;
  WaitingFor what_ = WaitingFor::kAnswer;
  std::optional<TransferPart> part_;
  Time since_ = std::chrono::steady_clock::now();
  std::chrono::seconds shown_{0};  // the seconds last printed; 0: none since the change
};

}  // namespace kr35
