#include "app/command_line.h"

#include <cstddef>

namespace kr35 {
namespace {

bool IsBlank(char c) {
  return c == ' ' || c == '\t';
}

}  // namespace

// Follows the Microsoft C runtime's argument rules:
// - 2n backslashes followed by a quote give n backslashes, and the quote opens
//   or closes a quoted section; 2n+1 backslashes and a quote give n backslashes
//   and a literal quote; backslashes not followed by a quote are kept as they are.
// - Inside a quoted section, "" gives a literal quote and the section goes on
//   (the behaviour of the current runtime, not of the pre-2008 one).
// - A quoted empty section ("") is an empty argument of its own.
std::vector<std::string> SplitCommandLine(std::string_view raw) {
  std::vector<std::string> arguments;
  std::string current;
  bool inArgument = false;
  bool inQuotes = false;
  std::size_t i = 0;
  while (i < raw.size()) {
    const char c = raw[i];
    if (!inQuotes && IsBlank(c)) {
      if (inArgument) {
        arguments.push_back(std::move(current));
        current.clear();
        inArgument = false;
      }
      ++i;
      continue;
    }
    inArgument = true;
    if (c == '\\') {
      std::size_t backslashes = 0;
      while (i < raw.size() && raw[i] == '\\') {
        ++backslashes;
        ++i;
      }
      if (i < raw.size() && raw[i] == '"') {
        current.append(backslashes / 2, '\\');
        if (backslashes % 2 == 1) {
          current.push_back('"');
          ++i;
        }
        // With an even count the quote is handled on the next pass as a delimiter.
      } else {
        current.append(backslashes, '\\');
      }
      continue;
    }
    if (c == '"') {
      if (inQuotes && i + 1 < raw.size() && raw[i + 1] == '"') {
        current.push_back('"');
        i += 2;
      } else {
        inQuotes = !inQuotes;
        ++i;
      }
      continue;
    }
    current.push_back(c);
    ++i;
  }
  if (inArgument) arguments.push_back(std::move(current));
  return arguments;
}

bool IsSwitch(std::string_view argument) {
  return !argument.empty() && (argument.front() == '-' || argument.front() == '/');
}

// An empty argument (from "") is not a parameter: like the framework's file-name
// field, the parameter stays open for the next non-switch argument.
std::string FindParameter(const std::vector<std::string>& arguments) {
  for (const std::string& argument : arguments) {
    if (!argument.empty() && !IsSwitch(argument)) return argument;
  }
  return {};
}

DownloadMode ModeForParameter(std::string_view parameter) {
  return parameter.empty() ? DownloadMode::kStandard : DownloadMode::kFull;
}

}  // namespace kr35
