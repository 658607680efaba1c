#include "history/history_records.h"

#include <cstdio>
#include <limits>
#include <nlohmann/json.hpp>

#include "firmware/file_io.h"
#include "firmware/firmware_image.h"
#include "history/history_file.h"
#include "history/sha256.h"

namespace kr35 {
namespace {

using Json = nlohmann::ordered_json;

// Larger history files are not read: the writer keeps them near 1 MiB.
constexpr std::size_t kMaxHistoryFileBytes = std::size_t{8} << 20;

std::string Line(const Json& record) {
  return record.dump(-1, ' ', false, Json::error_handler_t::replace);
}

Json OptionalText(const std::optional<std::string>& text) {
  return text ? Json(*text) : Json(nullptr);
}

Json VersionsJson(const std::optional<InstalledVersions>& versions) {
  if (!versions) return nullptr;
  return {{"usb", versions->usb}, {"dsp", versions->dsp}};
}

Json ImageJson(TransferPart part, const ImageSource& source) {
  // Absolute: the history outlives the directory the program ran in.
  std::error_code ec;
  const std::filesystem::path absolute = std::filesystem::absolute(source.path, ec);
  Json image = {
      {"part", TransferPartName(part)},
      {"source", source.builtIn ? "builtin" : "hex"},
      {"path", source.builtIn ? Json(nullptr) : Json(ec ? source.path : absolute.string())}};
  std::string sha = source.sha256;
  if (sha.empty() && !source.builtIn) sha = Sha256OfFile(source.path);
  image["sha256"] = sha.empty() ? Json(nullptr) : Json(sha);
  const FirmwareImage header(source.image);
  image["length"] = header.HasHeader() ? Json(header.PayloadLength()) : Json(nullptr);
  image["checksum"] = header.HasHeader() ? Json(header.Checksum()) : Json(nullptr);
  image["version"] = header.HasHeader() ? Json(header.Version()) : Json(nullptr);
  return image;
}

std::string Text(const Json& object, const char* key) {
  const auto it = object.find(key);
  return it != object.end() && it->is_string() ? it->get<std::string>() : std::string();
}

template <typename T>
std::optional<T> Number(const Json& object, const char* key) {
  const auto it = object.find(key);
  if (it == object.end() || !it->is_number_unsigned()) return std::nullopt;
  const auto value = it->get<std::uint64_t>();
  if (value > std::numeric_limits<T>::max()) return std::nullopt;
  return static_cast<T>(value);
}

std::optional<InstalledVersions> VersionsOf(const Json& object, const char* key) {
  const auto it = object.find(key);
  if (it == object.end() || !it->is_object()) return std::nullopt;
  const auto usb = Number<std::uint16_t>(*it, "usb");
  const auto dsp = Number<std::uint16_t>(*it, "dsp");
  if (!usb || !dsp) return std::nullopt;
  return InstalledVersions{*usb, *dsp};
}

HistoryEntry EntryOf(const Json& begin) {
  HistoryEntry entry;
  entry.id = Text(begin, "id");
  entry.time = Text(begin, "time");
  entry.program = Text(begin, "program");
  entry.version = Text(begin, "version");
  entry.before = VersionsOf(begin, "before");
  if (const auto it = begin.find("adapter"); it != begin.end() && it->is_object()) {
    const Json& adapter = *it;
    entry.adapter.path = Text(adapter, "path");
    entry.adapter.vendorId = Number<std::uint16_t>(adapter, "vendorId").value_or(0);
    entry.adapter.productId = Number<std::uint16_t>(adapter, "productId").value_or(0);
    if (adapter.contains("product") && adapter["product"].is_string())
      entry.adapter.product = Text(adapter, "product");
    if (adapter.contains("serial") && adapter["serial"].is_string())
      entry.adapter.serialNumber = Text(adapter, "serial");
    entry.adapter.usbPort = Text(adapter, "port");
  }
  if (const auto it = begin.find("images"); it != begin.end() && it->is_array()) {
    for (const Json& image : *it) {
      if (!image.is_object()) continue;
      entry.images.push_back(
          {Text(image, "part"), Text(image, "source") != "hex", Text(image, "path"),
           Text(image, "sha256"), Number<std::uint32_t>(image, "length"),
           Number<std::uint16_t>(image, "checksum"), Number<std::uint16_t>(image, "version")});
    }
  }
  return entry;
}

void ApplyEnd(HistoryEntry& entry, const Json& end) {
  entry.ended = true;
  entry.outcome = Text(end, "outcome");
  entry.part = Text(end, "part");
  entry.step = Text(end, "step");
  entry.block = Number<std::uint64_t>(end, "block");
  entry.reason = Text(end, "reason");
  entry.durationMs = Number<std::uint64_t>(end, "durationMs");
  if (const auto it = end.find("answer"); it != end.end() && it->is_array()) {
    for (const Json& value : *it) {
      if (value.is_number_unsigned() && value.get<std::uint64_t>() < 256)
        entry.answer.push_back(value.get<int>());
    }
  }
}

void ReadOneFile(const std::filesystem::path& path, HistoryRead& read) {
  std::error_code ec;
  if (!std::filesystem::exists(path, ec)) return;
  std::vector<std::uint8_t> bytes;
  std::string error;
  if (!ReadWholeFile(path, bytes, error, kMaxHistoryFileBytes)) {
    read.warnings.push_back(error);
    return;
  }
  const std::string text(bytes.begin(), bytes.end());
  std::size_t lineNumber = 0;
  for (std::size_t start = 0; start < text.size();) {
    std::size_t end = text.find('\n', start);
    const bool last = end == std::string::npos;
    if (last) end = text.size();
    ++lineNumber;
    const std::string_view line(text.data() + start, end - start);
    start = end + 1;
    if (line.empty()) continue;
    const Json record = Json::parse(line, nullptr, false);
    const std::string kind = record.is_object() ? Text(record, "record") : std::string();
    const std::string id = record.is_object() ? Text(record, "id") : std::string();
    if (kind.empty() || id.empty()) {
      read.warnings.push_back(path.string() + ":" + std::to_string(lineNumber) +
                              (last ? ": an incomplete last line (cut off while written) is skipped"
                                    : ": a line that is not a history record is skipped"));
      continue;
    }
    if (kind == "begin") {
      read.entries.push_back(EntryOf(record));
      continue;
    }
    // Later records belong to the latest begin with their id.
    for (auto it = read.entries.rbegin(); it != read.entries.rend(); ++it) {
      if (it->id != id) continue;
      if (kind == "end") ApplyEnd(*it, record);
      if (kind == "after") it->after = VersionsOf(record, "after");
      break;
    }
  }
}

}  // namespace

std::string HistoryTime(std::chrono::system_clock::time_point time) {
  using namespace std::chrono;
  const auto ms = time_point_cast<milliseconds>(time);
  const auto day = floor<days>(ms);
  const year_month_day date(day);
  const hh_mm_ss clock(ms - day);
  char text[64];
  std::snprintf(
      text, sizeof text, "%04d-%02u-%02uT%02d:%02d:%02d.%03dZ", static_cast<int>(date.year()),
      static_cast<unsigned>(date.month()), static_cast<unsigned>(date.day()),
      static_cast<int>(clock.hours().count()), static_cast<int>(clock.minutes().count()),
      static_cast<int>(clock.seconds().count()), static_cast<int>(clock.subseconds().count()));
  return text;
}

std::string BeginRecord(const std::string& id, const std::string& time, const std::string& program,
                        const std::string& version, const AdapterIdentity& adapter,
                        const std::optional<InstalledVersions>& before, const DownloadPlan& plan) {
  Json images = Json::array();
  for (TransferPart part : kDownloadOrder) {
    if (plan.Loader(part)) images.push_back(ImageJson(part, plan.Source(part)));
  }
  return Line({{"record", "begin"},
               {"id", id},
               {"time", time},
               {"program", program},
               {"version", version},
               {"adapter",
                {{"path", adapter.path},
                 {"serial", OptionalText(adapter.serialNumber)},
                 {"port", adapter.usbPort.empty() ? Json(nullptr) : Json(adapter.usbPort)},
                 {"vendorId", adapter.vendorId},
                 {"productId", adapter.productId},
                 {"product", OptionalText(adapter.product)}}},
               {"before", VersionsJson(before)},
               {"images", images}});
}

std::string EndRecord(const std::string& id, const std::string& time,
                      const DownloadOutcome& outcome, std::chrono::milliseconds duration) {
  std::string reason = outcome.reason ? RefusalReasonName(*outcome.reason) : "";
  if (!outcome.detail.empty()) reason += (reason.empty() ? "" : ": ") + outcome.detail;
  return Line({{"record", "end"},
               {"id", id},
               {"time", time},
               {"outcome", OutcomeName(outcome.kind)},
               {"part", outcome.part ? Json(TransferPartName(*outcome.part)) : Json(nullptr)},
               {"step", outcome.step ? Json(TransferStepName(*outcome.step)) : Json(nullptr)},
               {"block", outcome.block ? Json(*outcome.block) : Json(nullptr)},
               {"answer", outcome.answer ? Json(std::vector<int>(outcome.answer->begin(),
                                                                 outcome.answer->end()))
                                         : Json(nullptr)},
               {"reason", reason},
               {"durationMs", duration.count() < 0 ? 0 : duration.count()}});
}

std::string InterruptedEndRecord(const std::string& id, const std::string& time,
                                 const std::string& reason) {
  return Line({{"record", "end"},
               {"id", id},
               {"time", time},
               {"outcome", "interrupted"},
               {"part", nullptr},
               {"step", nullptr},
               {"block", nullptr},
               {"answer", nullptr},
               {"reason", reason},
               {"durationMs", nullptr}});
}

std::string AfterRecord(const std::string& id, const std::string& time,
                        const InstalledVersions& after) {
  return Line({{"record", "after"}, {"id", id}, {"time", time}, {"after", VersionsJson(after)}});
}

bool HistoryEntry::Interrupted() const {
  return !ended || outcome == "interrupted" || (outcome == "gone" && !part.empty());
}

std::string HistoryEntry::WhereItEnded() const {
  if (part.empty()) return {};
  std::string text = "at the " + part + " part";
  if (!step.empty()) text += ", step " + step;
  if (block) text += ", block " + std::to_string(*block);
  return text;
}

HistoryRead ReadHistory(const std::filesystem::path& path) {
  HistoryRead read;
  ReadOneFile(RotatedHistoryPath(path), read);
  ReadOneFile(path, read);
  return read;
}

const HistoryEntry* LastEntryOf(const std::vector<HistoryEntry>& entries,
                                const AdapterIdentity& adapter) {
  for (auto it = entries.rbegin(); it != entries.rend(); ++it) {
    const bool same = adapter.serialNumber && !adapter.serialNumber->empty()
                          ? it->adapter.serialNumber == adapter.serialNumber
                          : !adapter.usbPort.empty() && it->adapter.usbPort == adapter.usbPort;
    if (same) return &*it;
  }
  return nullptr;
}

std::string InterruptedUpdateNotice(const std::vector<HistoryEntry>& entries,
                                    const AdapterIdentity& adapter) {
  const HistoryEntry* last = LastEntryOf(entries, adapter);
  if (!last || !last->Interrupted()) return {};
  return InterruptedUpdateText(*last) + "; finish it with 'kr35ctl update'";
}

std::string InterruptedUpdateText(const HistoryEntry& entry) {
  const std::string where = entry.WhereItEnded();
  return "the last update of this adapter, begun " + entry.time + ", was interrupted" +
         (where.empty() ? "" : " " + where);
}

}  // namespace kr35
