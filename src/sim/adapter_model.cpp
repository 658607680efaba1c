#include "sim/adapter_model.h"

#include <algorithm>
#include <numeric>
#include <utility>

namespace kr35 {
namespace {

constexpr std::uint8_t kStatusQuery = CMD_UPGRADE_STATUS | CMD_QUERY;  // 0x94
constexpr std::uint8_t kVersionsQuery = CMD_VERSIONS | CMD_QUERY;      // 0x9C

ResponseFrame Ack() {
  return ResponseFrame{RSP_ACK, 0, 0, 0, 0};
}

// A refusal carries its code in byte 0 (judged by the USB transfer) and in
// byte 1 (judged by the DSP transfer).
ResponseFrame Refuse(std::uint8_t code) {
  return ResponseFrame{code, code, 0, 0, 0};
}

ResponseFrame Status(std::uint8_t status) {
  return ResponseFrame{RSP_UPGRADE_STATUS, status, 0, 0, 0};
}

std::uint16_t ByteSum(const std::vector<std::uint8_t>& data) {
  return static_cast<std::uint16_t>(std::accumulate(data.begin(), data.end(), 0u));
}

// Appends exactly `size` bytes: as many of `data` as there are, then zeros.
void AppendBlock(std::vector<std::uint8_t>& out, std::span<const std::uint8_t> data,
                 std::size_t size) {
  const std::size_t taken = std::min(size, data.size());
  out.insert(out.end(), data.begin(), data.begin() + static_cast<std::ptrdiff_t>(taken));
  out.resize(out.size() + (size - taken), 0);
}

}  // namespace

AdapterModel::AdapterModel(Scenario scenario, std::size_t outputReportLength)
    : scenario_(std::move(scenario)),
      ruleUses_(scenario_.rules.size(), 0),
      // Lengths below 4 leave no room for a block; the adapter then takes one byte.
      dspBlockSize_(outputReportLength > 4 ? outputReportLength - 3 : 1) {}

std::uint16_t AdapterModel::InstalledUsbVersion() const {
  return flash_.usb ? StoredVersion(*flash_.usb) : scenario_.usbVersion;
}

std::uint16_t AdapterModel::InstalledDspVersion() const {
  return flash_.dsp ? StoredVersion(*flash_.dsp) : scenario_.dspVersion;
}

std::uint8_t AdapterModel::UpgradeStatus() const {
  switch (dsp_.phase) {
    case Phase::kIdle:
      return UPGRADE_IDLE;
    case Phase::kReceiving:
      if (checksumBadPollsLeft_ != 0) return UPGRADE_CHECKSUM_BAD;
      return busyPollsLeft_ != 0 ? UPGRADE_BUSY : UPGRADE_READY_4_BLOCK;
    case Phase::kEnded:
      return dsp_.accepted ? UPGRADE_CHECKSUM_GOOD : UPGRADE_CHECKSUM_BAD;
  }
  return UPGRADE_IDLE;
}

void AdapterModel::Restart() {
  dsp_ = Upgrade{};
  usb_ = Upgrade{};
  checksumBadPollsLeft_ = 0;
  busyPollsLeft_ = 0;
}

std::vector<ResponseFrame> AdapterModel::Handle(std::span<const std::uint8_t> frame) {
  lastDelayMs_ = 0;
  if (frame.empty()) return {};
  ++commandCount_;
  const std::uint8_t code = frame[0];
  ++occurrences_[code];

  const Rule* rule = TakeRule(code);
  if (rule == nullptr) return {Process(frame)};

  lastDelayMs_ = rule->delayMs;
  const bool replaced = rule->answer.kind != RuleAnswer::Kind::kNormal;
  std::vector<ResponseFrame> responses;
  if (!replaced || rule->process) {
    const ResponseFrame normal = Process(frame);
    if (!replaced) responses.push_back(normal);
  }
  if (rule->answer.kind == RuleAnswer::Kind::kSilence) return {};
  if (rule->answer.kind == RuleAnswer::Kind::kFrame) responses.push_back(rule->answer.frame);
  responses.insert(responses.end(), rule->unsolicited.begin(), rule->unsolicited.end());
  return responses;
}

std::size_t AdapterModel::BlockPosition(std::uint8_t code) const {
  if (code == CMD_DSP_BLOCK) return dsp_.blocksReceived + 1;
  if (code == CMD_USB_BLOCK) return usb_.blocksReceived + 1;
  return 0;
}

Rule* AdapterModel::TakeRule(std::uint8_t code) {
  for (std::size_t i = 0; i < scenario_.rules.size(); ++i) {
    Rule& rule = scenario_.rules[i];
    const RuleMatch& match = rule.match;
    if (match.command && *match.command != code) continue;
    if (match.occurrence > 0 && occurrences_[code] < static_cast<std::size_t>(match.occurrence)) {
      continue;
    }
    if (match.block > 0 && BlockPosition(code) != static_cast<std::size_t>(match.block)) continue;
    if (rule.times != kAlways && ruleUses_[i] >= rule.times) continue;
    ++ruleUses_[i];
    return &rule;
  }
  return nullptr;
}

ResponseFrame AdapterModel::Process(std::span<const std::uint8_t> frame) {
  const auto byte = [&](std::size_t i) -> std::uint8_t { return i < frame.size() ? frame[i] : 0; };
  const auto word = static_cast<std::uint16_t>(byte(1) | byte(2) << 8);
  const std::span<const std::uint8_t> data = frame.subspan(1);
  switch (frame[0]) {
    case CMD_DSP_START:
      return DspStart(word);
    case CMD_DSP_BLOCK:
      return DspBlock(data);
    case CMD_DSP_END:
      return DspEnd(word);
    case kStatusQuery:
      return StatusQuery();
    case CMD_USB_START:
      return UsbStart(word);
    case CMD_USB_BLOCK:
      return UsbBlock(data);
    case CMD_USB_END:
      return UsbEnd(word);
    case CMD_USB_FINISH:
      return UsbFinish();
    case kVersionsQuery:
      return Versions();
    default:
      return Refuse(RSP_NAK_CMD);
  }
}

ResponseFrame AdapterModel::DspStart(std::uint16_t blocks) {
  dsp_ = Upgrade{};
  dsp_.phase = Phase::kReceiving;
  dsp_.expectedBlocks = blocks;
  checksumBadPollsLeft_ = scenario_.checksumBadPolls;
  busyPollsLeft_ = scenario_.busyPolls;
  return Ack();
}

ResponseFrame AdapterModel::StatusQuery() {
  if (dsp_.phase == Phase::kReceiving && checksumBadPollsLeft_ != 0) {
    if (checksumBadPollsLeft_ > 0) --checksumBadPollsLeft_;
    return Status(UPGRADE_CHECKSUM_BAD);
  }
  if (dsp_.phase == Phase::kReceiving && busyPollsLeft_ != 0) {
    if (busyPollsLeft_ > 0) --busyPollsLeft_;
    return Status(UPGRADE_BUSY);
  }
  return Status(UpgradeStatus());
}

ResponseFrame AdapterModel::DspBlock(std::span<const std::uint8_t> data) {
  // Blocks outside an upgrade, or beyond the announced count, are refused;
  // this also bounds what is stored.
  if (dsp_.phase != Phase::kReceiving || dsp_.blocksReceived >= dsp_.expectedBlocks) {
    return Refuse(RSP_NAK_CMD);
  }
  if (NotReady()) return Refuse(RSP_NAK_BUSY);
  AppendBlock(dsp_.data, data, dspBlockSize_);
  ++dsp_.blocksReceived;
  return Ack();
}

ResponseFrame AdapterModel::DspEnd(std::uint16_t checksum) {
  if (dsp_.phase == Phase::kIdle) return Refuse(RSP_NAK_CMD);
  if (dsp_.phase == Phase::kReceiving) {
    dsp_.phase = Phase::kEnded;
    checksumBadPollsLeft_ = 0;
    busyPollsLeft_ = 0;
    dsp_.accepted = !scenario_.forceDspChecksumBad && dsp_.blocksReceived == dsp_.expectedBlocks &&
                    ByteSum(dsp_.data) == checksum;
    // Only a complete, verified image replaces the stored one.
    if (dsp_.accepted) flash_.dsp = std::move(dsp_.data);
    dsp_.data.clear();
  }
  return Ack();
}

ResponseFrame AdapterModel::UsbStart(std::uint16_t blocks) {
  usb_ = Upgrade{};
  usb_.phase = Phase::kReceiving;
  usb_.expectedBlocks = blocks;
  return Ack();
}

ResponseFrame AdapterModel::UsbBlock(std::span<const std::uint8_t> data) {
  if (usb_.phase != Phase::kReceiving || usb_.blocksReceived >= usb_.expectedBlocks) {
    return Refuse(RSP_NAK_CMD);
  }
  AppendBlock(usb_.data, data, kUsbBlockSize);
  ++usb_.blocksReceived;
  return Ack();
}

ResponseFrame AdapterModel::UsbEnd(std::uint16_t checksum) {
  if (usb_.phase == Phase::kIdle) return Refuse(RSP_NAK_CMD);
  if (usb_.phase == Phase::kReceiving) {
    usb_.phase = Phase::kEnded;
    usb_.accepted = !scenario_.forceUsbChecksumBad && usb_.blocksReceived == usb_.expectedBlocks &&
                    ByteSum(usb_.data) == checksum;
    if (!usb_.accepted) usb_.data.clear();
  }
  return usb_.accepted ? Ack() : Refuse(RSP_NAK_CMD);
}

ResponseFrame AdapterModel::UsbFinish() {
  if (usb_.phase != Phase::kEnded || !usb_.accepted) return Refuse(RSP_NAK_CMD);
  // The accepted image is installed now, and the adapter restarts on it.
  flash_.usb = std::move(usb_.data);
  usb_ = Upgrade{};
  restartRequested_ = true;
  return Ack();
}

ResponseFrame AdapterModel::Versions() const {
  const std::uint16_t usb = InstalledUsbVersion();
  const std::uint16_t dsp = InstalledDspVersion();
  return ResponseFrame{RSP_VERSIONS, static_cast<std::uint8_t>(usb & 0xFF),
                       static_cast<std::uint8_t>(usb >> 8), static_cast<std::uint8_t>(dsp & 0xFF),
                       static_cast<std::uint8_t>(dsp >> 8)};
}

}  // namespace kr35
