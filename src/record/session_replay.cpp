#include "record/session_replay.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <deque>
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <thread>

#include "hid/report_descriptor_parser.h"
#include "hid/timed_report_queue.h"
#include "record/recorded_interfaces.h"
#include "record/replay_script.h"

namespace kr35 {

using SteadyTime = std::chrono::steady_clock::time_point;

// Reports a device sends within this distance of one another reach the host
// together (a full-speed interrupt endpoint is polled once a millisecond):
// a replay hands such a burst to the program before its wait for the first
// one ends. At maximum speed every report after a write is one burst.
constexpr std::int64_t kBurstUs = 1000;
// How long a reader that took a report may take to hand it on before the
// next event comes anyway (a reader that stopped must not hold up the rest).
// Also how long a wait lasts once nothing more can come from the device.
// Generous: on a slow board or under an emulator (qemu-user) a busy reader
// thread has taken over 100 ms, and the replay then departed where the
// recording was followed.
constexpr std::chrono::milliseconds kHandOverGrace{500};

class ReplayState {
 public:
  ReplayState(Recording recording, bool maxSpeed)
      : recording_(std::move(recording)), maxSpeed_(maxSpeed) {
    Schedule(start_, 0, recording_.prelude, false);
    deliverer_ = std::thread([this] { Deliver(); });
  }
  ~ReplayState() {
    {
      std::lock_guard lock(mutex_);
      stopping_ = true;
    }
    changed_.notify_all();
    deliverer_.join();
  }

  bool MaxSpeed() const { return maxSpeed_; }
  // True when nothing more will come from the device: the program departed
  // from the recording, or every recorded event has been delivered.
  bool Exhausted() {
    std::lock_guard lock(mutex_);
    return script_.CurrentPhase() != ReplayScript::Phase::kRunning ||
           (script_.AllWritten() && scheduled_.empty());
  }
  std::string Diagnosis() {
    std::lock_guard lock(mutex_);
    const std::string& hint = script_.SetUpHint();
    return script_.Diagnosis() + (hint.empty() ? "" : "\n  " + hint);
  }
  ReplayProgress Progress() {
    std::lock_guard lock(mutex_);
    return {script_.Written(), script_.Recorded()};
  }

  std::optional<std::vector<std::string>> Enumerate() {
    std::lock_guard lock(mutex_);
    if (Ended()) return std::vector<std::string>{};
    const auto& all = recording_.enumerations;
    if (all.empty()) return std::vector<std::string>{};
    return all[std::min(nextEnumeration_++, all.size() - 1)];
  }

  // The interface a read or write may be opened on; null when it may not.
  const RecordedInterface* Interface(const std::string& path, bool forWriting) {
    std::lock_guard lock(mutex_);
    if (Ended()) return nullptr;
    const auto found = recording_.interfaces.find(path);
    if (found == recording_.interfaces.end()) return nullptr;
    const RecordedInterface& interface = found->second;
    return (forWriting ? interface.writable : interface.readable) ? &interface : nullptr;
  }
  int NextReadHandle() {
    std::lock_guard lock(mutex_);
    open_.insert(++readHandles_);
    return readHandles_;
  }

  bool Write(const std::string& path, std::span<const std::uint8_t> report) {
    std::unique_lock lock(mutex_);
    const ReplayScript::Phase before = script_.CurrentPhase();
    if (before == ReplayScript::Phase::kRunning && !ReadAheadOfWrite(lock)) {
      script_.Depart("output report " + std::to_string(script_.Written() + 1) +
                     " was written before the program read the input report recorded ahead "
                     "of it");
    }
    if (const RecordedWrite* recorded = script_.Write(report, &path)) {
      Schedule(std::chrono::steady_clock::now(), recorded->tUs, recorded->after, true);
      return recorded->ok;
    }
    if (before == ReplayScript::Phase::kRunning) {
      if (script_.CurrentPhase() == ReplayScript::Phase::kEnded) {
        // Past the recording's end the adapter is gone, as after an unplug.
        RecordedDeviceEvent removal;
        removal.kind = RecordedDeviceEvent::Kind::kNotice;
        removal.code = DBT_DEVICEREMOVECOMPLETE;
        scheduled_.push_back({std::chrono::steady_clock::now(), std::move(removal), false});
      }
      changed_.notify_all();
    }
    // A diverged adapter takes writes and no longer answers; a gone one takes none.
    return script_.CurrentPhase() == ReplayScript::Phase::kDiverged;
  }

  // Reads of one handle: the next delivered event, or the end of the device.
  // A reader that starts its next read has handed on the report before.
  ReadStart StartRead(int handle, std::span<std::uint8_t> buffer) {
    std::lock_guard lock(mutex_);
    auto& reading = handles_[handle];
    reading.buffer = buffer;
    if (reading.handingOn) {
      reading.handingOn = false;
      changed_.notify_all();
    }
    if (!reading.ready.Empty()) {
      return Take(reading, buffer) ? ReadStart::kComplete : ReadStart::kError;
    }
    return GoneFor(handle) ? ReadStart::kError : ReadStart::kPending;
  }
  ReadWait WaitRead(int handle, std::chrono::milliseconds timeout) {
    std::unique_lock lock(mutex_);
    auto& reading = handles_[handle];
    reading.ready.WaitUntilDue(lock, changed_, std::chrono::steady_clock::now() + timeout,
                               [&] { return reading.interrupted || GoneFor(handle); });
    if (!reading.ready.Empty()) {
      return Take(reading, reading.buffer) ? ReadWait::kComplete : ReadWait::kError;
    }
    return GoneFor(handle) ? ReadWait::kError : ReadWait::kTimeout;
  }
  void Interrupt(int handle) {
    {
      std::lock_guard lock(mutex_);
      handles_[handle].interrupted = true;
    }
    changed_.notify_all();
  }
  void CloseHandle(int handle) {
    {
      std::lock_guard lock(mutex_);
      handles_.erase(handle);
      open_.erase(handle);
      closed_.insert(handle);
    }
    changed_.notify_all();
  }

  // Whether the program read every input report recorded ahead of the write
  // it makes now, as it did when recorded. A report it has yet to read (at
  // recorded speed also one not due yet: the program is quicker than the
  // recorded one), or is handing on only now, could reach it after the write
  // and pass for its answer.
  bool ReadAheadOfWrite(std::unique_lock<std::mutex>& lock) {
    const bool queued = std::any_of(open_.begin(), open_.end(), [&](int handle) {
      const auto found = handles_.find(handle);
      return found != handles_.end() && !found->second.ready.Empty();
    });
    const bool scheduled =
        std::any_of(scheduled_.begin(), scheduled_.end(), [&](const Scheduled& entry) {
          return entry.event.kind == RecordedDeviceEvent::Kind::kRead &&
                 open_.contains(entry.event.handle);
        });
    if (queued || scheduled) return false;
    // A reader that does not hand on within the grace has stopped reading.
    return HandedOn() || !changed_.wait_for(lock, kHandOverGrace, [&] { return HandedOn(); });
  }

  // Waits, until `deadline` at most, for the program to have taken every
  // report of the burst that followed its latest write: the program's wait
  // for an answer ends only then, so what it finds does not depend on how
  // its threads were scheduled.
  void WaitForBurst(SteadyTime deadline) {
    std::unique_lock lock(mutex_);
    changed_.wait_until(lock, deadline, [&] { return stopping_ || (burst_ == 0 && HandedOn()); });
  }

  void SetQueue(DialogQueue* queue) {
    std::lock_guard lock(queueMutex_);
    queue_ = queue;
  }
  bool NoticesRegistered() const { return recording_.noticesRegistered; }

 private:
  bool Ended() const { return script_.CurrentPhase() == ReplayScript::Phase::kEnded; }

  struct HandleReads {
    TimedReportQueue ready;  // delivered reports and read errors, readable at once
    std::span<std::uint8_t> buffer;
    bool interrupted = false;
    bool handingOn = false;  // a report was taken; its reader has not read again yet
  };

  // An event of the recording waiting for its turn.
  struct Scheduled {
    SteadyTime due;
    RecordedDeviceEvent event;
    bool burst;  // part of the burst the program's wait for an answer takes whole
  };

  bool Take(HandleReads& reading, std::span<std::uint8_t> buffer) {
    const bool report = reading.ready.TakeInto(buffer);
    reading.handingOn = report;
    changed_.notify_all();
    return report;
  }

  // True when every open handle's reader has taken and handed on what it was given.
  bool HandedOn() const {
    return std::all_of(open_.begin(), open_.end(), [&](int handle) {
      const auto found = handles_.find(handle);
      return found == handles_.end() || (found->second.ready.Empty() && !found->second.handingOn);
    });
  }

  // Queues `events`, recorded after the moment `anchorUs`, to happen as long
  // after `anchor` (or at once at maximum speed). After a write, its first
  // input report and those that follow it closely form the burst.
  void Schedule(SteadyTime anchor, std::int64_t anchorUs,
                const std::vector<RecordedDeviceEvent>& events, bool afterWrite) {
    std::optional<std::int64_t> lastInBurst;
    bool burstOpen = afterWrite;
    for (const RecordedDeviceEvent& event : events) {
      bool burst = false;
      if (event.kind != RecordedDeviceEvent::Kind::kNotice && burstOpen) {
        burst = !lastInBurst || maxSpeed_ || event.tUs - *lastInBurst <= kBurstUs;
        burstOpen = burst;
        if (burst) lastInBurst = event.tUs;
      }
      burst_ += burst ? 1 : 0;
      scheduled_.push_back({anchor + ReplayDelay(anchorUs, event, maxSpeed_), event, burst});
    }
    changed_.notify_all();
  }

  // Hands each scheduled event, in the recording's order, to its handle or
  // posts its notice, once it is due and every open handle's reader has
  // handed on what it was given before: so the program meets the device's
  // events in the order recorded, whatever the threads' timing.
  void Deliver() {
    std::unique_lock lock(mutex_);
    SteadyTime handOnSince = SteadyTime::max();  // max: not waiting for a hand-on
    while (!stopping_) {
      if (scheduled_.empty()) {
        changed_.wait(lock);
        continue;
      }
      const SteadyTime due = scheduled_.front().due;
      if (std::chrono::steady_clock::now() < due) {
        changed_.wait_until(lock, due);
        continue;
      }
      if (!HandedOn()) {
        const SteadyTime now = std::chrono::steady_clock::now();
        if (handOnSince == SteadyTime::max()) handOnSince = now;
        if (now - handOnSince < kHandOverGrace) {
          changed_.wait_until(lock, handOnSince + kHandOverGrace);
          continue;
        }
      }
      handOnSince = SteadyTime::max();
      RecordedDeviceEvent event = std::move(scheduled_.front().event);
      if (scheduled_.front().burst) --burst_;
      scheduled_.pop_front();
      changed_.notify_all();
      if (closed_.contains(event.handle) && event.kind != RecordedDeviceEvent::Kind::kNotice) {
        continue;  // its reader is gone
      }
      if (event.kind == RecordedDeviceEvent::Kind::kNotice) {
        lock.unlock();
        {
          std::lock_guard queueLock(queueMutex_);
          if (queue_) queue_->Post(DialogMessage{WM_DEVICECHANGE, event.code, 0});
        }
        lock.lock();
      } else {
        TimedReportQueue& ready = handles_[event.handle].ready;
        if (event.kind == RecordedDeviceEvent::Kind::kReadError) {
          ready.PushError(TimedReportQueue::kAtOnce);
        } else {
          ready.Push(TimedReportQueue::kAtOnce, std::move(event.report));
        }
        changed_.notify_all();
      }
    }
  }

  // After the recording's end, a handle with nothing left to deliver is gone.
  bool GoneFor(int handle) const {
    if (!Ended()) return false;
    return std::none_of(scheduled_.begin(), scheduled_.end(),
                        [&](const Scheduled& entry) { return entry.event.handle == handle; });
  }

  const Recording recording_;
  const bool maxSpeed_;
  const SteadyTime start_ = std::chrono::steady_clock::now();

  std::mutex mutex_;
  std::condition_variable changed_;
  ReplayScript script_{recording_};
  std::size_t nextEnumeration_ = 0;
  int readHandles_ = 0;
  std::deque<Scheduled> scheduled_;  // in the recording's order
  std::size_t burst_ = 0;            // burst events in scheduled_
  std::map<int, HandleReads> handles_;
  std::set<int> open_;    // read handles the program holds
  std::set<int> closed_;  // read handles the program closed
  bool stopping_ = false;

  std::mutex queueMutex_;  // held while posting, so a registration ends between posts
  DialogQueue* queue_ = nullptr;

  std::thread deliverer_;
};

namespace {

class ReplayReadHandle final : public RecordedIdentityHandle {
 public:
  ReplayReadHandle(std::shared_ptr<ReplayState> state, const RecordedInterface& interface)
      : RecordedIdentityHandle(interface),
        state_(std::move(state)),
        id_(state_->NextReadHandle()) {}
  ~ReplayReadHandle() override { state_->CloseHandle(id_); }

  std::unique_ptr<PreparsedData> GetPreparsedData() override {
    if (interface_.descriptor) return ParseReportDescriptor(*interface_.descriptor);
    return interface_.caps ? PreparsedDataFromCaps(*interface_.caps) : nullptr;
  }
  std::optional<std::vector<std::uint8_t>> GetReportDescriptor() override {
    return interface_.descriptor;
  }
  ReadStart StartRead(std::span<std::uint8_t> buffer) override {
    return state_->StartRead(id_, buffer);
  }
  ReadWait WaitRead(std::chrono::milliseconds timeout) override {
    return state_->WaitRead(id_, timeout);
  }
  void Interrupt() override { state_->Interrupt(id_); }
  void CancelRead() override {}

 private:
  std::shared_ptr<ReplayState> state_;
  const int id_;
};

class ReplayWriteHandle final : public HidWriteHandle {
 public:
  ReplayWriteHandle(std::shared_ptr<ReplayState> state, std::string path)
      : state_(std::move(state)), path_(std::move(path)) {}
  bool Write(std::span<const std::uint8_t> report) override { return state_->Write(path_, report); }

 private:
  std::shared_ptr<ReplayState> state_;
  const std::string path_;
};

class ReplayHidBackend final : public HidBackend {
 public:
  explicit ReplayHidBackend(std::shared_ptr<ReplayState> state) : state_(std::move(state)) {}

  std::optional<std::vector<std::string>> EnumerateInterfaces() override {
    return state_->Enumerate();
  }
  std::unique_ptr<HidReadHandle> OpenRead(const std::string& path, OpenError* error) override {
    const RecordedInterface* interface = state_->Interface(path, false);
    if (!interface) {
      if (error) *error = OpenError::kNotFound;
      return nullptr;
    }
    return std::make_unique<ReplayReadHandle>(state_, *interface);
  }
  std::unique_ptr<HidWriteHandle> OpenWrite(const std::string& path) override {
    if (!state_->Interface(path, true)) return nullptr;
    return std::make_unique<ReplayWriteHandle>(state_, path);
  }

 private:
  std::shared_ptr<ReplayState> state_;
};

class ReplayRegistration final : public NotificationRegistration {
 public:
  ReplayRegistration(std::shared_ptr<ReplayState> state, DialogQueue* queue)
      : state_(std::move(state)) {
    state_->SetQueue(queue);
  }
  ~ReplayRegistration() override { state_->SetQueue(nullptr); }

 private:
  std::shared_ptr<ReplayState> state_;
};

class ReplayNotificationBackend final : public DeviceNotificationBackend {
 public:
  explicit ReplayNotificationBackend(std::shared_ptr<ReplayState> state)
      : state_(std::move(state)) {}
  PlatformVersion GetPlatformVersion() override { return {10, 0, ""}; }
  std::unique_ptr<NotificationRegistration> Register(DialogQueue* queue) override {
    if (!state_->NoticesRegistered()) return nullptr;
    return std::make_unique<ReplayRegistration>(state_, queue);
  }

 private:
  std::shared_ptr<ReplayState> state_;
};

class ReplayClock final : public Clock {
 public:
  explicit ReplayClock(std::shared_ptr<ReplayState> state) : state_(std::move(state)) {}
  // Once nothing more can come from the device (the program departed from
  // the recording, or all of it was played), time runs a thousand times
  // faster: a limit measured on this clock, such as the minute an adapter
  // may stay busy, then ends at once instead of holding back the report of
  // a divergence for its real length.
  std::chrono::nanoseconds Now() override {
    const std::chrono::nanoseconds now = RealClock().Now();
    if (state_->Exhausted()) {
      std::int64_t expected = kNotExhausted;
      exhaustedSince_.compare_exchange_strong(expected, now.count());
    }
    const std::int64_t since = exhaustedSince_.load();
    if (since == kNotExhausted) return now;
    return now + (now - std::chrono::nanoseconds{since}) * (kExhaustedSpeedUp - 1);
  }
  void SleepFor(std::chrono::milliseconds duration) override {
    RealClock().SleepFor(PauseLength(duration));
  }
  bool WaitFor(Waitable& event, std::chrono::milliseconds timeout) override {
    const std::chrono::milliseconds limit = WaitLimit(timeout);
    const SteadyTime deadline = std::chrono::steady_clock::now() + limit;
    if (!RealClock().WaitFor(event, limit)) return false;
    state_->WaitForBurst(deadline);
    return true;
  }
  std::chrono::milliseconds PauseLength(std::chrono::milliseconds duration) override {
    if (state_->MaxSpeed() || state_->Exhausted()) return std::chrono::milliseconds{0};
    return duration;
  }
  std::chrono::milliseconds WaitLimit(std::chrono::milliseconds timeout) override {
    // Once the device has nothing more to say, a response can only be the one
    // already delivered and on its way through the reader thread.
    return state_->Exhausted() ? std::min(timeout, kHandOverGrace) : timeout;
  }

 private:
  static constexpr std::int64_t kNotExhausted = -1;
  static constexpr int kExhaustedSpeedUp = 1000;
  std::shared_ptr<ReplayState> state_;
  std::atomic<std::int64_t> exhaustedSince_{kNotExhausted};
};

}  // namespace

SessionReplay::SessionReplay(Recording recording, bool maxSpeed)
    : state_(std::make_shared<ReplayState>(std::move(recording), maxSpeed)),
      hid_(std::make_unique<ReplayHidBackend>(state_)),
      notifications_(std::make_unique<ReplayNotificationBackend>(state_)),
      clock_(std::make_unique<ReplayClock>(state_)) {}

SessionReplay::~SessionReplay() = default;

HidBackend& SessionReplay::Hid() {
  return *hid_;
}
DeviceNotificationBackend& SessionReplay::Notifications() {
  return *notifications_;
}
Clock& SessionReplay::ExchangeClock() {
  return *clock_;
}
std::string SessionReplay::Diagnosis() const {
  return state_->Diagnosis();
}

ReplayProgress SessionReplay::Progress() const {
  return state_->Progress();
}

}  // namespace kr35
