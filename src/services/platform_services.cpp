// The platform services on Linux: hidraw and libudev for the HID interfaces
// and their notices, ALSA for the mixers.
#include "hid/hidraw/hidraw_backend.h"
#include "hid/hidraw/udev_notification_backend.h"
#include "mixer/alsa/alsa_mixer.h"
#include "services/native_services.h"
#include "services/session_services.h"

namespace kr35 {

std::unique_ptr<PlatformServices> CreateNativeServices() {
  return std::make_unique<NativeServices<HidrawBackend, UdevNotificationBackend, AlsaMixer>>();
}

}  // namespace kr35
