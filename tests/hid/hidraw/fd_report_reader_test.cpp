#include "hid/hidraw/fd_report_reader.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <unistd.h>

#include <array>
#include <thread>
#include <vector>

namespace kr35 {
namespace {

using namespace std::chrono_literals;

// A message socket keeps report boundaries, like a hidraw node.
struct ReportPipe {
  UniqueFd device;  // the reader's end
  UniqueFd peer;    // the test writes reports here

  ReportPipe() {
    int fds[2];
    EXPECT_EQ(::socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0, fds), 0);
    device.Reset(fds[0]);
    peer.Reset(fds[1]);
  }
  void Send(std::vector<std::uint8_t> report) {
    ASSERT_EQ(::write(peer.Get(), report.data(), report.size()),
              static_cast<ssize_t>(report.size()));
  }
};

struct ImmediateCase {
  const char* name;
  bool usesReportIds;
  std::vector<std::uint8_t> sent;
  std::vector<std::uint8_t> expected;  // the start of the buffer after the read
};

TEST(FdReportReaderTest, WaitingReportCompletesAtOnceWithReportIdFirst) {
  const ImmediateCase cases[] = {
      {"numbered", true, {3, 0x10, 0x20, 0x30}, {3, 0x10, 0x20, 0x30}},
      {"unnumbered", false, {0xAA, 0xBB, 0xCC}, {0, 0xAA, 0xBB, 0xCC}},
  };
  for (const ImmediateCase& c : cases) {
    SCOPED_TRACE(c.name);
    ReportPipe pipe;
    FdReportReader reader(std::move(pipe.device), c.usesReportIds);
    pipe.Send(c.sent);
    std::array<std::uint8_t, 8> buffer{};
    buffer.fill(0xEE);
    ASSERT_EQ(reader.StartRead(buffer), ReadStart::kComplete);
    EXPECT_EQ(reader.LastReportLength(), c.expected.size());
    EXPECT_TRUE(std::equal(c.expected.begin(), c.expected.end(), buffer.begin()));
  }
}

TEST(FdReportReaderTest, PendingReadCompletesIntoTheStartBuffer) {
  ReportPipe pipe;
  FdReportReader reader(std::move(pipe.device), false);
  std::array<std::uint8_t, 6> buffer{};
  ASSERT_EQ(reader.StartRead(buffer), ReadStart::kPending);
  EXPECT_EQ(reader.WaitRead(1ms), ReadWait::kTimeout);  // nothing yet; still pending

  pipe.Send({0x01, 0x48});
  ASSERT_EQ(reader.WaitRead(5s), ReadWait::kComplete);
  EXPECT_EQ(buffer[0], 0);
  EXPECT_EQ(buffer[1], 0x01);
  EXPECT_EQ(buffer[2], 0x48);
  EXPECT_EQ(reader.WaitRead(1ms), ReadWait::kError) << "no read pending any more";
}

TEST(FdReportReaderTest, BlockingDescriptorIsReadWithoutBlocking) {
  int fds[2];
  ASSERT_EQ(::pipe2(fds, O_CLOEXEC), 0);
  UniqueFd writeEnd(fds[1]);
  FdReportReader reader{UniqueFd(fds[0]), true};
  std::array<std::uint8_t, 4> buffer{};
  EXPECT_EQ(reader.StartRead(buffer), ReadStart::kPending);
}

TEST(FdReportReaderTest, InterruptWakesAWaitOnAnotherThreadAtOnce) {
  ReportPipe pipe;
  FdReportReader reader(std::move(pipe.device), true);
  std::array<std::uint8_t, 4> buffer{};
  ASSERT_EQ(reader.StartRead(buffer), ReadStart::kPending);

  const auto start = std::chrono::steady_clock::now();
  std::thread closer([&reader] { reader.Interrupt(); });
  const ReadWait result = reader.WaitRead(60s);
  const auto elapsed = std::chrono::steady_clock::now() - start;
  closer.join();

  EXPECT_EQ(result, ReadWait::kTimeout);
  EXPECT_LT(elapsed, 1s);
  RecordProperty(
      "wake_us",
      static_cast<int>(std::chrono::duration_cast<std::chrono::microseconds>(elapsed).count()));
}

TEST(FdReportReaderTest, InterruptIsStickyEvenWithAReportWaiting) {
  ReportPipe pipe;
  FdReportReader reader(std::move(pipe.device), true);
  std::array<std::uint8_t, 4> buffer{};
  ASSERT_EQ(reader.StartRead(buffer), ReadStart::kPending);
  reader.Interrupt();
  pipe.Send({3, 1, 2});
  for (int i = 0; i < 3; ++i) {
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(reader.WaitRead(60s), ReadWait::kTimeout);
    EXPECT_LT(std::chrono::steady_clock::now() - start, 1s);
  }
}

TEST(FdReportReaderTest, VanishedDeviceEndsReadingWithAnError) {
  {
    ReportPipe pipe;
    FdReportReader reader(std::move(pipe.device), true);
    std::array<std::uint8_t, 4> buffer{};
    ASSERT_EQ(reader.StartRead(buffer), ReadStart::kPending);
    pipe.peer.Reset();
    EXPECT_EQ(reader.WaitRead(5s), ReadWait::kError);
  }
  {
    ReportPipe pipe;
    FdReportReader reader(std::move(pipe.device), true);
    pipe.peer.Reset();
    std::array<std::uint8_t, 4> buffer{};
    EXPECT_EQ(reader.StartRead(buffer), ReadStart::kError);
  }
}

TEST(FdReportReaderTest, BufferWithoutRoomForAReportIsAnError) {
  ReportPipe pipe;
  FdReportReader numbered(std::move(pipe.device), true);
  EXPECT_EQ(numbered.StartRead({}), ReadStart::kError);

  ReportPipe other;
  FdReportReader unnumbered(std::move(other.device), false);
  std::array<std::uint8_t, 1> idOnly{};
  EXPECT_EQ(unnumbered.StartRead(idOnly), ReadStart::kError);
}

}  // namespace
}  // namespace kr35
