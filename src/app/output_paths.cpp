#include "app/output_paths.h"

#include <filesystem>
#include <system_error>

namespace kr35 {
namespace {

bool SameFile(const std::string& a, const std::string& b) {
  namespace fs = std::filesystem;
  std::error_code ec;
  if (fs::equivalent(a, b, ec) && !ec) return true;
  const fs::path canonicalA = fs::weakly_canonical(a, ec);
  if (ec) return false;
  const fs::path canonicalB = fs::weakly_canonical(b, ec);
  return !ec && canonicalA == canonicalB;
}

}  // namespace

bool CheckOutputPaths(const std::vector<NamedPath>& outputs, const std::vector<NamedPath>& inputs,
                      std::string& error) {
  for (std::size_t i = 0; i < outputs.size(); ++i) {
    const NamedPath& output = outputs[i];
    if (output.path.empty()) continue;
    const auto clash = [&](const NamedPath& other, const char* role) {
      if (other.path.empty() || other.option == output.option) return false;
      if (!SameFile(output.path, other.path)) return false;
      error = "'" + output.path + "' (" + output.option + ") is also " + role + " ('" + other.path +
              "', " + other.option + "): writing it would destroy it";
      return true;
    };
    for (const NamedPath& input : inputs) {
      if (clash(input, "an input")) return false;
    }
    for (std::size_t j = i + 1; j < outputs.size(); ++j) {
      if (clash(outputs[j], "an output")) return false;
    }
  }
  return true;
}

}  // namespace kr35
