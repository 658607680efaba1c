// The platform services of this machine's own devices, from one backend of
// each kind; each platform names its three.
#pragma once

#include <string>

#include "services/platform_services.h"

namespace kr35 {

template <typename HidBackendType, typename NotificationBackendType, typename MixerType>
class NativeServices final : public PlatformServices {
 public:
  HidBackend& Hid() override { return hid_; }
  DeviceNotificationBackend* Notifications() override { return &notifications_; }
  MixerApi& Mixer() override { return mixer_; }
  bool IsSimulated() const override { return false; }
  bool Save(std::string&) override { return true; }

 private:
  HidBackendType hid_;
  NotificationBackendType notifications_;
  MixerType mixer_;
};

}  // namespace kr35
