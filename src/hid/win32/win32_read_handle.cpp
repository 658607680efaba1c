#include "hid/win32/win32_read_handle.h"

#include <algorithm>
#include <array>
#include <string_view>

#include "hid/win32/hid_dll.h"
#include "hid/win32/hidp_preparsed_data.h"
#include "hid/win32/usb_location_path.h"
#include "win32/utf16.h"

namespace kr35 {
namespace {

constexpr std::size_t kStringUnits = 256;
constexpr ULONG kStringBufferBytes = kStringUnits * sizeof(wchar_t);

using StringQuery = BOOLEAN(NTAPI*)(HANDLE, PVOID, ULONG);

bool ReadHidString(HANDLE file, StringQuery query, std::string& text) {
  std::array<wchar_t, kStringUnits> units{};
  if (!query(file, units.data(), kStringBufferBytes)) return false;
  return HidStringToUtf8(units.data(), units.size(), text);
}

DWORD TimeoutMilliseconds(std::chrono::milliseconds timeout) {
  const auto count = std::max<std::chrono::milliseconds::rep>(timeout.count(), 0);
  return static_cast<DWORD>(std::min<std::chrono::milliseconds::rep>(count, INFINITE - 1));
}

}  // namespace

bool HidStringToUtf8(const wchar_t* units, std::size_t count, std::string& text) {
  if (count == 0) return false;
  // A device string that fills the whole buffer has no terminating zero: its
  // last unit is dropped, so the conversion never reads past the buffer.
  const std::wstring_view whole(units, std::min(count, kStringUnits) - 1);
  text = Utf8FromUtf16(whole.substr(0, whole.find(L'\0')));
  return true;
}

std::unique_ptr<Win32ReadHandle> Win32ReadHandle::Create(UniqueHandle file) {
  UniqueHandle readEvent(CreateEventA(nullptr, FALSE, FALSE, nullptr));
  UniqueHandle interruptEvent(CreateEventA(nullptr, TRUE, FALSE, nullptr));
  if (!file.Valid() || !readEvent.Valid() || !interruptEvent.Valid()) return nullptr;
  return std::unique_ptr<Win32ReadHandle>(
      new Win32ReadHandle(std::move(file), std::move(readEvent), std::move(interruptEvent)));
}

Win32ReadHandle::Win32ReadHandle(UniqueHandle file, UniqueHandle readEvent,
                                 UniqueHandle interruptEvent)
    : file_(std::move(file)),
      readEvent_(std::move(readEvent)),
      interruptEvent_(std::move(interruptEvent)) {}

Win32ReadHandle::~Win32ReadHandle() {
  CancelRead();
}

bool Win32ReadHandle::GetAttributes(HidAttributes& attributes) {
  HIDD_ATTRIBUTES platform{};
  platform.Size = sizeof platform;
  if (!Hid().GetAttributes(file_.Get(), &platform)) return false;
  attributes.vendorId = platform.VendorID;
  attributes.productId = platform.ProductID;
  attributes.versionNumber = platform.VersionNumber;
  return true;
}

bool Win32ReadHandle::GetManufacturerString(std::string& text) {
  return ReadHidString(file_.Get(), Hid().GetManufacturerString, text);
}

bool Win32ReadHandle::GetProductString(std::string& text) {
  return ReadHidString(file_.Get(), Hid().GetProductString, text);
}

bool Win32ReadHandle::GetSerialNumberString(std::string& text) {
  return ReadHidString(file_.Get(), Hid().GetSerialNumberString, text);
}

bool Win32ReadHandle::GetPortPath(std::string& text) {
  return !path_.empty() && UsbLocationPath(path_, text);
}

std::unique_ptr<PreparsedData> Win32ReadHandle::GetPreparsedData() {
  PHIDP_PREPARSED_DATA data = nullptr;
  if (!Hid().GetPreparsedData(file_.Get(), &data) || !data) return nullptr;
  return std::make_unique<HidpPreparsedData>(data);
}

ReadStart Win32ReadHandle::StartRead(std::span<std::uint8_t> buffer) {
  if (pending_) return ReadStart::kPending;
  overlapped_ = OVERLAPPED{};
  overlapped_.hEvent = readEvent_.Get();
  const DWORD length = static_cast<DWORD>(std::min<std::size_t>(buffer.size(), MAXDWORD));
  if (ReadFile(file_.Get(), buffer.data(), length, nullptr, &overlapped_)) {
    return ReadStart::kComplete;
  }
  if (GetLastError() != ERROR_IO_PENDING) return ReadStart::kError;
  pending_ = true;
  return ReadStart::kPending;
}

ReadWait Win32ReadHandle::WaitRead(std::chrono::milliseconds timeout) {
  if (!pending_) return ReadWait::kError;
  const std::array<HANDLE, 2> events{readEvent_.Get(), interruptEvent_.Get()};
  switch (WaitForMultipleObjects(static_cast<DWORD>(events.size()), events.data(), FALSE,
                                 TimeoutMilliseconds(timeout))) {
    case WAIT_OBJECT_0: {
      DWORD transferred = 0;
      pending_ = false;
      return GetOverlappedResult(file_.Get(), &overlapped_, &transferred, FALSE)
                 ? ReadWait::kComplete
                 : ReadWait::kError;
    }
    case WAIT_OBJECT_0 + 1:
    case WAIT_TIMEOUT:
      return ReadWait::kTimeout;
    default:
      return ReadWait::kError;
  }
}

void Win32ReadHandle::Interrupt() {
  SetEvent(interruptEvent_.Get());
}

void Win32ReadHandle::CancelRead() {
  if (!pending_) return;
  // CancelIo would reach only reads this thread started; the reader thread
  // started this one. The read must be over before its buffer is reused.
  CancelIoEx(file_.Get(), &overlapped_);
  DWORD transferred = 0;
  GetOverlappedResult(file_.Get(), &overlapped_, &transferred, TRUE);
  pending_ = false;
}

}  // namespace kr35
