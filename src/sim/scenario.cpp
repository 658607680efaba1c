#include "sim/scenario.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "sim/scenario_keys.h"

namespace kr35 {
namespace {

using Json = ScenarioJson;

// Scenario files are small; anything bigger is not one.
constexpr std::size_t kMaxScenarioFileBytes = 1 << 20;

}  // namespace

std::optional<Scenario> ParseScenario(std::string_view json, std::string& error) {
  Json root;
  try {
    root = Json::parse(json.begin(), json.end(), nullptr, /*allow_exceptions=*/true,
                       /*ignore_comments=*/true);
  } catch (const Json::exception& e) {
    // "[json.exception.parse_error.101] parse error at line 2, column 5: ..."
    // without the library's tag: where the text goes wrong and how. A number
    // too large for any type (out_of_range.406) is refused the same way.
    std::string_view what = e.what();
    if (const auto tagEnd = what.find("] "); what.starts_with("[") && tagEnd != what.npos) {
      what.remove_prefix(tagEnd + 2);
    }
    error = "not valid JSON: " + std::string(what);
    return std::nullopt;
  }
  Scenario scenario;
  if (!KeyReader(error).ReadObject(root, "scenario", "", ScenarioKeys(), scenario)) {
    return std::nullopt;
  }
  return scenario;
}

std::optional<Scenario> LoadScenarioFile(const std::string& path, std::string& error) {
  std::error_code ec;
  if (std::filesystem::is_directory(path, ec)) {
    error = "cannot open scenario file '" + path + "': is a directory";
    return std::nullopt;
  }
  errno = 0;
  std::ifstream file(path, std::ios::binary);
  if (!file) {
    error = "cannot open scenario file '" + path +
            "': " + (errno != 0 ? std::strerror(errno) : "cannot be opened");
    return std::nullopt;
  }
  std::string text;
  char chunk[4096];
  while (file.read(chunk, sizeof chunk) || file.gcount() > 0) {
    text.append(chunk, static_cast<std::size_t>(file.gcount()));
    if (text.size() > kMaxScenarioFileBytes) {
      error = "scenario file '" + path + "' is too large";
      return std::nullopt;
    }
  }
  auto scenario = ParseScenario(text, error);
  if (!scenario) error = path + ": " + error;
  return scenario;
}

}  // namespace kr35
