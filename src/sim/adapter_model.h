// The simulated adapter's side of the upgrade protocol: what it answers to
// each command frame, the upgrades in progress and the firmware it stores.
// No HID here; SimHidBackend carries the frames. Not synchronised: the owner
// serialises calls.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "protocol/frames.h"
#include "sim/flash_state.h"
#include "sim/scenario.h"

namespace kr35 {

class AdapterModel {
 public:
  // `outputReportLength` is the byte length of the adapter's output report
  // (report id included); a DSP block carries that length minus 3 bytes.
  explicit AdapterModel(Scenario scenario = {}, std::size_t outputReportLength = 64);

  // Takes one command frame as it arrives (the output report's value array)
  // and returns the responses the adapter sends for it, in order: usually
  // one, none for silence, more when a scenario adds unsolicited ones.
  std::vector<ResponseFrame> Handle(std::span<const std::uint8_t> frame);
  // Extra delay a scenario rule put on the responses of the last Handle call.
  double LastAnswerDelayMs() const { return lastDelayMs_; }

  std::size_t DspBlockSize() const { return dspBlockSize_; }
  std::uint16_t InstalledUsbVersion() const;
  std::uint16_t InstalledDspVersion() const;
  std::uint8_t UpgradeStatus() const;
  // Command frames received so far.
  std::size_t CommandCount() const { return commandCount_; }

  // Set by an accepted CMD_USB_FINISH: the adapter now restarts on its new firmware.
  bool RestartRequested() const { return restartRequested_; }
  void ClearRestartRequest() { restartRequested_ = false; }
  // A restart ends every upgrade in progress; the flash is kept.
  void Restart();

  const FlashState& Flash() const { return flash_; }
  void SetFlash(FlashState flash) { flash_ = std::move(flash); }

 private:
  enum class Phase { kIdle, kReceiving, kEnded };

  struct Upgrade {
    Phase phase = Phase::kIdle;
    std::uint16_t expectedBlocks = 0;
    std::size_t blocksReceived = 0;
    std::vector<std::uint8_t> data;  // blocks as received, padding included
    bool accepted = false;           // the end command found the image good
  };

  // The rule that applies to this frame, counting its use; null when none.
  Rule* TakeRule(std::uint8_t code);
  std::size_t BlockPosition(std::uint8_t code) const;
  ResponseFrame Process(std::span<const std::uint8_t> frame);

  ResponseFrame DspStart(std::uint16_t blocks);
  ResponseFrame DspBlock(std::span<const std::uint8_t> data);
  ResponseFrame DspEnd(std::uint16_t checksum);
  ResponseFrame StatusQuery();
  ResponseFrame UsbStart(std::uint16_t blocks);
  ResponseFrame UsbBlock(std::span<const std::uint8_t> data);
  ResponseFrame UsbEnd(std::uint16_t checksum);
  ResponseFrame UsbFinish();
  ResponseFrame Versions() const;

  Scenario scenario_;
  std::vector<int> ruleUses_;  // per rule: frames it has applied to
  std::size_t dspBlockSize_;
  std::size_t occurrences_[256] = {};
  std::size_t commandCount_ = 0;
  double lastDelayMs_ = 0;

  Upgrade dsp_;
  Upgrade usb_;
  // Status queries still to answer as not ready after CMD_DSP_START: first
  // the checksum-bad ones, then the busy ones; kAlways: forever.
  int checksumBadPollsLeft_ = 0;
  int busyPollsLeft_ = 0;
  bool NotReady() const { return checksumBadPollsLeft_ != 0 || busyPollsLeft_ != 0; }
  bool restartRequested_ = false;
  FlashState flash_;
};

}  // namespace kr35
