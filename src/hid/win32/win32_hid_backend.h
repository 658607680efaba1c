// The Windows HID backend: HID interfaces through setupapi, devices through
// hid.dll and kernel32 (overlapped reads, synchronous writes).
#pragma once

#include "hid/hid_io.h"

namespace kr35 {

class Win32HidBackend final : public HidBackend {
 public:
  // Device paths of the present HID interfaces in setupapi's order; an
  // interface whose path cannot be had is an empty string. nullopt when the
  // device information set cannot be had.
  std::optional<std::vector<std::string>> EnumerateInterfaces() override;
  std::unique_ptr<HidReadHandle> OpenRead(const std::string& path,
                                          OpenError* error = nullptr) override;
  std::unique_ptr<HidWriteHandle> OpenWrite(const std::string& path) override;
  // A named mutex derived from the device's instance path.
  ClaimAttempt TryClaim(const std::string& path) override;
  // The mirror mark: a named event after the adapter's USB port.
  std::unique_ptr<AdapterClaim> HoldMirrorMark(const std::string& key) override;
  bool MirrorMarkHeld(const std::string& key) override;
};

}  // namespace kr35
