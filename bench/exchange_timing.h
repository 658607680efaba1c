// Times one exchange per benchmark iteration, for the benchmarks of the
// channel and of what may sit below it.
#pragma once

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <vector>

#include "hid/hid_channel.h"

namespace kr35 {

inline double Micros(std::chrono::steady_clock::duration d) {
  return std::chrono::duration<double, std::micro>(d).count();
}

// Runs ExchangeOnce for every iteration, timing each one, and reports the
// rate and the 50th/90th/99th percentile of one exchange in microseconds.
inline void RunExchanges(benchmark::State& state, HidChannel& channel) {
  const CommandFrame frame = MakeQueryFrame(0x1C);
  std::string text;
  std::vector<double> samples;
  samples.reserve(1 << 20);
  for (auto _ : state) {
    const auto start = std::chrono::steady_clock::now();
    const bool answered = channel.ExchangeOnce(frame, text);
    const auto end = std::chrono::steady_clock::now();
    if (!answered) {
      state.SkipWithError("no answer");
      break;
    }
    if (samples.size() < samples.capacity()) samples.push_back(Micros(end - start));
  }
  if (samples.empty()) return;
  std::sort(samples.begin(), samples.end());
  auto percentile = [&](double p) {
    return samples[static_cast<std::size_t>(p * (samples.size() - 1))];
  };
  state.counters["exchanges_per_s"] =
      benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
  state.counters["p50_us"] = percentile(0.50);
  state.counters["p90_us"] = percentile(0.90);
  state.counters["p99_us"] = percentile(0.99);
}

}  // namespace kr35
