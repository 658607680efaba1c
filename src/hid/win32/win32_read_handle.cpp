#include "hid/win32/win32_read_handle.h"

#include <algorithm>
#include <array>

#include "hid/win32/hidp_preparsed_data.h"

namespace kr35 {
namespace {

constexpr ULONG kStringBufferBytes = 512;  // 256 UTF-16 code units
constexpr int kAnsiBufferBytes = 256;

using StringQuery = BOOLEAN(NTAPI*)(HANDLE, PVOID, ULONG);

bool ReadHidString(HANDLE file, StringQuery query, std::string& text) {
  std::array<wchar_t, kStringBufferBytes / sizeof(wchar_t)> units{};
  if (!query(file, units.data(), kStringBufferBytes)) return false;
  return HidStringToAnsi(units.data(), units.size(), text);
}

DWORD TimeoutMilliseconds(std::chrono::milliseconds timeout) {
  const auto count = std::max<std::chrono::milliseconds::rep>(timeout.count(), 0);
  return static_cast<DWORD>(std::min<std::chrono::milliseconds::rep>(count, INFINITE - 1));
}

}  // namespace

bool HidStringToAnsi(const wchar_t* units, std::size_t count, std::string& text) {
  if (count == 0) return false;
  // A device string that fills the whole buffer has no terminating zero: the
  // last unit becomes it, so the conversion never reads past the buffer.
  std::array<wchar_t, kStringBufferBytes / sizeof(wchar_t)> terminated{};
  const std::size_t kept = std::min(count, terminated.size()) - 1;
  std::copy_n(units, kept, terminated.begin());
  terminated[kept] = L'\0';

  std::array<char, kAnsiBufferBytes> ansi{};
  const int written = WideCharToMultiByte(CP_ACP, 0, terminated.data(), -1, ansi.data(),
                                          kAnsiBufferBytes, nullptr, nullptr);
  if (written <= 0) return false;
  text.assign(ansi.data(), static_cast<std::size_t>(written - 1));  // without the zero
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
  if (!HidD_GetAttributes(file_.Get(), &platform)) return false;
  attributes.vendorId = platform.VendorID;
  attributes.productId = platform.ProductID;
  attributes.versionNumber = platform.VersionNumber;
  return true;
}

bool Win32ReadHandle::GetManufacturerString(std::string& text) {
  return ReadHidString(file_.Get(), &HidD_GetManufacturerString, text);
}

bool Win32ReadHandle::GetProductString(std::string& text) {
  return ReadHidString(file_.Get(), &HidD_GetProductString, text);
}

bool Win32ReadHandle::GetSerialNumberString(std::string& text) {
  return ReadHidString(file_.Get(), &HidD_GetSerialNumberString, text);
}

std::unique_ptr<PreparsedData> Win32ReadHandle::GetPreparsedData() {
  PHIDP_PREPARSED_DATA data = nullptr;
  if (!HidD_GetPreparsedData(file_.Get(), &data) || !data) return nullptr;
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
