// A session recording read back: what the program asked of the HID stack and
// what the device did after each output report the program wrote.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "hid/hid_io.h"
#include "record/recorded_caps.h"

namespace kr35 {

// Something the device did: an input report or a read error on a read
// handle, or a device-change notice.
struct RecordedDeviceEvent {
  enum class Kind { kRead, kReadError, kNotice };
  Kind kind = Kind::kRead;
  std::int64_t tUs = 0;
  int handle = 0;
  std::vector<std::uint8_t> report;
  std::uint32_t code = 0;
};

// One output report the program wrote, with what the device did until the next one.
struct RecordedWrite {
  std::int64_t tUs = 0;
  std::string path;
  std::vector<std::uint8_t> report;
  bool ok = true;
  std::vector<RecordedDeviceEvent> after;
};

// What the recording says about one interface path; the first answer counts.
struct RecordedInterface {
  bool readable = false;
  bool writable = false;
  std::optional<HidAttributes> attributes;
  std::optional<std::string> manufacturer;
  std::optional<std::string> product;
  std::optional<std::string> serial;  // absent from recordings made before it was kept
  std::optional<std::string> port;    // the USB port; likewise
  std::optional<std::vector<std::uint8_t>> descriptor;
  std::optional<RecordedCaps> caps;  // what stands for the descriptor where it is missing
  int attributesLine = 0;            // the recording's lines that gave them, for messages
  int descriptorLine = 0;
};

struct Recording {
  std::string program;
  std::string platform;
  bool noticesRegistered = true;
  std::vector<std::optional<std::vector<std::string>>> enumerations;
  std::vector<int> enumerationLines;  // the line of each, for messages
  std::map<std::string, RecordedInterface> interfaces;
  std::vector<RecordedDeviceEvent> prelude;  // before the first output report
  std::vector<RecordedWrite> writes;
};

// Null with `error` naming the file and line when it cannot be read or is not
// a recording this program understands.
std::optional<Recording> LoadRecording(const std::string& path, std::string& error);

}  // namespace kr35
