#include "hid/hidraw/flock_claim.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "hid/hidraw/unique_fd.h"

namespace kr35 {
namespace {

class FlockClaim final : public AdapterClaim {
 public:
  explicit FlockClaim(UniqueFd fd) : fd_(std::move(fd)) {}

 private:
  UniqueFd fd_;  // closing it releases the lock
};

// At most `limit` bytes of a /proc file.
std::string ReadProcFile(const std::string& path, std::size_t limit) {
  std::ifstream in(path, std::ios::binary);
  std::string text(limit, '\0');
  in.read(text.data(), static_cast<std::streamsize>(limit));
  text.resize(static_cast<std::size_t>(in.gcount()));
  return text;
}

ClaimHolder HolderOf(int fd) {
  ClaimHolder holder;
  struct stat status {};
  if (fstat(fd, &status) != 0) return holder;
  holder.pid = FlockHolderPid(ReadProcFile("/proc/locks", 1 << 20), major(status.st_dev),
                              minor(status.st_dev), status.st_ino);
  if (holder.pid > 0) {
    std::string name = ReadProcFile("/proc/" + std::to_string(holder.pid) + "/comm", 64);
    while (!name.empty() && (name.back() == '\n' || name.back() == '\0')) name.pop_back();
    holder.program = name;
  }
  return holder;
}

}  // namespace

long FlockHolderPid(std::string_view procLocks, unsigned major, unsigned minor,
                    unsigned long inode) {
  char wanted[64];
  std::snprintf(wanted, sizeof wanted, "%02x:%02x:%lu", major, minor, inode);
  std::istringstream lines{std::string(procLocks)};
  for (std::string line; std::getline(lines, line);) {
    // "1: FLOCK  ADVISORY  WRITE 1234 00:05:567 0 EOF"; a waiter's line has "->".
    std::istringstream fields(line);
    std::string id, type, mode, access, file;
    long pid = 0;
    if (!(fields >> id >> type >> mode >> access >> pid >> file)) continue;
    if (type == "FLOCK" && file == wanted && pid > 0) return pid;
  }
  return 0;
}

ClaimAttempt TryFlockClaim(const std::string& path, LockFile lockFile) {
  const int flags =
      O_RDONLY | O_CLOEXEC | O_NONBLOCK | (lockFile == LockFile::kCreate ? O_CREAT : 0);
  UniqueFd fd(::open(path.c_str(), flags, 0644));
  if (!fd.Valid()) return ClaimAttempt::Unguarded();
  if (::flock(fd.Get(), LOCK_EX | LOCK_NB) == 0) {
    return {std::make_unique<FlockClaim>(std::move(fd)), {}, {}};
  }
  if (errno != EWOULDBLOCK) return ClaimAttempt::Unguarded();
  return ClaimAttempt::Busy(HolderOf(fd.Get()));
}

std::unique_ptr<AdapterClaim> HoldSharedFlock(const std::string& path) {
  UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_CREAT | O_NOFOLLOW, 0600));
  if (!fd.Valid() || ::flock(fd.Get(), LOCK_SH | LOCK_NB) != 0) return nullptr;
  return std::make_unique<FlockClaim>(std::move(fd));
}

bool FlockHeldElsewhere(const std::string& path) {
  UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW));
  if (!fd.Valid()) return false;
  if (::flock(fd.Get(), LOCK_EX | LOCK_NB) == 0) return false;  // closing the file unlocks it
  return errno == EWOULDBLOCK;
}

std::string MirrorMarkPath(std::string_view key) {
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  if (runtime == nullptr || runtime[0] != '/') return {};
  std::string name;
  for (const char c : key.substr(0, 128)) {
    const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                       c == '.' || c == '-';
    name += plain ? c : '_';
  }
  return std::string(runtime) + "/kr35-mirror-" + name + ".lock";
}

}  // namespace kr35
