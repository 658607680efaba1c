#include "history/history_file.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstring>

#ifdef _WIN32
#include <io.h>
#include <process.h>
#else
#include <unistd.h>
#endif

#include "history/history_records.h"

namespace kr35 {
namespace {

#ifdef _WIN32
int OpenForAppend(const std::filesystem::path& path) {
  return _wopen(path.c_str(), _O_WRONLY | _O_APPEND | _O_CREAT | _O_BINARY, _S_IREAD | _S_IWRITE);
}
long long SizeOf(int fd) {
  struct _stat64 status {};
  return _fstat64(fd, &status) == 0 ? status.st_size : -1;
}
bool WriteAll(int fd, const std::string& line) {
  return _write(fd, line.data(), static_cast<unsigned>(line.size())) ==
         static_cast<int>(line.size());
}
bool Flush(int fd) {
  return _commit(fd) == 0;
}
void CloseFile(int fd) {
  _close(fd);
}
int ProcessId() {
  return _getpid();
}
#else
int OpenForAppend(const std::filesystem::path& path) {
  return ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
}
long long SizeOf(int fd) {
  struct stat status {};
  return fstat(fd, &status) == 0 ? static_cast<long long>(status.st_size) : -1;
}
// One write: a record is never split into two, where another program's
// record could come between.
bool WriteAll(int fd, const std::string& line) {
  ssize_t written;
  do {
    written = ::write(fd, line.data(), line.size());
  } while (written < 0 && errno == EINTR);
  return written == static_cast<ssize_t>(line.size());
}
bool Flush(int fd) {
  return fsync(fd) == 0;
}
void CloseFile(int fd) {
  ::close(fd);
}
int ProcessId() {
  return static_cast<int>(getpid());
}
#endif

std::string Now() {
  return HistoryTime(std::chrono::system_clock::now());
}

}  // namespace

std::filesystem::path RotatedHistoryPath(const std::filesystem::path& path) {
  std::filesystem::path rotated = path;
  rotated.replace_filename(path.stem().string() + ".1" + path.extension().string());
  return rotated;
}

HistoryFile::HistoryFile(std::filesystem::path path, std::string program, std::string version,
                         Warn warn)
    : path_(std::move(path)),
      program_(std::move(program)),
      version_(std::move(version)),
      warn_(std::move(warn)) {}

bool HistoryFile::Append(const std::string& line) {
  std::string error;
  std::error_code ec;
  if (path_.has_parent_path()) std::filesystem::create_directories(path_.parent_path(), ec);
  int fd = OpenForAppend(path_);
  if (fd >= 0 && SizeOf(fd) >= static_cast<long long>(kHistoryRotateBytes)) {
    // Full: it becomes the older generation and a new file is begun.
    CloseFile(fd);
    std::filesystem::rename(path_, RotatedHistoryPath(path_), ec);
    fd = OpenForAppend(path_);
  }
  if (fd < 0) {
    error = std::strerror(errno);
  } else {
    const bool written = WriteAll(fd, line + "\n");
    if (!written) error = errno ? std::strerror(errno) : "short write";
    if (written && !Flush(fd)) error = std::strerror(errno);
    CloseFile(fd);
  }
  if (error.empty()) return true;
  if (!warned_ && warn_) warn_("the history " + path_.string() + " cannot be written: " + error);
  warned_ = true;
  return false;
}

std::string HistoryFile::Begin(const AdapterIdentity& adapter,
                               const std::optional<InstalledVersions>& before,
                               const DownloadPlan& plan) {
  std::lock_guard lock(mutex_);
  const std::string time = Now();
  const std::string id = time + "-" + std::to_string(ProcessId()) + "-" + std::to_string(++count_);
  open_.insert(id);
  Append(BeginRecord(id, time, program_, version_, adapter, before, plan));
  return id;
}

void HistoryFile::End(const std::string& id, const DownloadOutcome& outcome,
                      std::chrono::milliseconds duration) {
  std::lock_guard lock(mutex_);
  if (open_.erase(id) == 0) return;  // already ended as interrupted
  Append(EndRecord(id, Now(), outcome, duration));
}

void HistoryFile::After(const std::string& id, const InstalledVersions& after) {
  std::lock_guard lock(mutex_);
  Append(AfterRecord(id, Now(), after));
}

void HistoryFile::InterruptOpen(const std::string& reason) {
  std::lock_guard lock(mutex_);
  for (const std::string& id : open_) Append(InterruptedEndRecord(id, Now(), reason));
  open_.clear();
}

}  // namespace kr35
