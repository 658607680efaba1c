#include "hid/report_descriptor_items.h"

namespace kr35 {
namespace {

constexpr std::uint8_t kLongItemPrefix = 0xFE;

}  // namespace

std::int32_t DescriptorItem::SignedData() const {
  switch (size) {
    case 1:
      return static_cast<std::int8_t>(data & 0xFFU);
    case 2:
      return static_cast<std::int16_t>(data & 0xFFFFU);
    case 4:
      return static_cast<std::int32_t>(data);
    default:
      return 0;
  }
}

bool DescriptorItemReader::Next(DescriptorItem& item) {
  if (truncated_ || pos_ >= bytes_.size()) return false;
  const std::size_t left = bytes_.size() - pos_;
  const std::uint8_t prefix = bytes_[pos_];
  item = DescriptorItem{};
  if (prefix == kLongItemPrefix) {
    // Long item: prefix, data size, tag, data.
    if (left < 3 || left - 3 < bytes_[pos_ + 1]) {
      truncated_ = true;
      return false;
    }
    item.isLong = true;
    item.tag = bytes_[pos_ + 2];
    pos_ += 3 + static_cast<std::size_t>(bytes_[pos_ + 1]);
    return true;
  }
  static constexpr std::uint8_t kSizes[4] = {0, 1, 2, 4};
  item.size = kSizes[prefix & 0x03U];
  item.type = static_cast<ItemType>((prefix >> 2) & 0x03U);
  item.tag = static_cast<std::uint8_t>(prefix >> 4);
  if (left - 1 < item.size) {
    truncated_ = true;
    return false;
  }
  for (std::uint8_t i = 0; i < item.size; ++i) {
    item.data |= static_cast<std::uint32_t>(bytes_[pos_ + 1 + i]) << (8U * i);
  }
  pos_ += 1 + item.size;
  return true;
}

}  // namespace kr35
