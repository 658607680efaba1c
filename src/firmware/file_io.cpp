#include "firmware/file_io.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <system_error>

namespace kr35 {
namespace {

std::string Describe(const std::filesystem::path& path, const char* action,
                     const std::string& reason) {
  return std::string("cannot ") + action + " \"" + path.string() + "\": " + reason;
}

std::string ErrnoReason(const char* fallback) {
  return errno != 0 ? std::strerror(errno) : fallback;
}

// A name beside `path` that another writer is very unlikely to pick: the time,
// an address that differs between processes, and a per-process counter.
std::filesystem::path TemporaryPathFor(const std::filesystem::path& path) {
  static std::atomic<unsigned> counter{0};
  const auto stamp =
      static_cast<unsigned long long>(std::chrono::steady_clock::now().time_since_epoch().count());
  const auto address = reinterpret_cast<std::uintptr_t>(&counter);
  std::filesystem::path temporary = path;
  temporary += ".tmp-" + std::to_string(stamp ^ address) + "-" + std::to_string(counter++);
  return temporary;
}

}  // namespace

bool ReadWholeFile(const std::filesystem::path& path, std::vector<std::uint8_t>& bytes,
                   std::string& error, std::size_t maxBytes) {
  bytes.clear();
  errno = 0;
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    error = Describe(path, "open", ErrnoReason("cannot be opened"));
    return false;
  }
  std::error_code ec;
  if (std::filesystem::is_directory(path, ec)) {
    error = Describe(path, "read", "is a directory");
    return false;
  }
  const auto size = std::filesystem::file_size(path, ec);
  if (!ec && size <= maxBytes) bytes.reserve(static_cast<std::size_t>(size));

  // Read in chunks: devices and pipes have no size to go by.
  constexpr std::size_t kChunk = std::size_t{1} << 20;
  while (in) {
    const std::size_t room = maxBytes - bytes.size();
    if (room == 0) {
      if (in.peek() == std::ifstream::traits_type::eof()) break;
      error = Describe(path, "read", "file is larger than " + std::to_string(maxBytes) + " bytes");
      return false;
    }
    const std::size_t old = bytes.size();
    const std::size_t want = std::min(kChunk, room);
    bytes.resize(old + want);
    in.read(reinterpret_cast<char*>(bytes.data() + old), static_cast<std::streamsize>(want));
    bytes.resize(old + static_cast<std::size_t>(in.gcount()));
  }
  if (in.bad()) {
    error = Describe(path, "read", ErrnoReason("read error"));
    return false;
  }
  return true;
}

bool WriteFileAtomically(const std::filesystem::path& path, std::span<const std::uint8_t> bytes,
                         std::string& error) {
  const std::filesystem::path temporary = TemporaryPathFor(path);
  std::error_code ignored;
  errno = 0;
  {
    std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
    if (!out) {
      error = Describe(path, "create", ErrnoReason("cannot be created"));
      std::filesystem::remove(temporary, ignored);
      return false;
    }
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
    out.close();
    if (!out) {
      error = Describe(path, "write", ErrnoReason("write error"));
      std::filesystem::remove(temporary, ignored);
      return false;
    }
  }
  std::error_code ec;
  std::filesystem::rename(temporary, path, ec);
  if (ec) {
    error = Describe(path, "write", ec.message());
    std::filesystem::remove(temporary, ignored);
    return false;
  }
  return true;
}

}  // namespace kr35
