#include "hid/report_descriptor_parser.h"

#include <algorithm>
#include <array>
#include <limits>
#include <optional>
#include <utility>
#include <vector>

#include "hid/report_descriptor_items.h"
#include "hid/report_descriptor_model.h"
#include "hid/report_descriptor_preparsed.h"

namespace kr35 {
namespace {

enum MainTag : std::uint8_t {
  kInput = 8,
  kOutput = 9,
  kCollection = 10,
  kFeature = 11,
  kEndCollection = 12
};
enum GlobalTag : std::uint8_t {
  kUsagePage = 0,
  kLogicalMin = 1,
  kLogicalMax = 2,
  kReportSize = 7,
  kReportId = 8,
  kReportCount = 9,
  kPush = 10,
  kPop = 11
};
enum LocalTag : std::uint8_t { kUsage = 0, kUsageMin = 1, kUsageMax = 2, kDelimiter = 10 };

constexpr std::uint32_t kMainFlagVariable = 0x02;
constexpr std::uint32_t kFirstDataBit = 8;  // byte 0 holds the report id, or 0 without ids
constexpr std::uint32_t kMaxReportBits = kMaxReportBytes * 8;

struct GlobalState {
  std::uint16_t usagePage = 0;
  std::int32_t logicalMin = 0;
  std::uint32_t logicalMaxData = 0;
  std::uint8_t logicalMaxSize = 0;
  std::uint32_t reportSize = 0;
  std::uint32_t reportCount = 0;
  std::uint8_t reportId = 0;

  // A maximum is signed when the minimum is negative, unsigned otherwise,
  // so that a 1-byte 0xFF after a minimum of 0 means 255.
  std::int64_t LogicalMax() const {
    if (logicalMin < 0) {
      DescriptorItem item;
      item.size = logicalMaxSize;
      item.data = logicalMaxData;
      return item.SignedData();
    }
    return logicalMaxData;
  }
};

// A Usage, or a Usage Minimum/Maximum pair, as written; the page is settled
// at the main item (a 4-byte usage carries its own page in the high half).
struct RawUsage {
  std::uint32_t min = 0;
  std::uint32_t max = 0;
  bool minExtended = false;
  bool maxExtended = false;
  bool isRange = false;
};

struct LocalState {
  std::vector<RawUsage> usages;
  std::optional<std::pair<std::uint32_t, bool>> usageMin;  // value, extended
  std::optional<std::pair<std::uint32_t, bool>> usageMax;
  bool inDelimiter = false;
  std::size_t delimiterStart = 0;
};

class DescriptorParser {
 public:
  std::optional<ParsedDescriptor> Parse(std::span<const std::uint8_t> descriptor);

 private:
  bool OnMain(const DescriptorItem& item);
  bool OnGlobal(const DescriptorItem& item);
  bool OnLocal(const DescriptorItem& item);
  bool OnCollection();
  bool OnEndCollection();
  bool OnReportItem(HidReportType type, std::uint32_t flags);
  bool ResolveUsages(std::vector<UsageSpan>& out) const;
  bool CompleteRange();
  bool AddCaps(std::uint32_t fieldIndex);
  bool Finish();

  ParsedDescriptor result_;
  GlobalState global_;
  std::vector<GlobalState> globalStack_;
  LocalState local_;
  std::vector<std::uint16_t> openCollections_;
  std::size_t collectionCount_ = 0;
  bool topLevelSeen_ = false;
  bool reportIdSeen_ = false;
  bool dataWithoutIdSeen_ = false;
  std::size_t capCount_ = 0;
  // Bits used so far per report type and report id; 0 = no such report.
  std::array<std::array<std::uint32_t, 256>, kReportTypeCount> reportBits_{};
};

std::optional<ParsedDescriptor> DescriptorParser::Parse(std::span<const std::uint8_t> descriptor) {
  if (descriptor.empty() || descriptor.size() > kMaxDescriptorBytes) return std::nullopt;
  DescriptorItemReader reader(descriptor);
  DescriptorItem item;
  while (reader.Next(item)) {
    if (item.isLong) continue;
    bool ok = true;
    switch (item.type) {
      case ItemType::kMain:
        ok = OnMain(item);
        break;
      case ItemType::kGlobal:
        ok = OnGlobal(item);
        break;
      case ItemType::kLocal:
        ok = OnLocal(item);
        break;
      case ItemType::kReserved:
        break;
    }
    if (!ok) return std::nullopt;
  }
  if (reader.Truncated() || !Finish()) return std::nullopt;
  return std::move(result_);
}

bool DescriptorParser::OnMain(const DescriptorItem& item) {
  bool ok = true;
  switch (item.tag) {
    case kInput:
      ok = OnReportItem(HidReportType::kInput, item.data);
      break;
    case kOutput:
      ok = OnReportItem(HidReportType::kOutput, item.data);
      break;
    case kFeature:
      ok = OnReportItem(HidReportType::kFeature, item.data);
      break;
    case kCollection:
      ok = OnCollection();
      break;
    case kEndCollection:
      ok = OnEndCollection();
      break;
    default:
      break;  // unknown main items are ignored
  }
  // Local items apply to the next main item only.
  local_ = LocalState{};
  return ok;
}

bool DescriptorParser::OnGlobal(const DescriptorItem& item) {
  switch (item.tag) {
    case kUsagePage:
      if (item.data > 0xFFFF) return false;
      global_.usagePage = static_cast<std::uint16_t>(item.data);
      return true;
    case kLogicalMin:
      global_.logicalMin = item.SignedData();
      return true;
    case kLogicalMax:
      global_.logicalMaxData = item.data;
      global_.logicalMaxSize = item.size;
      return true;
    case kReportSize:
      if (item.data > kMaxReportSizeBits) return false;
      global_.reportSize = item.data;
      return true;
    case kReportCount:
      if (item.data > kMaxReportBits) return false;
      global_.reportCount = item.data;
      return true;
    case kReportId:
      // Id 0 is reserved for devices without ids, and a descriptor may not
      // have reports both with and without ids.
      if (item.data == 0 || item.data > 0xFF || dataWithoutIdSeen_) return false;
      global_.reportId = static_cast<std::uint8_t>(item.data);
      reportIdSeen_ = true;
      return true;
    case kPush:
      if (globalStack_.size() >= kMaxGlobalStackDepth) return false;
      globalStack_.push_back(global_);
      return true;
    case kPop:
      if (globalStack_.empty()) return false;
      global_ = globalStack_.back();
      globalStack_.pop_back();
      return true;
    default:
      return true;  // physical range, unit, unit exponent: not needed here
  }
}

bool DescriptorParser::OnLocal(const DescriptorItem& item) {
  switch (item.tag) {
    case kUsage: {
      if (local_.usages.size() >= kMaxUsagesPerMainItem) return false;
      RawUsage usage;
      usage.min = usage.max = item.data;
      usage.minExtended = usage.maxExtended = item.size == 4;
      local_.usages.push_back(usage);
      return true;
    }
    case kUsageMin:
      if (local_.usageMin) return false;
      local_.usageMin = std::make_pair(item.data, item.size == 4);
      return CompleteRange();
    case kUsageMax:
      if (local_.usageMax) return false;
      local_.usageMax = std::make_pair(item.data, item.size == 4);
      return CompleteRange();
    case kDelimiter:
      // Within a delimited set only the first usage counts; the others are
      // alternatives for the same control.
      if (item.data == 1) {
        if (local_.inDelimiter) return false;
        local_.inDelimiter = true;
        local_.delimiterStart = local_.usages.size();
        return true;
      }
      if (item.data == 0) {
        if (!local_.inDelimiter) return false;
        local_.inDelimiter = false;
        if (local_.usages.size() > local_.delimiterStart + 1) {
          local_.usages.resize(local_.delimiterStart + 1);
        }
        return true;
      }
      return false;
    default:
      return true;  // designator and string items: not needed here
  }
}

bool DescriptorParser::CompleteRange() {
  if (!local_.usageMin || !local_.usageMax) return true;
  if (local_.usages.size() >= kMaxUsagesPerMainItem) return false;
  RawUsage usage;
  usage.min = local_.usageMin->first;
  usage.minExtended = local_.usageMin->second;
  usage.max = local_.usageMax->first;
  usage.maxExtended = local_.usageMax->second;
  usage.isRange = true;
  local_.usages.push_back(usage);
  local_.usageMin.reset();
  local_.usageMax.reset();
  return true;
}

bool DescriptorParser::ResolveUsages(std::vector<UsageSpan>& out) const {
  // A Usage Minimum without its Maximum (or the reverse) has no meaning.
  if (local_.usageMin || local_.usageMax || local_.inDelimiter) return false;
  out.clear();
  for (const RawUsage& raw : local_.usages) {
    auto pageOf = [this](std::uint32_t value, bool extended) {
      return extended ? static_cast<std::uint16_t>(value >> 16) : global_.usagePage;
    };
    UsageSpan span;
    span.isRange = raw.isRange;
    span.min = static_cast<std::uint16_t>(raw.min & 0xFFFF);
    span.max = static_cast<std::uint16_t>(raw.max & 0xFFFF);
    if (raw.minExtended && raw.maxExtended && (raw.min >> 16) != (raw.max >> 16)) return false;
    span.page = raw.minExtended ? pageOf(raw.min, true) : pageOf(raw.max, raw.maxExtended);
    if (span.min > span.max) return false;
    out.push_back(span);
  }
  return true;
}

bool DescriptorParser::OnCollection() {
  if (openCollections_.size() >= kMaxCollectionDepth || collectionCount_ >= kMaxCollections) {
    return false;
  }
  std::vector<UsageSpan> usages;
  if (!ResolveUsages(usages)) return false;
  if (openCollections_.empty() && !topLevelSeen_) {
    topLevelSeen_ = true;
    if (!usages.empty()) {
      result_.usagePage = usages.front().page;
      result_.usage = usages.front().min;
    }
  }
  openCollections_.push_back(static_cast<std::uint16_t>(collectionCount_++));
  return true;
}

bool DescriptorParser::OnEndCollection() {
  if (openCollections_.empty()) return false;
  openCollections_.pop_back();
  return true;
}

bool DescriptorParser::OnReportItem(HidReportType type, std::uint32_t flags) {
  const std::uint32_t bits = global_.reportSize * global_.reportCount;  // both bounded
  if (bits == 0) return true;
  if (global_.reportId == 0) {
    if (reportIdSeen_) return false;
    dataWithoutIdSeen_ = true;
  }
  std::uint32_t& used = reportBits_[static_cast<std::size_t>(type)][global_.reportId];
  if (used == 0) used = kFirstDataBit;
  if (bits > kMaxReportBits - used) return false;
  const std::uint32_t offset = used;
  used += bits;

  std::vector<UsageSpan> usages;
  if (!ResolveUsages(usages)) return false;
  const bool isArray = (flags & kMainFlagVariable) == 0;
  if (isArray && global_.reportSize > kMaxArrayElementBits) return false;
  // Items without usages (padding) take their bits but give no capability.
  if (usages.empty()) return true;
  if (result_.fields.size() >= kMaxFields) return false;

  ReportField field;
  field.type = type;
  field.reportId = global_.reportId;
  field.bitOffset = offset;
  field.bitSize = static_cast<std::uint16_t>(global_.reportSize);
  field.reportCount = static_cast<std::uint16_t>(global_.reportCount);
  field.isArray = isArray;
  field.isButton = isArray || global_.reportSize == 1;
  field.logicalMin = global_.logicalMin;
  field.logicalMax = global_.LogicalMax();
  field.linkCollection = openCollections_.empty() ? 0 : openCollections_.back();
  field.usages = std::move(usages);
  result_.fields.push_back(std::move(field));
  return AddCaps(static_cast<std::uint32_t>(result_.fields.size() - 1));
}

// Arrays give one button capability per usage (or range), each spanning all
// elements. Variable items give one capability per usage covering as many
// elements as it names; the last one also covers the elements left over, so
// a single usage over N elements is one usage value array of N.
bool DescriptorParser::AddCaps(std::uint32_t fieldIndex) {
  const ReportField& field = result_.fields[fieldIndex];
  ReportTypeModel& model = result_.types[static_cast<std::size_t>(field.type)];
  std::vector<CapEntry>& caps = field.isButton ? model.buttonCaps : model.valueCaps;
  auto clamp = [](std::int64_t v) {
    return static_cast<std::int32_t>(std::clamp<std::int64_t>(
        v, std::numeric_limits<std::int32_t>::min(), std::numeric_limits<std::int32_t>::max()));
  };
  std::uint32_t element = 0;
  for (std::size_t i = 0; i < field.usages.size(); ++i) {
    if (!field.isArray && element >= field.reportCount) break;  // usages beyond the elements
    if (capCount_ >= kMaxCaps) return false;
    const UsageSpan& span = field.usages[i];
    CapEntry entry;
    entry.field = fieldIndex;
    HidpCapability& cap = entry.cap;
    cap.usagePage = span.page;
    cap.reportId = field.reportId;
    cap.isRange = span.isRange;
    cap.usage = span.min;
    cap.usageMin = span.min;
    cap.usageMax = span.max;
    cap.linkCollection = field.linkCollection;
    cap.bitSize = field.bitSize;
    cap.logicalMin = clamp(field.logicalMin);
    cap.logicalMax = clamp(field.logicalMax);
    if (field.isArray) {
      cap.reportCount = field.reportCount;
    } else {
      const std::uint32_t left = field.reportCount - element;
      const bool last = i + 1 == field.usages.size();
      const std::uint32_t covered = last ? left : std::min(span.Size(), left);
      entry.firstElement = static_cast<std::uint16_t>(element);
      cap.reportCount = static_cast<std::uint16_t>(covered);
      element += covered;
    }
    caps.push_back(entry);
    ++capCount_;
  }
  return true;
}

bool DescriptorParser::Finish() {
  if (!openCollections_.empty() || local_.inDelimiter) return false;
  bool anyReport = false;
  for (std::size_t t = 0; t < kReportTypeCount; ++t) {
    std::uint32_t maxBits = 0;
    for (std::uint32_t bits : reportBits_[t]) maxBits = std::max(maxBits, bits);
    result_.types[t].byteLength = static_cast<std::uint16_t>((maxBits + 7) / 8);
    anyReport = anyReport || maxBits != 0;
  }
  return anyReport;
}

}  // namespace

std::unique_ptr<PreparsedData> ParseReportDescriptor(std::span<const std::uint8_t> descriptor) {
  std::optional<ParsedDescriptor> parsed = DescriptorParser().Parse(descriptor);
  if (!parsed) return nullptr;
  return std::make_unique<DescriptorPreparsedData>(std::move(*parsed));
}

}  // namespace kr35
