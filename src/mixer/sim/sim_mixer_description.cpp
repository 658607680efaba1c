#include "mixer/sim/sim_mixer_description.h"

#include <limits>
#include <string_view>
#include <utility>

#include <nlohmann/json.hpp>

namespace kr35 {
namespace {

bool ReadBool(const nlohmann::json& value, const std::string& where, bool& target,
              std::string& error) {
  if (!value.is_boolean()) {
    error = where + " must be true or false";
    return false;
  }
  target = value.get<bool>();
  return true;
}

// Any 32-bit pattern is accepted, signed or unsigned, so a scenario can set
// values such as 0xFFFFFFFF that read like a failure.
bool ReadValue(const nlohmann::json& value, const std::string& where, std::int32_t& target,
               std::string& error) {
  if (value.is_number_unsigned()) {
    const auto number = value.get<std::uint64_t>();
    if (number <= std::numeric_limits<std::uint32_t>::max()) {
      target = static_cast<std::int32_t>(static_cast<std::uint32_t>(number));
      return true;
    }
  } else if (value.is_number_integer()) {
    const auto number = value.get<std::int64_t>();
    if (number >= std::numeric_limits<std::int32_t>::min()) {
      target = static_cast<std::int32_t>(number);
      return true;
    }
  }
  error = where + " must be a 32-bit integer";
  return false;
}

// The keys that switch a part of the mixer on or off.
constexpr std::pair<std::string_view, bool SimMixerDescription::*> kFlagKeys[] = {
    {"hasRecording", &SimMixerDescription::hasRecording},
    {"hasPlayback", &SimMixerDescription::hasPlayback},
    {"refuseOpen", &SimMixerDescription::refuseOpen},
    {"refuseRead", &SimMixerDescription::refuseRead},
    {"refuseWrite", &SimMixerDescription::refuseWrite},
    {"refuseClose", &SimMixerDescription::refuseClose},
};

bool SimMixerDescription::*FlagOf(std::string_view key) {
  for (const auto& [name, flag] : kFlagKeys) {
    if (name == key) return flag;
  }
  return nullptr;
}

bool ParseDevice(const nlohmann::json& entry, const std::string& where, SimMixerDescription& device,
                 std::string& error) {
  if (!entry.is_object()) {
    error = where + " must be an object";
    return false;
  }
  if (!entry.contains("name")) {
    error = where + " has no \"name\"";
    return false;
  }
  for (const auto& [key, value] : entry.items()) {
    const std::string field = where + "." + key;
    bool ok = true;
    if (key == "name") {
      ok = value.is_string();
      if (ok)
        device.name = value.get<std::string>();
      else
        error = field + " must be a string";
    } else if (key == "muteValue") {
      ok = ReadValue(value, field, device.muteValue, error);
    } else if (bool SimMixerDescription::*flag = FlagOf(key)) {
      ok = ReadBool(value, field, device.*flag, error);
    } else {
      error = field + " is not a mixer setting";
      ok = false;
    }
    if (!ok) return false;
  }
  return true;
}

}  // namespace

std::vector<SimMixerDescription> DefaultSimMixers() {
  SimMixerDescription device;
  device.name = std::string(kDefaultSimMixerName);
  return {device};
}

bool ParseSimMixers(const nlohmann::json& mixers, std::vector<SimMixerDescription>& devices,
                    std::string& error) {
  if (mixers.is_null()) {
    devices = DefaultSimMixers();
    return true;
  }
  if (!mixers.is_array()) {
    error = "mixers must be an array";
    return false;
  }
  if (mixers.size() > kMaxSimMixers) {
    error = "mixers holds more than " + std::to_string(kMaxSimMixers) + " entries";
    return false;
  }
  std::vector<SimMixerDescription> parsed(mixers.size());
  for (std::size_t i = 0; i < mixers.size(); ++i) {
    if (!ParseDevice(mixers[i], "mixers[" + std::to_string(i) + "]", parsed[i], error)) {
      return false;
    }
  }
  devices = std::move(parsed);
  return true;
}

}  // namespace kr35
