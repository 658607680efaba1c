// Programs a MockMixerApi with one open mixer device (handle kFakeHandle) whose
// lines are described by a table, so model tests state layouts and failures
// instead of call sequences.
#pragma once

#include <algorithm>
#include <cstring>
#include <vector>

#include "mixer/mock_mixer_api.h"

namespace kr35 {

inline constexpr MixerHandle kFakeHandle = 0x51;

struct FakeLine {
  FakeLine(std::uint32_t type, std::vector<std::uint32_t> controls, bool badInfo = false,
           bool badControls = false, std::vector<FakeLine> lineSources = {})
      : componentType(type),
        controlTypes(std::move(controls)),
        refuseInfo(badInfo),
        refuseControls(badControls),
        sources(std::move(lineSources)) {}

  std::uint32_t componentType = 0;
  std::vector<std::uint32_t> controlTypes;
  bool refuseInfo = false;
  bool refuseControls = false;
  std::vector<FakeLine> sources;
};

// Line ids: destination d is 100 * d, its source s is 100 * d + s + 1.
// Control ids: line id * 10 + index + 1.
inline void ProgramFakeMixer(MockMixerApi& api, std::vector<FakeLine> destinations,
                             const char* productName = "Fake Mixer") {
  using ::testing::_;
  auto lines = std::make_shared<std::vector<FakeLine>>(std::move(destinations));
  ON_CALL(api, Open(_, _, _)).WillByDefault([](std::uint32_t, MixerCallbackWindow, MixerHandle& h) {
    h = kFakeHandle;
    return MMSYSERR_NOERROR;
  });
  ON_CALL(api, GetDevCaps(_, _)).WillByDefault([lines, productName](std::uint32_t, MixerCaps& c) {
    std::strncpy(c.szPname, productName, sizeof c.szPname - 1);
    c.cDestinations = static_cast<std::uint32_t>(lines->size());
    return MMSYSERR_NOERROR;
  });
  auto find = [lines](std::uint32_t id) -> const FakeLine* {
    const std::uint32_t d = id / 100, s = id % 100;
    if (d >= lines->size()) return nullptr;
    const FakeLine& dest = (*lines)[d];
    if (s == 0) return &dest;
    return s - 1 < dest.sources.size() ? &dest.sources[s - 1] : nullptr;
  };
  ON_CALL(api, GetLineInfo(_, _, _))
      .WillByDefault([find](MixerHandle, MixerLineInfo& info, std::uint32_t flags) {
        const std::uint32_t id =
            info.dwDestination * 100 + (flags == MIXER_GETLINEINFOF_SOURCE ? info.dwSource + 1 : 0);
        const FakeLine* line = find(id);
        if (line == nullptr || line->refuseInfo) return MIXERR_INVALLINE;
        info.dwLineID = id;
        info.dwComponentType = line->componentType;
        info.cChannels = 2;
        info.cConnections = static_cast<std::uint32_t>(line->sources.size());
        info.cControls = static_cast<std::uint32_t>(line->controlTypes.size());
        return MMSYSERR_NOERROR;
      });
  ON_CALL(api, GetLineControls(_, _, _))
      .WillByDefault([find](MixerHandle, std::uint32_t id, std::span<MixerControlInfo> out) {
        const FakeLine* line = find(id);
        if (line == nullptr || line->refuseControls) return MMSYSERR_ERROR;
        for (std::size_t i = 0; i < out.size(); ++i) {
          out[i].dwControlID = id * 10 + static_cast<std::uint32_t>(i) + 1;
          out[i].dwControlType = line->controlTypes[i];
        }
        return MMSYSERR_NOERROR;
      });
  ON_CALL(api, Close(_)).WillByDefault(::testing::Return(MMSYSERR_NOERROR));
}

}  // namespace kr35
