// The platform services on Windows: hid.dll and setupapi for the HID
// interfaces, RegisterDeviceNotificationA for the notices. The mixer reports no
// devices until the winmm backend takes its place (see NullMixer below).
#include "app/console/platform_services.h"
#include "app/console/simulated_services.h"
#include "hid/win32/win32_hid_backend.h"
#include "hid/win32/win32_notification_backend.h"

namespace kr35 {
namespace {

// A machine without mixers: the headset binding finds none and stays unbound.
// Replace with the winmm backend once it exists.
class NullMixer final : public MixerApi {
 public:
  std::uint32_t GetNumDevs() override { return 0; }
  MMRESULT Open(std::uint32_t, MixerCallbackWindow, MixerHandle&) override {
    return MMSYSERR_BADDEVICEID;
  }
  MMRESULT GetDevCaps(std::uint32_t, MixerCaps&) override { return MMSYSERR_BADDEVICEID; }
  MMRESULT GetLineInfo(MixerHandle, MixerLineInfo&, std::uint32_t) override {
    return MMSYSERR_INVALHANDLE;
  }
  MMRESULT GetLineControls(MixerHandle, std::uint32_t, std::span<MixerControlInfo>) override {
    return MMSYSERR_INVALHANDLE;
  }
  MMRESULT GetControlDetails(MixerHandle, const MixerControlDetails&,
                             std::span<std::int32_t>) override {
    return MMSYSERR_INVALHANDLE;
  }
  MMRESULT SetControlDetails(MixerHandle, const MixerControlDetails&,
                             std::span<const std::int32_t>) override {
    return MMSYSERR_INVALHANDLE;
  }
  MMRESULT Close(MixerHandle) override { return MMSYSERR_INVALHANDLE; }
};

class WindowsServices final : public PlatformServices {
 public:
  HidBackend& Hid() override { return hid_; }
  DeviceNotificationBackend* Notifications() override { return &notifications_; }
  MixerApi& Mixer() override { return mixer_; }
  bool IsSimulated() const override { return false; }
  bool Save(std::string&) override { return true; }

 private:
  Win32HidBackend hid_;
  Win32NotificationBackend notifications_;
  NullMixer mixer_;
};

}  // namespace

std::unique_ptr<PlatformServices> PlatformServices::Create(const ServiceOptions& options,
                                                           std::string& error) {
  if (options.simulate) return CreateSimulatedServices(options, error);
  return std::make_unique<WindowsServices>();
}

}  // namespace kr35
