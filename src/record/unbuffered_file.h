// A file written without a user-space buffer: each Write hands its bytes to
// the kernel (write(2) on POSIX, WriteFile on Windows) before it returns, so
// what was written survives a crash of the program.
#pragma once

#include <string>
#include <string_view>

namespace kr35 {

class UnbufferedFile {
 public:
  UnbufferedFile() = default;
  ~UnbufferedFile();
  UnbufferedFile(const UnbufferedFile&) = delete;
  UnbufferedFile& operator=(const UnbufferedFile&) = delete;

  // Creates (truncates) the file for writing; false when it cannot.
  bool Create(const std::string& path);
  // Writes all of `bytes`, retrying short writes. After a failure the file
  // takes nothing more, so it ends at the last whole write.
  bool Write(std::string_view bytes);
  // Why the file could not be created or the first failed write failed
  // (the system's words); empty while nothing failed.
  const std::string& Error() const { return error_; }

 private:
  void Close();

#ifdef _WIN32
  void* handle_ = nullptr;  // a HANDLE; null when not open
#else
  int descriptor_ = -1;
#endif
  bool failed_ = false;
  std::string error_;
};

}  // namespace kr35
