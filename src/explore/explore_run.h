// One run of the fault explorer: a scenario drawn from a seed, a download
// through the protocol layer against the simulated adapter in virtual time,
// and the invariants every run must keep.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include "protocol/timing.h"
#include "sim/flash_state.h"
#include "sim/scenario.h"

namespace kr35 {

enum class ExploreKind {
  kStandard,  // the built-in images: DSP, then USB only when the DSP part succeeded
  kFull,      // generated HEX files: DSP, then USB whatever the DSP part gave
};

// The images to download (header and payload) and the firmware the adapter
// holds beforehand.
struct ExploreImages {
  std::vector<std::uint8_t> dsp;
  std::vector<std::uint8_t> usb;
  std::string dspHex, usbHex;  // FULL mode: the HEX files they were converted from
  FlashState old;
};

struct ExploreRun {
  std::uint64_t seed = 0;
  ExploreKind kind = ExploreKind::kStandard;
  Scenario scenario;
  bool succeeded = false;
  std::chrono::nanoseconds duration{0};  // virtual
  ExploreImages images;
  std::vector<std::string> violations;
};

// Draws the scenario for `seed` and runs it. The same seed and kind always
// give the same run.
ExploreRun RunExploration(std::uint64_t seed, ExploreKind kind, const Timing& timing = {});

// Runs a given scenario against the given images and checks the invariants.
ExploreRun RunScenario(const Scenario& scenario, ExploreKind kind, const ExploreImages& images,
                       const Timing& timing = {});

// The longest a download of these block counts can take with these timings,
// whatever the adapter does.
std::chrono::nanoseconds DownloadTimeBound(const Timing& timing, std::size_t dspBlocks,
                                           std::size_t usbBlocks);

}  // namespace kr35
