// The report `kr35ctl update --report=FILE` writes when the run ends (also
// when it is interrupted): one JSON document with the program, the start and
// end times, and what happened to each adapter.
#pragma once

#include <chrono>
#include <string>
#include <vector>

#include "app/console/fleet_unit.h"

namespace kr35 {

struct FleetRun {
  std::chrono::system_clock::time_point start;
  std::chrono::system_clock::time_point end;
  FleetTargets targets;
  bool dryRun = false;
  bool interrupted = false;
};

// A UTC time as ISO 8601 with milliseconds: "2026-12-08T20:50:01.123Z".
std::string IsoUtc(std::chrono::system_clock::time_point time);

// One adapter's entry of the report (also the `result` event's fields).
std::string FleetUnitJson(const FleetUnit& unit, const FleetTargets& targets);

std::string FleetReportJson(const FleetRun& run, const std::vector<FleetUnit>& units);

// Writes the report whole or not at all (a temporary file, then a rename).
bool WriteFleetReport(const std::string& path, const std::string& text, std::string& error);

}  // namespace kr35
