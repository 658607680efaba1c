// The simulator's trace: one JSON object per line for every report the
// adapter receives ("rx": host to adapter, an output report) and sends ("tx":
// adapter to host, an input report):
//   {"t_ms": 12.345, "dir": "rx", "adapter": 0, "report_id": 2, "bytes": "020d..."}
// "adapter" is the i of the adapter's path "sim:adapter<i>".
// t_ms counts from the simulator's start; for "tx" it is the moment the report
// becomes readable. Each line is flushed as it is written.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <mutex>
#include <span>
#include <string>
#include <string_view>

namespace kr35 {

class SimTrace {
 public:
  // Creates (truncates) the file; null with `error` when it cannot be opened.
  static std::unique_ptr<SimTrace> Open(const std::string& path, std::string& error);
  ~SimTrace();
  SimTrace(const SimTrace&) = delete;
  SimTrace& operator=(const SimTrace&) = delete;

  // Thread-safe.
  void Record(double tMs, const char* direction, int adapter, std::span<const std::uint8_t> report);
  // Another event, given as a JSON object; the time is put in front of its fields.
  void RecordObject(double tMs, std::string_view object);
  // Empty while every line was written; otherwise the first failure's reason.
  // Recording goes on after a failure: a full disk must not stop the adapter.
  std::string WriteError() const;

 private:
  explicit SimTrace(std::FILE* file) : file_(file) {}
  void NoteResult(int result);  // call with mutex_ held
  mutable std::mutex mutex_;
  std::FILE* file_;
  std::string writeError_;
};

}  // namespace kr35
