// Opening and closing the channel: stopping the reader, reusing buffers, and
// the state a reopened channel starts from.
#include <gtest/gtest.h>

#include <chrono>
#include <string>

#include "hid/fake_hid_backend.h"
#include "hid/hid_channel.h"
#include "hid/hid_channel_test_support.h"

namespace kr35::test {
namespace {

TEST(HidChannelLifecycle, CloseOnANeverOpenedChannelChangesNothing) {
  FakeHidBackend backend({AdapterDevice()});
  HidChannel channel(backend, FastTiming());
  channel.Close();
  channel.Close();
  EXPECT_FALSE(channel.IsOpen());
  EXPECT_FALSE(channel.ReaderStarted());
  EXPECT_TRUE(backend.Log().empty());
  EXPECT_EQ(channel.WriteCommand(MakeQueryFrame(CMD_VERSIONS)), 0);
}

TEST(HidChannelLifecycle, CloseWakesAnOutstandingReadAndReopenStartsClean) {
  FakeHidBackend backend({AdapterDevice()});
  RecordingQueue queue;
  HidChannel channel(backend, FastTiming());  // the reader waits 1000 ms per slice
  channel.SetNotifyWindow(&queue);
  ASSERT_EQ(channel.FindAdapter(), 1);
  ASSERT_TRUE(backend.WaitForReaderIdle());

  const auto start = std::chrono::steady_clock::now();
  channel.Close();
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(100));
  EXPECT_FALSE(channel.IsOpen());
  EXPECT_FALSE(channel.ReaderStarted());
  const auto stats = backend.GetStats();
  EXPECT_EQ(stats.interrupts, 1);
  EXPECT_EQ(stats.cancelRead, 1);
  EXPECT_EQ(stats.liveReadHandles, 0);
  if (kFakeTracksReaderExits) {
    EXPECT_EQ(stats.readerExits, 1);
  }

  // The new reader starts a read of its own (none pending) and works.
  ASSERT_EQ(channel.FindAdapter(), 1);
  ASSERT_TRUE(backend.WaitForReaderIdle());
  EXPECT_EQ(backend.GetStats().startReads, stats.startReads + 1);
  backend.SetWriteHook([&](auto) {
    backend.PushReport(ResponseReport({RSP_VERSIONS, 0x04, 0x01, 0x07, 0x01}));
  });
  std::string text;
  EXPECT_TRUE(channel.ExchangeOnce(MakeQueryFrame(CMD_VERSIONS), text));
  EXPECT_EQ(text, "USB 0104, DSP 0107");
}

TEST(HidChannelLifecycle, ReopenKeepsBuffersOfUnchangedLengthsAndResizesOthers) {
  FakeHidBackend backend({AdapterDevice()});
  std::span<const std::uint8_t> written;
  backend.SetWriteHook([&](std::span<const std::uint8_t> report) { written = report; });
  HidChannel channel(backend, FastTiming());
  auto openAndWrite = [&] {
    EXPECT_EQ(channel.FindAdapter(), 1);
    EXPECT_TRUE(backend.WaitForReaderIdle());
    EXPECT_EQ(channel.WriteCommand(MakeQueryFrame(CMD_VERSIONS)), 1);
  };

  openAndWrite();
  const std::span<std::uint8_t> input = backend.LastReadBuffer();
  const std::span<const std::uint8_t> output = written;
  EXPECT_EQ(input.size(), 6u);
  EXPECT_EQ(output.size(), 64u);

  openAndWrite();
  EXPECT_EQ(backend.LastReadBuffer().data(), input.data());
  EXPECT_EQ(written.data(), output.data());

  FakeDevice other = AdapterDevice();
  other.descriptor = AdapterLikeDescriptor(30, {5, 5});
  backend.SetDevices({other});
  openAndWrite();
  EXPECT_EQ(backend.LastReadBuffer().size(), 11u);
  EXPECT_EQ(written.size(), 32u);
  EXPECT_EQ(channel.OutputReportByteLength(), 32u);
}

TEST(HidChannelLifecycle, OpenWithoutReportDescriptionLeavesTheChannelClosed) {
  FakeDevice device = AdapterDevice();
  device.descriptor.reset();
  FakeHidBackend backend({device});
  HidChannel channel(backend, FastTiming());
  EXPECT_EQ(channel.FindAdapter(), 0);
  EXPECT_FALSE(channel.IsOpen());
  EXPECT_FALSE(channel.ReaderStarted());
  const auto stats = backend.GetStats();
  EXPECT_EQ(stats.liveReadHandles, 0);
  EXPECT_EQ(stats.openWrite, 0);
  EXPECT_EQ(stats.startReads, 0);
}

TEST(HidChannelLifecycle, DestroyingAnOpenChannelStopsItsReader) {
  FakeHidBackend backend({AdapterDevice()});
  {
    HidChannel channel(backend, FastTiming());
    ASSERT_EQ(channel.FindAdapter(), 1);
    ASSERT_TRUE(backend.WaitForReaderIdle());
  }
  const auto stats = backend.GetStats();
  if (kFakeTracksReaderExits) {
    EXPECT_EQ(stats.readerExits, 1);
  }
  EXPECT_EQ(stats.liveReadHandles, 0);
}

}  // namespace
}  // namespace kr35::test
