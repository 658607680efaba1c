// What makes a HID interface the adapter, and what it says about itself.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "hid/hid_io.h"

namespace kr35 {

inline constexpr std::uint16_t kAdapterVendorId = 0x3C1F;
inline constexpr std::uint16_t kAdapterProductId = 0x5E35;
inline constexpr std::uint16_t kAdapterAltProductId = 0x0B72;

// The id part of the adapter's match rule.
bool IsAdapterIdentity(std::uint16_t vendorId, std::uint16_t productId);

struct AdapterIdentity {
  std::string path;
  std::uint16_t vendorId = 0;
  std::uint16_t productId = 0;
  std::uint16_t versionNumber = 0;
  std::optional<std::string> manufacturer;  // none: unreadable
  std::optional<std::string> product;       // none: unreadable, and the interface is not usable
  std::optional<std::string> serialNumber;  // none: not read, or the platform gives none
  std::string usbPort;                      // the USB port it sits on; empty while not known
};

// The adapter match rule: the adapter's ids and a readable product string.
inline bool IsUsableAdapter(const AdapterIdentity& identity) {
  return identity.product.has_value();
}

// Reads the identity of the interface open in `handle` at `path`: attributes,
// then (only for the adapter's ids) manufacturer and product strings, and the
// serial number and USB port when `withSerial`. None when the ids are not the
// adapter's.
std::optional<AdapterIdentity> ReadAdapterIdentity(HidReadHandle& handle, const std::string& path,
                                                   bool withSerial = false);

// Every present interface with the adapter's ids, usable or not, in the
// platform's order, each with its serial number and USB port where the
// platform gives them.
std::vector<AdapterIdentity> ListAdapterInterfaces(HidBackend& backend);

}  // namespace kr35
