// The input reports waiting to be read from a simulated or replayed device,
// each readable from a due time on, and the wait of a read for the next one.
// Shared by the simulated adapter, the replay of a recording and the tests'
// scriptable backend. Not synchronised: the owner guards the queue with the
// mutex it waits on.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <span>
#include <thread>
#include <vector>

namespace kr35 {

class TimedReportQueue {
 public:
  using Clock = std::chrono::steady_clock;
  // A report queued with this due time is readable at once.
  static constexpr Clock::time_point kAtOnce = Clock::time_point::min();

  enum class Wait { kDue, kStopped, kDeadline };

  // Queues a report (byte 0 is its id) readable from `due` on; reports due
  // at the same time are read in the order they were queued.
  void Push(Clock::time_point due, std::vector<std::uint8_t> report);
  // Queues a read error in the same way.
  void PushError(Clock::time_point due);
  void Clear() { entries_.clear(); }
  bool Empty() const { return entries_.empty(); }
  std::size_t Size() const { return entries_.size(); }
  // The next report is readable at `now`.
  bool Due(Clock::time_point now) const { return !Empty() && entries_.front().due <= now; }
  // Copies the next report into `buffer`, zero-filling what it does not
  // reach, and drops it; false (nothing copied) when it is a read error.
  bool TakeInto(std::span<std::uint8_t> buffer);

  // With `lock` held on the queue's mutex: waits until `stopped()` holds,
  // the next report is due, or `deadline` passes (asked in that order).
  // `changed` is notified whenever the queue or what `stopped` looks at
  // changes. A report due within moments is waited for
  // on the CPU, as a device's interrupt would be taken at once, instead of
  // sleeping through a scheduler wake-up that can take longer than the
  // report's own latency.
  template <class Stopped>
  Wait WaitUntilDue(std::unique_lock<std::mutex>& lock, std::condition_variable& changed,
                    Clock::time_point deadline, Stopped stopped) const;

 private:
  static constexpr auto kSpinWindow = std::chrono::microseconds(200);

  struct Entry {
    Clock::time_point due;
    std::vector<std::uint8_t> report;
    bool error = false;
  };
  void Insert(Entry entry);

  std::deque<Entry> entries_;  // ordered by due time
};

template <class Stopped>
TimedReportQueue::Wait TimedReportQueue::WaitUntilDue(std::unique_lock<std::mutex>& lock,
                                                      std::condition_variable& changed,
                                                      Clock::time_point deadline,
                                                      Stopped stopped) const {
  for (;;) {
    if (stopped()) return Wait::kStopped;
    const Clock::time_point now = Clock::now();
    if (Due(now)) return Wait::kDue;
    if (now >= deadline) return Wait::kDeadline;
    const bool reportDue = !Empty() && entries_.front().due < deadline;
    const Clock::time_point wake = reportDue ? entries_.front().due : deadline;
    if (reportDue && wake - now <= kSpinWindow) {
      lock.unlock();
      while (Clock::now() < wake) std::this_thread::yield();
      lock.lock();
      continue;
    }
    changed.wait_until(lock, reportDue ? wake - kSpinWindow / 2 : wake);
  }
}

}  // namespace kr35
