#include <fstream>

#include <nlohmann/json.hpp>

#include "hid/hex_bytes.h"
#include "record/recording.h"
#include "record/recording_format.h"

namespace kr35 {
namespace {

using Json = nlohmann::json;

// Builds a Recording from its lines; a line it cannot use throws, with the
// reason, and the loader adds the line number.
class RecordingBuilder {
 public:
  void Header(const Json& line) {
    if (!line.is_object() || line.value("format", "") != kRecordingFormat) {
      throw std::runtime_error("not a KR35 session recording");
    }
    if (line.value("version", 0) != kRecordingVersion) {
      throw std::runtime_error("recording version " + line.value("version", Json()).dump() +
                               " is not " + std::to_string(kRecordingVersion));
    }
    headerSeen_ = true;
    recording_.program = line.value("program", "");
    recording_.platform = line.value("platform", "");
  }

  void Event(const Json& line, int number) {
    const std::string event = line.at("event").get<std::string>();
    const std::int64_t tUs = line.at("t_us").get<std::int64_t>();
    if (event == "enumerate") {
      const Json& paths = line.at("paths");
      recording_.enumerations.push_back(
          paths.is_null() ? std::nullopt : std::optional(paths.get<std::vector<std::string>>()));
      recording_.enumerationLines.push_back(number);
    } else if (event == "open") {
      const std::string path = line.at("path").get<std::string>();
      if (!line.at("handle").is_null()) {
        handles_[line.at("handle").get<int>()] = path;
        recording_.interfaces[path].readable = true;
      } else {
        recording_.interfaces.try_emplace(path);
      }
    } else if (event == "openWrite") {
      const std::string path = line.at("path").get<std::string>();
      if (!line.at("writer").is_null()) {
        writers_[line.at("writer").get<int>()] = path;
        recording_.interfaces[path].writable = true;
      }
    } else if (event == "attributes") {
      auto& attributes = InterfaceOf(line).attributes;
      if (!attributes && !line.at("vendorId").is_null()) {
        attributes = HidAttributes{line.at("vendorId").get<std::uint16_t>(),
                                   line.at("productId").get<std::uint16_t>(),
                                   line.at("versionNumber").get<std::uint16_t>()};
        InterfaceOf(line).attributesLine = number;
      }
    } else if (event == "manufacturer" || event == "product" || event == "serial" ||
               event == "port") {
      RecordedInterface& interface = InterfaceOf(line);
      auto& text = event == "product"  ? interface.product
                   : event == "serial" ? interface.serial
                   : event == "port"   ? interface.port
                                       : interface.manufacturer;
      if (!text && !line.at("text").is_null()) text = line.at("text").get<std::string>();
    } else if (event == "descriptor") {
      RecordedInterface& interface = InterfaceOf(line);
      if (!interface.descriptorLine) interface.descriptorLine = number;
      if (!interface.descriptor && !line.at("bytes").is_null()) {
        interface.descriptor = Hex(line.at("bytes"), kMaxRecordingDescriptor);
      }
      if (!interface.caps && line.contains("caps") && !line.at("caps").is_null()) {
        interface.caps = CapsFromJson(line.at("caps"));
      }
    } else if (event == "write") {
      const auto writer = writers_.find(line.at("writer").get<int>());
      if (writer == writers_.end()) throw std::runtime_error("write on a writer never opened");
      recording_.writes.push_back(RecordedWrite{tUs,
                                                writer->second,
                                                Hex(line.at("report"), kMaxRecordingReport),
                                                line.at("ok").get<bool>(),
                                                {}});
    } else if (event == "read" || event == "readError") {
      RecordedDeviceEvent device;
      device.kind = event == "read" ? RecordedDeviceEvent::Kind::kRead
                                    : RecordedDeviceEvent::Kind::kReadError;
      device.tUs = tUs;
      device.handle = line.at("handle").get<int>();
      if (event == "read") device.report = Hex(line.at("report"), kMaxRecordingReport);
      DeviceEvents().push_back(std::move(device));
    } else if (event == "notice") {
      RecordedDeviceEvent notice;
      notice.kind = RecordedDeviceEvent::Kind::kNotice;
      notice.tUs = tUs;
      notice.code = line.at("code").get<std::uint32_t>();
      DeviceEvents().push_back(std::move(notice));
    } else if (event == "register") {
      recording_.noticesRegistered = line.at("ok").get<bool>();
    }
    // Events of a later version that this one does not know are skipped.
  }

  bool HeaderSeen() const { return headerSeen_; }
  Recording Take() { return std::move(recording_); }

 private:
  RecordedInterface& InterfaceOf(const Json& line) {
    const auto handle = handles_.find(line.at("handle").get<int>());
    if (handle == handles_.end()) throw std::runtime_error("handle never opened");
    return recording_.interfaces[handle->second];
  }
  std::vector<RecordedDeviceEvent>& DeviceEvents() {
    return recording_.writes.empty() ? recording_.prelude : recording_.writes.back().after;
  }
  static std::vector<std::uint8_t> Hex(const Json& text, std::size_t maxBytes) {
    auto bytes = FromHex(text.get<std::string>(), maxBytes);
    if (!bytes) throw std::runtime_error("bytes are not hex or too many");
    return std::move(*bytes);
  }

  Recording recording_;
  bool headerSeen_ = false;
  std::map<int, std::string> handles_;
  std::map<int, std::string> writers_;
};

// The JSON library's message in words: without its "[json.exception.K.N] "
// tag, and a missing key named as a missing field.
std::string PlainJsonError(const Json::exception& e) {
  std::string text = e.what();
  if (const auto tagEnd = text.find("] ");
      text.rfind("[json.exception.", 0) == 0 && tagEnd != std::string::npos) {
    text.erase(0, tagEnd + 2);
  }
  if (text.rfind("key '", 0) == 0 && text.ends_with("' not found")) {
    return "the event has no '" + text.substr(5, text.size() - 5 - 11) + "' field";
  }
  if (dynamic_cast<const Json::parse_error*>(&e)) return "not a JSON line: " + text;
  if (dynamic_cast<const Json::type_error*>(&e)) return "a field has the wrong type: " + text;
  return text;
}

}  // namespace

std::optional<Recording> LoadRecording(const std::string& path, std::string& error) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    error = "cannot read the recording " + path;
    return std::nullopt;
  }
  RecordingBuilder builder;
  std::string line(kMaxRecordingLine + 1, '\0');
  for (std::size_t number = 1;; ++number) {
    in.getline(line.data(), static_cast<std::streamsize>(line.size()));
    const auto length = static_cast<std::size_t>(in.gcount());
    if (in.eof() && length == 0) break;
    if (in.fail() && !in.eof()) {
      error = path + " line " + std::to_string(number) + ": longer than " +
              std::to_string(kMaxRecordingLine) + " bytes";
      return std::nullopt;
    }
    if (number > kMaxRecordingEvents) {
      error = path + ": more than " + std::to_string(kMaxRecordingEvents) + " lines";
      return std::nullopt;
    }
    const std::string_view text(line.data(), in.eof() ? length : length - 1);
    try {
      const Json json = Json::parse(text);
      if (number == 1) {
        builder.Header(json);
      } else {
        builder.Event(json, static_cast<int>(number));
      }
    } catch (const Json::exception& e) {
      if (in.eof() && number > 1) break;
      error = path + " line " + std::to_string(number) + ": " + PlainJsonError(e);
      return std::nullopt;
    } catch (const std::exception& e) {
      // A line cut short by a crash or an unplug ends the recording there.
      if (in.eof() && number > 1) break;
      error = path + " line " + std::to_string(number) + ": " + e.what();
      return std::nullopt;
    }
    if (in.eof()) break;
  }
  if (!builder.HeaderSeen()) {
    error = path + ": not a KR35 session recording";
    return std::nullopt;
  }
  if (in.bad()) {
    error = "cannot read the recording " + path;
    return std::nullopt;
  }
  return builder.Take();
}

}  // namespace kr35
