#include "app/win32/program_arguments.h"

namespace kr35 {
namespace {

bool IsBlank(char c) {
  return c == ' ' || c == '\t';
}

}  // namespace

std::string_view ArgumentsAfterProgramName(std::string_view commandLine) {
  std::size_t end = 0;
  if (!commandLine.empty() && commandLine.front() == '"') {
    const std::size_t close = commandLine.find('"', 1);
    end = close == std::string_view::npos ? commandLine.size() : close + 1;
  }
  while (end < commandLine.size() && !IsBlank(commandLine[end])) ++end;
  while (end < commandLine.size() && IsBlank(commandLine[end])) ++end;
  return commandLine.substr(end);
}

}  // namespace kr35
