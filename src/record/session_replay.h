// Presents a session recording as the adapter, through the HID backend and
// device-notification seams: the enumeration, identity and descriptor come
// from the file; each output report the program writes is compared with the
// next recorded one. When they are equal, what the device did after it (input
// reports, read errors, notices) is delivered with its recorded delays, or at
// once at maximum speed. When they differ, the adapter stops answering and
// the session is diverged. A program that writes past the recording's end
// finds the adapter unplugged.
#pragma once

#include <memory>
#include <string>

#include "hid/device_notification.h"
#include "hid/hid_io.h"
#include "protocol/clock.h"
#include "record/recording.h"

namespace kr35 {

class ReplayState;

// How many of the recording's output reports the program wrote, of how many.
struct ReplayProgress {
  std::size_t written = 0;
  std::size_t recorded = 0;
};  // shared by the backends, their handles and the delivery thread

class SessionReplay {
 public:
  SessionReplay(Recording recording, bool maxSpeed);
  ~SessionReplay();
  SessionReplay(const SessionReplay&) = delete;
  SessionReplay& operator=(const SessionReplay&) = delete;

  HidBackend& Hid();
  DeviceNotificationBackend& Notifications();
  // The exchange's clock: real time, except that pauses are skipped at
  // maximum speed and nothing is waited for once no answer can come.
  Clock& ExchangeClock();

  // Empty while the program did what the recording did; otherwise why not:
  // the output report that differed, with both in hex, or where the recording
  // ended, and what in the program's set-up may be the cause.
  std::string Diagnosis() const;
  ReplayProgress Progress() const;

 private:
  std::shared_ptr<ReplayState> state_;
  std::unique_ptr<HidBackend> hid_;
  std::unique_ptr<DeviceNotificationBackend> notifications_;
  std::unique_ptr<Clock> clock_;
};

}  // namespace kr35
