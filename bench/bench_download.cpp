// A whole standard-mode download (built-in DSP image, then USB image) on the
// simulated adapter with its default 1 ms per report each way and no busy
// answers, against the protocol floor: every exchange takes at least the two
// report latencies (2 ms), and the USB finish adds its 50 ms pause.
#include <benchmark/benchmark.h>

#include <chrono>
#include <string>

#include "app/dialog_ids.h"
#include "app/standard_dialog.h"
#include "app/ui_resources.h"
#include "firmware/builtin_images.h"
#include "firmware/firmware_image.h"
#include "mixer/sim/sim_mixer.h"
#include "mixer/sim/sim_mixer_description.h"
#include "protocol/frames.h"
#include "sim/sim_hid_backend.h"

namespace kr35 {
namespace {

// Answers every message box with OK and remembers the last one.
class AcceptingHost : public DialogHost {
 public:
  void SetControlText(int, const std::string&) override {}
  std::string GetControlText(int) override { return {}; }
  void EnableControl(int, bool) override {}
  MessageBoxResult ShowMessageBox(const std::string& text, MessageBoxIcon,
                                  MessageBoxButtons) override {
    lastBox = text;
    return MessageBoxResult::kOk;
  }
  void BeginWaitCursor() override {}
  void EndWaitCursor() override {}
  std::optional<std::string> BrowseForFile() override { return std::nullopt; }
  void AppendSystemMenuItem(int, const std::string&) override {}
  void SetDialogIcon(int) override {}
  void Post(const DialogMessage&) override {}

  std::string lastBox;
};

// Exchanges of a download without busy answers: DSP start, one status poll,
// the blocks, end and the final poll; USB start, the blocks, end and finish.
int ExchangeCount(unsigned outputReportLength) {
  const auto blocks = [](std::size_t length, std::size_t size) {
    return static_cast<int>((length + size - 1) / size);
  };
  const FirmwareImage dsp(LoadBuiltInImage(kDspImageId));
  const FirmwareImage usb(LoadBuiltInImage(kUsbImageId));
  return blocks(dsp.PayloadLength(), outputReportLength - 3) + 4 +
         blocks(usb.PayloadLength(), kUsbBlockSize) + 3;
}

void BM_StandardDownload(benchmark::State& state) {
  Scenario scenario;
  scenario.busyPolls = 0;
  const Timing timing{};  // the shipped waits; none of them is reached
  const std::string success = LoadResourceString(kDownloadSucceededString);
  const double floorMs =
      ExchangeCount(scenario.hid.outputReportLength) * 2.0 * scenario.hid.latencyMs +
      timing.finishPause.count();
  double totalMs = 0;
  for (auto _ : state) {
    SimHidBackend sim(scenario);
    SimMixer mixer(DefaultSimMixers());
    AcceptingHost host;
    StandardDialog dialog(host, {sim, nullptr, mixer, timing});
    dialog.OnDialogInit();

    const auto start = std::chrono::steady_clock::now();
    dialog.OnDownload();
    const std::chrono::duration<double, std::milli> elapsed =
        std::chrono::steady_clock::now() - start;
    if (host.lastBox != success) {
      state.SkipWithError("the download failed");
      break;
    }
    state.SetIterationTime(elapsed.count() / 1000.0);
    totalMs += elapsed.count();
  }
  const double meanMs = totalMs / static_cast<double>(state.iterations());
  state.counters["floor_ms"] = floorMs;
  state.counters["measured_ms"] = meanMs;
  state.counters["ratio"] = meanMs / floorMs;
}
BENCHMARK(BM_StandardDownload)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1)
    ->Repetitions(5)
    ->DisplayAggregatesOnly(true);

}  // namespace
}  // namespace kr35
