// A strict reading of an Intel HEX file's records, for the programs that
// refuse what the lenient conversion (intel_hex.h) takes unchanged: records
// whose checksum is wrong or that are not well formed, and, as remarks, data
// records out of address order and gaps between them.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kr35 {

struct HexRecordFinding {
  enum class Kind {
    kBadChecksum,  // the record's bytes do not sum to zero
    kMalformed,    // not an even count of hex digits, or a length that disagrees
    kOutOfOrder,   // a data record that starts below the end of the one before
    kGap,          // a data record that starts above the end of the one before
  };
  Kind kind;
  int line;          // 1-based line of the record
  std::string text;  // what is wrong, in words
};

// Every finding in `text`, in file order. As in the conversion, the text
// ends at its first NUL and each ':' starts a record, which ends at the next
// ':' or the line's end; blanks around a record are allowed.
std::vector<HexRecordFinding> CheckHexRecords(std::string_view text);

// True for the findings that make the file unsafe to flash.
bool IsDefect(const HexRecordFinding& finding);

}  // namespace kr35
