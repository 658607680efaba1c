// The description of the simulated mixers, from the "mixers" key of a
// simulator scenario.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json_fwd.hpp>

namespace kr35 {

struct SimMixerDescription {
  std::string name;            // product name; cut to 31 bytes at a character boundary
  bool hasRecording = true;    // a recording destination with a mute switch
  std::int32_t muteValue = 0;  // that switch's starting value
  bool hasPlayback = false;    // a speakers destination with mute and volume
  bool refuseOpen = false;     // opening the device fails
  bool refuseRead = false;     // every value read fails
  bool refuseWrite = false;    // every value write fails
  bool refuseClose = false;    // closing the device fails
};

inline constexpr std::string_view kDefaultSimMixerName = "KR35 Headset Adapter (simulated)";
// The most mixers a scenario may describe.
inline constexpr std::size_t kMaxSimMixers = 64;

// One mixer named kDefaultSimMixerName with a recording mute switch at 0:
// what a scenario without a "mixers" key gets.
std::vector<SimMixerDescription> DefaultSimMixers();

// Parses the value of a scenario's "mixers" key: an array of objects with
// "name" (required) and the optional keys "hasRecording", "muteValue",
// "hasPlayback", "refuseOpen", "refuseRead", "refuseWrite", "refuseClose".
// A null value gives DefaultSimMixers(). On failure returns false, leaves
// `devices` unchanged and says why in `error`.
bool ParseSimMixers(const nlohmann::json& mixers, std::vector<SimMixerDescription>& devices,
                    std::string& error);

}  // namespace kr35
