// The platform services on Windows: hid.dll and setupapi for the HID
// interfaces, RegisterDeviceNotificationA for the notices, winmm for the mixers.
#include "app/console/platform_services.h"
#include "app/console/simulated_services.h"
#include "hid/win32/win32_hid_backend.h"
#include "hid/win32/win32_notification_backend.h"
#include "mixer/winmm/winmm_mixer.h"

namespace kr35 {
namespace {

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
  WinmmMixer mixer_;
};

}  // namespace

std::unique_ptr<PlatformServices> PlatformServices::Create(const ServiceOptions& options,
                                                           std::string& error) {
  if (options.simulate) return CreateSimulatedServices(options, error);
  return std::make_unique<WindowsServices>();
}

}  // namespace kr35
