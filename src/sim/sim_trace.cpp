#include "sim/sim_trace.h"

#include <cerrno>
#include <cstring>
#include "hid/hex_bytes.h"

namespace kr35 {

std::unique_ptr<SimTrace> SimTrace::Open(const std::string& path, std::string& error) {
  std::FILE* file = std::fopen(path.c_str(), "w");
  if (file == nullptr) {
    error = "cannot open trace file '" + path + "': " + std::strerror(errno);
    return nullptr;
  }
  return std::unique_ptr<SimTrace>(new SimTrace(file));
}

SimTrace::~SimTrace() {
  std::fclose(file_);
}

void SimTrace::Record(double tMs, const char* direction, int adapter,
                      std::span<const std::uint8_t> report) {
  const std::string hex = ToHex(report);
  const int reportId = report.empty() ? 0 : report[0];
  std::lock_guard lock(mutex_);
  errno = 0;
  std::fprintf(file_,
               "{\"t_ms\": %.3f, \"dir\": \"%s\", \"adapter\": %d, \"report_id\": %d, "
               "\"bytes\": \"%s\"}\n",
               tMs, direction, adapter, reportId, hex.c_str());
  NoteResult(std::fflush(file_));
}

void SimTrace::RecordObject(double tMs, std::string_view object) {
  std::string_view fields = object;
  if (fields.size() >= 2 && fields.front() == '{' && fields.back() == '}') {
    fields = fields.substr(1, fields.size() - 2);
  }
  std::lock_guard lock(mutex_);
  errno = 0;
  std::fprintf(file_, "{\"t_ms\": %.3f%s%.*s}\n", tMs, fields.empty() ? "" : ", ",
               static_cast<int>(fields.size()), fields.data());
  NoteResult(std::fflush(file_));
}

void SimTrace::NoteResult(int result) {
  if ((result != 0 || std::ferror(file_)) && writeError_.empty()) {
    writeError_ = errno != 0 ? std::strerror(errno) : "write error";
  }
  std::clearerr(file_);
}

std::string SimTrace::WriteError() const {
  std::lock_guard lock(mutex_);
  return writeError_;
}

}  // namespace kr35
