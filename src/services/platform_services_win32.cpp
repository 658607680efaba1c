// The platform services on Windows: hid.dll and setupapi for the HID
// interfaces, RegisterDeviceNotificationA for the notices, winmm for the mixers.
#include "services/native_services.h"
#include "services/simulated_services.h"
#include "hid/win32/win32_hid_backend.h"
#include "hid/win32/win32_notification_backend.h"
#include "mixer/winmm/winmm_mixer.h"

namespace kr35 {

std::unique_ptr<PlatformServices> PlatformServices::Create(const ServiceOptions& options,
                                                           std::string& error) {
  if (options.simulate) return CreateSimulatedServices(options, error);
  return std::make_unique<NativeServices<Win32HidBackend, Win32NotificationBackend, WinmmMixer>>();
}

}  // namespace kr35
