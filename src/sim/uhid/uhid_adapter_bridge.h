// The simulated adapter on the kernel's HID stack: adapter 0 of a
// SimHidBackend presented as a uhid device. Output reports the kernel hands
// over are written to the simulated adapter; what the adapter sends (answers,
// button reports, scenario reports) becomes input reports; when the adapter
// goes away (a scenario unplug, the restart after a USB upgrade) the device
// is destroyed, and created again when it comes back.
#pragma once

#include <cstdio>
#include <functional>
#include <memory>
#include <string>

#include "sim/sim_hid_backend.h"
#include "sim/uhid/uhid_device.h"

namespace kr35 {

// The path SimHidBackend gives its first adapter.
inline constexpr char kSimAdapterPath[] = "sim:adapter0";

// The uhid identity of the adapter a scenario describes: its ids, its product
// string as the HID name, its report descriptor.
UhidIdentity AdapterIdentity(const HidSettings& settings, std::vector<std::uint8_t> descriptor);

class UhidAdapterBridge {
 public:
  // Opens the uhid node the device is created on; null with `error`.
  using DeviceOpener = std::function<std::unique_ptr<UhidDevice>(std::string& error)>;

  // `log` (may be null) receives one line per plug and unplug.
  UhidAdapterBridge(SimHidBackend& backend, const HidSettings& settings, DeviceOpener opener,
                    std::FILE* log = nullptr);
  ~UhidAdapterBridge();
  UhidAdapterBridge(const UhidAdapterBridge&) = delete;
  UhidAdapterBridge& operator=(const UhidAdapterBridge&) = delete;

  // Presents the adapter and serves it until `stopFd` becomes readable; the
  // device is destroyed on return. False with `error` when the uhid node
  // cannot be used.
  bool Run(int stopFd, std::string& error);

 private:
  class Session;
  class NoticeQueue;

  bool Plug(std::string& error);
  void Unplug();
  bool HandleNotices(std::string& error);
  void Log(const char* text);

  SimHidBackend& backend_;
  const UhidIdentity identity_;
  DeviceOpener opener_;
  std::FILE* log_;
  std::unique_ptr<UhidDevice> device_;
  std::unique_ptr<NoticeQueue> notices_;
  std::unique_ptr<Session> session_;
};

}  // namespace kr35
