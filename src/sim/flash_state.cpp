#include "sim/flash_state.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <system_error>

#include <nlohmann/json.hpp>

#include "firmware/file_io.h"
#include "firmware/firmware_image.h"
#include "hid/hex_bytes.h"

namespace kr35 {
namespace {

using Json = nlohmann::json;

constexpr int kFormatVersion = 1;
// Two payloads in hex plus a little JSON.
constexpr std::uintmax_t kMaxStateFileBytes = 4 * kMaxStoredPayload + 4096;

Json PartToJson(const std::optional<std::vector<std::uint8_t>>& part) {
  return part ? Json(ToHex(*part)) : Json(nullptr);
}

bool PartFromJson(const Json& root, const char* key, std::optional<std::vector<std::uint8_t>>& part,
                  std::string& error) {
  if (!root.contains(key) || root[key].is_null()) {
    part.reset();
    return true;
  }
  if (root[key].is_string()) {
    part = FromHex(root[key].get<std::string>(), kMaxStoredPayload);
    if (part) return true;
  }
  error = std::string("'") + key + "' must be null or an even-length hex string of at most " +
          std::to_string(kMaxStoredPayload) + " bytes";
  return false;
}

}  // namespace

std::uint16_t StoredVersion(std::span<const std::uint8_t> payload) {
  if (payload.size() < kPayloadVersionOffset + 2) return 0;
  return static_cast<std::uint16_t>(payload[kPayloadVersionOffset] |
                                    payload[kPayloadVersionOffset + 1] << 8);
}

bool SaveFlashState(const FlashState& state, const std::string& path, std::string& error) {
  const Json root = {{"kr35_sim_flash", kFormatVersion},
                     {"usb", PartToJson(state.usb)},
                     {"dsp", PartToJson(state.dsp)}};
  const std::string text = root.dump() + '\n';
  return WriteFileAtomically(
      path, {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()}, error);
}

bool OpenFlashStateFile(const std::string& path, std::optional<FlashState>& state,
                        std::string& error) {
  state.reset();
  std::error_code ec;
  const bool exists = std::filesystem::exists(path, ec);
  if (ec) {
    error = "cannot use state file '" + path + "': " + ec.message();
    return false;
  }
  if (!CheckCanReplace(path, error)) return false;
  if (exists) state = LoadFlashState(path, error);
  return !exists || state.has_value();
}

std::optional<FlashState> LoadFlashState(const std::string& path, std::string& error) {
  std::error_code ec;
  const std::uintmax_t size = std::filesystem::file_size(path, ec);
  if (ec) {
    error = "cannot read '" + path + "': " + ec.message();
    return std::nullopt;
  }
  if (size > kMaxStateFileBytes) {
    error = "'" + path + "' is too large for a state file";
    return std::nullopt;
  }
  std::ifstream file(path, std::ios::binary);
  std::ostringstream text;
  text << file.rdbuf();
  if (!file) {
    error = "cannot read '" + path + "'";
    return std::nullopt;
  }
  auto state = ParseFlashState(text.str(), error);
  if (!state) error = "'" + path + "': " + error;
  return state;
}

std::optional<FlashState> ParseFlashState(std::string_view text, std::string& error) {
  const Json root = Json::parse(text, nullptr, /*allow_exceptions=*/false);
  if (root.is_discarded() || !root.is_object() || !root.contains("kr35_sim_flash") ||
      root["kr35_sim_flash"] != kFormatVersion) {
    error = "not a simulator state file";
    return std::nullopt;
  }
  FlashState state;
  if (!PartFromJson(root, "usb", state.usb, error) ||
      !PartFromJson(root, "dsp", state.dsp, error)) {
    return std::nullopt;
  }
  return state;
}

}  // namespace kr35
