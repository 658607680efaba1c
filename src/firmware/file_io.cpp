#include "firmware/file_io.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <system_error>

#ifdef _WIN32
#include <process.h>
#else
#include <unistd.h>
#endif

namespace kr35 {
namespace {

long ProcessId() {
#ifdef _WIN32
  return static_cast<long>(_getpid());
#else
  return static_cast<long>(getpid());
#endif
}

std::string Describe(const std::filesystem::path& path, const char* action,
                     const std::string& reason) {
  return std::string("cannot ") + action + " \"" + path.string() + "\": " + reason;
}

std::string ErrnoReason(const char* fallback) {
  return errno != 0 ? std::strerror(errno) : fallback;
}

// A name beside `path` that no other writer picks: the process id, the time,
// and a per-process counter. Concurrent writers of one file never share a
// temporary, so the last rename wins and the file is never half written.
std::filesystem::path TemporaryPathFor(const std::filesystem::path& path) {
  static std::atomic<unsigned> counter{0};
  const auto stamp =
      static_cast<unsigned long long>(std::chrono::steady_clock::now().time_since_epoch().count());
  std::filesystem::path temporary = path;
  temporary += ".tmp-" + std::to_string(ProcessId()) + "-" + std::to_string(stamp) + "-" +
               std::to_string(counter++);
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
  const bool sized = !ec && std::filesystem::is_regular_file(path, ec);
  // A regular file's size is known up front: one that is too large is refused
  // before any of it is read.
  if (sized && size > maxBytes) {
    error = Describe(path, "read", "file is larger than " + std::to_string(maxBytes) + " bytes");
    return false;
  }
  if (sized) bytes.reserve(static_cast<std::size_t>(size));

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

namespace {

// The file that writing `path` must replace: the final target of a chain of
// symbolic links (which may not exist yet), so the links themselves stay.
bool ResolveForWriting(const std::filesystem::path& path, std::filesystem::path& target,
                       std::string& error) {
  constexpr int kMaxLinks = 40;  // as the kernel's limit on links in one lookup
  target = path;
  for (int links = 0;; ++links) {
    std::error_code ec;
    if (!std::filesystem::is_symlink(target, ec)) return true;
    if (links == kMaxLinks) break;
    const std::filesystem::path next = std::filesystem::read_symlink(target, ec);
    if (ec) {
      error = Describe(path, "write", ec.message());
      return false;
    }
    target = next.is_absolute() ? next : target.parent_path() / next;
  }
  error = Describe(path, "write",
                   std::make_error_code(std::errc::too_many_symbolic_link_levels).message());
  return false;
}

// Writes `bytes` to a new temporary file beside `target`; returns its path, or
// empty with `error` set (the temporary is then removed).
std::filesystem::path WriteTemporary(const std::filesystem::path& path,
                                     const std::filesystem::path& target,
                                     std::span<const std::uint8_t> bytes, std::string& error) {
  const std::filesystem::path temporary = TemporaryPathFor(target);
  std::error_code ignored;
  errno = 0;
  std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
  if (!out) {
    error = Describe(path, "create", ErrnoReason("cannot be created"));
    return {};
  }
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
  out.close();
  if (!out) {
    error = Describe(path, "write", ErrnoReason("write error"));
    std::filesystem::remove(temporary, ignored);
    return {};
  }
  return temporary;
}

}  // namespace

bool WriteFileAtomically(const std::filesystem::path& path, std::span<const std::uint8_t> bytes,
                         std::string& error) {
  const FileToWrite file{path, bytes};
  return WriteFilesAtomically({&file, 1}, error);
}

bool WriteFilesAtomically(std::span<const FileToWrite> files, std::string& error) {
  std::vector<std::filesystem::path> targets(files.size());
  std::vector<std::filesystem::path> temporaries;
  std::error_code ignored;
  const auto removeTemporaries = [&] {
    for (const auto& temporary : temporaries) std::filesystem::remove(temporary, ignored);
  };
  for (std::size_t i = 0; i < files.size(); ++i) {
    if (!ResolveForWriting(files[i].path, targets[i], error)) {
      removeTemporaries();
      return false;
    }
    // A directory in the way would only fail the rename, after the files
    // before it had been replaced.
    if (std::filesystem::is_directory(targets[i], ignored)) {
      error = Describe(files[i].path, "write", "is a directory");
      removeTemporaries();
      return false;
    }
    std::filesystem::path temporary =
        WriteTemporary(files[i].path, targets[i], files[i].bytes, error);
    if (temporary.empty()) {
      removeTemporaries();
      return false;
    }
    temporaries.push_back(std::move(temporary));
  }
  for (std::size_t i = 0; i < files.size(); ++i) {
    std::error_code ec;
    std::filesystem::rename(temporaries[i], targets[i], ec);
    if (ec) {
      error = Describe(files[i].path, "write", ec.message());
      for (std::size_t j = i; j < files.size(); ++j) {
        std::filesystem::remove(temporaries[j], ignored);
      }
      return false;
    }
  }
  return true;
}

bool CheckCanReplace(const std::filesystem::path& path, std::string& error) {
  std::filesystem::path target;
  if (!ResolveForWriting(path, target, error)) return false;
  std::error_code ec;
  if (std::filesystem::is_directory(target, ec)) {
    error = Describe(path, "write", "is a directory");
    return false;
  }
  const std::filesystem::path temporary = WriteTemporary(path, target, {}, error);
  if (temporary.empty()) return false;
  std::filesystem::remove(temporary, ec);
  return true;
}

}  // namespace kr35
