#include "record/recorded_interfaces.h"

#include <algorithm>

namespace kr35 {
namespace {

bool CopyText(const std::optional<std::string>& recorded, std::string& text) {
  if (!recorded) return false;
  text = *recorded;
  return true;
}

// Identity only: nothing to read.
class IdentityOnlyHandle final : public RecordedIdentityHandle {
 public:
  using RecordedIdentityHandle::RecordedIdentityHandle;
  std::unique_ptr<PreparsedData> GetPreparsedData() override { return nullptr; }
  ReadStart StartRead(std::span<std::uint8_t>) override { return ReadStart::kError; }
  ReadWait WaitRead(std::chrono::milliseconds) override { return ReadWait::kError; }
  void Interrupt() override {}
  void CancelRead() override {}
};

}  // namespace

bool RecordedIdentityHandle::GetAttributes(HidAttributes& attributes) {
  if (!interface_.attributes) return false;
  attributes = *interface_.attributes;
  return true;
}

bool RecordedIdentityHandle::GetManufacturerString(std::string& text) {
  return CopyText(interface_.manufacturer, text);
}

bool RecordedIdentityHandle::GetProductString(std::string& text) {
  return CopyText(interface_.product, text);
}

bool RecordedIdentityHandle::GetSerialNumberString(std::string& text) {
  return CopyText(interface_.serial, text);
}

bool RecordedIdentityHandle::GetPortPath(std::string& text) {
  return CopyText(interface_.port, text);
}

RecordedInterfacesBackend::RecordedInterfacesBackend(const Recording& recording)
    : interfaces_(recording.interfaces) {
  for (const auto& enumeration : recording.enumerations) {
    for (const std::string& path : enumeration.value_or(std::vector<std::string>{})) {
      if (std::find(paths_.begin(), paths_.end(), path) == paths_.end()) paths_.push_back(path);
    }
  }
}

std::optional<std::vector<std::string>> RecordedInterfacesBackend::EnumerateInterfaces() {
  return paths_;
}

std::unique_ptr<HidReadHandle> RecordedInterfacesBackend::OpenRead(const std::string& path,
                                                                   OpenError* error) {
  const auto interface = interfaces_.find(path);
  if (interface == interfaces_.end() || !interface->second.readable) {
    if (error) *error = OpenError::kNotFound;
    return nullptr;
  }
  return std::make_unique<IdentityOnlyHandle>(interface->second);
}

}  // namespace kr35
