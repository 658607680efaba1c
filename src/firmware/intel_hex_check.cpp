#include "firmware/intel_hex_check.h"

#include <cstdio>
#include <optional>

namespace kr35 {
namespace {

std::optional<std::uint8_t> HexDigit(char c) {
  if (c >= '0' && c <= '9') return static_cast<std::uint8_t>(c - '0');
  if (c >= 'A' && c <= 'F') return static_cast<std::uint8_t>(c - 'A' + 10);
  if (c >= 'a' && c <= 'f') return static_cast<std::uint8_t>(c - 'a' + 10);
  return std::nullopt;
}

// The record's bytes after the ':' (count, address, type, data, checksum);
// nullopt when the digits are not hex or not paired.
std::optional<std::vector<std::uint8_t>> DecodeRecord(std::string_view digits) {
  if (digits.size() % 2 != 0) return std::nullopt;
  std::vector<std::uint8_t> bytes;
  bytes.reserve(digits.size() / 2);
  for (std::size_t i = 0; i < digits.size(); i += 2) {
    const auto high = HexDigit(digits[i]);
    const auto low = HexDigit(digits[i + 1]);
    if (!high || !low) return std::nullopt;
    bytes.push_back(static_cast<std::uint8_t>(*high << 4 | *low));
  }
  return bytes;
}

std::string_view Trim(std::string_view line) {
  const auto blank = [](char c) { return c == ' ' || c == '\t'; };
  while (!line.empty() && blank(line.front())) line.remove_prefix(1);
  while (!line.empty() && blank(line.back())) line.remove_suffix(1);
  return line;
}

std::string Address(std::uint64_t address) {
  char text[24];
  std::snprintf(text, sizeof text, "0x%llX", static_cast<unsigned long long>(address));
  return text;
}

}  // namespace

std::vector<HexRecordFinding> CheckHexRecords(std::string_view text) {
  using Kind = HexRecordFinding::Kind;
  std::vector<HexRecordFinding> findings;
  std::uint64_t base = 0;                // from the extended address records
  std::optional<std::uint64_t> dataEnd;  // the end of the last data record
  int lineNumber = 0;
  // The record after a ':' on line `lineNumber`, up to the next ':' or the line's end.
  const auto checkRecord = [&](std::string_view digits) {
    const auto bytes = DecodeRecord(Trim(digits));
    if (!bytes || bytes->size() < 5 || bytes->size() != 5u + (*bytes)[0]) {
      findings.push_back({Kind::kMalformed, lineNumber,
                          "not a well-formed record (count, address, type, data, checksum)"});
      return;
    }
    std::uint8_t sum = 0;
    for (const std::uint8_t byte : *bytes) sum = static_cast<std::uint8_t>(sum + byte);
    if (sum != 0) {
      char expected[48];
      std::snprintf(expected, sizeof expected, "checksum 0x%02X, the record needs 0x%02X",
                    bytes->back(), static_cast<std::uint8_t>(bytes->back() - sum));
      findings.push_back({Kind::kBadChecksum, lineNumber, std::string("wrong ") + expected});
      return;
    }
    const std::uint8_t count = (*bytes)[0];
    const std::uint64_t offset = static_cast<std::uint64_t>((*bytes)[1]) << 8 | (*bytes)[2];
    const std::uint8_t type = (*bytes)[3];
    const std::uint64_t value =
        count == 2 ? static_cast<std::uint64_t>((*bytes)[4]) << 8 | (*bytes)[5] : 0;
    if (type == 0x02) base = value << 4;
    if (type == 0x04) base = value << 16;
    if (type != 0x00) return;
    const std::uint64_t address = base + offset;
    if (dataEnd && address < *dataEnd) {
      findings.push_back(
          {Kind::kOutOfOrder, lineNumber,
           "data at " + Address(address) + " comes after data up to " + Address(*dataEnd)});
    } else if (dataEnd && address > *dataEnd) {
      findings.push_back({Kind::kGap, lineNumber,
                          std::to_string(address - *dataEnd) + " bytes missing from " +
                              Address(*dataEnd) + " to " + Address(address)});
    }
    dataEnd = address + count;
  };
  // As for the conversion: the text ends at its first NUL, and every ':'
  // starts a record. Lines end at LF, CR LF or a lone CR.
  text = text.substr(0, text.find('\0'));
  while (!text.empty()) {
    const std::size_t end = text.find_first_of("\r\n");
    std::string_view line = text.substr(0, end);
    std::size_t next = end == std::string_view::npos ? text.size() : end + 1;
    if (end != std::string_view::npos && text[end] == '\r' && end + 1 < text.size() &&
        text[end + 1] == '\n') {
      ++next;
    }
    text.remove_prefix(next);
    ++lineNumber;
    for (std::size_t colon = line.find(':'); colon != std::string_view::npos;
         colon = line.find(':')) {
      line.remove_prefix(colon + 1);
      checkRecord(line.substr(0, line.find(':')));
    }
  }
  return findings;
}

bool IsDefect(const HexRecordFinding& finding) {
  return finding.kind == HexRecordFinding::Kind::kBadChecksum ||
         finding.kind == HexRecordFinding::Kind::kMalformed;
}

}  // namespace kr35
