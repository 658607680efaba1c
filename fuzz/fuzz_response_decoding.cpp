// Arbitrary answers through both transfers: the simulated adapter acts on
// every command, and the input replaces its answers, five bytes each (a
// sixth byte chooses: odd = that answer, even = no answer at all). Byte 0 of
// the input is the output report length (4..64). Runs in virtual time.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "adapter/transfer_texts.h"
#include "firmware/firmware_image.h"
#include "protocol/firmware_transfer.h"
#include "protocol/virtual_clock.h"
#include "sim/adapter_model.h"

namespace {

using namespace kr35;

class FuzzedPort final : public CommandPort {
 public:
  FuzzedPort(const std::uint8_t* data, std::size_t size, AdapterModel& model,
             std::uint16_t reportLength)
      : data_(data), size_(size), model_(model), reportLength_(reportLength) {}

  bool ExchangeOnce(const CommandFrame& frame, std::string& text) override {
    text.clear();
    clock_.Advance(std::chrono::milliseconds(2));
    const auto length = std::min<std::size_t>(kMaxCommandFrameLength, reportLength_ - 1u);
    const auto answers = model_.Handle(std::span(frame.data(), length));
    ResponseFrame answer = answers.empty() ? ResponseFrame{} : answers.back();
    bool answered = !answers.empty();
    if (position_ + 6 <= size_) {
      std::copy_n(data_ + position_, 5, answer.begin());
      answered = (data_[position_ + 5] & 1) != 0;
      position_ += 6;
    }
    if (!answered) return false;
    last_ = answer;
    return DecodeResponse(last_, text);
  }
  const ResponseFrame& LastResponse() const override { return last_; }
  std::uint16_t OutputReportByteLength() const override { return reportLength_; }
  Clock& GetClock() override { return clock_; }

 private:
  const std::uint8_t* data_;
  std::size_t size_;
  std::size_t position_ = 1;
  AdapterModel& model_;
  std::uint16_t reportLength_;
  ResponseFrame last_{};
  VirtualClock clock_;
};

class Lines final : public InfoLine {
 public:
  void SetInfoText(const std::string& text) override { text_ = text; }
  void RefreshControls() override {
    if (text_.size() > 96) std::abort();  // every info text is a short line
  }

 private:
  std::string text_;
};

std::vector<std::uint8_t> Image(std::size_t length) {
  std::vector<std::uint8_t> bytes(kImageHeaderSize + length);
  for (std::size_t i = 0; i < length; ++i)
    bytes[kImageHeaderSize + i] = static_cast<std::uint8_t>(i * 7);
  const std::uint16_t sum = ComputeChecksum(std::span(bytes).subspan(kImageHeaderSize));
  bytes[0] = static_cast<std::uint8_t>(length);
  bytes[1] = static_cast<std::uint8_t>(length >> 8);
  bytes[4] = static_cast<std::uint8_t>(sum);
  bytes[5] = static_cast<std::uint8_t>(sum >> 8);
  return bytes;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const auto reportLength = static_cast<std::uint16_t>(4 + data[0] % 61);
  static const std::vector<std::uint8_t> dsp = Image(300);
  static const std::vector<std::uint8_t> usb = Image(200);
  AdapterModel model({}, reportLength);
  FuzzedPort port(data, size, model, reportLength);
  const Timing timing{.statusWaitLimit = std::chrono::milliseconds(2000)};
  Lines info;
  DownloadDspFirmware(port, timing, FirmwareImage(dsp), info);
  DownloadUsbFirmware(port, timing, FirmwareImage(usb), info);
  return 0;
}
