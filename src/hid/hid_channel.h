// The open connection to the adapter: capabilities, an input report read
// without pause by a reader thread, an output report written synchronously
// through its own handle, and the hand-over of responses between the two.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "hid/auto_reset_event.h"
#include "hid/dialog_queue.h"
#include "hid/hid_device.h"
#include "hid/hid_report.h"
#include "protocol/command_port.h"
#include "protocol/timing.h"

namespace kr35 {

// The block shared with the reader thread.
struct ReaderContext {
  std::mutex mutex;  // the channel lock: notify queue, response latch, dispatch
  std::unique_ptr<AutoResetEvent> stopEvent;
  std::unique_ptr<AutoResetEvent> doneEvent;
  HidReadHandle* readHandle = nullptr;
  const PreparsedData* preparsedData = nullptr;
  InputReport inputReport;
  DialogQueue* notifyQueue = nullptr;  // while null, input reports are read and dropped
  AutoResetEvent* responseEvent = nullptr;
  std::chrono::milliseconds readSlice{1000};
};

class HidChannel : public HidDevice, public CommandPort {
 public:
  explicit HidChannel(HidBackend& backend, Timing timing = {}, Clock& clock = RealClock());
  ~HidChannel() override;

  void Close() override;
  int Open(const std::string& path) override;

  // Where button events go; null drops them (and every response).
  int SetNotifyWindow(DialogQueue* queue);
  int WriteCommand(std::span<const std::uint8_t> frame) {
    return outputReport_.WriteCommand(frame);
  }

  // The command exchange.
  bool ExchangeOnce(const CommandFrame& frame, std::string& text) override;
  // How the latest attempt ended, so a front-end can say why a command failed.
  enum class AttemptEnd { kNone, kNotWritable, kWriteFailed, kNoAnswer, kAnswered };
  AttemptEnd LastAttemptEnd() const { return lastAttemptEnd_; }
  bool TakeResponse(std::string& text);
  const ResponseFrame& LastResponse() const override { return lastResponse_; }
  Clock& GetClock() override { return clock_; }
  std::uint16_t OutputReportByteLength() const override {
    return capabilities_.outputReportByteLength;
  }

  const HidpCaps& Capabilities() const { return capabilities_; }
  const Timing& GetTiming() const { return timing_; }
  // True while a reader thread has been started and not yet stopped by Close.
  bool ReaderStarted() const { return readerThread_.joinable(); }

  // The reader thread's procedure; public for tests that drive it directly.
  static void ReaderProcedure(ReaderContext& context);

 private:
  void StopReader();

  Timing timing_;
  Clock& clock_;
  HidpCaps capabilities_{};
  std::unique_ptr<PreparsedData> preparsedData_;
  ReaderContext readerContext_;
  std::thread readerThread_;
  OutputReport outputReport_;
  ResponseFrame lastResponse_{};
  AttemptEnd lastAttemptEnd_ = AttemptEnd::kNone;
};

}  // namespace kr35
