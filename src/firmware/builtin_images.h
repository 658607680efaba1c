// The two firmware images that travel inside the program.
#pragma once

#include <cstdint>
#include <span>

namespace kr35 {

inline constexpr int kUsbImageId = 131;  // the adapter's USB controller part
inline constexpr int kDspImageId = 135;  // the adapter's signal-processor part

// The built-in image with this resource id, from data compiled into the
// executable; empty when there is none. The bytes live for the whole run.
std::span<const std::uint8_t> LoadBuiltInImage(int id);

}  // namespace kr35
