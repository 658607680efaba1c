// The uhid bridge against a socket pair standing in for /dev/uhid.
#include "sim/uhid/uhid_adapter_bridge.h"

#include <gtest/gtest.h>
#include <sys/eventfd.h>

#include <thread>

#include "kernel/fake_uhid_kernel.h"

#include "protocol/frames.h"
#include "sim/scenario.h"
#include "sim/sim_report_descriptor.h"

namespace kr35 {
namespace {

class BridgeTest : public ::testing::Test {
 protected:
  void Start(const std::string& scenarioJson) {
    std::string error;
    auto scenario = ParseScenario(scenarioJson, error);
    ASSERT_TRUE(scenario) << error;
    settings_ = scenario->hid;
    backend_ = std::make_unique<SimHidBackend>(std::move(*scenario));
    stop_.Reset(::eventfd(0, EFD_CLOEXEC));
    bridge_ = std::make_unique<UhidAdapterBridge>(*backend_, settings_, kernel_.Opener());
    thread_ = std::thread([this] { served_ = bridge_->Run(stop_.Get(), runError_); });
  }

  void TearDown() override {
    if (thread_.joinable()) {
      eventfd_write(stop_.Get(), 1);
      thread_.join();
      EXPECT_TRUE(served_) << runError_;
    }
  }

  std::optional<uhid_event> Next() { return kernel_.Next(); }
  void Send(const uhid_event& event) { kernel_.Send(event); }

  // Output report 2 carrying `frame` in its command array.
  void SendCommand(const CommandFrame& frame) {
    uhid_event event{};
    event.type = UHID_OUTPUT;
    event.u.output.rtype = UHID_OUTPUT_REPORT;
    event.u.output.size = static_cast<__u16>(settings_.outputReportLength);
    event.u.output.data[0] = kSimCommandReportId;
    std::copy_n(frame.begin(), SimCommandArrayLength(settings_.outputReportLength),
                event.u.output.data + 1);
    Send(event);
  }

  HidSettings settings_;
  std::unique_ptr<SimHidBackend> backend_;
  FakeUhidKernel kernel_;
  UniqueFd stop_;
  std::unique_ptr<UhidAdapterBridge> bridge_;
  std::thread thread_;
  bool served_ = false;
  std::string runError_;
};

TEST_F(BridgeTest, CreatesTheScenariosAdapterWithItsDescriptor) {
  Start(R"({"hid": {"product_id": "0x0B72", "version_number": "0x0203",
                    "product": "Bench Adapter", "latency_ms": 0}})");
  const auto create = Next();
  ASSERT_TRUE(create);
  ASSERT_EQ(create->type, UHID_CREATE2);
  const uhid_create2_req& request = create->u.create2;
  EXPECT_EQ(request.bus, 0x03);
  EXPECT_EQ(request.vendor, 0x3C1Fu);
  EXPECT_EQ(request.product, 0x0B72u);
  EXPECT_EQ(request.version, 0x0203u);
  EXPECT_STREQ(reinterpret_cast<const char*>(request.name), "Bench Adapter");
  const std::vector<std::uint8_t> descriptor(request.rd_data, request.rd_data + request.rd_size);
  EXPECT_EQ(descriptor, backend_->ReportDescriptor());
}

TEST_F(BridgeTest, AnswersEachOutputReportWithAnInputReport) {
  Start(R"({"versions": {"usb": "0x0102", "dsp": "0x0304"}, "hid": {"latency_ms": 0}})");
  ASSERT_EQ(Next()->type, UHID_CREATE2);
  SendCommand(MakeQueryFrame(CMD_VERSIONS));
  const auto input = Next();
  ASSERT_TRUE(input);
  ASSERT_EQ(input->type, UHID_INPUT2);
  ASSERT_GE(input->u.input2.size, 6);
  const std::uint8_t* data = input->u.input2.data;
  EXPECT_EQ(data[0], kSimResponseReportId);
  EXPECT_EQ(std::vector<std::uint8_t>(data + 1, data + 6),
            (std::vector<std::uint8_t>{RSP_VERSIONS, 0x02, 0x01, 0x04, 0x03}));
}

TEST_F(BridgeTest, RefusesFeatureReportRequestsAtOnce) {
  Start(R"({"hid": {"latency_ms": 0}})");
  ASSERT_EQ(Next()->type, UHID_CREATE2);
  uhid_event get{};
  get.type = UHID_GET_REPORT;
  get.u.get_report.id = 41;
  Send(get);
  uhid_event set{};
  set.type = UHID_SET_REPORT;
  set.u.set_report.id = 42;
  Send(set);
  const auto getReply = Next();
  const auto setReply = Next();
  ASSERT_TRUE(getReply && setReply);
  EXPECT_EQ(getReply->type, UHID_GET_REPORT_REPLY);
  EXPECT_EQ(getReply->u.get_report_reply.id, 41u);
  EXPECT_NE(getReply->u.get_report_reply.err, 0);
  EXPECT_EQ(setReply->type, UHID_SET_REPORT_REPLY);
  EXPECT_EQ(setReply->u.set_report_reply.id, 42u);
  EXPECT_NE(setReply->u.set_report_reply.err, 0);
}

TEST_F(BridgeTest, ScenarioButtonUnplugAndReplugReachTheKernel) {
  Start(R"({"hid": {"latency_ms": 0, "events": [
      {"at_ms": 0, "button": {"code": "0x40", "usages": ["mute"]}},
      {"after_command": 1, "unplug": {"replug_after_ms": 10}}]}})");
  ASSERT_EQ(Next()->type, UHID_CREATE2);
  const auto button = Next();
  ASSERT_TRUE(button);
  ASSERT_EQ(button->type, UHID_INPUT2);
  EXPECT_EQ(button->u.input2.data[0], kSimButtonReportId);
  EXPECT_EQ(button->u.input2.data[1], 0x40);
  EXPECT_EQ(button->u.input2.data[2], 0x01);

  SendCommand(MakeQueryFrame(CMD_VERSIONS));
  // The answer may or may not get out before the unplug; then the device
  // is destroyed and created again.
  auto event = Next();
  if (event && event->type == UHID_INPUT2) event = Next();
  ASSERT_TRUE(event);
  EXPECT_EQ(event->type, UHID_DESTROY);
  const auto again = Next();
  ASSERT_TRUE(again);
  EXPECT_EQ(again->type, UHID_CREATE2);
}

TEST_F(BridgeTest, AdapterRestartsAfterAnAcceptedUsbFinish) {
  Start(R"({"hid": {"latency_ms": 0, "restart_ms": 5}})");
  ASSERT_EQ(Next()->type, UHID_CREATE2);
  // A one-block USB upgrade of 32 zero bytes: checksum 0.
  SendCommand(MakeWordFrame(CMD_USB_START, 1));
  std::array<std::uint8_t, 32> block{};
  SendCommand(MakeBlockFrame(CMD_USB_BLOCK, block));
  SendCommand(MakeWordFrame(CMD_USB_END, 0));
  SendCommand(MakeCodeFrame(CMD_USB_FINISH));
  for (int answer = 0; answer < 4; ++answer) {
    const auto input = Next();
    ASSERT_TRUE(input);
    ASSERT_EQ(input->type, UHID_INPUT2);
    EXPECT_EQ(input->u.input2.data[1], 0) << "answer " << answer;  // RSP_ACK
  }
  EXPECT_EQ(Next()->type, UHID_DESTROY);
  EXPECT_EQ(Next()->type, UHID_CREATE2);
}

}  // namespace
}  // namespace kr35
