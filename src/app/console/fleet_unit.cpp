#include "app/console/fleet_unit.h"

#include "hid/hex_bytes.h"
#include "protocol/json_quote.h"

namespace kr35 {
namespace {}  // namespace

const char* FleetActionName(FleetAction action) {
  switch (action) {
    case FleetAction::kUpdate:
      return "update";
    case FleetAction::kCurrent:
      return "current";
    case FleetAction::kRefused:
      break;
  }
  return "refused";
}

std::string FleetUnit::Result() const {
  if (action != FleetAction::kUpdate) return FleetActionName(action);
  if (verified) return "updated";
  if (outcome && outcome->kind == Outcome::kInterrupted) return "interrupted";
  // A run that ends before this adapter's update did (a second signal).
  if (!finished)
    return start == std::chrono::steady_clock::time_point{} ? "planned" : "interrupted";
  return "failed";
}

std::string AdapterJsonField(const AdapterIdentity& identity) {
  return "\"adapter\":{\"serial\":" +
         (identity.serialNumber ? JsonQuote(*identity.serialNumber) : std::string("null")) +
         ",\"port\":" + (identity.usbPort.empty() ? "null" : JsonQuote(identity.usbPort)) +
         ",\"path\":" + JsonQuote(identity.path) + "}";
}

std::string VersionsJson(const std::optional<InstalledVersions>& versions) {
  if (!versions) return "null";
  return "{\"usb\":" + std::to_string(versions->usb) + ",\"dsp\":" + std::to_string(versions->dsp) +
         "}";
}

std::string TargetText(const FleetTargets& targets) {
  std::string text;
  if (targets.usbVersion) text = "USB " + Hex4(*targets.usbVersion);
  if (targets.dspVersion) text += (text.empty() ? "" : ", ") + ("DSP " + Hex4(*targets.dspVersion));
  return text;
}

std::string TargetJson(const FleetTargets& targets) {
  const auto value = [](const std::optional<std::uint16_t>& v) {
    return v ? std::to_string(*v) : std::string("null");
  };
  return "{\"usb\":" + value(targets.usbVersion) + ",\"dsp\":" + value(targets.dspVersion) + "}";
}

}  // namespace kr35
