#include "hid/timed_report_queue.h"

#include <algorithm>

namespace kr35 {

void TimedReportQueue::Push(Clock::time_point due, std::vector<std::uint8_t> report) {
  Insert(Entry{due, std::move(report), false});
}

void TimedReportQueue::PushError(Clock::time_point due) {
  Insert(Entry{due, {}, true});
}

void TimedReportQueue::Insert(Entry entry) {
  const auto at =
      std::upper_bound(entries_.begin(), entries_.end(), entry.due,
                       [](Clock::time_point due, const Entry& queued) { return due < queued.due; });
  entries_.insert(at, std::move(entry));
}

bool TimedReportQueue::TakeInto(std::span<std::uint8_t> buffer) {
  const Entry entry = std::move(entries_.front());
  entries_.pop_front();
  if (entry.error) return false;
  const std::size_t n = std::min(entry.report.size(), buffer.size());
  std::copy_n(entry.report.begin(), n, buffer.begin());
  std::fill(buffer.begin() + static_cast<std::ptrdiff_t>(n), buffer.end(), std::uint8_t{0});
  return true;
}

}  // namespace kr35
