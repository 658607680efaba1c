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
// Two payloads in hex plus a little JSON, for the first adapter and for each
// of at most 8 adapters under "adapters".
constexpr std::uintmax_t kMaxStateFileBytes = 9 * (4 * kMaxStoredPayload + 4096);
constexpr std::size_t kMaxKeptAdapters = 64;

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

bool FlashFromJson(const Json& root, FlashState& state, std::string& error) {
  return PartFromJson(root, "usb", state.usb, error) && PartFromJson(root, "dsp", state.dsp, error);
}

std::string FileText(const SimFlashFile& file) {
  Json root = {{"kr35_sim_flash", kFormatVersion},
               {"usb", PartToJson(file.first.usb)},
               {"dsp", PartToJson(file.first.dsp)}};
  if (!file.adapters.empty()) {
    Json adapters = Json::object();
    for (const auto& [key, flash] : file.adapters) {
      adapters[key] = {{"usb", PartToJson(flash.usb)}, {"dsp", PartToJson(flash.dsp)}};
    }
    root["adapters"] = std::move(adapters);
  }
  return root.dump() + '\n';
}

}  // namespace

std::uint16_t StoredVersion(std::span<const std::uint8_t> payload) {
  if (payload.size() < kPayloadVersionOffset + 2) return 0;
  return static_cast<std::uint16_t>(payload[kPayloadVersionOffset] |
                                    payload[kPayloadVersionOffset + 1] << 8);
}

bool SaveFlashState(const FlashState& state, const std::string& path, std::string& error) {
  return SaveSimFlashFile({state, {}}, path, error);
}

bool SaveSimFlashFile(const SimFlashFile& file, const std::string& path, std::string& error) {
  const std::string text = FileText(file);
  return WriteFileAtomically(
      path, {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()}, error);
}

bool OpenFlashStateFile(const std::string& path, std::optional<FlashState>& state,
                        std::string& error) {
  std::optional<SimFlashFile> file;
  if (!OpenSimFlashFile(path, file, error)) return false;
  state.reset();
  if (file) state = std::move(file->first);
  return true;
}

bool OpenSimFlashFile(const std::string& path, std::optional<SimFlashFile>& state,
                      std::string& error) {
  state.reset();
  std::error_code ec;
  const bool exists = std::filesystem::exists(path, ec);
  if (ec) {
    error = "cannot use state file '" + path + "': " + ec.message();
    return false;
  }
  if (!CheckCanReplace(path, error)) return false;
  if (exists) state = LoadSimFlashFile(path, error);
  return !exists || state.has_value();
}

std::optional<FlashState> LoadFlashState(const std::string& path, std::string& error) {
  auto file = LoadSimFlashFile(path, error);
  if (!file) return std::nullopt;
  return std::move(file->first);
}

std::optional<SimFlashFile> LoadSimFlashFile(const std::string& path, std::string& error) {
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
  auto state = ParseSimFlashFile(text.str(), error);
  if (!state) error = "'" + path + "': " + error;
  return state;
}

std::optional<FlashState> ParseFlashState(std::string_view text, std::string& error) {
  auto file = ParseSimFlashFile(text, error);
  if (!file) return std::nullopt;
  return std::move(file->first);
}

std::optional<SimFlashFile> ParseSimFlashFile(std::string_view text, std::string& error) {
  const Json root = Json::parse(text, nullptr, /*allow_exceptions=*/false);
  if (root.is_discarded() || !root.is_object() || !root.contains("kr35_sim_flash") ||
      root["kr35_sim_flash"] != kFormatVersion) {
    error = "not a simulator state file";
    return std::nullopt;
  }
  SimFlashFile file;
  if (!FlashFromJson(root, file.first, error)) return std::nullopt;
  if (!root.contains("adapters")) return file;
  const Json& adapters = root["adapters"];
  if (!adapters.is_object() || adapters.size() > kMaxKeptAdapters) {
    error =
        "'adapters' must be an object of at most " + std::to_string(kMaxKeptAdapters) + " adapters";
    return std::nullopt;
  }
  for (const auto& item : adapters.items()) {
    FlashState flash;
    if (!item.value().is_object() || !FlashFromJson(item.value(), flash, error)) {
      error = "adapter '" + item.key() + "': " + (error.empty() ? "must be an object" : error);
      return std::nullopt;
    }
    file.adapters.emplace(item.key(), std::move(flash));
  }
  return file;
}

}  // namespace kr35
