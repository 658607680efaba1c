// Whole-file reading and crash-safe whole-file writing.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <vector>

namespace kr35 {

// Larger files are refused rather than read into memory.
inline constexpr std::size_t kMaxReadFileBytes = std::size_t{1} << 30;

// Reads the whole file into `bytes`. On failure returns false and sets `error`
// to a message naming the file and the reason; `bytes` is then unspecified.
bool ReadWholeFile(const std::filesystem::path& path, std::vector<std::uint8_t>& bytes,
                   std::string& error, std::size_t maxBytes = kMaxReadFileBytes);

// Writes `bytes` to a temporary file in the same directory and renames it over
// `path`, so `path` holds either its old content or all of the new. A symbolic
// link at `path` stays: its target is replaced. On failure the temporary file
// is removed, `path` is untouched and `error` names the file and the reason.
bool WriteFileAtomically(const std::filesystem::path& path, std::span<const std::uint8_t> bytes,
                         std::string& error);

struct FileToWrite {
  std::filesystem::path path;
  std::span<const std::uint8_t> bytes;
};
// Writes several files as a set: all of them go to temporary files first, and
// only when every one is written are they renamed over their paths, so a
// failure (a full disk, a directory in the way) leaves all the old files in
// place.
bool WriteFilesAtomically(std::span<const FileToWrite> files, std::string& error);

// Checks, before any work that ends in writing `path`, that a file can be
// created beside it and renamed over it. False with `error` naming the reason.
bool CheckCanReplace(const std::filesystem::path& path, std::string& error);

}  // namespace kr35
