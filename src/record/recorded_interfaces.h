// The interfaces a recording shows, as a HID backend that only describes them:
// listing and identity come from the recording, nothing is read or written,
// and the replay's own course (its enumerations, its handles) is untouched.
// kr35ctl checks --device against it, so a replay goes the same way with or
// without --device for the adapter that was recorded.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "hid/hid_io.h"
#include "record/recording.h"

namespace kr35 {

// A read handle whose identity (ids and strings) is what the recording holds
// for its interface, which must outlive it. The replay's handles add reading.
class RecordedIdentityHandle : public HidReadHandle {
 public:
  explicit RecordedIdentityHandle(const RecordedInterface& interface) : interface_(interface) {}

  bool GetAttributes(HidAttributes& attributes) override;
  bool GetManufacturerString(std::string& text) override;
  bool GetProductString(std::string& text) override;
  bool GetSerialNumberString(std::string& text) override;
  bool GetPortPath(std::string& text) override;

 protected:
  const RecordedInterface& interface_;
};

class RecordedInterfacesBackend final : public HidBackend {
 public:
  explicit RecordedInterfacesBackend(const Recording& recording);

  // Every path some recorded enumeration lists, in the order first listed.
  std::optional<std::vector<std::string>> EnumerateInterfaces() override;
  std::unique_ptr<HidReadHandle> OpenRead(const std::string& path,
                                          OpenError* error = nullptr) override;
  std::unique_ptr<HidWriteHandle> OpenWrite(const std::string&) override { return nullptr; }

 private:
  std::vector<std::string> paths_;
  std::map<std::string, RecordedInterface> interfaces_;
};

}  // namespace kr35
