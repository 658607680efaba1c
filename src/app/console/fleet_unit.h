// One adapter of a `kr35ctl update` run: who it is, what the plan says for
// it, and how its update ended.
#pragma once

#include <chrono>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "adapter/download_plan.h"
#include "hid/adapter_identity.h"
#include "protocol/frames.h"

namespace kr35 {

// The images an update installs: a part without an image is left as it is.
struct FleetTargets {
  std::optional<std::span<const std::uint8_t>> usb;
  std::optional<std::span<const std::uint8_t>> dsp;
  std::optional<std::uint16_t> usbVersion;
  std::optional<std::uint16_t> dspVersion;
  // The HEX files the images come from; empty: built in (for the history).
  std::string usbPath;
  std::string dspPath;
};

enum class FleetAction { kUpdate, kCurrent, kRefused };
const char* FleetActionName(FleetAction action);  // "update", "current", "refused"

struct FleetUnit {
  AdapterIdentity identity;  // as listed before the run
  std::string label;         // serial, else port, else path; escaped
  std::optional<InstalledVersions> before;
  FleetAction action = FleetAction::kRefused;
  std::string reason;               // why refused, or what failed
  std::vector<TransferPart> parts;  // to send, in the download order
  std::optional<DownloadOutcome> outcome;
  std::optional<InstalledVersions> after;
  bool verified = false;
  bool finished = false;  // its update (or its plan alone) has ended
  std::chrono::steady_clock::time_point start{};
  std::chrono::steady_clock::time_point end{};

  // "current", "updated", "refused", "failed", "interrupted", or "planned"
  // while it has not ended.
  std::string Result() const;
  bool Succeeded() const { return action == FleetAction::kCurrent || verified; }
};

// `"adapter":{"serial":...,"port":...,"path":...}` for a JSON event.
std::string AdapterJsonField(const AdapterIdentity& identity);
// {"usb":N,"dsp":N} or null.
std::string VersionsJson(const std::optional<InstalledVersions>& versions);
// "USB 0104, DSP 0107" of the parts the targets name.
std::string TargetText(const FleetTargets& targets);
std::string TargetJson(const FleetTargets& targets);

}  // namespace kr35
