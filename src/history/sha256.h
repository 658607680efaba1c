// SHA-256 of bytes or of a file, in lowercase hexadecimal. Our own: the
// Windows build has no hashing library from the distribution.
#pragma once

#include <cstdint>
#include <filesystem>
#include <span>
#include <string>

namespace kr35 {

std::string Sha256Hex(std::span<const std::uint8_t> bytes);
// Empty when the file cannot be read (or is larger than the reading bound).
std::string Sha256OfFile(const std::filesystem::path& path);

}  // namespace kr35
