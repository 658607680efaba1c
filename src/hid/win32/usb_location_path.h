// Where a HID interface's USB device is plugged in, from setupapi: the
// device's location path, e.g. "PCIROOT(0)#PCI(1400)#USBROOT(0)#USB(2)#USB(3)",
// which stays the same while the device keeps its port (also across its
// restart) and differs between two devices with one serial number.
#pragma once

#include <string>

namespace kr35 {

// False when the interface at `interfacePath` is not (or no longer) present
// or no USB ancestor gives a location path.
bool UsbLocationPath(const std::string& interfacePath, std::string& text);

}  // namespace kr35
