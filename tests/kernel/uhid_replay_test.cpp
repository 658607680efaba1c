// kr35-sim --replay's uhid side against a socket pair standing in for
// /dev/uhid: a recording built here is presented, answered and departed from.
#include "sim/uhid/uhid_replay.h"

#include <gtest/gtest.h>
#include <sys/eventfd.h>

#include <thread>

#include "kernel/fake_uhid_kernel.h"

namespace kr35 {
namespace {

using Bytes = std::vector<std::uint8_t>;

// Report 1 (8 bits in) and report 2 (8 bits out), with and without report ids.
const Bytes kNumberedDescriptor = {0x06, 0x00, 0xFF, 0x09, 0x01, 0xA1, 0x01, 0x85,
                                   0x01, 0x75, 0x08, 0x95, 0x01, 0x09, 0x02, 0x81,
                                   0x02, 0x85, 0x02, 0x09, 0x03, 0x91, 0x02, 0xC0};
const Bytes kUnnumberedDescriptor = {0x06, 0x00, 0xFF, 0x09, 0x01, 0xA1, 0x01, 0x75, 0x08, 0x95,
                                     0x02, 0x09, 0x02, 0x81, 0x02, 0x09, 0x03, 0x91, 0x02, 0xC0};

RecordedDeviceEvent Read(Bytes report) {
  return {RecordedDeviceEvent::Kind::kRead, 0, 1, std::move(report), 0};
}
RecordedDeviceEvent Notice(std::uint32_t code) {
  return {RecordedDeviceEvent::Kind::kNotice, 0, 0, {}, code};
}

Recording MakeRecording(Bytes descriptor, std::vector<RecordedWrite> writes) {
  Recording recording;
  RecordedInterface adapter;
  adapter.readable = adapter.writable = true;
  adapter.attributes = HidAttributes{0x3C1F, 0x5E35, 0x0104};
  adapter.product = "Recorded Adapter";
  adapter.descriptor = std::move(descriptor);
  recording.interfaces["/dev/hidraw9"] = adapter;
  recording.writes = std::move(writes);
  return recording;
}

class UhidReplayTest : public ::testing::Test {
 protected:
  void Start(Recording recording) {
    stop_.Reset(::eventfd(0, EFD_CLOEXEC));
    replay_ = std::make_unique<UhidReplay>(std::move(recording), true, kernel_.Opener());
    thread_ = std::thread([this] { served_ = replay_->Run(stop_.Get(), runError_); });
  }
  // Waits for Run to return by itself.
  void Finish() {
    thread_.join();
    EXPECT_TRUE(served_) << runError_;
  }
  void TearDown() override {
    if (thread_.joinable()) {
      eventfd_write(stop_.Get(), 1);
      thread_.join();
    }
  }

  void Output(const Bytes& report) {
    uhid_event event{};
    event.type = UHID_OUTPUT;
    event.u.output.size = static_cast<__u16>(report.size());
    std::copy(report.begin(), report.end(), event.u.output.data);
    kernel_.Send(event);
  }
  void Close() {
    uhid_event event{};
    event.type = UHID_CLOSE;
    kernel_.Send(event);
  }
  // The next event, expected to be an input report: its bytes.
  Bytes NextInput() {
    const auto event = kernel_.Next();
    if (!event || event->type != UHID_INPUT2) return {0xEE};
    return Bytes(event->u.input2.data, event->u.input2.data + event->u.input2.size);
  }
  std::uint32_t NextType() {
    const auto event = kernel_.Next();
    return event ? event->type : 0;
  }

  FakeUhidKernel kernel_;
  UniqueFd stop_;
  std::unique_ptr<UhidReplay> replay_;
  std::thread thread_;
  bool served_ = false;
  std::string runError_;
};

TEST_F(UhidReplayTest, AnswersAsRecordedFollowsTheRestartAndStopsAtTheFirstDifference) {
  Start(MakeRecording(kNumberedDescriptor,
                      {{0,
                        "/dev/hidraw9",
                        {0x02, 0x10},
                        true,
                        {Read({0x01, 0x20}), Notice(DBT_DEVICEREMOVECOMPLETE),
                         Notice(DBT_DEVNODES_CHANGED), Notice(DBT_DEVICEARRIVAL)}},
                       {0, "/dev/hidraw4", {0x02, 0x11}, true, {Read({0x01, 0x21})}}}));
  const auto create = kernel_.Next();
  ASSERT_TRUE(create);
  ASSERT_EQ(create->type, UHID_CREATE2);
  EXPECT_EQ(create->u.create2.vendor, 0x3C1Fu);
  EXPECT_EQ(create->u.create2.product, 0x5E35u);
  EXPECT_EQ(create->u.create2.version, 0x0104u);
  EXPECT_STREQ(reinterpret_cast<const char*>(create->u.create2.name), "Recorded Adapter");
  EXPECT_EQ(Bytes(create->u.create2.rd_data, create->u.create2.rd_data + create->u.create2.rd_size),
            kNumberedDescriptor);

  Output({0x02, 0x10});
  EXPECT_EQ(NextInput(), (Bytes{0x01, 0x20}));
  EXPECT_EQ(NextType(), UHID_DESTROY);
  EXPECT_EQ(NextType(), UHID_CREATE2);

  Output({0x02, 0x12});  // the recorded path differs too: only a label here
  EXPECT_FALSE(kernel_.Next(100)) << "a device that departed from the recording answers nothing";
  Close();
  Finish();
  EXPECT_EQ(replay_->Diagnosis(),
            "output report 2 differs from the recording\n  recorded: 0211\n  written:  0212");
}

TEST_F(UhidReplayTest, UnnumberedReportsLoseTheirIdByteAndTheReplayEndsWhenTheHostCloses) {
  Start(MakeRecording(kUnnumberedDescriptor,
                      {{0, "p", {0x00, 0x10, 0x11}, false, {Read({0x00, 0x20, 0x21})}}}));
  ASSERT_EQ(NextType(), UHID_CREATE2);
  Output({0x00, 0x10, 0x11});
  EXPECT_EQ(NextInput(), (Bytes{0x20, 0x21}));
  Close();
  Finish();
  EXPECT_EQ(replay_->Diagnosis(), "");
}

TEST_F(UhidReplayTest, StoppedBeforeEveryRecordedReportWasWrittenIsNoSuccess) {
  Start(MakeRecording(kNumberedDescriptor, {{0, "p", {0x02, 0x10}, true, {}}}));
  ASSERT_EQ(NextType(), UHID_CREATE2);
  Close();  // no report written: not the end of the replay
  EXPECT_FALSE(kernel_.Next(100));
  eventfd_write(stop_.Get(), 1);
  Finish();
  EXPECT_EQ(replay_->Diagnosis(), "stopped after output report 0 of the 1 recorded");
}

TEST_F(UhidReplayTest, PastTheRecordingsEndTheDeviceIsGone) {
  Start(MakeRecording(kNumberedDescriptor, {}));
  ASSERT_EQ(NextType(), UHID_CREATE2);
  Output({0x02, 0x10});
  EXPECT_EQ(NextType(), UHID_DESTROY);
  Finish();
  EXPECT_EQ(replay_->Diagnosis(),
            "the recording ends before output report 1: the adapter is gone from then on");
}

}  // namespace
}  // namespace kr35
