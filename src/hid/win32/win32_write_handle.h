// A HID device interface opened for synchronous writes of output reports.
#pragma once

#include "hid/hid_io.h"
#include "hid/win32/unique_handle.h"

namespace kr35 {

class Win32WriteHandle final : public HidWriteHandle {
 public:
  explicit Win32WriteHandle(UniqueHandle file) : file_(std::move(file)) {}
  // True only when the whole report was written.
  bool Write(std::span<const std::uint8_t> report) override;

 private:
  UniqueHandle file_;
};

}  // namespace kr35
