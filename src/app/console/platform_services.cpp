#include "app/console/platform_services.h"

#include "app/console/simulated_services.h"
#include "hid/hidraw/hidraw_backend.h"
#include "hid/hidraw/udev_notification_backend.h"
#include "mixer/alsa/alsa_mixer.h"

namespace kr35 {
namespace {

class LinuxServices final : public PlatformServices {
 public:
  HidBackend& Hid() override { return hid_; }
  DeviceNotificationBackend* Notifications() override { return &notifications_; }
  MixerApi& Mixer() override { return mixer_; }
  bool IsSimulated() const override { return false; }
  bool Save(std::string&) override { return true; }

 private:
  HidrawBackend hid_;
  UdevNotificationBackend notifications_;
  AlsaMixer mixer_;
};

}  // namespace

std::unique_ptr<PlatformServices> PlatformServices::Create(const ServiceOptions& options,
                                                           std::string& error) {
  if (!options.simulate) return std::make_unique<LinuxServices>();
  return CreateSimulatedServices(options, error);
}

}  // namespace kr35
