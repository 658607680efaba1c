// The mixer seam on simulated mixer devices built from SimMixerDescription.
// Each device presents a speakers destination (mute switch and volume fader)
// when it has playback, then a recording destination with a mute switch when
// it has recording. Values persist across opens. Used from one thread.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <string_view>
#include <vector>

#include "mixer/line_layout.h"
#include "mixer/mixer_api.h"
#include "mixer/sim/sim_mixer_description.h"

namespace kr35 {

// Receives one JSON object (without a line break) per mixer open, close,
// value read and value write, e.g.
// {"mixer":"read","device":0,"line":"recording","control":"mute","value":1}.
using SimMixerTrace = std::function<void(std::string_view line)>;

class SimMixer : public MixerApi {
 public:
  explicit SimMixer(std::vector<SimMixerDescription> devices, SimMixerTrace trace = {});

  void SetTrace(SimMixerTrace trace) { trace_ = std::move(trace); }

  // The current value of device `deviceIndex`'s recording mute switch; -1
  // when there is no such device or switch.
  std::int32_t RecordMute(std::uint32_t deviceIndex) const;
  std::size_t OpenHandleCount() const { return open_.size(); }

  std::uint32_t GetNumDevs() override;
  MMRESULT Open(std::uint32_t deviceIndex, MixerCallbackWindow callbackWindow,
                MixerHandle& handle) override;
  MMRESULT GetDevCaps(std::uint32_t deviceIndex, MixerCaps& caps) override;
  MMRESULT GetLineInfo(MixerHandle handle, MixerLineInfo& line, std::uint32_t flags) override;
  MMRESULT GetLineControls(MixerHandle handle, std::uint32_t lineId,
                           std::span<MixerControlInfo> controls) override;
  MMRESULT GetControlDetails(MixerHandle handle, const MixerControlDetails& details,
                             std::span<std::int32_t> values) override;
  MMRESULT SetControlDetails(MixerHandle handle, const MixerControlDetails& details,
                             std::span<const std::int32_t> values) override;
  MMRESULT Close(MixerHandle handle) override;

 private:
  struct Device {
    SimMixerDescription description;
    std::vector<LayoutLine> lines;
    std::map<std::uint32_t, std::int32_t> values;  // by control id
  };

  Device* DeviceOf(MixerHandle handle);
  // The value a read or write ("read", "write") of `details` reaches, after
  // the checks both make; a refused one is traced.
  MMRESULT AccessValue(MixerHandle handle, const MixerControlDetails& details,
                       std::size_t bufferLength, std::string_view event, std::int32_t*& value);
  void Trace(std::string_view event, std::uint32_t deviceIndex, std::uint32_t controlId,
             const std::int32_t* value);

  std::vector<Device> devices_;
  std::map<MixerHandle, std::uint32_t> open_;  // handle → device index
  MixerHandle nextHandle_ = 1;
  SimMixerTrace trace_;
};

}  // namespace kr35
