// What recording a session adds to one exchange: the same channel and the
// same instantly answering device, once plain and once with every call
// written to a recording file. The difference of the p50 figures is the
// recording's overhead per exchange.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

#include "hid/fake_hid_backend.h"
#include "hid/hid_channel.h"
#include "record/session_recorder.h"

namespace kr35 {
namespace {

using SteadyClock = std::chrono::steady_clock;

class NullQueue : public DialogQueue {
 public:
  void Post(const DialogMessage&) override {}
};

void RunExchanges(benchmark::State& state, HidBackend& backend) {
  NullQueue queue;
  HidChannel channel(backend);
  channel.SetNotifyWindow(&queue);
  if (channel.FindAdapter() != 1) {
    state.SkipWithError("adapter not opened");
    return;
  }
  const CommandFrame frame = MakeQueryFrame(0x1C);
  std::string text;
  std::vector<double> samples;
  samples.reserve(1 << 20);
  for (auto _ : state) {
    const auto start = SteadyClock::now();
    const bool answered = channel.ExchangeOnce(frame, text);
    const auto end = SteadyClock::now();
    if (!answered) {
      state.SkipWithError("no answer");
      break;
    }
    if (samples.size() < samples.capacity()) {
      samples.push_back(std::chrono::duration<double, std::micro>(end - start).count());
    }
  }
  if (samples.empty()) return;
  std::sort(samples.begin(), samples.end());
  state.counters["p50_us"] = samples[samples.size() / 2];
  state.counters["p90_us"] = samples[samples.size() * 9 / 10];
}

void ExchangeWith(benchmark::State& state, bool recorded) {
  test::FakeHidBackend device({test::AdapterDevice()});
  const std::vector<std::uint8_t> answer = {0x03, 0x1C, 0x04, 0x01, 0x07, 0x01};
  device.SetWriteHook([&](auto) { device.PushReport(answer); });
  if (!recorded) {
    RunExchanges(state, device);
    return;
  }
  const std::string path =
      (std::filesystem::temp_directory_path() / "kr35_bench_recording.jsonl").string();
  std::string error;
  auto file = RecordingFile::Create(path, "kr35_bench_recording", error);
  if (!file) {
    state.SkipWithError(error.c_str());
    return;
  }
  RecordingHidBackend recording(device, file);
  RunExchanges(state, recording);
  state.counters["bytes_per_exchange"] = static_cast<double>(std::filesystem::file_size(path)) /
                                         static_cast<double>(state.iterations());
  file.reset();
  std::filesystem::remove(path);
}

void BM_Exchange_Plain(benchmark::State& state) {
  ExchangeWith(state, false);
}
void BM_Exchange_Recorded(benchmark::State& state) {
  ExchangeWith(state, true);
}
BENCHMARK(BM_Exchange_Plain)->UseRealTime()->MinTime(1.0);
BENCHMARK(BM_Exchange_Recorded)->UseRealTime()->MinTime(1.0);

}  // namespace
}  // namespace kr35
