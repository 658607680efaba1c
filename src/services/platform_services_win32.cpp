// The platform services on Windows: hid.dll and setupapi for the HID
// interfaces, RegisterDeviceNotificationA for the notices, winmm for the mixers.
#include "hid/win32/win32_hid_backend.h"
#include "hid/win32/win32_notification_backend.h"
#include "mixer/winmm/winmm_mixer.h"
#include "services/native_services.h"
#include "services/session_services.h"

namespace kr35 {

std::unique_ptr<PlatformServices> CreateNativeServices() {
  return std::make_unique<NativeServices<Win32HidBackend, Win32NotificationBackend, WinmmMixer>>();
}

}  // namespace kr35
