#include "app/console/fleet_report.h"

#include <cstdio>
#include <ctime>

#include "firmware/file_io.h"
#include "protocol/json_quote.h"

namespace kr35 {
namespace {

std::string OptionalNumber(const auto& value) {
  return value ? std::to_string(*value) : std::string("null");
}

}  // namespace

std::string IsoUtc(std::chrono::system_clock::time_point time) {
  const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(time.time_since_epoch());
  const std::time_t seconds = static_cast<std::time_t>(ms.count() / 1000);
  std::tm utc{};
#ifdef _WIN32
  gmtime_s(&utc, &seconds);
#else
  gmtime_r(&seconds, &utc);
#endif
  char text[96];
  std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d.%03dZ", utc.tm_year + 1900,
                utc.tm_mon + 1, utc.tm_mday, utc.tm_hour, utc.tm_min, utc.tm_sec,
                static_cast<int>(ms.count() % 1000));
  return text;
}

std::string FleetUnitJson(const FleetUnit& unit, const FleetTargets& targets) {
  const std::optional<DownloadOutcome>& outcome = unit.outcome;
  const auto ms =
      unit.start == std::chrono::steady_clock::time_point{}
          ? 0
          : std::chrono::duration_cast<std::chrono::milliseconds>(unit.end - unit.start).count();
  std::string parts = "[";
  for (TransferPart part : unit.parts) {
    parts += (parts.size() > 1 ? "," : "") + JsonQuote(TransferPartName(part));
  }
  parts += "]";
  return AdapterJsonField(unit.identity) +
         ",\"product\":" + (unit.identity.product ? JsonQuote(*unit.identity.product) : "null") +
         ",\"before\":" + VersionsJson(unit.before) + ",\"target\":" + TargetJson(targets) +
         ",\"after\":" + VersionsJson(unit.after) +
         ",\"action\":" + JsonQuote(FleetActionName(unit.action)) + ",\"parts\":" + parts +
         ",\"result\":" + JsonQuote(unit.Result()) +
         ",\"outcome\":" + (outcome ? JsonQuote(OutcomeName(outcome->kind)) : "null") +
         ",\"part\":" +
         (outcome && outcome->part ? JsonQuote(TransferPartName(*outcome->part)) : "null") +
         ",\"step\":" +
         (outcome && outcome->step ? JsonQuote(TransferStepName(*outcome->step)) : "null") +
         ",\"block\":" + (outcome ? OptionalNumber(outcome->block) : "null") +
         ",\"verified\":" + (unit.verified ? "true" : "false") +
         ",\"reason\":" + (unit.reason.empty() ? "null" : JsonQuote(unit.reason)) +
         ",\"durationMs\":" + std::to_string(ms);
}

std::string FleetReportJson(const FleetRun& run, const std::vector<FleetUnit>& units) {
  std::string text =
      "{\n  \"program\": \"kr35ctl\",\n  \"version\": " + JsonQuote(KR35_VERSION) +
      ",\n  \"command\": \"update\",\n  \"dryRun\": " + (run.dryRun ? "true" : "false") +
      ",\n  \"interrupted\": " + (run.interrupted ? "true" : "false") +
      ",\n  \"start\": " + JsonQuote(IsoUtc(run.start)) +
      ",\n  \"end\": " + JsonQuote(IsoUtc(run.end)) +
      ",\n  \"target\": " + TargetJson(run.targets) + ",\n  \"adapters\": [";
  for (std::size_t i = 0; i < units.size(); ++i) {
    text += (i ? ",\n    {" : "\n    {") + FleetUnitJson(units[i], run.targets) + "}";
  }
  return text + "\n  ]\n}\n";
}

bool WriteFleetReport(const std::string& path, const std::string& text, std::string& error) {
  return WriteFileAtomically(
      path, {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()}, error);
}

}  // namespace kr35
