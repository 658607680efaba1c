// A HID device interface opened for overlapped reading. Attributes, strings
// and the preparsed data come from hid.dll; input reports from ReadFile with
// an event, waited for together with a sticky interrupt event.
#pragma once

#include "hid/hid_io.h"
#include "hid/win32/unique_handle.h"
#include "hid/win32/windows_headers.h"

namespace kr35 {

class Win32ReadHandle final : public HidReadHandle {
 public:
  // Null when the events cannot be created.
  static std::unique_ptr<Win32ReadHandle> Create(UniqueHandle file);
  ~Win32ReadHandle() override;

  bool GetAttributes(HidAttributes& attributes) override;
  bool GetManufacturerString(std::string& text) override;
  bool GetProductString(std::string& text) override;
  bool GetSerialNumberString(std::string& text) override;
  // The USB device's location path (setupapi), once the path it was opened
  // at is known.
  bool GetPortPath(std::string& text) override;
  void SetInterfacePath(std::string path) { path_ = std::move(path); }
  std::unique_ptr<PreparsedData> GetPreparsedData() override;

  ReadStart StartRead(std::span<std::uint8_t> buffer) override;
  ReadWait WaitRead(std::chrono::milliseconds timeout) override;
  void Interrupt() override;
  // Cancels the pending read, whichever thread started it, and waits until the
  // driver has let go of the buffer.
  void CancelRead() override;

 private:
  Win32ReadHandle(UniqueHandle file, UniqueHandle readEvent, UniqueHandle interruptEvent);

  UniqueHandle file_;
  UniqueHandle readEvent_;       // auto-reset, signalled when the read completes
  UniqueHandle interruptEvent_;  // manual-reset and never reset: Interrupt is sticky
  OVERLAPPED overlapped_{};
  bool pending_ = false;
  std::string path_;
};

// A HID string (UTF-16, at most `count` code units, not necessarily
// terminated) in UTF-8, the program's encoding of every text; false for an
// empty buffer.
bool HidStringToUtf8(const wchar_t* units, std::size_t count, std::string& text);

}  // namespace kr35
