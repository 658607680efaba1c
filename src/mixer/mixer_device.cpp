#include "mixer/mixer_device.h"

#include <algorithm>
#include <cstring>

namespace kr35 {
namespace {

// Destination and source counts come from the platform and are not trusted:
// no real mixer comes near these, and they keep a bogus count from turning
// the enumeration into billions of calls.
constexpr std::uint32_t kMaxDestinations = 256;
constexpr std::uint32_t kMaxSourcesPerDestination = 256;

}  // namespace

MixerDevice::MixerDevice(MixerApi& api) : api_(&api) {}

MixerDevice::~MixerDevice() {
  Close();
  callbackWindow_ = nullptr;
}

bool MixerDevice::Open(std::uint32_t deviceIndex, MixerCallbackWindow callbackWindow) {
  Close();
  // A refused close leaves the old device open; its handle cannot be
  // dropped without leaking it, so the new device is not opened.
  if (IsOpen()) return false;

  callbackWindow_ = callbackWindow;
  MixerHandle handle = kMixerNotOpen;
  if (api_->Open(deviceIndex, callbackWindow, handle) != MMSYSERR_NOERROR ||
      handle == kMixerNotOpen) {
    return false;
  }
  handle_ = handle;

  if (api_->GetDevCaps(deviceIndex, caps_) != MMSYSERR_NOERROR) {
    caps_ = MixerCaps{};
    return false;
  }
  EnumerateLines();
  return true;
}

void MixerDevice::Close() {
  if (!IsOpen()) return;
  if (api_->Close(handle_) != MMSYSERR_NOERROR) return;
  handle_ = kMixerNotOpen;
  caps_ = MixerCaps{};
  lines_.clear();
}

std::string_view MixerDevice::ProductName() const {
  const char* name = caps_.szPname;
  const auto* end = std::find(name, name + sizeof caps_.szPname, '\0');
  return std::string_view(name, static_cast<std::size_t>(end - name));
}

MixerLine* MixerDevice::FindLine(std::uint32_t componentType) {
  const auto found = std::find_if(lines_.begin(), lines_.end(), [&](const MixerLine& line) {
    return line.ComponentType() == componentType;
  });
  return found == lines_.end() ? nullptr : &*found;
}

void MixerDevice::EnumerateLines() {
  lines_.clear();
  const std::uint32_t destinations = std::min(caps_.cDestinations, kMaxDestinations);
  for (std::uint32_t d = 0; d < destinations; ++d) {
    MixerLineInfo destination;
    destination.dwDestination = d;
    destination.dwSource = 0;
    if (api_->GetLineInfo(handle_, destination, MIXER_GETLINEINFOF_DESTINATION) !=
        MMSYSERR_NOERROR) {
      continue;
    }
    AddLine(destination);

    const std::uint32_t sources = std::min(destination.cConnections, kMaxSourcesPerDestination);
    for (std::uint32_t s = 0; s < sources; ++s) {
      MixerLineInfo source;
      source.dwDestination = d;
      source.dwSource = s;
      if (api_->GetLineInfo(handle_, source, MIXER_GETLINEINFOF_SOURCE) != MMSYSERR_NOERROR) {
        continue;
      }
      AddLine(source);
    }
  }
}

void MixerDevice::AddLine(const MixerLineInfo& info) {
  MixerLine line(*api_, info);
  if (line.LoadControls(handle_)) lines_.push_back(std::move(line));
}

}  // namespace kr35
