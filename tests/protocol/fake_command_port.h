// A scripted adapter connection for the exchange and transfer tests.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "adapter/info_line.h"
#include "protocol/command_port.h"
#include "protocol/virtual_clock.h"

namespace kr35::testing {

class FakeCommandPort : public CommandPort {
 public:
  // Answers a frame with a response, or nullopt for no answer at all.
  std::function<std::optional<ResponseFrame>(const CommandFrame&)> respond =
      [](const CommandFrame&) { return std::optional<ResponseFrame>(ResponseFrame{}); };
  std::uint16_t outputReportLength = 64;
  std::vector<CommandFrame> sent;
  ResponseFrame last{};
  // Each attempt takes this long in virtual time; pauses pass on the same clock.
  std::chrono::milliseconds exchangeTime{1};
  VirtualClock clock;

  bool ExchangeOnce(const CommandFrame& frame, std::string& text) override {
    text.clear();
    sent.push_back(frame);
    clock.Advance(exchangeTime);
    const auto response = respond(frame);
    if (!response) return false;
    last = *response;
    return DecodeResponse(last, text);
  }
  const ResponseFrame& LastResponse() const override { return last; }
  std::uint16_t OutputReportByteLength() const override { return outputReportLength; }
  Clock& GetClock() override { return clock; }

  std::vector<CommandFrame> SentWithCode(std::uint8_t code) const {
    std::vector<CommandFrame> frames;
    for (const auto& frame : sent)
      if (frame[0] == code) frames.push_back(frame);
    return frames;
  }
};

// Records what reaches the info line at each refresh.
class RecordingInfoLine : public InfoLine {
 public:
  std::string text;
  std::vector<std::string> shown;
  void SetInfoText(const std::string& value) override { text = value; }
  void RefreshControls() override { shown.push_back(text); }
};

}  // namespace kr35::testing
