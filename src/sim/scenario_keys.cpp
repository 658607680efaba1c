#include "sim/scenario_keys.h"

#include <algorithm>
#include <charconv>
#include <limits>

namespace kr35 {
namespace {

using Json = ScenarioJson;

struct NamedCode {
  std::string_view name;
  std::uint8_t code;
};

constexpr NamedCode kCommandNames[] = {
    {"CMD_DSP_START", CMD_DSP_START},
    {"CMD_DSP_END", CMD_DSP_END},
    {"CMD_USB_START", CMD_USB_START},
    {"CMD_USB_END", CMD_USB_END},
    {"CMD_USB_BLOCK", CMD_USB_BLOCK},
    {"CMD_DSP_BLOCK", CMD_DSP_BLOCK},
    {"CMD_USB_FINISH", CMD_USB_FINISH},
    {"CMD_UPGRADE_STATUS", CMD_UPGRADE_STATUS | CMD_QUERY},
    {"CMD_VERSIONS", CMD_VERSIONS | CMD_QUERY},
};

constexpr NamedCode kResponseNames[] = {
    {"RSP_ACK", RSP_ACK},
    {"RSP_NAK_CMD", RSP_NAK_CMD},
    {"RSP_NAK_DSP", RSP_NAK_DSP},
    {"RSP_NAK_BUSY", RSP_NAK_BUSY},
};

constexpr NamedCode kStatusNames[] = {
    {"UPGRADE_IDLE", UPGRADE_IDLE},
    {"UPGRADE_READY_4_BLOCK", UPGRADE_READY_4_BLOCK},
    {"UPGRADE_BUSY", UPGRADE_BUSY},
    {"UPGRADE_CHECKSUM_GOOD", UPGRADE_CHECKSUM_GOOD},
    {"UPGRADE_CHECKSUM_BAD", UPGRADE_CHECKSUM_BAD},
};

constexpr NamedCode kUsageNames[] = {
    {"mute", 0xE2},
    {"volume_up", 0xE9},
    {"volume_down", 0xEA},
};

template <std::size_t N>
std::optional<std::uint8_t> Lookup(const NamedCode (&table)[N], std::string_view name) {
  for (const NamedCode& entry : table) {
    if (entry.name == name) return entry.code;
  }
  return std::nullopt;
}

// Decimal or 0x-prefixed hexadecimal text, all of it.
std::optional<long long> ParseIntegerText(std::string_view text) {
  int base = 10;
  if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
    text.remove_prefix(2);
    base = 16;
  }
  long long value = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value, base);
  if (ec != std::errc() || end != text.data() + text.size() || text.empty()) return std::nullopt;
  return value;
}

Json FrameJson(const ResponseFrame& frame) {
  return Json(std::vector<int>(frame.begin(), frame.end()));
}

constexpr long long kMostCommands = 1'000'000'000;
constexpr int kMostAdapters = 8;

// --- The document ----------------------------------------------------------
// Each table lists an object's keys in the order they are read (the first
// error found is the one reported).

const Field<Scenario> kVersionKeys[] = {
    {.key = "usb", .member = &Scenario::usbVersion, .written = Written::kAlways},
    {.key = "dsp", .member = &Scenario::dspVersion, .written = Written::kAlways},
};

const Field<RuleMatch> kMatchKeys[] = {
    {.key = "command",
     .read =
         [](KeyReader& reader, const Json& value, const std::string& where, RuleMatch& match) {
           match.command = reader.Command(value, where);
           return match.command.has_value();
         },
     .write = [](const RuleMatch& match) -> std::optional<Json> {
       if (!match.command) return std::nullopt;
       return Json(*match.command);
     }},
    {.key = "occurrence", .member = &RuleMatch::occurrence, .low = 1, .high = kMostCommands},
    {.key = "block", .member = &RuleMatch::block, .low = 1, .high = 65536},
};

const Field<Rule> kRuleKeys[] = {
    {.key = "match",
     .required = true,
     .read =
         [](KeyReader& reader, const Json& value, const std::string& where, Rule& rule) {
           return reader.ReadObject(value, where, where, Keys(kMatchKeys), rule.match);
         },
     .write = [](const Rule& rule) -> std::optional<Json> {
       return WriteObject(Keys(kMatchKeys), rule.match);
     }},
    {.key = "answer",
     .read =
         [](KeyReader& reader, const Json& value, const std::string& where, Rule& rule) {
           if (value.is_string() && value.get_ref<const std::string&>() == "silence") {
             rule.answer.kind = RuleAnswer::Kind::kSilence;
           } else if (value.is_string() && value.get_ref<const std::string&>() == "normal") {
             rule.answer.kind = RuleAnswer::Kind::kNormal;
           } else {
             auto frame = reader.Frame(value, where);
             if (!frame) return false;
             rule.answer = {RuleAnswer::Kind::kFrame, *frame};
           }
           return true;
         },
     .write = [](const Rule& rule) -> std::optional<Json> {
       if (rule.answer.kind == RuleAnswer::Kind::kSilence) return Json("silence");
       if (rule.answer.kind == RuleAnswer::Kind::kFrame) return FrameJson(rule.answer.frame);
       return std::nullopt;
     }},
    {.key = "unsolicited",
     .read =
         [](KeyReader& reader, const Json& value, const std::string& where, Rule& rule) {
           if (!value.is_array()) return reader.Fail("'" + where + "' must be an array");
           for (std::size_t i = 0; i < value.size(); ++i) {
             auto frame = reader.Frame(value[i], where + "[" + std::to_string(i) + "]");
             if (!frame) return false;
             rule.unsolicited.push_back(*frame);
           }
           return true;
         },
     .write = [](const Rule& rule) -> std::optional<Json> {
       if (rule.unsolicited.empty()) return std::nullopt;
       Json list = Json::array();
       for (const ResponseFrame& frame : rule.unsolicited) list.push_back(FrameJson(frame));
       return list;
     }},
    {.key = "times", .member = &Rule::times, .written = Written::kAlways, .unlimited = "always"},
    {.key = "process", .member = &Rule::process},
    {.key = "delay_ms", .member = &Rule::delayMs},
};

const Field<OtherHidDevice> kOtherDeviceKeys[] = {
    {.key = "vendor_id", .member = &OtherHidDevice::vendorId},
    {.key = "product_id", .member = &OtherHidDevice::productId},
    {.key = "manufacturer", .member = &OtherHidDevice::manufacturer},
    {.key = "product", .member = &OtherHidDevice::product},
};

const Field<HidEvent> kButtonKeys[] = {
    {.key = "code",
     .read =
         [](KeyReader& reader, const Json& value, const std::string& where, HidEvent& event) {
           auto code = reader.Integer(value, where, 0, 255);
           if (code) event.buttonCode = static_cast<std::uint8_t>(*code);
           return code.has_value();
         }},
    {.key = "usages",
     .read =
         [](KeyReader& reader, const Json& usages, const std::string& where, HidEvent& event) {
           if (!usages.is_array()) return reader.Fail("'" + where + "' must be an array");
           for (std::size_t i = 0; i < usages.size(); ++i) {
             const std::string at = where + "[" + std::to_string(i) + "]";
             std::optional<std::uint8_t> usage;
             if (usages[i].is_string()) usage = Lookup(kUsageNames, usages[i].get<std::string>());
             if (!usage) {
               auto number = reader.Integer(usages[i], at, 0, 0xFFFF);
               if (!number) return false;
               if (*number == 0xE2 || *number == 0xE9 || *number == 0xEA) {
                 usage = static_cast<std::uint8_t>(*number);
               }
             }
             if (!usage) {
               return reader.Fail("'" + at +
                                  "' must be \"mute\", \"volume_up\", \"volume_down\" or 0xE2, " +
                                  "0xE9, 0xEA");
             }
             event.usages.push_back(*usage);
           }
           return true;
         }},
};

const Field<HidEvent> kUnplugKeys[] = {
    {.key = "replug_after_ms", .member = &HidEvent::replugAfterMs, .written = Written::kAlways},
};

// An event happens at one moment (group 1) and is one thing (group 2).
const Field<HidEvent> kEventKeys[] = {
    {.key = "after_command",
     .oneOf = 1,
     .read =
         [](KeyReader& reader, const Json& value, const std::string& where, HidEvent& event) {
           auto k = reader.Integer(value, where, 1, kMostCommands);
           if (k) event.at.afterCommand = static_cast<int>(*k);
           return k.has_value();
         },
     .write = [](const HidEvent& event) -> std::optional<Json> {
       if (event.at.afterCommand <= 0) return std::nullopt;
       return Json(event.at.afterCommand);
     }},
    {.key = "at_ms",
     .oneOf = 1,
     .read =
         [](KeyReader& reader, const Json& value, const std::string& where, HidEvent& event) {
           auto t = reader.Milliseconds(value, where);
           if (t) event.at.atMs = *t;
           return t.has_value();
         },
     .write = [](const HidEvent& event) -> std::optional<Json> {
       if (event.at.afterCommand > 0) return std::nullopt;
       return Json(event.at.atMs);
     }},
    {.key = "adapter", .member = &HidEvent::adapter, .low = 0, .high = kMostAdapters - 1},
    {.key = "button",
     .oneOf = 2,
     .read =
         [](KeyReader& reader, const Json& value, const std::string& where, HidEvent& event) {
           event.kind = HidEvent::Kind::kButton;
           return reader.ReadObject(value, where, where, Keys(kButtonKeys), event);
         }},
    {.key = "report",
     .oneOf = 2,
     .read =
         [](KeyReader& reader, const Json& value, const std::string& where, HidEvent& event) {
           event.kind = HidEvent::Kind::kReport;
           auto bytes = reader.Bytes(value, where, 1, 64);
           if (!bytes) return false;
           event.bytes = std::move(*bytes);
           return true;
         }},
    {.key = "response",
     .oneOf = 2,
     .read =
         [](KeyReader& reader, const Json& value, const std::string& where, HidEvent& event) {
           event.kind = HidEvent::Kind::kResponse;
           auto frame = reader.Frame(value, where);
           if (!frame) return false;
           event.bytes.assign(frame->begin(), frame->end());
           return true;
         },
     .write = [](const HidEvent& event) -> std::optional<Json> {
       if (event.kind != HidEvent::Kind::kResponse) return std::nullopt;
       return FrameJson(event.Response());
     }},
    {.key = "unplug",
     .oneOf = 2,
     .read =
         [](KeyReader& reader, const Json& value, const std::string& where, HidEvent& event) {
           event.kind = HidEvent::Kind::kUnplug;
           if (value == true) return true;
           return reader.ReadObject(value, where, where, Keys(kUnplugKeys), event);
         },
     .write = [](const HidEvent& event) -> std::optional<Json> {
       if (event.kind != HidEvent::Kind::kUnplug) return std::nullopt;
       if (event.replugAfterMs < 0) return Json(true);
       return WriteObject(Keys(kUnplugKeys), event);
     }},
    {.key = "replug",
     .oneOf = 2,
     .read =
         [](KeyReader& reader, const Json& value, const std::string& where, HidEvent& event) {
           event.kind = HidEvent::Kind::kReplug;
           if (value != true) return reader.Fail("'" + where + "' must be true");
           return true;
         },
     .write = [](const HidEvent& event) -> std::optional<Json> {
       if (event.kind != HidEvent::Kind::kReplug) return std::nullopt;
       return Json(true);
     }},
};

const Field<HidSettings> kFailWriteKeys[] = {
    {.key = "from",
     .member = &HidSettings::failWriteFrom,
     .written = Written::kAlways,
     .low = 1,
     .high = kMostCommands},
    {.key = "times",
     .member = &HidSettings::failWriteTimes,
     .written = Written::kAlways,
     .unlimited = "always"},
};

// A scenario written back holds the layout, the timing, the serial number,
// the write faults and the events the fault explorer draws; the identity and
// the other devices are left at what the file had.
const Field<HidSettings> kHidKeys[] = {
    {.key = "adapter", .member = &HidSettings::adapterPresent, .written = Written::kNever},
    {.key = "adapters",
     .member = &HidSettings::adapterCount,
     .written = Written::kNever,
     .low = 1,
     .high = kMostAdapters},
    {.key = "vendor_id", .member = &HidSettings::vendorId, .written = Written::kNever},
    {.key = "product_id", .member = &HidSettings::productId, .written = Written::kNever},
    {.key = "version_number", .member = &HidSettings::versionNumber, .written = Written::kNever},
    {.key = "manufacturer", .member = &HidSettings::manufacturer, .written = Written::kNever},
    {.key = "product", .member = &HidSettings::product, .written = Written::kNever},
    {.key = "serial", .member = &HidSettings::serial},
    {.key = "devices_before",
     .read =
         [](KeyReader& reader, const Json& value, const std::string& where, HidSettings& hid) {
           if (!value.is_array() || value.size() > 16) {
             return reader.Fail("'" + where + "' must be an array of at most 16 devices");
           }
           return reader.ReadList(value, where, Keys(kOtherDeviceKeys), hid.devicesBefore);
         }},
    {.key = "output_report_length",
     .member = &HidSettings::outputReportLength,
     .written = Written::kAlways,
     .low = 2,
     .high = 256},
    {.key = "response_length",
     .member = &HidSettings::responseLength,
     .written = Written::kAlways,
     .low = 1,
     .high = 16},
    {.key = "latency_ms", .member = &HidSettings::latencyMs, .written = Written::kAlways},
    {.key = "restart_ms", .member = &HidSettings::restartMs, .written = Written::kAlways},
    {.key = "write_opens", .member = &HidSettings::writeOpens},
    {.key = "fail_writes",
     .read =
         [](KeyReader& reader, const Json& value, const std::string& where, HidSettings& hid) {
           hid.failWriteFrom = 1;  // the first write, unless "from" says otherwise
           return reader.ReadObject(value, where, where, Keys(kFailWriteKeys), hid);
         },
     .write = [](const HidSettings& hid) -> std::optional<Json> {
       if (hid.failWriteFrom <= 0) return std::nullopt;
       return WriteObject(Keys(kFailWriteKeys), hid);
     }},
    {.key = "events",
     .read =
         [](KeyReader& reader, const Json& value, const std::string& where, HidSettings& hid) {
           return reader.ReadList(value, where, Keys(kEventKeys), hid.events);
         },
     .write = [](const HidSettings& hid) -> std::optional<Json> {
       // Button presses and raw reports are not written back.
       Json events = Json::array();
       for (const HidEvent& event : hid.events) {
         if (event.kind == HidEvent::Kind::kButton || event.kind == HidEvent::Kind::kReport) {
           continue;
         }
         events.push_back(WriteObject(Keys(kEventKeys), event));
       }
       if (events.empty()) return std::nullopt;
       return events;
     }},
};

// Keys an entry of "hid.adapters" may not hold: they describe the whole
// machine, or the list itself.
bool MachineKey(std::string_view key) {
  return key == "adapter" || key == "adapters" || key == "devices_before" || key == "events" ||
         key == "hid" || key == "mixers" || key == "description";
}

template <class T>
bool HasKey(std::span<const Field<T>> fields, std::string_view key) {
  return std::any_of(fields.begin(), fields.end(), [&](const auto& f) { return f.key == key; });
}

bool ReadAdapterList(KeyReader& reader, const Json& list, const std::string& where,
                     Scenario& scenario);

bool CheckEventAdapters(KeyReader& reader, const std::string& where, const HidSettings& hid) {
  for (std::size_t i = 0; i < hid.events.size(); ++i) {
    if (hid.events[i].adapter >= hid.adapterCount) {
      return reader.Fail("'" + where + ".events[" + std::to_string(i) +
                         "].adapter' names an adapter beyond the " +
                         std::to_string(hid.adapterCount) + " simulated");
    }
  }
  return true;
}

const Field<Scenario> kScenarioKeys[] = {
    {.key = "description", .written = Written::kNever},
    {.key = "versions",
     .read =
         [](KeyReader& reader, const Json& value, const std::string& where, Scenario& scenario) {
           return reader.ReadObject(value, where, where, Keys(kVersionKeys), scenario);
         },
     .write = [](const Scenario& scenario) -> std::optional<Json> {
       return WriteObject(Keys(kVersionKeys), scenario);
     }},
    {.key = "busy_polls",
     .member = &Scenario::busyPolls,
     .written = Written::kAlways,
     .unlimited = "forever"},
    {.key = "checksum_bad_polls",
     .member = &Scenario::checksumBadPolls,
     .written = Written::kAlways,
     .unlimited = "forever"},
    {.key = "force_checksum_bad",
     .read =
         [](KeyReader& reader, const Json& value, const std::string& where, Scenario& scenario) {
           if (value.is_boolean()) {
             scenario.forceDspChecksumBad = scenario.forceUsbChecksumBad = value.get<bool>();
             return true;
           }
           const std::string text = value.is_string() ? value.get<std::string>() : "";
           if (text != "dsp" && text != "usb" && text != "both") {
             return reader.Fail("'" + where +
                                "' must be true, false, \"dsp\", \"usb\" or \"both\"");
           }
           scenario.forceDspChecksumBad = text != "usb";
           scenario.forceUsbChecksumBad = text != "dsp";
           return true;
         },
     .write = [](const Scenario& scenario) -> std::optional<Json> {
       if (!scenario.forceDspChecksumBad && !scenario.forceUsbChecksumBad) return std::nullopt;
       if (scenario.forceDspChecksumBad && scenario.forceUsbChecksumBad) return Json("both");
       return Json(scenario.forceDspChecksumBad ? "dsp" : "usb");
     }},
    {.key = "rules",
     .read =
         [](KeyReader& reader, const Json& value, const std::string& where, Scenario& scenario) {
           return reader.ReadList(value, where, Keys(kRuleKeys), scenario.rules);
         },
     .write = [](const Scenario& scenario) -> std::optional<Json> {
       if (scenario.rules.empty()) return std::nullopt;
       Json rules = Json::array();
       for (const Rule& rule : scenario.rules) rules.push_back(WriteObject(Keys(kRuleKeys), rule));
       return rules;
     }},
    {.key = "hid",
     .read =
         [](KeyReader& reader, const Json& value, const std::string& where, Scenario& scenario) {
           // A list of adapters is read after the rest, each entry over the
           // whole scenario read so far.
           if (value.is_object() && value.contains("adapters") && value["adapters"].is_array()) {
             Json rest = value;
             rest.erase("adapters");
             return reader.ReadObject(rest, where, where, Keys(kHidKeys), scenario.hid) &&
                    ReadAdapterList(reader, value["adapters"], where + ".adapters", scenario) &&
                    CheckEventAdapters(reader, where, scenario.hid);
           }
           return reader.ReadObject(value, where, where, Keys(kHidKeys), scenario.hid) &&
                  CheckEventAdapters(reader, where, scenario.hid);
         },
     .write = [](const Scenario& scenario) -> std::optional<Json> {
       return WriteObject(Keys(kHidKeys), scenario.hid);
     }},
    // The simulated mixers describe themselves (mixer/sim/sim_mixer_description.h);
    // a scenario written back leaves them at the defaults.
    {.key = "mixers",
     .written = Written::kNever,
     .read =
         [](KeyReader& reader, const Json& value, const std::string& where, Scenario& scenario) {
           std::string mixerError;
           if (!ParseSimMixers(value, scenario.mixers, mixerError)) {
             return reader.Fail(where + ": " + mixerError);
           }
           return true;
         }},
};

// Each entry holds hid keys and top-level keys for that adapter alone.
bool ReadAdapterList(KeyReader& reader, const Json& list, const std::string& where,
                     Scenario& scenario) {
  if (list.empty() || list.size() > static_cast<std::size_t>(kMostAdapters)) {
    return reader.Fail("'" + where + "' must be a number or an array of 1 to " +
                       std::to_string(kMostAdapters) + " adapters");
  }
  std::vector<Scenario> adapters;
  for (std::size_t i = 0; i < list.size(); ++i) {
    const std::string at = where + "[" + std::to_string(i) + "]";
    if (!list[i].is_object()) return reader.Fail("'" + at + "' must be an object");
    Json top = Json::object();
    Json hid = Json::object();
    for (const auto& item : list[i].items()) {
      if (MachineKey(item.key())) {
        return reader.Fail("'" + item.key() + "' cannot be given for one adapter in " + at);
      }
      if (HasKey(Keys(kHidKeys), item.key())) {
        hid[item.key()] = item.value();
      } else if (HasKey(ScenarioKeys(), item.key())) {
        top[item.key()] = item.value();
      } else {
        return reader.Fail("unknown key '" + item.key() + "' in " + at);
      }
    }
    Scenario own = scenario;
    if (!reader.ReadObject(top, at, at, ScenarioKeys(), own) ||
        !reader.ReadObject(hid, at, at, Keys(kHidKeys), own.hid)) {
      return false;
    }
    adapters.push_back(std::move(own));
  }
  scenario.hid.adapterCount = static_cast<int>(adapters.size());
  scenario.adapterScenarios = std::move(adapters);
  return true;
}

}  // namespace

std::span<const Field<Scenario>> ScenarioKeys() {
  return kScenarioKeys;
}

bool KeyReader::Fail(std::string message) {
  error_ = std::move(message);
  return false;
}

std::optional<long long> KeyReader::Integer(const Json& value, const std::string& where,
                                            long long low, long long high) {
  std::optional<long long> number;
  if (value.is_number_integer()) {
    if (value.is_number_unsigned() &&
        value.get<unsigned long long>() >
            static_cast<unsigned long long>(std::numeric_limits<long long>::max())) {
      number = std::nullopt;
    } else {
      number = value.get<long long>();
    }
  } else if (value.is_string()) {
    number = ParseIntegerText(value.get_ref<const std::string&>());
  }
  if (!number || *number < low || *number > high) {
    Fail("'" + where + "' must be an integer from " + std::to_string(low) + " to " +
         std::to_string(high));
    return std::nullopt;
  }
  return number;
}

std::optional<std::uint16_t> KeyReader::Word(const Json& value, const std::string& where) {
  auto number = Integer(value, where, 0, 0xFFFF);
  if (!number) return std::nullopt;
  return static_cast<std::uint16_t>(*number);
}

std::optional<int> KeyReader::Count(const Json& value, const std::string& where,
                                    std::string_view unlimited) {
  if (value.is_string() && value.get_ref<const std::string&>() == unlimited) return kAlways;
  if (!value.is_number_integer() || value.get<long long>() < 0 ||
      value.get<long long>() > std::numeric_limits<int>::max()) {
    Fail("'" + where + "' must be a count or \"" + std::string(unlimited) + "\"");
    return std::nullopt;
  }
  return static_cast<int>(value.get<long long>());
}

std::optional<double> KeyReader::Milliseconds(const Json& value, const std::string& where) {
  if (!value.is_number() || value.get<double>() < 0 || value.get<double>() > 3'600'000) {
    Fail("'" + where + "' must be a number of milliseconds from 0 to 3600000");
    return std::nullopt;
  }
  return value.get<double>();
}

std::optional<bool> KeyReader::Bool(const Json& value, const std::string& where) {
  if (!value.is_boolean()) {
    Fail("'" + where + "' must be true or false");
    return std::nullopt;
  }
  return value.get<bool>();
}

bool KeyReader::OptionalString(const Json& value, const std::string& where,
                               std::optional<std::string>& out) {
  if (value.is_null()) {
    out.reset();
    return true;
  }
  if (!value.is_string()) return Fail("'" + where + "' must be a string or null");
  out = value.get<std::string>();
  return true;
}

std::optional<std::vector<std::uint8_t>> KeyReader::Bytes(const Json& value,
                                                          const std::string& where,
                                                          std::size_t minimum,
                                                          std::size_t maximum) {
  if (!value.is_array() || value.size() < minimum || value.size() > maximum) {
    Fail("'" + where + "' must be an array of " + std::to_string(minimum) + " to " +
         std::to_string(maximum) + " bytes");
    return std::nullopt;
  }
  std::vector<std::uint8_t> bytes;
  for (std::size_t i = 0; i < value.size(); ++i) {
    auto byte = Integer(value[i], where + "[" + std::to_string(i) + "]", 0, 255);
    if (!byte) return std::nullopt;
    bytes.push_back(static_cast<std::uint8_t>(*byte));
  }
  return bytes;
}

std::optional<std::uint8_t> KeyReader::Command(const Json& value, const std::string& where) {
  if (value.is_string()) {
    if (auto code = CommandCodeFromName(value.get_ref<const std::string&>())) return code;
    Fail("'" + where + "': unknown command '" + value.get<std::string>() + "'");
    return std::nullopt;
  }
  auto number = Integer(value, where, 0, 255);
  if (!number) return std::nullopt;
  return static_cast<std::uint8_t>(*number);
}

std::optional<ResponseFrame> KeyReader::Frame(const Json& value, const std::string& where) {
  ResponseFrame frame{};
  if (value.is_string()) {
    const std::string& name = value.get_ref<const std::string&>();
    if (auto code = Lookup(kResponseNames, name)) {
      // The code goes in byte 0, which the USB transfer judges, and byte 1,
      // which the DSP transfer judges, so a refusal is seen by both.
      frame[0] = frame[1] = *code;
      return frame;
    }
    if (auto status = Lookup(kStatusNames, name)) {
      frame[0] = RSP_UPGRADE_STATUS;
      frame[1] = *status;
      return frame;
    }
    Fail("'" + where + "': unknown answer '" + name + "'");
    return std::nullopt;
  }
  if (value.is_array()) {
    auto bytes = Bytes(value, where, 1, kResponseFrameLength);
    if (!bytes) return std::nullopt;
    std::copy(bytes->begin(), bytes->end(), frame.begin());
    return frame;
  }
  if (value.is_object() && value.size() == 1) {
    const auto item = value.items().begin();
    const std::uint8_t code = item.key() == "headset_status"  ? RSP_HEADSET_STATUS
                              : item.key() == "two_bit_state" ? RSP_TWO_BIT_STATE
                                                              : 0;
    if (code == 0) {
      Fail("unknown key '" + item.key() + "' in " + where);
      return std::nullopt;
    }
    auto b1 = Integer(item.value(), where + "." + item.key(), 0, 255);
    if (!b1) return std::nullopt;
    frame[0] = code;
    frame[1] = static_cast<std::uint8_t>(*b1);
    return frame;
  }
  Fail("'" + where + "' must be a response name, an array of bytes or a one-key object");
  return std::nullopt;
}

std::optional<std::uint8_t> CommandCodeFromName(std::string_view name) {
  if (auto code = Lookup(kCommandNames, name)) return code;
  auto number = ParseIntegerText(name);
  if (number && *number >= 0 && *number <= 255) return static_cast<std::uint8_t>(*number);
  return std::nullopt;
}

}  // namespace kr35
