#include "app/console/command_line_checks.h"

#include <cmath>
#include <cstdlib>
#include <string_view>

namespace kr35 {
namespace {

// Options whose value is a file, directory or device path.
constexpr std::string_view kPathOptions[] = {"--usb",       "--dsp",        "--sim-trace",
                                             "--sim-state", "--output-dir", "--record",
                                             "--replay",    "--device"};

bool IsPathOption(std::string_view name) {
  for (std::string_view option : kPathOptions) {
    if (name == option) return true;
  }
  return false;
}

}  // namespace

bool CheckNoEmptyValues(int argc, char** argv, std::string& error) {
  for (int i = 1; i < argc; ++i) {
    const std::string_view argument = argv[i];
    if (argument == "--") break;
    const auto equals = argument.find('=');
    const std::string_view name = argument.substr(0, equals);
    if (!IsPathOption(name)) continue;
    const bool empty = equals != std::string_view::npos ? equals + 1 == argument.size()
                                                        : i + 1 < argc && argv[i + 1][0] == '\0';
    if (empty) {
      error = std::string(name) + " needs a file name; it was given an empty one";
      return false;
    }
  }
  return true;
}

std::string UnknownSubcommandText(int argc, char** argv, const CLI::App& app) {
  for (int i = 1; i < argc; ++i) {
    const std::string_view argument = argv[i];
    if (IsPathOption(argument)) {  // its value is the next word
      ++i;
      continue;
    }
    if (argument.empty() || argument[0] == '-') continue;
    std::string names;
    for (const CLI::App* subcommand : app.get_subcommands({})) {
      if (subcommand->get_name() == argument) return {};
      names += (names.empty() ? "" : ", ") + subcommand->get_name();
    }
    return "unknown subcommand '" + std::string(argument) + "'; the subcommands are " + names;
  }
  return {};
}

bool ParseDuration(const std::string& text, double& seconds, std::string& error) {
  if (text == "forever") {
    seconds = -1;
    return true;
  }
  char* end = nullptr;
  const double value = std::strtod(text.c_str(), &end);
  if (text.empty() || end != text.c_str() + text.size() || !std::isfinite(value) || value <= 0) {
    error = "--duration must be a positive number of seconds or 'forever', not '" + text + "'";
    return false;
  }
  seconds = value;
  return true;
}

}  // namespace kr35
