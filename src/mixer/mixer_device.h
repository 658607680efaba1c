// One mixer device opened by index, with every destination line and every
// source line of each destination, in enumeration order.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

#include "mixer/mixer_api.h"
#include "mixer/mixer_line.h"

namespace kr35 {

class MixerDevice {
 public:
  explicit MixerDevice(MixerApi& api);
  // Closes the device.
  ~MixerDevice();

  MixerDevice(const MixerDevice&) = delete;
  MixerDevice& operator=(const MixerDevice&) = delete;

  // Closes any open device first, then opens `deviceIndex`, reads its
  // capabilities and enumerates its lines. False when the open fails (not
  // open afterwards) or when the capabilities cannot be read (open, with no
  // lines).
  bool Open(std::uint32_t deviceIndex, MixerCallbackWindow callbackWindow);
  // Closes the device. When the platform refuses, everything stays as it was.
  void Close();
  bool IsOpen() const { return handle_ != kMixerNotOpen; }

  // The capabilities' product name, up to its terminating zero; empty when
  // the capabilities were not read.
  std::string_view ProductName() const;
  // The first line in list order of component type `componentType`; null
  // when none.
  MixerLine* FindLine(std::uint32_t componentType);

  const MixerCaps& Caps() const { return caps_; }
  const std::vector<MixerLine>& Lines() const { return lines_; }
  MixerHandle Handle() const { return handle_; }
  MixerCallbackWindow CallbackWindow() const { return callbackWindow_; }

 private:
  // Destination d, then its sources, for every destination. A destination
  // whose line cannot be read is missing with its sources; a line whose
  // controls cannot be read is missing alone.
  void EnumerateLines();
  // Appends the line when its controls load.
  void AddLine(const MixerLineInfo& info);

  MixerApi* api_;
  MixerHandle handle_ = kMixerNotOpen;
  MixerCallbackWindow callbackWindow_ = nullptr;
  MixerCaps caps_{};
  std::vector<MixerLine> lines_;
};

}  // namespace kr35
