#include "sim/scenario_writer.h"

#include <algorithm>

#include <nlohmann/json.hpp>

namespace kr35 {
namespace {

using Json = nlohmann::json;

Json CountJson(int count, const char* unlimited) {
  return count == kAlways ? Json(unlimited) : Json(count);
}

Json FrameJson(const ResponseFrame& frame) {
  return Json(std::vector<int>(frame.begin(), frame.end()));
}

Json RuleJson(const Rule& rule) {
  Json match = Json::object();
  if (rule.match.command) match["command"] = *rule.match.command;
  if (rule.match.occurrence > 0) match["occurrence"] = rule.match.occurrence;
  if (rule.match.block > 0) match["block"] = rule.match.block;
  Json json = {{"match", match}, {"times", CountJson(rule.times, "always")}};
  if (rule.answer.kind == RuleAnswer::Kind::kSilence) json["answer"] = "silence";
  if (rule.answer.kind == RuleAnswer::Kind::kFrame) json["answer"] = FrameJson(rule.answer.frame);
  if (!rule.unsolicited.empty()) {
    Json list = Json::array();
    for (const ResponseFrame& frame : rule.unsolicited) list.push_back(FrameJson(frame));
    json["unsolicited"] = list;
  }
  if (rule.process) json["process"] = true;
  if (rule.delayMs > 0) json["delay_ms"] = rule.delayMs;
  return json;
}

std::optional<Json> EventJson(const HidEvent& event) {
  Json json = Json::object();
  if (event.at.afterCommand > 0) {
    json["after_command"] = event.at.afterCommand;
  } else {
    json["at_ms"] = event.at.atMs;
  }
  switch (event.kind) {
    case HidEvent::Kind::kResponse: {
      ResponseFrame frame{};
      std::copy_n(event.bytes.begin(), std::min(event.bytes.size(), frame.size()), frame.begin());
      json["response"] = FrameJson(frame);
      return json;
    }
    case HidEvent::Kind::kUnplug:
      json["unplug"] =
          event.replugAfterMs >= 0 ? Json{{"replug_after_ms", event.replugAfterMs}} : Json(true);
      return json;
    case HidEvent::Kind::kReplug:
      json["replug"] = true;
      return json;
    case HidEvent::Kind::kButton:
    case HidEvent::Kind::kReport:
      return std::nullopt;
  }
  return std::nullopt;
}

Json HidJson(const HidSettings& hid) {
  Json json = {{"output_report_length", hid.outputReportLength},
               {"response_length", hid.responseLength},
               {"latency_ms", hid.latencyMs},
               {"restart_ms", hid.restartMs}};
  if (hid.serial) json["serial"] = *hid.serial;
  if (!hid.writeOpens) json["write_opens"] = false;
  if (hid.failWriteFrom > 0) {
    json["fail_writes"] = {{"from", hid.failWriteFrom},
                           {"times", CountJson(hid.failWriteTimes, "always")}};
  }
  Json events = Json::array();
  for (const HidEvent& event : hid.events) {
    if (auto json = EventJson(event)) events.push_back(*json);
  }
  if (!events.empty()) json["events"] = events;
  return json;
}

}  // namespace

std::string ScenarioToJson(const Scenario& scenario) {
  Json json = {{"versions", {{"usb", scenario.usbVersion}, {"dsp", scenario.dspVersion}}},
               {"busy_polls", CountJson(scenario.busyPolls, "forever")},
               {"checksum_bad_polls", CountJson(scenario.checksumBadPolls, "forever")}};
  if (scenario.forceDspChecksumBad || scenario.forceUsbChecksumBad) {
    json["force_checksum_bad"] = scenario.forceDspChecksumBad && scenario.forceUsbChecksumBad
                                     ? "both"
                                     : (scenario.forceDspChecksumBad ? "dsp" : "usb");
  }
  Json rules = Json::array();
  for (const Rule& rule : scenario.rules) rules.push_back(RuleJson(rule));
  if (!rules.empty()) json["rules"] = rules;
  json["hid"] = HidJson(scenario.hid);
  return json.dump(1) + "\n";
}

}  // namespace kr35
