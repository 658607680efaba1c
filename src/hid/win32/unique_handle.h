// Owns one kernel handle and closes it once.
#pragma once

#include <utility>

#include "hid/win32/windows_headers.h"

namespace kr35 {

class UniqueHandle {
 public:
  UniqueHandle() = default;
  // `handle` may be null or INVALID_HANDLE_VALUE: both mean "no handle".
  explicit UniqueHandle(HANDLE handle) : handle_(Normalize(handle)) {}
  ~UniqueHandle() { Reset(); }
  UniqueHandle(UniqueHandle&& other) noexcept : handle_(std::exchange(other.handle_, nullptr)) {}
  UniqueHandle& operator=(UniqueHandle&& other) noexcept {
    if (this != &other) {
      Reset();
      handle_ = std::exchange(other.handle_, nullptr);
    }
    return *this;
  }
  UniqueHandle(const UniqueHandle&) = delete;
  UniqueHandle& operator=(const UniqueHandle&) = delete;

  HANDLE Get() const { return handle_; }
  bool Valid() const { return handle_ != nullptr; }
  void Reset() {
    if (handle_) CloseHandle(handle_);
    handle_ = nullptr;
  }

 private:
  static HANDLE Normalize(HANDLE handle) {
    return handle == INVALID_HANDLE_VALUE ? nullptr : handle;
  }

  HANDLE handle_ = nullptr;
};

}  // namespace kr35
