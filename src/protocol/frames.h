// Command and response frames of the adapter's upgrade protocol.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace kr35 {

// Command codes. A query sets CMD_QUERY on the code it asks about.
inline constexpr std::uint8_t CMD_DSP_START = 0x0D;
inline constexpr std::uint8_t CMD_DSP_END = 0x0E;
inline constexpr std::uint8_t CMD_USB_START = 0x0F;
inline constexpr std::uint8_t CMD_USB_END = 0x10;
inline constexpr std::uint8_t CMD_USB_BLOCK = 0x11;
inline constexpr std::uint8_t CMD_DSP_BLOCK = 0x12;
inline constexpr std::uint8_t CMD_USB_FINISH = 0x13;
inline constexpr std::uint8_t CMD_UPGRADE_STATUS = 20;
inline constexpr std::uint8_t CMD_VERSIONS = 28;
inline constexpr std::uint8_t CMD_QUERY = 0x80;

// Response codes (byte 0 of a response).
inline constexpr std::uint8_t RSP_ACK = 0;
inline constexpr std::uint8_t RSP_NAK_CMD = 1;
inline constexpr std::uint8_t RSP_NAK_DSP = 2;
inline constexpr std::uint8_t RSP_NAK_BUSY = 3;
// Answers known only by their shape: two signed data bytes, or one.
inline constexpr std::uint8_t RSP_DATA_PAIR_4 = 4;
inline constexpr std::uint8_t RSP_SINGLE_VALUE_5 = 5;
inline constexpr std::uint8_t RSP_DATA_PAIR_7 = 7;
inline constexpr std::uint8_t RSP_DATA_PAIR_8 = 8;
inline constexpr std::uint8_t RSP_DATA_PAIR_9 = 9;
inline constexpr std::uint8_t RSP_DATA_PAIR_26 = 26;
inline constexpr std::uint8_t RSP_DATA_PAIR_27 = 27;
inline constexpr std::uint8_t RSP_UPGRADE_STATUS = 20;
inline constexpr std::uint8_t RSP_VERSIONS = 28;
inline constexpr std::uint8_t RSP_HEADSET_STATUS = 29;
inline constexpr std::uint8_t RSP_TWO_BIT_STATE = 30;

// Upgrade status values (byte 1 of an RSP_UPGRADE_STATUS response).
inline constexpr std::uint8_t UPGRADE_IDLE = 0;
inline constexpr std::uint8_t UPGRADE_READY_4_BLOCK = 1;
inline constexpr std::uint8_t UPGRADE_BUSY = 2;
inline constexpr std::uint8_t UPGRADE_CHECKSUM_GOOD = 3;
inline constexpr std::uint8_t UPGRADE_CHECKSUM_BAD = 4;

// Frames are built in zeroed buffers of this size; the output report takes
// the first L bytes (L = the report count of its first value capability).
inline constexpr std::size_t kMaxCommandFrameLength = 62;
inline constexpr std::size_t kResponseFrameLength = 5;
inline constexpr std::size_t kUsbBlockSize = 32;
inline constexpr std::size_t kMaxDspBlockSize = kMaxCommandFrameLength - 1;  // 61

using CommandFrame = std::array<std::uint8_t, kMaxCommandFrameLength>;
using ResponseFrame = std::array<std::uint8_t, kResponseFrameLength>;

// Code followed by a little-endian u16 (block count or checksum): the start and end commands.
CommandFrame MakeWordFrame(std::uint8_t code, std::uint16_t value);
// Code alone, the rest zero (CMD_USB_FINISH, and queries: MakeQueryFrame(CMD_VERSIONS) is 0x9C).
CommandFrame MakeCodeFrame(std::uint8_t code);
CommandFrame MakeQueryFrame(std::uint8_t code);
// A block command: the code, then the data bytes (at most 61), zero-padded.
CommandFrame MakeBlockFrame(std::uint8_t code, std::span<const std::uint8_t> data);
// Blocks needed for a payload (rounded up); 0 for a block size of 0. A start
// command carries it in 16 bits, so at most kMaxBlockCount can be announced.
std::size_t BlockCount(std::size_t payloadLength, std::size_t blockSize);
inline constexpr std::size_t kMaxBlockCount = 0xFFFF;

// The versions answer: the installed USB and DSP firmware versions, each a
// little-endian u16 after the code. Nothing for any other response.
struct InstalledVersions {
  std::uint16_t usb = 0;
  std::uint16_t dsp = 0;
};
std::optional<InstalledVersions> DecodeVersions(const ResponseFrame& response);
// The text the version line shows for them: "USB 0104, DSP 0107".
std::string VersionsText(const InstalledVersions& versions);

// Turns a response into its text (replacing `text`) and verdict: true = accept.
bool DecodeResponse(const ResponseFrame& response, std::string& text);
// The upgrade-status part of DecodeResponse: sets the status name (an unlisted
// status leaves the text as it was); false for UPGRADE_BUSY only.
bool DescribeUpgradeStatus(std::uint8_t status, std::string& text);

}  // namespace kr35
