// A hidraw node opened for reading: input reports through FdReportReader,
// ids from the node, strings from udev and sysfs.
#pragma once

#include <optional>
#include <vector>

#include "hid/hid_io.h"
#include "hid/hidraw/fd_report_reader.h"
#include "hid/hidraw/udev_hid_info.h"

namespace kr35 {

class HidrawReadHandle final : public HidReadHandle {
 public:
  // `fd` is the open node; `descriptor` its report descriptor, when readable.
  HidrawReadHandle(UniqueFd fd, std::optional<std::vector<std::uint8_t>> descriptor);

  bool Valid() const { return reader_.Valid(); }

  bool GetAttributes(HidAttributes& attributes) override;
  bool GetManufacturerString(std::string& text) override;
  bool GetProductString(std::string& text) override;
  bool GetSerialNumberString(std::string& text) override;
  bool GetPortPath(std::string& text) override;
  std::unique_ptr<PreparsedData> GetPreparsedData() override;
  std::optional<std::vector<std::uint8_t>> GetReportDescriptor() override { return descriptor_; }

  ReadStart StartRead(std::span<std::uint8_t> buffer) override { return reader_.StartRead(buffer); }
  ReadWait WaitRead(std::chrono::milliseconds timeout) override {
    return reader_.WaitRead(timeout);
  }
  void Interrupt() override { reader_.Interrupt(); }
  void CancelRead() override { reader_.CancelRead(); }

 private:
  const HidNodeIdentity& Identity();

  std::optional<std::vector<std::uint8_t>> descriptor_;
  FdReportReader reader_;
  std::optional<HidNodeIdentity> identity_;
};

}  // namespace kr35
