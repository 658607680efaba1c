// What recording a session adds to one exchange: the same channel and the
// same instantly answering device, once plain and once with every call
// written to a recording file. The difference of the p50 figures is the
// recording's overhead per exchange.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <string>
#include <vector>

#include "exchange_timing.h"
#include "hid/fake_hid_backend.h"
#include "record/session_recorder.h"

namespace kr35 {
namespace {

class NullQueue : public DialogQueue {
 public:
  void Post(const DialogMessage&) override {}
};

void RunOn(benchmark::State& state, HidBackend& backend) {
  NullQueue queue;
  HidChannel channel(backend);
  channel.SetNotifyWindow(&queue);
  if (channel.FindAdapter() != 1) {
    state.SkipWithError("adapter not opened");
    return;
  }
  RunExchanges(state, channel);
}

void ExchangeWith(benchmark::State& state, bool recorded) {
  test::FakeHidBackend device({test::AdapterDevice()});
  const std::vector<std::uint8_t> answer = {0x03, 0x1C, 0x04, 0x01, 0x07, 0x01};
  device.SetWriteHook([&](auto) { device.PushReport(answer); });
  if (!recorded) {
    RunOn(state, device);
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
  RunOn(state, recording);
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
