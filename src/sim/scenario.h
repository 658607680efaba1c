// A scenario for the simulated adapter: its installed versions, and the faults
// it shows on purpose. Scenarios are JSON files; docs/simulator.md describes
// the format with examples.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "mixer/sim/sim_mixer_description.h"
#include "protocol/frames.h"
#include "sim/hid_settings.h"

namespace kr35 {

// What the adapter sends back for a command a rule matched.
struct RuleAnswer {
  enum class Kind { kNormal, kSilence, kFrame };
  Kind kind = Kind::kNormal;
  ResponseFrame frame{};  // for kFrame
};

// Which received command frames a rule applies to. Unset fields match anything.
struct RuleMatch {
  // The code byte as it arrives (queries carry CMD_QUERY: the versions query is 0x9C).
  std::optional<std::uint8_t> command;
  // 1-based: the rule applies from the k-th frame with this command code on.
  int occurrence = 0;
  // 1-based: for block commands, the position of the block in the current
  // upgrade (a refused block that is sent again keeps its position).
  int block = 0;
};

struct Rule {
  RuleMatch match;
  RuleAnswer answer;  // kNormal: the adapter's own answer
  // Extra responses sent right after the answer (none when the answer is silence).
  std::vector<ResponseFrame> unsolicited;
  // How many matching frames the rule applies to; kAlways for no limit.
  int times = 1;
  // When true the adapter still acts on the command (stores the block, and so
  // on) and only its answer is replaced; when false the command is dropped.
  bool process = false;
  // The answer becomes readable this much later than usual (HID layer only).
  double delayMs = 0;
};

struct Scenario {
  // Versions reported for a part with no stored firmware.
  std::uint16_t usbVersion = 0x0100;
  std::uint16_t dspVersion = 0x0100;
  // Status queries answered UPGRADE_BUSY after each CMD_DSP_START; kAlways = forever.
  int busyPolls = 1;
  // Status queries answered UPGRADE_CHECKSUM_BAD after each CMD_DSP_START,
  // before the busy ones (an adapter still erasing); kAlways = forever.
  int checksumBadPolls = 0;
  // End commands judge the image bad whatever it holds.
  bool forceDspChecksumBad = false;
  bool forceUsbChecksumBad = false;
  // Tried in order; the first that matches a frame and has uses left applies.
  std::vector<Rule> rules;

  // Settings of the HID device around the adapter (identity, descriptor,
  // timing, device-level faults). The protocol model does not look at them.
  HidSettings hid;
  // The machine's mixer devices; DefaultSimMixers() unless the scenario names them.
  std::vector<SimMixerDescription> mixers = DefaultSimMixers();

  // "hid": {"adapters": [...]}: each adapter's own scenario (this one with
  // the entry's keys applied); empty when every adapter follows this one.
  std::vector<Scenario> adapterScenarios;
};

// Parses a scenario; nullopt with `error` set (naming the offending key or
// value) when the text is not a valid scenario. An empty object is the default.
std::optional<Scenario> ParseScenario(std::string_view json, std::string& error);
std::optional<Scenario> LoadScenarioFile(const std::string& path, std::string& error);

// The command code a name or number stands for: "CMD_DSP_BLOCK", 18, "0x12".
// Query names (CMD_VERSIONS, CMD_UPGRADE_STATUS) give the code as sent (with CMD_QUERY).
std::optional<std::uint8_t> CommandCodeFromName(std::string_view name);

}  // namespace kr35
