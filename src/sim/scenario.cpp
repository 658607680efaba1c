#include "sim/scenario.h"

#include <cerrno>
#include <charconv>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <limits>
#include <sstream>
#include <utility>

#include <nlohmann/json.hpp>

namespace kr35 {
namespace {

using Json = nlohmann::json;

// Scenario files are small; anything bigger is not one.
constexpr std::size_t kMaxScenarioFileBytes = 1 << 20;

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

// Reads one scenario document, keeping the first error with the path where it occurred.
class ScenarioReader {
 public:
  explicit ScenarioReader(std::string& error) : error_(error) {}

  bool Read(const Json& root, Scenario& scenario) {
    if (!ExpectObject(root, "scenario")) return false;
    if (!OnlyKeys(root, "scenario",
                  {"description", "versions", "busy_polls", "checksum_bad_polls",
                   "force_checksum_bad", "rules", "hid", "mixers"})) {
      return false;
    }
    if (root.contains("versions") && !ReadVersions(root["versions"], scenario)) return false;
    if (root.contains("busy_polls")) {
      auto count = Count(root["busy_polls"], "busy_polls", "forever");
      if (!count) return false;
      scenario.busyPolls = *count;
    }
    if (root.contains("checksum_bad_polls")) {
      auto count = Count(root["checksum_bad_polls"], "checksum_bad_polls", "forever");
      if (!count) return false;
      scenario.checksumBadPolls = *count;
    }
    if (root.contains("force_checksum_bad") &&
        !ReadForceChecksumBad(root["force_checksum_bad"], scenario)) {
      return false;
    }
    if (root.contains("rules")) {
      const Json& rules = root["rules"];
      if (!rules.is_array()) return Fail("'rules' must be an array");
      for (std::size_t i = 0; i < rules.size(); ++i) {
        Rule rule;
        if (!ReadRule(rules[i], "rules[" + std::to_string(i) + "]", rule)) return false;
        scenario.rules.push_back(std::move(rule));
      }
    }
    if (root.contains("hid") && !ReadHid(root["hid"], scenario.hid)) return false;
    if (root.contains("mixers")) {
      std::string mixerError;
      if (!ParseSimMixers(root["mixers"], scenario.mixers, mixerError)) {
        return Fail("mixers: " + mixerError);
      }
    }
    return true;
  }

 private:
  bool Fail(std::string message) {
    error_ = std::move(message);
    return false;
  }

  bool ExpectObject(const Json& value, const std::string& where) {
    if (value.is_object()) return true;
    return Fail("'" + where + "' must be an object");
  }

  bool OnlyKeys(const Json& object, const std::string& where,
                std::initializer_list<std::string_view> allowed) {
    for (const auto& item : object.items()) {
      bool known = false;
      for (std::string_view key : allowed) known = known || item.key() == key;
      if (!known) return Fail("unknown key '" + item.key() + "' in " + where);
    }
    return true;
  }

  // A JSON integer, or text holding a decimal or 0x-prefixed number, within [low, high].
  std::optional<long long> Integer(const Json& value, const std::string& where, long long low,
                                   long long high) {
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

  std::optional<std::uint16_t> Word(const Json& value, const std::string& where) {
    auto number = Integer(value, where, 0, 0xFFFF);
    if (!number) return std::nullopt;
    return static_cast<std::uint16_t>(*number);
  }

  // A non-negative count, or `unlimited` ("always"/"forever") for kAlways.
  std::optional<int> Count(const Json& value, const std::string& where,
                           std::string_view unlimited) {
    if (value.is_string() && value.get_ref<const std::string&>() == unlimited) return kAlways;
    if (!value.is_number_integer() || value.get<long long>() < 0 ||
        value.get<long long>() > std::numeric_limits<int>::max()) {
      Fail("'" + where + "' must be a count or \"" + std::string(unlimited) + "\"");
      return std::nullopt;
    }
    return static_cast<int>(value.get<long long>());
  }

  std::optional<double> Milliseconds(const Json& value, const std::string& where) {
    if (!value.is_number() || value.get<double>() < 0 || value.get<double>() > 3'600'000) {
      Fail("'" + where + "' must be a number of milliseconds from 0 to 3600000");
      return std::nullopt;
    }
    return value.get<double>();
  }

  std::optional<bool> Bool(const Json& value, const std::string& where) {
    if (!value.is_boolean()) {
      Fail("'" + where + "' must be true or false");
      return std::nullopt;
    }
    return value.get<bool>();
  }

  // null = unreadable; otherwise a string.
  bool OptionalString(const Json& value, const std::string& where,
                      std::optional<std::string>& out) {
    if (value.is_null()) {
      out.reset();
      return true;
    }
    if (!value.is_string()) return Fail("'" + where + "' must be a string or null");
    out = value.get<std::string>();
    return true;
  }

  std::optional<std::vector<std::uint8_t>> Bytes(const Json& value, const std::string& where,
                                                 std::size_t minimum, std::size_t maximum) {
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

  bool ReadVersions(const Json& value, Scenario& scenario) {
    if (!ExpectObject(value, "versions") || !OnlyKeys(value, "versions", {"usb", "dsp"})) {
      return false;
    }
    if (value.contains("usb")) {
      auto word = Word(value["usb"], "versions.usb");
      if (!word) return false;
      scenario.usbVersion = *word;
    }
    if (value.contains("dsp")) {
      auto word = Word(value["dsp"], "versions.dsp");
      if (!word) return false;
      scenario.dspVersion = *word;
    }
    return true;
  }

  bool ReadForceChecksumBad(const Json& value, Scenario& scenario) {
    if (value.is_boolean()) {
      scenario.forceDspChecksumBad = scenario.forceUsbChecksumBad = value.get<bool>();
      return true;
    }
    const std::string text = value.is_string() ? value.get<std::string>() : "";
    if (text != "dsp" && text != "usb" && text != "both") {
      return Fail("'force_checksum_bad' must be true, false, \"dsp\", \"usb\" or \"both\"");
    }
    scenario.forceDspChecksumBad = text != "usb";
    scenario.forceUsbChecksumBad = text != "dsp";
    return true;
  }

  std::optional<std::uint8_t> Command(const Json& value, const std::string& where) {
    if (value.is_string()) {
      if (auto code = CommandCodeFromName(value.get_ref<const std::string&>())) return code;
      Fail("'" + where + "': unknown command '" + value.get<std::string>() + "'");
      return std::nullopt;
    }
    auto number = Integer(value, where, 0, 255);
    if (!number) return std::nullopt;
    return static_cast<std::uint8_t>(*number);
  }

  // A response frame: a name ("RSP_NAK_DSP", "UPGRADE_BUSY"), up to 5 raw
  // bytes, or {"headset_status": b1} / {"two_bit_state": b1}.
  std::optional<ResponseFrame> Frame(const Json& value, const std::string& where) {
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

  bool ReadMatch(const Json& value, const std::string& where, RuleMatch& match) {
    if (!ExpectObject(value, where) ||
        !OnlyKeys(value, where, {"command", "occurrence", "block"})) {
      return false;
    }
    if (value.contains("command")) {
      match.command = Command(value["command"], where + ".command");
      if (!match.command) return false;
    }
    if (value.contains("occurrence")) {
      auto k = Integer(value["occurrence"], where + ".occurrence", 1, 1'000'000'000);
      if (!k) return false;
      match.occurrence = static_cast<int>(*k);
    }
    if (value.contains("block")) {
      auto k = Integer(value["block"], where + ".block", 1, 65536);
      if (!k) return false;
      match.block = static_cast<int>(*k);
    }
    return true;
  }

  bool ReadRule(const Json& value, const std::string& where, Rule& rule) {
    if (!ExpectObject(value, where) ||
        !OnlyKeys(value, where,
                  {"match", "answer", "unsolicited", "times", "process", "delay_ms"})) {
      return false;
    }
    if (!value.contains("match")) return Fail("'" + where + "' needs a 'match'");
    if (!ReadMatch(value["match"], where + ".match", rule.match)) return false;
    if (value.contains("answer")) {
      const Json& answer = value["answer"];
      if (answer.is_string() && answer.get_ref<const std::string&>() == "silence") {
        rule.answer.kind = RuleAnswer::Kind::kSilence;
      } else if (answer.is_string() && answer.get_ref<const std::string&>() == "normal") {
        rule.answer.kind = RuleAnswer::Kind::kNormal;
      } else {
        auto frame = Frame(answer, where + ".answer");
        if (!frame) return false;
        rule.answer = {RuleAnswer::Kind::kFrame, *frame};
      }
    }
    if (value.contains("unsolicited")) {
      const Json& list = value["unsolicited"];
      if (!list.is_array()) return Fail("'" + where + ".unsolicited' must be an array");
      for (std::size_t i = 0; i < list.size(); ++i) {
        auto frame = Frame(list[i], where + ".unsolicited[" + std::to_string(i) + "]");
        if (!frame) return false;
        rule.unsolicited.push_back(*frame);
      }
    }
    if (value.contains("times")) {
      auto times = Count(value["times"], where + ".times", "always");
      if (!times) return false;
      rule.times = *times;
    }
    if (value.contains("process")) {
      auto process = Bool(value["process"], where + ".process");
      if (!process) return false;
      rule.process = *process;
    }
    if (value.contains("delay_ms")) {
      auto delay = Milliseconds(value["delay_ms"], where + ".delay_ms");
      if (!delay) return false;
      rule.delayMs = *delay;
    }
    return true;
  }

  bool ReadOtherDevice(const Json& value, const std::string& where, OtherHidDevice& device) {
    if (!ExpectObject(value, where) ||
        !OnlyKeys(value, where, {"vendor_id", "product_id", "manufacturer", "product"})) {
      return false;
    }
    if (value.contains("vendor_id")) {
      auto id = Word(value["vendor_id"], where + ".vendor_id");
      if (!id) return false;
      device.vendorId = *id;
    }
    if (value.contains("product_id")) {
      auto id = Word(value["product_id"], where + ".product_id");
      if (!id) return false;
      device.productId = *id;
    }
    if (value.contains("manufacturer") &&
        !OptionalString(value["manufacturer"], where + ".manufacturer", device.manufacturer)) {
      return false;
    }
    if (value.contains("product") &&
        !OptionalString(value["product"], where + ".product", device.product)) {
      return false;
    }
    return true;
  }

  bool ReadMoment(const Json& value, const std::string& where, EventMoment& moment) {
    const bool byCommand = value.contains("after_command");
    const bool byTime = value.contains("at_ms");
    if (byCommand == byTime) {
      return Fail("'" + where + "' needs exactly one of 'after_command' and 'at_ms'");
    }
    if (byCommand) {
      auto k = Integer(value["after_command"], where + ".after_command", 1, 1'000'000'000);
      if (!k) return false;
      moment.afterCommand = static_cast<int>(*k);
    } else {
      auto t = Milliseconds(value["at_ms"], where + ".at_ms");
      if (!t) return false;
      moment.atMs = *t;
    }
    return true;
  }

  bool ReadButton(const Json& value, const std::string& where, HidEvent& event) {
    if (!ExpectObject(value, where) || !OnlyKeys(value, where, {"code", "usages"})) return false;
    if (value.contains("code")) {
      auto code = Integer(value["code"], where + ".code", 0, 255);
      if (!code) return false;
      event.buttonCode = static_cast<std::uint8_t>(*code);
    }
    if (value.contains("usages")) {
      const Json& usages = value["usages"];
      if (!usages.is_array()) return Fail("'" + where + ".usages' must be an array");
      for (std::size_t i = 0; i < usages.size(); ++i) {
        const std::string at = where + ".usages[" + std::to_string(i) + "]";
        std::optional<std::uint8_t> usage;
        if (usages[i].is_string()) usage = Lookup(kUsageNames, usages[i].get<std::string>());
        if (!usage) {
          auto number = Integer(usages[i], at, 0, 0xFFFF);
          if (!number) return false;
          if (*number == 0xE2 || *number == 0xE9 || *number == 0xEA) {
            usage = static_cast<std::uint8_t>(*number);
          }
        }
        if (!usage) {
          return Fail("'" + at + "' must be \"mute\", \"volume_up\", \"volume_down\" or 0xE2, " +
                      "0xE9, 0xEA");
        }
        event.usages.push_back(*usage);
      }
    }
    return true;
  }

  bool ReadEvent(const Json& value, const std::string& where, HidEvent& event) {
    if (!ExpectObject(value, where) ||
        !OnlyKeys(value, where,
                  {"after_command", "at_ms", "button", "report", "response", "unplug", "replug"})) {
      return false;
    }
    if (!ReadMoment(value, where, event.at)) return false;
    int kinds = 0;
    for (const char* key : {"button", "report", "response", "unplug", "replug"}) {
      kinds += value.contains(key) ? 1 : 0;
    }
    if (kinds != 1) {
      return Fail("'" + where +
                  "' needs exactly one of 'button', 'report', 'response', 'unplug', 'replug'");
    }
    if (value.contains("button")) {
      event.kind = HidEvent::Kind::kButton;
      return ReadButton(value["button"], where + ".button", event);
    }
    if (value.contains("report")) {
      event.kind = HidEvent::Kind::kReport;
      auto bytes = Bytes(value["report"], where + ".report", 1, 64);
      if (!bytes) return false;
      event.bytes = std::move(*bytes);
      return true;
    }
    if (value.contains("response")) {
      event.kind = HidEvent::Kind::kResponse;
      auto frame = Frame(value["response"], where + ".response");
      if (!frame) return false;
      event.bytes.assign(frame->begin(), frame->end());
      return true;
    }
    if (value.contains("replug")) {
      event.kind = HidEvent::Kind::kReplug;
      if (value["replug"] != true) return Fail("'" + where + ".replug' must be true");
      return true;
    }
    event.kind = HidEvent::Kind::kUnplug;
    const Json& unplug = value["unplug"];
    if (unplug == true) return true;
    if (!ExpectObject(unplug, where + ".unplug") ||
        !OnlyKeys(unplug, where + ".unplug", {"replug_after_ms"})) {
      return false;
    }
    if (unplug.contains("replug_after_ms")) {
      auto t = Milliseconds(unplug["replug_after_ms"], where + ".unplug.replug_after_ms");
      if (!t) return false;
      event.replugAfterMs = *t;
    }
    return true;
  }

  bool ReadHid(const Json& value, HidSettings& hid) {
    if (!ExpectObject(value, "hid") ||
        !OnlyKeys(
            value, "hid",
            {"adapter", "adapters", "vendor_id", "product_id", "version_number", "manufacturer",
             "product", "serial", "devices_before", "output_report_length", "response_length",
             "latency_ms", "restart_ms", "write_opens", "fail_writes", "events"})) {
      return false;
    }
    if (value.contains("adapter")) {
      auto present = Bool(value["adapter"], "hid.adapter");
      if (!present) return false;
      hid.adapterPresent = *present;
    }
    if (value.contains("adapters")) {
      auto count = Integer(value["adapters"], "hid.adapters", 1, 8);
      if (!count) return false;
      hid.adapterCount = static_cast<int>(*count);
    }
    for (auto [key, field] :
         {std::pair{"vendor_id", &hid.vendorId}, std::pair{"product_id", &hid.productId},
          std::pair{"version_number", &hid.versionNumber}}) {
      if (!value.contains(key)) continue;
      auto word = Word(value[key], std::string("hid.") + key);
      if (!word) return false;
      *field = *word;
    }
    if (value.contains("manufacturer") &&
        !OptionalString(value["manufacturer"], "hid.manufacturer", hid.manufacturer)) {
      return false;
    }
    if (value.contains("product") &&
        !OptionalString(value["product"], "hid.product", hid.product)) {
      return false;
    }
    if (value.contains("serial") && !OptionalString(value["serial"], "hid.serial", hid.serial)) {
      return false;
    }
    if (value.contains("devices_before")) {
      const Json& list = value["devices_before"];
      if (!list.is_array() || list.size() > 16) {
        return Fail("'hid.devices_before' must be an array of at most 16 devices");
      }
      for (std::size_t i = 0; i < list.size(); ++i) {
        OtherHidDevice device;
        if (!ReadOtherDevice(list[i], "hid.devices_before[" + std::to_string(i) + "]", device)) {
          return false;
        }
        hid.devicesBefore.push_back(std::move(device));
      }
    }
    if (value.contains("output_report_length")) {
      auto length = Integer(value["output_report_length"], "hid.output_report_length", 2, 256);
      if (!length) return false;
      hid.outputReportLength = static_cast<int>(*length);
    }
    if (value.contains("response_length")) {
      auto length = Integer(value["response_length"], "hid.response_length", 1, 16);
      if (!length) return false;
      hid.responseLength = static_cast<int>(*length);
    }
    for (auto [key, field] :
         {std::pair{"latency_ms", &hid.latencyMs}, std::pair{"restart_ms", &hid.restartMs}}) {
      if (!value.contains(key)) continue;
      auto ms = Milliseconds(value[key], std::string("hid.") + key);
      if (!ms) return false;
      *field = *ms;
    }
    if (value.contains("write_opens")) {
      auto opens = Bool(value["write_opens"], "hid.write_opens");
      if (!opens) return false;
      hid.writeOpens = *opens;
    }
    if (value.contains("fail_writes")) {
      const Json& fail = value["fail_writes"];
      if (!ExpectObject(fail, "hid.fail_writes") ||
          !OnlyKeys(fail, "hid.fail_writes", {"from", "times"})) {
        return false;
      }
      hid.failWriteFrom = 1;
      if (fail.contains("from")) {
        auto from = Integer(fail["from"], "hid.fail_writes.from", 1, 1'000'000'000);
        if (!from) return false;
        hid.failWriteFrom = static_cast<int>(*from);
      }
      if (fail.contains("times")) {
        auto times = Count(fail["times"], "hid.fail_writes.times", "always");
        if (!times) return false;
        hid.failWriteTimes = *times;
      }
    }
    if (value.contains("events")) {
      const Json& list = value["events"];
      if (!list.is_array()) return Fail("'hid.events' must be an array");
      for (std::size_t i = 0; i < list.size(); ++i) {
        HidEvent event;
        if (!ReadEvent(list[i], "hid.events[" + std::to_string(i) + "]", event)) return false;
        hid.events.push_back(std::move(event));
      }
    }
    return true;
  }

  std::string& error_;
};

}  // namespace

std::optional<std::uint8_t> CommandCodeFromName(std::string_view name) {
  if (auto code = Lookup(kCommandNames, name)) return code;
  auto number = ParseIntegerText(name);
  if (number && *number >= 0 && *number <= 255) return static_cast<std::uint8_t>(*number);
  return std::nullopt;
}

std::optional<Scenario> ParseScenario(std::string_view json, std::string& error) {
  Json root;
  try {
    root = Json::parse(json.begin(), json.end(), nullptr, /*allow_exceptions=*/true,
                       /*ignore_comments=*/true);
  } catch (const Json::exception& e) {
    // "[json.exception.parse_error.101] parse error at line 2, column 5: ..."
    // without the library's tag: where the text goes wrong and how. A number
    // too large for any type (out_of_range.406) is refused the same way.
    std::string_view what = e.what();
    if (const auto tagEnd = what.find("] "); what.starts_with("[") && tagEnd != what.npos) {
      what.remove_prefix(tagEnd + 2);
    }
    error = "not valid JSON: " + std::string(what);
    return std::nullopt;
  }
  Scenario scenario;
  if (!ScenarioReader(error).Read(root, scenario)) return std::nullopt;
  return scenario;
}

std::optional<Scenario> LoadScenarioFile(const std::string& path, std::string& error) {
  std::error_code ec;
  if (std::filesystem::is_directory(path, ec)) {
    error = "cannot open scenario file '" + path + "': is a directory";
    return std::nullopt;
  }
  errno = 0;
  std::ifstream file(path, std::ios::binary);
  if (!file) {
    error = "cannot open scenario file '" + path +
            "': " + (errno != 0 ? std::strerror(errno) : "cannot be opened");
    return std::nullopt;
  }
  std::string text;
  char chunk[4096];
  while (file.read(chunk, sizeof chunk) || file.gcount() > 0) {
    text.append(chunk, static_cast<std::size_t>(file.gcount()));
    if (text.size() > kMaxScenarioFileBytes) {
      error = "scenario file '" + path + "' is too large";
      return std::nullopt;
    }
  }
  auto scenario = ParseScenario(text, error);
  if (!scenario) error = path + ": " + error;
  return scenario;
}

}  // namespace kr35
