#include "explore/scenario_draw.h"

#include <array>
#include <initializer_list>

namespace kr35 {
namespace {

constexpr std::uint8_t kStatusQuery = CMD_UPGRADE_STATUS | CMD_QUERY;

constexpr ResponseFrame kNakCmd{RSP_NAK_CMD, RSP_NAK_CMD, 0, 0, 0};
constexpr ResponseFrame kNakDsp{RSP_NAK_DSP, RSP_NAK_DSP, 0, 0, 0};
constexpr ResponseFrame kNakDspBare{RSP_NAK_DSP, 0, 0, 0, 0};
constexpr ResponseFrame kNakBusy{RSP_NAK_BUSY, RSP_NAK_BUSY, 0, 0, 0};
constexpr ResponseFrame kBusy{RSP_UPGRADE_STATUS, UPGRADE_BUSY, 0, 0, 0};
constexpr ResponseFrame kChecksumBad{RSP_UPGRADE_STATUS, UPGRADE_CHECKSUM_BAD, 0, 0, 0};
constexpr ResponseFrame kTwoBitState2{RSP_TWO_BIT_STATE, 2, 0, 0, 0};
constexpr ResponseFrame kHeadsetStatus2{RSP_HEADSET_STATUS, 2, 0, 0, 0};

// Neither byte 0 (the USB verdict) nor byte 1 (the DSP verdict and the
// status) reads as an acceptance or a ready/good status.
constexpr std::array kNeverReadAsGood{kNakDsp,      kNakDspBare,   kBusy,
                                      kChecksumBad, kTwoBitState2, kHeadsetStatus2};
// Answers the exchange rejects and sends the command again for.
constexpr std::array kRejected{kNakDsp, kNakDspBare, kBusy, kTwoBitState2};
// Refusals as the adapter's answer to a command it acts on or drops.
constexpr std::array kRefusals{kNakCmd,      kNakDsp,       kNakDspBare,     kNakBusy,
                               kChecksumBad, kTwoBitState2, kHeadsetStatus2, kBusy};

class Draw {
 public:
  explicit Draw(std::mt19937_64& random) : random_(random) {}

  bool Chance(double p) { return std::bernoulli_distribution(p)(random_); }
  int Between(int low, int high) { return std::uniform_int_distribution<int>(low, high)(random_); }
  template <typename T>
  T From(std::initializer_list<T> values) {
    return values.begin()[Between(0, static_cast<int>(values.size()) - 1)];
  }
  template <typename T, std::size_t N>
  T From(const std::array<T, N>& values) {
    return values[static_cast<std::size_t>(Between(0, static_cast<int>(N) - 1))];
  }
  // 1 to 12 with weight on the small counts and on the exchange's ten attempts.
  int Times() {
    if (Chance(0.1)) return kAlways;
    return Chance(0.5) ? Between(1, 3) : Between(1, 12);
  }

 private:
  std::mt19937_64& random_;
};

std::size_t Blocks(std::size_t payload, std::size_t blockSize) {
  return (payload + blockSize - 1) / blockSize;
}

Rule DrawRule(Draw& draw, const DrawTarget& target, std::size_t dspBlockSize) {
  Rule rule;
  const std::uint8_t command = draw.From<std::uint8_t>(
      {CMD_DSP_START, CMD_DSP_BLOCK, CMD_DSP_BLOCK, CMD_DSP_END, kStatusQuery, kStatusQuery,
       CMD_USB_START, CMD_USB_BLOCK, CMD_USB_BLOCK, CMD_USB_END, CMD_USB_FINISH});
  rule.match.command = command;
  const std::size_t blocks = command == CMD_DSP_BLOCK   ? Blocks(target.dspPayload, dspBlockSize)
                             : command == CMD_USB_BLOCK ? Blocks(target.usbPayload, kUsbBlockSize)
                                                        : 0;
  if (blocks > 0 && draw.Chance(0.6)) {
    // The first, the last, or any block in between.
    rule.match.block =
        draw.From({1, static_cast<int>(blocks), draw.Between(1, static_cast<int>(blocks))});
  } else if (draw.Chance(0.5)) {
    rule.match.occurrence = draw.Between(1, command == kStatusQuery ? 40 : 5);
  }
  rule.times = draw.Times();
  rule.process = draw.Chance(0.5);

  const int answer = draw.Between(0, 9);
  if (answer < 3) {
    rule.answer.kind = RuleAnswer::Kind::kNormal;
  } else if (answer < 5) {
    rule.answer.kind = RuleAnswer::Kind::kSilence;
  } else {
    rule.answer.kind = RuleAnswer::Kind::kFrame;
    // A dropped CMD_DSP_END must not look accepted: the status after it
    // would still be UPGRADE_READY_4_BLOCK, which the transfer takes as good.
    if (command == CMD_DSP_END && !rule.process) {
      rule.answer.frame = draw.From(kRejected);
    } else {
      rule.answer.frame =
          command == kStatusQuery ? draw.From(kNeverReadAsGood) : draw.From(kRefusals);
    }
  }
  if (draw.Chance(0.4)) {
    // Around the 2000 ms the host waits for an answer, and well beyond it.
    rule.delayMs = draw.From({100.0, 1000.0, 1999.0, 2000.0, 2001.0, 2500.0, 5000.0});
  }
  if (draw.Chance(0.15)) {
    for (int i = draw.Between(1, 2); i > 0; --i)
      rule.unsolicited.push_back(draw.From(kNeverReadAsGood));
  }
  // Nor may anything that comes with it: the last response would be taken.
  if (command == CMD_DSP_END && !rule.process && rule.answer.kind != RuleAnswer::Kind::kNormal) {
    rule.unsolicited.clear();
  }
  return rule;
}

}  // namespace

Scenario DrawScenario(std::mt19937_64& random, const DrawTarget& target) {
  Draw draw(random);
  Scenario scenario;
  HidSettings& hid = scenario.hid;
  hid.outputReportLength = draw.Chance(0.5) ? 64 : draw.Between(4, 64);
  // A report takes time each way; with none, back-to-back status polls would
  // never move the virtual clock towards the end of the wait.
  hid.latencyMs = draw.From({0.5, 1.0, 3.0});
  const std::size_t dspBlockSize = static_cast<std::size_t>(hid.outputReportLength - 3);

  if (draw.Chance(0.5)) scenario.busyPolls = draw.Chance(0.05) ? kAlways : draw.Between(0, 30);
  if (draw.Chance(0.3)) {
    scenario.checksumBadPolls = draw.Chance(0.1) ? kAlways : draw.Between(1, 3000);
  }
  scenario.forceDspChecksumBad = draw.Chance(0.05);
  scenario.forceUsbChecksumBad = draw.Chance(0.05);
  for (int i = draw.Chance(0.3) ? 0 : draw.Between(1, 4); i > 0; --i) {
    scenario.rules.push_back(DrawRule(draw, target, dspBlockSize));
  }

  // Commands a clean download sends: versions query aside, roughly the blocks
  // of both parts plus a few starts, ends and status queries.
  const int commands = static_cast<int>(Blocks(target.dspPayload, dspBlockSize) +
                                        Blocks(target.usbPayload, kUsbBlockSize)) +
                       8;
  if (draw.Chance(0.1)) {
    hid.failWriteFrom = draw.Between(1, commands);
    hid.failWriteTimes = draw.Times();
  }
  if (draw.Chance(0.1)) {
    HidEvent unplug;
    unplug.kind = HidEvent::Kind::kUnplug;
    unplug.at.afterCommand = draw.Between(1, commands);
    unplug.replugAfterMs = draw.Chance(0.5) ? 100 : -1;
    hid.events.push_back(unplug);
  }
  if (draw.Chance(0.1)) {
    HidEvent response;
    response.kind = HidEvent::Kind::kResponse;
    response.at.afterCommand = draw.Between(1, commands);
    const ResponseFrame frame = draw.From(kNeverReadAsGood);
    response.bytes.assign(frame.begin(), frame.end());
    hid.events.push_back(response);
  }
  return scenario;
}

}  // namespace kr35
