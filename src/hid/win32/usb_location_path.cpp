#include "hid/win32/usb_location_path.h"

#include <array>

#include "hid/win32/windows_headers.h"
// After windows_headers.h, which brings in windows.h.
#include <cfgmgr32.h>

namespace kr35 {
namespace {

// A HID collection sits below the USB device, or below one of its interfaces
// (USBMI) when the device is composite: a few levels up at most.
constexpr int kMostLevels = 8;

// The first of a node's location paths; empty without one.
std::string FirstLocationPath(DEVINST node) {
  std::array<char, 2048> buffer{};
  ULONG length = static_cast<ULONG>(buffer.size() - 2);  // keeps the list's two ending NULs
  ULONG type = 0;
  if (CM_Get_DevNode_Registry_PropertyA(node, CM_DRP_LOCATION_PATHS, &type, buffer.data(), &length,
                                        0) != CR_SUCCESS ||
      type != REG_MULTI_SZ) {
    return {};
  }
  return std::string(buffer.data());
}

}  // namespace

bool UsbLocationPath(const std::string& interfacePath, std::string& text) {
  const HDEVINFO set = SetupDiCreateDeviceInfoList(nullptr, nullptr);
  if (set == INVALID_HANDLE_VALUE) return false;
  SP_DEVICE_INTERFACE_DATA interfaceData{};
  interfaceData.cbSize = sizeof interfaceData;
  SP_DEVINFO_DATA info{};
  info.cbSize = sizeof info;
  DWORD needed = 0;
  bool found = false;
  if (SetupDiOpenDeviceInterfaceA(set, interfacePath.c_str(), 0, &interfaceData)) {
    // Only the device's node is wanted: the call fails for want of a detail
    // buffer, having filled `info`.
    SetupDiGetDeviceInterfaceDetailA(set, &interfaceData, nullptr, 0, &needed, &info);
    DEVINST node = info.DevInst;
    for (int level = 0; node != 0 && level < kMostLevels && !found; ++level) {
      const std::string path = FirstLocationPath(node);
      if (path.find("#USB(") != std::string::npos && path.find("#USBMI(") == std::string::npos) {
        text = path;
        found = true;
      }
      DEVINST parent = 0;
      if (CM_Get_Parent(&parent, node, 0) != CR_SUCCESS) break;
      node = parent;
    }
  }
  SetupDiDestroyDeviceInfoList(set);
  return found;
}

}  // namespace kr35
