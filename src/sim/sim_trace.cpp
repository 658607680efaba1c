#include "sim/sim_trace.h"

#include "hid/hex_bytes.h"

namespace kr35 {

std::unique_ptr<SimTrace> SimTrace::Open(const std::string& path, std::string& error) {
  std::FILE* file = std::fopen(path.c_str(), "w");
  if (file == nullptr) {
    error = "cannot open trace file '" + path + "'";
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
  std::fprintf(file_,
               "{\"t_ms\": %.3f, \"dir\": \"%s\", \"adapter\": %d, \"report_id\": %d, "
               "\"bytes\": \"%s\"}\n",
               tMs, direction, adapter, reportId, hex.c_str());
  std::fflush(file_);
}

void SimTrace::RecordObject(double tMs, std::string_view object) {
  std::string_view fields = object;
  if (fields.size() >= 2 && fields.front() == '{' && fields.back() == '}') {
    fields = fields.substr(1, fields.size() - 2);
  }
  std::lock_guard lock(mutex_);
  std::fprintf(file_, "{\"t_ms\": %.3f%s%.*s}\n", tMs, fields.empty() ? "" : ", ",
               static_cast<int>(fields.size()), fields.data());
  std::fflush(file_);
}

}  // namespace kr35
