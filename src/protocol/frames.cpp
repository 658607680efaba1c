#include "protocol/frames.h"

#include <algorithm>
#include <cstdio>

namespace kr35 {
namespace {

// Data bytes of most responses are signed 8-bit numbers widened with their sign.
int Signed(std::uint8_t byte) {
  return static_cast<std::int8_t>(byte);
}

// The same widened value as the bit pattern that "%x" / "%X" print (0xFF -> ffffffff).
unsigned SignedBits(std::uint8_t byte) {
  return static_cast<unsigned>(Signed(byte));
}

std::uint16_t Word(std::uint8_t low, std::uint8_t high) {
  return static_cast<std::uint16_t>(low | (high << 8));
}

template <typename... Args>
std::string Format(const char* format, Args... args) {
  char buffer[64];
  const int length = std::snprintf(buffer, sizeof buffer, format, args...);
  if (length <= 0) return {};
  return std::string(buffer,
                     std::min<std::size_t>(static_cast<std::size_t>(length), sizeof buffer - 1));
}

std::string DescribeHeadsetStatus(std::uint8_t b1) {
  switch (b1 & 0x03) {
    case 0:
      return " P-TOP ";
    case 1:
      return "No Headset";
    case 2:
      return " H-TOP ";
    default:
      return Format("HEADSET_STATUS %X", SignedBits(b1));
  }
}

}  // namespace

CommandFrame MakeWordFrame(std::uint8_t code, std::uint16_t value) {
  CommandFrame frame{};
  frame[0] = code;
  frame[1] = static_cast<std::uint8_t>(value & 0xFF);
  frame[2] = static_cast<std::uint8_t>(value >> 8);
  return frame;
}

CommandFrame MakeCodeFrame(std::uint8_t code) {
  CommandFrame frame{};
  frame[0] = code;
  return frame;
}

CommandFrame MakeQueryFrame(std::uint8_t code) {
  return MakeCodeFrame(static_cast<std::uint8_t>(code | CMD_QUERY));
}

CommandFrame MakeBlockFrame(std::uint8_t code, std::span<const std::uint8_t> data) {
  CommandFrame frame{};
  frame[0] = code;
  // A block never holds more than the frame can carry after its code byte.
  const std::size_t count = std::min(data.size(), kMaxDspBlockSize);
  std::copy_n(data.begin(), count, frame.begin() + 1);
  return frame;
}

std::size_t BlockCount(std::size_t payloadLength, std::size_t blockSize) {
  if (blockSize == 0) return 0;
  return payloadLength / blockSize + (payloadLength % blockSize != 0 ? 1 : 0);
}

std::optional<InstalledVersions> DecodeVersions(const ResponseFrame& response) {
  if (response[0] != RSP_VERSIONS) return std::nullopt;
  return InstalledVersions{Word(response[1], response[2]), Word(response[3], response[4])};
}

std::string VersionsText(const InstalledVersions& versions) {
  return Format("USB %04x, DSP %04x", static_cast<unsigned>(versions.usb),
                static_cast<unsigned>(versions.dsp));
}

bool DescribeUpgradeStatus(std::uint8_t status, std::string& text) {
  switch (status) {
    case UPGRADE_IDLE:
      text = "UPGRADE_IDLE";
      return true;
    case UPGRADE_READY_4_BLOCK:
      text = "UPGRADE_READY_4_BLOCK";
      return true;
    case UPGRADE_BUSY:
      text = "UPGRADE_BUSY";
      return false;
    case UPGRADE_CHECKSUM_GOOD:
      text = "UPGRADE_CHECKSUM_GOOD";
      return true;
    case UPGRADE_CHECKSUM_BAD:
      text = "UPGRADE_CHECKSUM_BAD";
      return true;
    default:
      return true;  // no name: the text stays as it was
  }
}

// The text is always replaced: codes without a text of their own leave it
// empty, whatever it held before, so the result never depends on the caller's
// previous text (this includes an unlisted upgrade status under code 20).
bool DecodeResponse(const ResponseFrame& response, std::string& text) {
  text.clear();
  const std::uint8_t b1 = response[1];
  const std::uint8_t b2 = response[2];
  // Byte 0 is a signed code: 0x80..0xFF are negative and fall under "any other code".
  switch (static_cast<std::int8_t>(response[0])) {
    case RSP_ACK:
      text = "RSP_ACK";
      return true;
    case RSP_NAK_CMD:
      text = "RSP_NAK_CMD";
      return true;
    case RSP_NAK_DSP:
      text = "RSP_NAK_DSP";
      return false;
    case RSP_NAK_BUSY:
      text = "RSP_NAK_BUSY";
      return true;
    case RSP_DATA_PAIR_4:
    case RSP_DATA_PAIR_7:
    case RSP_DATA_PAIR_8:
    case RSP_DATA_PAIR_9:
    case RSP_DATA_PAIR_26:
    case RSP_DATA_PAIR_27:
      text = Format("0x%x, 0x%x ", SignedBits(b1), SignedBits(b2));
      return true;
    case RSP_SINGLE_VALUE_5:
      text = Format("%d ", Signed(b1));
      return true;
    case RSP_UPGRADE_STATUS:
      return DescribeUpgradeStatus(b1, text);
    case RSP_VERSIONS:
      text = VersionsText(*DecodeVersions(response));
      return true;
    case RSP_HEADSET_STATUS:
      text = DescribeHeadsetStatus(b1);
      return true;
    case RSP_TWO_BIT_STATE:
      return (b1 & 0x03) != 2;
    default:
      return true;  // unknown codes are accepted silently
  }
}

}  // namespace kr35
