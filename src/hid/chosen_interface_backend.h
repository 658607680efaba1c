// A HID backend that shows only one interface of another backend: the one
// the user chose with --device when several adapters are plugged in. The
// other interfaces are not listed, so nothing is opened or written on them.
#pragma once

#include <string>
#include <vector>

#include "hid/hid_io.h"

namespace kr35 {

class ChosenInterfaceBackend final : public HidBackend {
 public:
  ChosenInterfaceBackend(HidBackend& inner, std::string path)
      : inner_(inner), path_(std::move(path)) {}

  // The chosen path while it is present, nothing otherwise.
  std::optional<std::vector<std::string>> EnumerateInterfaces() override;
  std::unique_ptr<HidReadHandle> OpenRead(const std::string& path,
                                          OpenError* error = nullptr) override {
    return inner_.OpenRead(path, error);
  }
  std::unique_ptr<HidWriteHandle> OpenWrite(const std::string& path) override {
    return inner_.OpenWrite(path);
  }
  ClaimAttempt TryClaim(const std::string& path) override { return inner_.TryClaim(path); }
  std::unique_ptr<AdapterClaim> HoldMirrorMark(const std::string& key) override {
    return inner_.HoldMirrorMark(key);
  }
  bool MirrorMarkHeld(const std::string& key) override { return inner_.MirrorMarkHeld(key); }

 private:
  HidBackend& inner_;
  const std::string path_;
};

// The paths of the present interfaces that are the adapter, in the platform's order.
std::vector<std::string> AdapterPaths(HidBackend& backend);

}  // namespace kr35
