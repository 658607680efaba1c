#include "hid/device_notifier.h"

namespace kr35 {

int DeviceNotifier::Register(DialogQueue* queue) {
  if (!backend_) return 1;
  const PlatformVersion version = backend_->GetPlatformVersion();
  // The one platform release (4.10 with service pack "?A...") that cannot take the registration.
  if (version.major == 4 && version.minor == 10 && version.servicePack.size() > 1 &&
      version.servicePack[1] == 'A') {
    return 1;
  }
  notifyQueue_ = queue;
  if (!registration_) registration_ = backend_->Register(notifyQueue_);
  return 1;
}

}  // namespace kr35
