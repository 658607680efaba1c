#include "sim/flash_state.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <system_error>

#include <nlohmann/json.hpp>

#include "firmware/firmware_image.h"

namespace kr35 {
namespace {

using Json = nlohmann::json;

constexpr int kFormatVersion = 1;
// Two payloads in hex plus a little JSON.
constexpr std::uintmax_t kMaxStateFileBytes = 4 * kMaxStoredPayload + 4096;

std::string ToHex(const std::vector<std::uint8_t>& bytes) {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string text;
  text.reserve(bytes.size() * 2);
  for (std::uint8_t byte : bytes) {
    text.push_back(kDigits[byte >> 4]);
    text.push_back(kDigits[byte & 0x0F]);
  }
  return text;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

std::optional<std::vector<std::uint8_t>> FromHex(const std::string& text) {
  if (text.size() % 2 != 0 || text.size() / 2 > kMaxStoredPayload) return std::nullopt;
  std::vector<std::uint8_t> bytes(text.size() / 2);
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    const int high = HexDigit(text[2 * i]);
    const int low = HexDigit(text[2 * i + 1]);
    if (high < 0 || low < 0) return std::nullopt;
    bytes[i] = static_cast<std::uint8_t>(high << 4 | low);
  }
  return bytes;
}

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
    part = FromHex(root[key].get<std::string>());
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
  const std::string temp = path + ".tmp";
  {
    std::ofstream file(temp, std::ios::binary | std::ios::trunc);
    file << root.dump() << '\n';
    file.flush();
    if (!file) {
      error = "cannot write '" + temp + "'";
      std::error_code ignored;
      std::filesystem::remove(temp, ignored);
      return false;
    }
  }
  std::error_code ec;
  std::filesystem::rename(temp, path, ec);
  if (ec) {
    error = "cannot replace '" + path + "': " + ec.message();
    std::filesystem::remove(temp, ec);
    return false;
  }
  return true;
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
