#include "record/unbuffered_file.h"

#include <algorithm>

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#endif

namespace kr35 {

UnbufferedFile::~UnbufferedFile() {
  Close();
}

#ifdef _WIN32

bool UnbufferedFile::Create(const std::string& path) {
  Close();
  HANDLE handle = CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
  failed_ = false;
  error_.clear();
  if (handle == INVALID_HANDLE_VALUE) {
    error_ = "Windows error " + std::to_string(GetLastError());
    return false;
  }
  handle_ = handle;
  return true;
}

bool UnbufferedFile::Write(std::string_view bytes) {
  if (!handle_ || failed_) return false;
  while (!bytes.empty()) {
    const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size(), 1u << 30));
    DWORD written = 0;
    if (!WriteFile(static_cast<HANDLE>(handle_), bytes.data(), chunk, &written, nullptr) ||
        written == 0) {
      failed_ = true;
      error_ = "Windows error " + std::to_string(GetLastError());
      return false;
    }
    bytes.remove_prefix(written);
  }
  return true;
}

void UnbufferedFile::Close() {
  if (handle_) CloseHandle(static_cast<HANDLE>(handle_));
  handle_ = nullptr;
}

#else

bool UnbufferedFile::Create(const std::string& path) {
  Close();
  descriptor_ = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  failed_ = false;
  error_ = descriptor_ < 0 ? std::strerror(errno) : "";
  return descriptor_ >= 0;
}

bool UnbufferedFile::Write(std::string_view bytes) {
  if (descriptor_ < 0 || failed_) return false;
  while (!bytes.empty()) {
    const ssize_t written = ::write(descriptor_, bytes.data(), bytes.size());
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) {
      failed_ = true;
      error_ = written < 0 ? std::strerror(errno) : "nothing was written";
      return false;
    }
    bytes.remove_prefix(static_cast<std::size_t>(written));
  }
  return true;
}

void UnbufferedFile::Close() {
  if (descriptor_ >= 0) ::close(descriptor_);
  descriptor_ = -1;
}

#endif

}  // namespace kr35
