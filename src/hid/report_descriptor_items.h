// Splits a report descriptor into its items. Short items carry 0, 1, 2 or 4
// data bytes; long items (prefix 0xFE) are reported so the caller can skip them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace kr35 {

enum class ItemType : std::uint8_t { kMain = 0, kGlobal = 1, kLocal = 2, kReserved = 3 };

struct DescriptorItem {
  ItemType type = ItemType::kMain;
  std::uint8_t tag = 0;
  std::uint8_t size = 0;  // data bytes: 0, 1, 2 or 4 for short items
  bool isLong = false;
  std::uint32_t data = 0;  // little-endian data of a short item, zero-extended

  // The data read as a two's-complement number of `size` bytes.
  std::int32_t SignedData() const;
};

class DescriptorItemReader {
 public:
  explicit DescriptorItemReader(std::span<const std::uint8_t> descriptor) : bytes_(descriptor) {}

  // Reads the next item. False at the end, or when the item runs past the
  // end of the descriptor (then Truncated() is true).
  bool Next(DescriptorItem& item);
  bool Truncated() const { return truncated_; }

 private:
  std::span<const std::uint8_t> bytes_;
  std::size_t pos_ = 0;
  bool truncated_ = false;
};

}  // namespace kr35
