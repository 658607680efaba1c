// The simulated adapter's flash: the firmware it has stored for its two
// parts, kept in a state file between runs.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace kr35 {

// Stored payloads are never larger than this (65535 blocks of the largest block).
inline constexpr std::size_t kMaxStoredPayload = 16u << 20;

struct FlashState {
  std::optional<std::vector<std::uint8_t>> usb;  // nullopt: nothing stored
  std::optional<std::vector<std::uint8_t>> dsp;

  bool operator==(const FlashState&) const = default;
};

// The version a stored payload carries (u16 little-endian at
// kPayloadVersionOffset); 0 when the payload is too short to hold it.
std::uint16_t StoredVersion(std::span<const std::uint8_t> payload);

// The flash of every simulated adapter in one state file. `first` is the
// first adapter's (the file's top-level "usb" and "dsp", which older files
// hold alone); `adapters` holds each adapter's keyed by its identity
// ("serial:S", or "port:N" without a serial number of its own).
struct SimFlashFile {
  FlashState first;
  std::map<std::string, FlashState> adapters;
};

// Writes the state as JSON ({"kr35_sim_flash": 1, "usb": "<hex>" or null,
// "dsp": ...}) to a temporary file beside `path`, then renames it over `path`,
// so a reader never sees a half-written file.
bool SaveFlashState(const FlashState& state, const std::string& path, std::string& error);
// The same with every adapter's flash under "adapters".
bool SaveSimFlashFile(const SimFlashFile& file, const std::string& path, std::string& error);
// Before a run that keeps its flash in `path`: refuses a path that cannot be
// written (checked now, not after the work), and loads the state when the
// file exists (`state` stays empty otherwise). False with `error` set.
bool OpenFlashStateFile(const std::string& path, std::optional<FlashState>& state,
                        std::string& error);
bool OpenSimFlashFile(const std::string& path, std::optional<SimFlashFile>& file,
                      std::string& error);
// Reads a state file written by SaveFlashState; nullopt with `error` when it
// cannot be read or is not one.
std::optional<FlashState> LoadFlashState(const std::string& path, std::string& error);
std::optional<SimFlashFile> LoadSimFlashFile(const std::string& path, std::string& error);
// The same for the text of such a file.
std::optional<FlashState> ParseFlashState(std::string_view text, std::string& error);
std::optional<SimFlashFile> ParseSimFlashFile(std::string_view text, std::string& error);

}  // namespace kr35
