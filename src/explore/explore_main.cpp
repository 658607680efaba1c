// kr35-explore: deterministic fault exploration. Each run draws a scenario
// from its seed, downloads against the simulated adapter in virtual time and
// checks the invariants; a violating run is written out for kr35ctl to replay.
#include <charconv>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>

#include "explore/explore_run.h"
#include "sim/scenario_writer.h"

namespace {

using namespace kr35;

struct Options {
  std::uint64_t seed = 1;
  std::uint64_t runs = 1000;
  std::string kind = "mixed";  // standard, full, or mixed (every fourth run full)
  std::string out = "explore-failures";
  bool help = false;
};

constexpr const char* kUsage =
    "usage: kr35-explore [--seed=S] [--runs=N] [--kind=standard|full|mixed] [--out=DIR]\n"
    "Runs N seeded downloads on randomly faulty simulated adapters in virtual time and\n"
    "writes a reproduction of each run that broke a rule into DIR.\n"
    "Exit status: 0 no run broke a rule, 1 some did, 2 usage error.\n";

bool Parse(int argc, char** argv, Options& options) {
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    const auto value = [&](std::string_view name) -> std::optional<std::string_view> {
      if (arg.substr(0, name.size()) != name) return std::nullopt;
      return arg.substr(name.size());
    };
    const auto number = [](std::string_view text, std::uint64_t& out) {
      const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), out);
      return ec == std::errc() && end == text.data() + text.size();
    };
    if (arg == "--help" || arg == "-h") {
      options.help = true;
    } else if (auto v = value("--seed=")) {
      if (!number(*v, options.seed)) return false;
    } else if (auto v = value("--runs=")) {
      if (!number(*v, options.runs)) return false;
    } else if (auto v = value("--kind=")) {
      options.kind = *v;
      if (options.kind != "standard" && options.kind != "full" && options.kind != "mixed") {
        return false;
      }
    } else if (auto v = value("--out=")) {
      options.out = *v;
    } else {
      return false;
    }
  }
  return true;
}

bool WriteText(const std::filesystem::path& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary);
  out << text;
  return static_cast<bool>(out);
}

// Writes the run's scenario, the adapter's firmware before it and, for a FULL
// run, its HEX files; prints the command that replays it.
void WriteReproduction(const ExploreRun& run, const std::filesystem::path& directory) {
  std::error_code ec;
  std::filesystem::create_directories(directory, ec);
  const std::string stem = (directory / ("seed-" + std::to_string(run.seed))).string();
  std::string error;
  WriteText(stem + ".json", ScenarioToJson(run.scenario));
  SaveFlashState(run.images.old, stem + ".state.json", error);
  std::string files;
  if (run.kind == ExploreKind::kFull) {
    WriteText(stem + ".dsp.hex", run.images.dspHex);
    WriteText(stem + ".usb.hex", run.images.usbHex);
    files = " --dsp=" + stem + ".dsp.hex --usb=" + stem + ".usb.hex";
  }
  std::printf("  replay: kr35ctl --simulate=%s.json --sim-state=%s.state.json download --yes%s\n",
              stem.c_str(), stem.c_str(), files.c_str());
}

}  // namespace

int main(int argc, char** argv) {
  Options options;
  if (!Parse(argc, argv, options)) {
    std::fputs(kUsage, stderr);
    return 2;
  }
  if (options.help) {
    std::fputs(kUsage, stdout);
    return 0;
  }
  const auto start = std::chrono::steady_clock::now();
  const std::clock_t cpuStart = std::clock();
  std::uint64_t violating = 0, succeeded = 0, full = 0;
  std::chrono::nanoseconds longest{0};
  std::uint64_t longestSeed = options.seed;
  for (std::uint64_t i = 0; i < options.runs; ++i) {
    const std::uint64_t seed = options.seed + i;
    const bool isFull = options.kind == "full" || (options.kind == "mixed" && seed % 4 == 0);
    const ExploreRun run =
        RunExploration(seed, isFull ? ExploreKind::kFull : ExploreKind::kStandard);
    full += isFull ? 1 : 0;
    succeeded += run.succeeded ? 1 : 0;
    if (run.duration > longest) {
      longest = run.duration;
      longestSeed = seed;
    }
    if (run.violations.empty()) continue;
    ++violating;
    std::printf("seed %llu (%s): %zu violation(s)\n", static_cast<unsigned long long>(seed),
                isFull ? "full" : "standard", run.violations.size());
    for (const std::string& violation : run.violations) std::printf("  %s\n", violation.c_str());
    WriteReproduction(run, options.out);
  }
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  // The rate per second of processor time: one thread, whatever else runs.
  const double cpu = static_cast<double>(std::clock() - cpuStart) / CLOCKS_PER_SEC;
  std::printf(
      "explore: %llu runs (%llu full) from seed %llu, %llu successful downloads, "
      "%llu violating runs\n",
      static_cast<unsigned long long>(options.runs), static_cast<unsigned long long>(full),
      static_cast<unsigned long long>(options.seed), static_cast<unsigned long long>(succeeded),
      static_cast<unsigned long long>(violating));
  std::printf(
      "explore: %.1f s (%.1f s of processor time), %.0f runs per processor second; "
      "longest run %.1f s of virtual time (seed %llu)\n",
      seconds, cpu, cpu > 0 ? static_cast<double>(options.runs) / cpu : 0.0,
      std::chrono::duration<double>(longest).count(), static_cast<unsigned long long>(longestSeed));
  return violating == 0 ? 0 : 1;
}
