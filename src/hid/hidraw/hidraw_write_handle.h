// A hidraw node opened for blocking writes of output reports.
#pragma once

#include "hid/hid_io.h"
#include "hid/hidraw/unique_fd.h"

namespace kr35 {

class HidrawWriteHandle final : public HidWriteHandle {
 public:
  explicit HidrawWriteHandle(UniqueFd fd) : fd_(std::move(fd)) {}
  // Byte 0, the report id (0 on devices without numbered reports), goes out
  // with the report: hidraw reads it as the report number.
  bool Write(std::span<const std::uint8_t> report) override;

 private:
  UniqueFd fd_;
};

}  // namespace kr35
