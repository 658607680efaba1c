// A scriptable HID backend for tests: enumerated devices with their
// identity, strings and report descriptor; input reports that the test pushes
// and the reader receives; write results; and a log of what was called.
// Thread-safe: the channel's reader thread reads while the test pushes.
#pragma once

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <thread>
#include <vector>

#include "hid/hid_device.h"
#include "hid/hid_io.h"
#include "hid/report_descriptor_parser.h"
#include "hid/report_descriptor_samples.h"
#include "hid/timed_report_queue.h"

// Reader threads are seen to end through a thread-local object's destructor.
// mingw-w64's thread-local destructors are not reliable at thread exit (they
// crash under Wine), so there the fake does not count ending readers.
#if defined(_WIN32)
#define KR35_FAKE_TRACKS_READER_EXITS 0
#else
#define KR35_FAKE_TRACKS_READER_EXITS 1
#endif
inline constexpr bool kFakeTracksReaderExits = KR35_FAKE_TRACKS_READER_EXITS;

namespace kr35::test {

using namespace std::chrono_literals;

struct FakeDevice {
  std::string path;
  bool opensForRead = true;
  bool opensForWrite = true;
  std::optional<HidAttributes> attributes =
      HidAttributes{kAdapterVendorId, kAdapterProductId, 0x0100};
  std::optional<std::string> manufacturer = "Maker";                         // nullopt: unreadable
  std::optional<std::string> product = "KR35";                               // nullopt: unreadable
  std::optional<std::vector<std::uint8_t>> descriptor = kAdapterDescriptor;  // nullopt: none
};

class FakeHidBackend : public HidBackend {
 public:
  // Called from Write (on the writer's thread) after the write was recorded.
  using WriteHook = std::function<void(std::span<const std::uint8_t>)>;

  struct Stats {
    int openRead = 0;
    int openWrite = 0;
    int cancelRead = 0;
    int interrupts = 0;
    int startReads = 0;
    int liveReadHandles = 0;
    int readerExits = 0;  // threads that read and have ended since
  };

  explicit FakeHidBackend(std::vector<FakeDevice> devices = {})
      : state_(std::make_shared<State>()) {
    state_->devices = std::move(devices);
  }

  // --- Scripting -----------------------------------------------------------
  void SetDevices(std::vector<FakeDevice> devices) {
    std::lock_guard lock(state_->mutex);
    state_->devices = std::move(devices);
  }
  void FailEnumeration() {
    std::lock_guard lock(state_->mutex);
    state_->enumerationFails = true;
  }
  // Queues one input report (byte 0 is its id) for whichever handle reads next.
  void PushReport(std::vector<std::uint8_t> report) {
    std::lock_guard lock(state_->mutex);
    state_->inputs.Push(TimedReportQueue::kAtOnce, std::move(report));
    state_->changed.notify_all();
  }
  // The next read fails (StartRead or WaitRead reports an error).
  void PushReadError() {
    std::lock_guard lock(state_->mutex);
    state_->inputs.PushError(TimedReportQueue::kAtOnce);
    state_->changed.notify_all();
  }
  // Results of the next writes, in order; once used up, writes succeed.
  void ScriptWriteResults(std::vector<bool> results) {
    std::lock_guard lock(state_->mutex);
    state_->writeResults.assign(results.begin(), results.end());
  }
  void SetWriteHook(WriteHook hook) {
    std::lock_guard lock(state_->mutex);
    state_->writeHook = hook ? std::make_shared<const WriteHook>(std::move(hook)) : nullptr;
  }

  // --- Observation ---------------------------------------------------------
  Stats GetStats() const {
    std::lock_guard lock(state_->mutex);
    return state_->stats;
  }
  std::vector<std::string> Log() const {
    std::lock_guard lock(state_->mutex);
    return state_->log;
  }
  std::vector<std::vector<std::uint8_t>> Writes() const {
    std::lock_guard lock(state_->mutex);
    return state_->writes;
  }
  std::size_t QueuedInputs() const {
    std::lock_guard lock(state_->mutex);
    return state_->inputs.Size();
  }
  // The buffer of the latest StartRead (where input reports land).
  std::span<std::uint8_t> LastReadBuffer() const {
    std::lock_guard lock(state_->mutex);
    return state_->lastReadBuffer;
  }
  std::thread::id ReaderThreadId() const {
    std::lock_guard lock(state_->mutex);
    return state_->readerThread;
  }

  // Waits until every pushed input was taken and handled: the queue is empty
  // and a new read is outstanding (the reader starts one only after it has
  // decoded and dispatched the previous report).
  bool WaitForReaderIdle(std::chrono::milliseconds limit = 5s) const {
    std::unique_lock lock(state_->mutex);
    return state_->changed.wait_for(
        lock, limit, [this] { return state_->inputs.Empty() && state_->pendingReads > 0; });
  }
  // Every pushed input has been taken by a reader.
  bool WaitForInputsTaken(std::chrono::milliseconds limit = 5s) const {
    std::unique_lock lock(state_->mutex);
    return state_->changed.wait_for(lock, limit, [this] { return state_->inputs.Empty(); });
  }
  bool WaitForReaderExits(int count, std::chrono::milliseconds limit = 5s) const {
    std::unique_lock lock(state_->mutex);
    return state_->changed.wait_for(lock, limit,
                                    [this, count] { return state_->stats.readerExits >= count; });
  }

  // --- HidBackend ----------------------------------------------------------
  std::optional<std::vector<std::string>> EnumerateInterfaces() override {
    std::lock_guard lock(state_->mutex);
    if (state_->enumerationFails) return std::nullopt;
    std::vector<std::string> paths;
    for (const FakeDevice& device : state_->devices) paths.push_back(device.path);
    return paths;
  }

  std::unique_ptr<HidReadHandle> OpenRead(const std::string& path, OpenError* error) override {
    std::lock_guard lock(state_->mutex);
    ++state_->stats.openRead;
    state_->log.push_back("OpenRead " + path);
    const FakeDevice* device = Find(path);
    if (!device || !device->opensForRead) {
      if (error) *error = OpenError::kNotFound;
      return nullptr;
    }
    ++state_->stats.liveReadHandles;
    return std::make_unique<ReadHandle>(state_, *device);
  }

  std::unique_ptr<HidWriteHandle> OpenWrite(const std::string& path) override {
    std::lock_guard lock(state_->mutex);
    ++state_->stats.openWrite;
    state_->log.push_back("OpenWrite " + path);
    const FakeDevice* device = Find(path);
    if (!device || !device->opensForWrite) return nullptr;
    return std::make_unique<WriteHandle>(state_, path);
  }

 private:
  struct State {
    mutable std::mutex mutex;
    mutable std::condition_variable changed;
    std::vector<FakeDevice> devices;
    bool enumerationFails = false;
    TimedReportQueue inputs;  // every input readable at once
    std::deque<bool> writeResults;
    std::shared_ptr<const WriteHook> writeHook;
    Stats stats;
    std::vector<std::string> log;
    std::vector<std::vector<std::uint8_t>> writes;
    std::span<std::uint8_t> lastReadBuffer;
    std::thread::id readerThread;
    int pendingReads = 0;
  };

  // Notes the end of a thread that has read, from its thread-local storage.
  struct ReaderExitNote {
    std::shared_ptr<State> state;
    ~ReaderExitNote() {
      if (!state) return;
      std::lock_guard lock(state->mutex);
      ++state->stats.readerExits;
      state->log.push_back("ReaderExit");
      state->changed.notify_all();
    }
  };

  class ReadHandle : public HidReadHandle {
   public:
    ReadHandle(std::shared_ptr<State> state, FakeDevice device)
        : state_(std::move(state)), device_(std::move(device)) {}
    ~ReadHandle() override {
      std::lock_guard lock(state_->mutex);
      if (pending_) --state_->pendingReads;
      --state_->stats.liveReadHandles;
      state_->log.push_back("CloseRead " + device_.path);
      state_->changed.notify_all();
    }

    bool GetAttributes(HidAttributes& attributes) override {
      if (!device_.attributes) return false;
      attributes = *device_.attributes;
      return true;
    }
    bool GetManufacturerString(std::string& text) override {
      return Take(device_.manufacturer, text);
    }
    bool GetProductString(std::string& text) override { return Take(device_.product, text); }
    std::unique_ptr<PreparsedData> GetPreparsedData() override {
      return device_.descriptor ? ParseReportDescriptor(*device_.descriptor) : nullptr;
    }

    ReadStart StartRead(std::span<std::uint8_t> buffer) override {
#if KR35_FAKE_TRACKS_READER_EXITS
      thread_local ReaderExitNote exitNote;
#endif
      std::lock_guard lock(state_->mutex);
#if KR35_FAKE_TRACKS_READER_EXITS
      if (!exitNote.state) exitNote.state = state_;
#endif
      ++state_->stats.startReads;
      state_->readerThread = std::this_thread::get_id();
      state_->lastReadBuffer = buffer;
      buffer_ = buffer;
      if (!state_->inputs.Empty()) return Deliver() ? ReadStart::kComplete : ReadStart::kError;
      pending_ = true;
      ++state_->pendingReads;
      state_->changed.notify_all();
      return ReadStart::kPending;
    }

    ReadWait WaitRead(std::chrono::milliseconds timeout) override {
      std::unique_lock lock(state_->mutex);
      state_->inputs.WaitUntilDue(lock, state_->changed, std::chrono::steady_clock::now() + timeout,
                                  [this] { return interrupted_; });
      if (state_->inputs.Empty()) return ReadWait::kTimeout;
      pending_ = false;
      --state_->pendingReads;
      return Deliver() ? ReadWait::kComplete : ReadWait::kError;
    }

    void Interrupt() override {
      std::lock_guard lock(state_->mutex);
      ++state_->stats.interrupts;
      interrupted_ = true;
      state_->changed.notify_all();
    }

    void CancelRead() override {
      std::lock_guard lock(state_->mutex);
      ++state_->stats.cancelRead;
      state_->log.push_back("CancelRead " + device_.path);
      if (pending_) --state_->pendingReads;
      pending_ = false;
      buffer_ = {};
      state_->changed.notify_all();
    }

   private:
    static bool Take(const std::optional<std::string>& from, std::string& to) {
      if (!from) return false;
      to = *from;
      return true;
    }
    // Moves the front input into the read buffer; false for a read error. Mutex held.
    bool Deliver() {
      const bool read = state_->inputs.TakeInto(buffer_);
      state_->changed.notify_all();
      return read;
    }

    std::shared_ptr<State> state_;
    FakeDevice device_;
    std::span<std::uint8_t> buffer_;
    bool pending_ = false;
    bool interrupted_ = false;
  };

  class WriteHandle : public HidWriteHandle {
   public:
    WriteHandle(std::shared_ptr<State> state, std::string path)
        : state_(std::move(state)), path_(std::move(path)) {}
    ~WriteHandle() override {
      std::lock_guard lock(state_->mutex);
      state_->log.push_back("CloseWrite " + path_);
    }
    bool Write(std::span<const std::uint8_t> report) override {
      std::shared_ptr<const WriteHook> hook;
      bool result = true;
      {
        std::lock_guard lock(state_->mutex);
        state_->writes.emplace_back(report.begin(), report.end());
        if (!state_->writeResults.empty()) {
          result = state_->writeResults.front();
          state_->writeResults.pop_front();
        }
        hook = state_->writeHook;
      }
      if (result && hook) (*hook)(report);
      return result;
    }

   private:
    std::shared_ptr<State> state_;
    std::string path_;
  };

  const FakeDevice* Find(const std::string& path) const {
    for (const FakeDevice& device : state_->devices) {
      if (device.path == path) return &device;
    }
    return nullptr;
  }

  std::shared_ptr<State> state_;
};

// The adapter as the only device, at "adapter".
inline FakeDevice AdapterDevice(std::string path = "adapter") {
  FakeDevice device;
  device.path = std::move(path);
  return device;
}

}  // namespace kr35::test
