#include "hid/adapter_identity.h"

namespace kr35 {
namespace {

// One of the interface's strings; none when it cannot be read.
template <typename Getter>
std::optional<std::string> ReadString(Getter get) {
  std::string text;
  if (!get(text)) return std::nullopt;
  return text;
}

}  // namespace

bool IsAdapterIdentity(std::uint16_t vendorId, std::uint16_t productId) {
  return vendorId == kAdapterVendorId &&
         (productId == kAdapterProductId || productId == kAdapterAltProductId);
}

std::optional<AdapterIdentity> ReadAdapterIdentity(HidReadHandle& handle, const std::string& path,
                                                   bool withSerial) {
  HidAttributes attributes;
  if (!handle.GetAttributes(attributes) ||
      !IsAdapterIdentity(attributes.vendorId, attributes.productId)) {
    return std::nullopt;
  }
  AdapterIdentity identity;
  identity.path = path;
  identity.vendorId = attributes.vendorId;
  identity.productId = attributes.productId;
  identity.versionNumber = attributes.versionNumber;
  identity.manufacturer =
      ReadString([&](std::string& text) { return handle.GetManufacturerString(text); });
  identity.product = ReadString([&](std::string& text) { return handle.GetProductString(text); });
  if (withSerial) {
    // An empty serial number says nothing: it is treated as none.
    std::string serial;
    if (handle.GetSerialNumberString(serial) && !serial.empty()) identity.serialNumber = serial;
    std::string port;
    if (handle.GetPortPath(port)) identity.usbPort = port;
  }
  return identity;
}

std::vector<AdapterIdentity> ListAdapterInterfaces(HidBackend& backend) {
  std::vector<AdapterIdentity> adapters;
  for (const std::string& path :
       backend.EnumerateInterfaces().value_or(std::vector<std::string>{})) {
    auto handle = backend.OpenRead(path);
    if (!handle) continue;
    if (auto identity = ReadAdapterIdentity(*handle, path, true)) {
      adapters.push_back(std::move(*identity));
    }
  }
  return adapters;
}

}  // namespace kr35
