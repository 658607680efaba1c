// Reads input reports from one descriptor without blocking, with a stop
// descriptor that wakes a waiting reader at once. Works on any readable
// descriptor (a hidraw node, a pipe, a socket), which is how it is tested.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <span>

#include "hid/hid_io.h"
#include "hid/hidraw/unique_fd.h"

namespace kr35 {

class FdReportReader {
 public:
  // Takes ownership of `fd` and switches it to non-blocking mode.
  // `usesReportIds` false: reads are framed with a leading report id 0.
  FdReportReader(UniqueFd fd, bool usesReportIds);

  // False when the stop descriptor could not be created.
  bool Valid() const { return fd_.Valid() && stop_.Valid(); }
  int Fd() const { return fd_.Get(); }

  ReadStart StartRead(std::span<std::uint8_t> buffer);
  // kComplete: the report is in the buffer given to StartRead. kTimeout: the
  // time ran out, or Interrupt() was called (then every later wait returns at
  // once). kError: the device is gone or the read failed.
  ReadWait WaitRead(std::chrono::milliseconds timeout);
  // Thread-safe; the stop signal is never consumed.
  void Interrupt();
  void CancelRead() { pending_ = false; }

  // Length of the last completed report in the buffer, report id included.
  std::size_t LastReportLength() const { return lastLength_; }

 private:
  enum class Attempt { kData, kAgain, kError };
  Attempt ReadNow();

  UniqueFd fd_;
  UniqueFd stop_;
  bool usesReportIds_;
  std::span<std::uint8_t> buffer_;
  bool pending_ = false;
  std::size_t lastLength_ = 0;
};

}  // namespace kr35
