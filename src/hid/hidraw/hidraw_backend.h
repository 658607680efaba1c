// The Linux HID backend: hidraw nodes found through libudev.
#pragma once

#include "hid/hid_io.h"

namespace kr35 {

class HidrawBackend final : public HidBackend {
 public:
  // /dev/hidrawN of the present nodes, by number; nullopt when udev is unusable.
  std::optional<std::vector<std::string>> EnumerateInterfaces() override;
  std::unique_ptr<HidReadHandle> OpenRead(const std::string& path,
                                          OpenError* error = nullptr) override;
  std::unique_ptr<HidWriteHandle> OpenWrite(const std::string& path) override;
  // A flock on the node: every program that opens it sees the others' lock.
  ClaimAttempt TryClaim(const std::string& path) override;
  // The mirror mark: a flock on a file in $XDG_RUNTIME_DIR named after the USB port.
  std::unique_ptr<AdapterClaim> HoldMirrorMark(const std::string& key) override;
  bool MirrorMarkHeld(const std::string& key) override;
};

// How an errno from open() is reported.
OpenError OpenErrorFromErrno(int error);

}  // namespace kr35
