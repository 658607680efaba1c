#include "hid/win32/win32_hid_backend.h"

#include "hid/win32/hid_dll.h"
#include "hid/win32/interface_detail_path.h"
#include "hid/win32/named_mutex_claim.h"
#include "hid/win32/unique_handle.h"
#include "hid/win32/win32_read_handle.h"
#include "hid/win32/win32_write_handle.h"
#include "hid/win32/windows_headers.h"

namespace kr35 {
namespace {

// A set that fails this many indexes in a row without ever saying "no more
// items" is taken to have ended, so a broken set cannot hold the walk forever.
constexpr int kMaxFailuresInARow = 256;

// Releases the device information set on every way out.
class DeviceInfoSet {
 public:
  explicit DeviceInfoSet(HDEVINFO set) : set_(set) {}
  ~DeviceInfoSet() {
    if (Valid()) SetupDiDestroyDeviceInfoList(set_);
  }
  DeviceInfoSet(const DeviceInfoSet&) = delete;
  DeviceInfoSet& operator=(const DeviceInfoSet&) = delete;

  bool Valid() const { return set_ != INVALID_HANDLE_VALUE; }
  HDEVINFO Get() const { return set_; }

 private:
  HDEVINFO set_;
};

std::string PathOf(HDEVINFO set, SP_DEVICE_INTERFACE_DATA& interfaceData) {
  return InterfaceDetailPath(
      [&](std::span<std::byte> detail, std::uint32_t& required, std::uint32_t& error) {
        DWORD needed = 0;
        const BOOL ok = SetupDiGetDeviceInterfaceDetailA(
            set, &interfaceData,
            detail.empty() ? nullptr
                           : reinterpret_cast<PSP_DEVICE_INTERFACE_DETAIL_DATA_A>(detail.data()),
            static_cast<DWORD>(detail.size()), &needed, nullptr);
        required = needed;
        error = ok ? 0 : GetLastError();
        return ok != FALSE;
      });
}

OpenError OpenErrorFromLastError(DWORD error) {
  switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
      return OpenError::kNotFound;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
      return OpenError::kPermissionDenied;
    default:
      return OpenError::kOther;
  }
}

}  // namespace

std::optional<std::vector<std::string>> Win32HidBackend::EnumerateInterfaces() {
  GUID hidGuid;
  Hid().GetHidGuid(&hidGuid);
  DeviceInfoSet set(
      SetupDiGetClassDevsA(&hidGuid, nullptr, nullptr, DIGCF_PRESENT | DIGCF_DEVICEINTERFACE));
  if (!set.Valid()) return std::nullopt;

  std::vector<std::string> paths;
  int failuresInARow = 0;
  for (DWORD index = 0; failuresInARow < kMaxFailuresInARow; ++index) {
    SP_DEVICE_INTERFACE_DATA interfaceData{};
    interfaceData.cbSize = sizeof interfaceData;
    if (SetupDiEnumDeviceInterfaces(set.Get(), nullptr, &hidGuid, index, &interfaceData)) {
      paths.push_back(PathOf(set.Get(), interfaceData));
      failuresInARow = 0;
    } else if (GetLastError() == ERROR_NO_MORE_ITEMS) {
      break;
    } else {
      ++failuresInARow;  // this index is skipped; the walk goes on with the next
    }
  }
  return paths;
}

std::unique_ptr<HidReadHandle> Win32HidBackend::OpenRead(const std::string& path,
                                                         OpenError* error) {
  UniqueHandle file(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                nullptr, OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr));
  if (!file.Valid()) {
    if (error) *error = OpenErrorFromLastError(GetLastError());
    return nullptr;
  }
  auto handle = Win32ReadHandle::Create(std::move(file));
  if (handle) handle->SetInterfacePath(path);
  if (error) *error = handle ? OpenError::kNone : OpenError::kOther;
  return handle;
}

std::unique_ptr<HidWriteHandle> Win32HidBackend::OpenWrite(const std::string& path) {
  UniqueHandle file(CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE,
                                FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                                nullptr));
  if (!file.Valid()) return nullptr;
  return std::make_unique<Win32WriteHandle>(std::move(file));
}

ClaimAttempt Win32HidBackend::TryClaim(const std::string& path) {
  return TryNamedMutexClaim(path);
}

std::unique_ptr<AdapterClaim> Win32HidBackend::HoldMirrorMark(const std::string& key) {
  return HoldNamedMark(key);
}

bool Win32HidBackend::MirrorMarkHeld(const std::string& key) {
  return NamedMarkHeld(key);
}

}  // namespace kr35
