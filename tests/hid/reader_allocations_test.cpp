// The reader loop allocates nothing once the channel is open. This runs in an
// executable of its own because it replaces the global operator new to count
// the allocations made on the reader thread.
#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <cstdlib>
#include <new>
#include <thread>

#include "hid/fake_hid_backend.h"
#include "hid/hid_channel.h"
#include "hid/hid_channel_test_support.h"

namespace {

std::atomic<std::thread::id> watchedThread{};
std::atomic<long> watchedAllocations{0};

void* Allocate(std::size_t size) {
  if (watchedThread.load(std::memory_order_relaxed) == std::this_thread::get_id()) {
    watchedAllocations.fetch_add(1, std::memory_order_relaxed);
  }
  return std::malloc(size == 0 ? 1 : size);
}

}  // namespace

void* operator new(std::size_t size) {
  if (void* p = Allocate(size)) return p;
  throw std::bad_alloc();
}
void* operator new[](std::size_t size) {
  if (void* p = Allocate(size)) return p;
  throw std::bad_alloc();
}
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
  return Allocate(size);
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
  return Allocate(size);
}
void operator delete(void* p) noexcept {
  std::free(p);
}
void operator delete[](void* p) noexcept {
  std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
  std::free(p);
}
void operator delete[](void* p, std::size_t) noexcept {
  std::free(p);
}

namespace kr35::test {
namespace {

// A dialog queue that never allocates: a preallocated array filled in order.
// Only the reader thread posts; the test reads after the reader went idle.
class RingQueue : public DialogQueue {
 public:
  void Post(const DialogMessage& message) override {
    const std::size_t index = count_.fetch_add(1);
    if (index < messages_.size()) messages_[index] = message;
  }
  std::size_t Count() const { return count_.load(); }
  const DialogMessage& At(std::size_t index) const { return messages_.at(index); }

 private:
  std::array<DialogMessage, 1024> messages_{};
  std::atomic<std::size_t> count_{0};
};

TEST(ReaderAllocations, CounterSeesAllocationsOfTheWatchedThread) {
  watchedThread = std::this_thread::get_id();
  const long before = watchedAllocations.load();
  void* block = ::operator new(64);
  const long after = watchedAllocations.load();
  watchedThread = std::thread::id{};
  ::operator delete(block);
  EXPECT_EQ(after, before + 1);
}

TEST(ReaderAllocations, ReaderLoopAllocatesNothingOnceOpen) {
  FakeHidBackend backend({AdapterDevice()});
  RingQueue queue;
  Timing timing = FastTiming();
  timing.readSlice = std::chrono::milliseconds(1);  // many idle passes too
  HidChannel channel(backend, timing);
  channel.SetNotifyWindow(&queue);
  ASSERT_EQ(channel.FindAdapter(), 1);
  ASSERT_TRUE(backend.WaitForReaderIdle());

  watchedThread = backend.ReaderThreadId();
  const long before = watchedAllocations.load();
  constexpr int kPairs = 200;
  for (int i = 0; i < kPairs; ++i) {
    backend.PushReport(ButtonReport(0x48, 0x01));
    backend.PushReport(
        ResponseReport({RSP_VERSIONS, 0x04, 0x01, static_cast<std::uint8_t>(i), 0x01}));
  }
  ASSERT_TRUE(backend.WaitForReaderIdle());
  const long after = watchedAllocations.load();
  watchedThread = std::thread::id{};

  EXPECT_EQ(after, before) << "allocations on the reader thread";
  ASSERT_EQ(queue.Count(), 2u * kPairs);
  EXPECT_EQ(queue.At(0).lParam, 0x01);
  EXPECT_EQ(queue.At(1).lParam, 0xE2);
  std::string text;
  EXPECT_TRUE(channel.TakeResponse(text));
  EXPECT_EQ(channel.LastResponse()[3], kPairs - 1);
}

}  // namespace
}  // namespace kr35::test
