// The HID channel on the simulated adapter: the two meet only through the seams.
#include <gtest/gtest.h>

#include <chrono>

#include "hid/hid_channel.h"
#include "hid/recording_queue.h"
#include "sim/sim_hid_backend.h"

namespace kr35 {
namespace {

using namespace std::chrono_literals;

TEST(SimChannelTest, ChannelFindsTheAdapterExchangesCommandsAndSeesButtons) {
  std::string error;
  auto scenario = ParseScenario(R"({"hid": {
      "devices_before": [{}, {"vendor_id": "0x3C1F", "product_id": "0x5E35", "product": null}],
      "events": [{"after_command": 1, "button": {"code": 2, "usages": ["mute"]}}]}})",
                                error);
  ASSERT_TRUE(scenario) << error;
  SimHidBackend backend(*scenario);
  Timing timing;
  timing.readSlice = 20ms;
  HidChannel channel(backend, timing);
  test::RecordingQueue queue;
  channel.SetNotifyWindow(&queue);
  ASSERT_EQ(channel.FindAdapter(), 1);
  EXPECT_EQ(channel.DevicePath(), "sim:adapter0");
  EXPECT_EQ(channel.OutputReportByteLength(), 64);

  std::string text;
  ASSERT_TRUE(channel.ExchangeOnce(MakeQueryFrame(CMD_VERSIONS), text));
  EXPECT_EQ(text, "USB 0100, DSP 0100");
  const auto messages = queue.WaitFor(2);
  ASSERT_EQ(messages.size(), 2u);
  EXPECT_EQ(messages[0].message, WM_HID_EVENT);
  EXPECT_EQ(messages[0].lParam, 0xE9);  // button code 2: Volume Increment
  EXPECT_EQ(messages[1].wParam, 0x0Cu);
  EXPECT_EQ(messages[1].lParam, 0xE2);  // the mute usage
  channel.Close();
}

}  // namespace
}  // namespace kr35
