// The HID channel's costs: exchanges per second and the latency the channel
// and its reader thread add to one exchange; how long Close takes while a
// read is outstanding; and the CPU an idle open channel uses.
#include <benchmark/benchmark.h>
#include <time.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "exchange_timing.h"
#include "hid/fake_hid_backend.h"
#include "hid/hid_channel.h"
#include "sim/sim_hid_backend.h"

namespace kr35 {
namespace {

using Clock = std::chrono::steady_clock;
using test::FakeHidBackend;

class NullQueue : public DialogQueue {
 public:
  void Post(const DialogMessage&) override {}
};

// A device that answers inside the write call: what is measured is the
// channel itself (write, reader wake-up, decode, event, take).
void BM_ExchangeOnce_InstantDevice(benchmark::State& state) {
  FakeHidBackend backend({test::AdapterDevice()});
  const std::vector<std::uint8_t> answer = {0x03, 0x1C, 0x04, 0x01, 0x07, 0x01};
  backend.SetWriteHook([&](auto) { backend.PushReport(answer); });
  NullQueue queue;
  HidChannel channel(backend);
  channel.SetNotifyWindow(&queue);
  if (channel.FindAdapter() != 1 || !backend.WaitForReaderIdle()) {
    state.SkipWithError("adapter not opened");
    return;
  }
  RunExchanges(state, channel);
}
BENCHMARK(BM_ExchangeOnce_InstantDevice)->UseRealTime()->MinTime(1.0);

// The simulated adapter with no report latency: adds its own worker thread,
// protocol model and scheduling to each exchange.
void BM_ExchangeOnce_SimulatedAdapter(benchmark::State& state) {
  Scenario scenario;
  scenario.hid.latencyMs = 0;
  SimHidBackend backend(scenario);
  NullQueue queue;
  HidChannel channel(backend);
  channel.SetNotifyWindow(&queue);
  if (channel.FindAdapter() != 1) {
    state.SkipWithError("simulated adapter not opened");
    return;
  }
  RunExchanges(state, channel);
}
BENCHMARK(BM_ExchangeOnce_SimulatedAdapter)->UseRealTime()->MinTime(1.0);

// Close while the reader waits in a 1000 ms read slice.
void BM_CloseWithReadOutstanding(benchmark::State& state) {
  FakeHidBackend backend({test::AdapterDevice()});
  HidChannel channel(backend);  // readSlice 1000 ms
  double worstMs = 0;
  for (auto _ : state) {
    if (channel.FindAdapter() != 1 || !backend.WaitForReaderIdle()) {
      state.SkipWithError("adapter not opened");
      break;
    }
    const auto start = Clock::now();
    channel.Close();
    const auto elapsed = std::chrono::duration<double>(Clock::now() - start);
    state.SetIterationTime(elapsed.count());
    worstMs = std::max(worstMs, elapsed.count() * 1e3);
  }
  state.counters["worst_ms"] = worstMs;
}
BENCHMARK(BM_CloseWithReadOutstanding)
    ->UseManualTime()
    ->Iterations(200)
    ->Unit(benchmark::kMicrosecond);

double ProcessCpuSeconds() {
  timespec t{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

// An open channel with nothing to read, for 10 s: the process's CPU time over
// the wall time (the benchmark's own thread sleeps meanwhile).
void BM_IdleChannelCpu(benchmark::State& state) {
  FakeHidBackend backend({test::AdapterDevice()});
  NullQueue queue;
  HidChannel channel(backend);
  channel.SetNotifyWindow(&queue);
  if (channel.FindAdapter() != 1 || !backend.WaitForReaderIdle()) {
    state.SkipWithError("adapter not opened");
    return;
  }
  for (auto _ : state) {
    const double cpuStart = ProcessCpuSeconds();
    const auto wallStart = Clock::now();
    std::this_thread::sleep_for(std::chrono::seconds(10));
    const double cpu = ProcessCpuSeconds() - cpuStart;
    const double wall = std::chrono::duration<double>(Clock::now() - wallStart).count();
    state.counters["cpu_percent"] = 100.0 * cpu / wall;
    state.counters["cpu_ms"] = cpu * 1e3;
  }
}
BENCHMARK(BM_IdleChannelCpu)->Iterations(1)->UseRealTime()->Unit(benchmark::kSecond);

}  // namespace
}  // namespace kr35
