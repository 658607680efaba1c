// The platform services on Linux: hidraw and libudev for the HID interfaces
// and their notices, ALSA for the mixers.
#include "services/native_services.h"
#include "services/simulated_services.h"
#include "hid/hidraw/hidraw_backend.h"
#include "hid/hidraw/udev_notification_backend.h"
#include "mixer/alsa/alsa_mixer.h"

namespace kr35 {

std::unique_ptr<PlatformServices> PlatformServices::Create(const ServiceOptions& options,
                                                           std::string& error) {
  if (options.simulate) return CreateSimulatedServices(options, error);
  return std::make_unique<NativeServices<HidrawBackend, UdevNotificationBackend, AlsaMixer>>();
}

}  // namespace kr35
