// `kr35ctl update --all --jobs=8` on 8 simulated adapters at 2 ms per report,
// in process, against one adapter's update: how close the whole run comes to
// the time of one adapter's update (the ratio of the whole run's wall time to
// the median adapter's, from the same run; goal <= 1.25; and, beside it, to a
// run that updates one adapter alone), and the CPU time
// each adapter costs compared with a run that updates one adapter alone
// (goal: within 10 %). Each repetition updates fresh adapters.
//   build/bench/kr35_bench_fleet_update
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "app/console/event_printer.h"
#include "app/console/update_command.h"
#include "services/platform_services.h"

namespace kr35 {
namespace {

namespace fs = std::filesystem;

struct FleetRunFigures {
  double wallMs = 0;
  double medianAdapterMs = 0;
  double cpuMs = 0;
};

FleetRunFigures UpdateAll(int adapters, const fs::path& dir) {
  const fs::path scenario = dir / ("fleet" + std::to_string(adapters) + ".json");
  const fs::path report = dir / "report.json";
  std::ofstream(scenario) << R"({"busy_polls": 0, "hid": {"adapters": )" << adapters
                          << R"(, "latency_ms": 2}})";
  ServiceOptions options;
  options.simulate = true;
  options.scenarioPath = scenario.string();
  std::string error;
  auto services = PlatformServices::Create(options, error);
  if (!services) return {};
  std::FILE* out = std::tmpfile();
  EventPrinter printer(OutputStyle::kLines, out);
  UpdateOptions update;
  update.all = true;
  update.assumeYes = true;
  update.jobs = 8;
  update.reportPath = report.string();

  const std::clock_t cpuStart = std::clock();
  const auto start = std::chrono::steady_clock::now();
  RunUpdateCommand(*services, printer, update);
  FleetRunFigures figures;
  figures.wallMs =
      std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
  services.reset();  // the simulator's threads end inside the measured CPU time
  figures.cpuMs = 1000.0 * static_cast<double>(std::clock() - cpuStart) / CLOCKS_PER_SEC;
  std::fclose(out);

  std::ifstream in(report);
  const auto json = nlohmann::json::parse(in, nullptr, false);
  std::vector<double> durations;
  if (json.is_object()) {
    for (const auto& adapter : json["adapters"]) durations.push_back(adapter["durationMs"]);
  }
  if (!durations.empty()) {
    std::sort(durations.begin(), durations.end());
    figures.medianAdapterMs = durations[durations.size() / 2];
  }
  return figures;
}

void BM_FleetUpdate(benchmark::State& state) {
  const fs::path dir = fs::temp_directory_path() / "kr35_bench_fleet";
  fs::create_directories(dir);
  constexpr int kAdapters = 8;
  for (auto _ : state) {
    const FleetRunFigures one = UpdateAll(1, dir);
    const FleetRunFigures fleet = UpdateAll(kAdapters, dir);
    state.SetIterationTime(fleet.wallMs / 1000.0);
    state.counters["wall_ms"] = fleet.wallMs;
    state.counters["adapter_ms"] = fleet.medianAdapterMs;
    state.counters["wall_ratio"] =
        fleet.medianAdapterMs > 0 ? fleet.wallMs / fleet.medianAdapterMs : 0;
    state.counters["wall_ratio_vs_single"] = one.wallMs > 0 ? fleet.wallMs / one.wallMs : 0;
    state.counters["cpu_ms_per_adapter"] = fleet.cpuMs / kAdapters;
    state.counters["cpu_ms_single"] = one.cpuMs;
    state.counters["cpu_ratio"] = one.cpuMs > 0 ? fleet.cpuMs / kAdapters / one.cpuMs : 0;
  }
  fs::remove_all(dir);
}
BENCHMARK(BM_FleetUpdate)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1)
    ->Repetitions(3)
    ->ReportAggregatesOnly(true);

}  // namespace
}  // namespace kr35
