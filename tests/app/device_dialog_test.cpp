// The behaviour both dialogs share: start-up, plug and unplug, the Version
// button and the headset's mute button, against the simulated adapter.
#include <gtest/gtest.h>

#include <functional>

#include "app/dialog_ids.h"
#include "app/full_dialog.h"
#include "app/standard_dialog.h"
#include "dialog_rig.h"

namespace kr35 {
namespace {

using namespace std::chrono_literals;

using testing::DialogRig;

constexpr std::uint8_t kVersionsQuery = 0x9C;

using DialogFactory =
    std::function<std::unique_ptr<DeviceDialog>(DialogHost&, const DialogEnvironment&)>;

const std::vector<std::pair<const char*, DialogFactory>> kBothDialogs = {
    {"standard",
     [](DialogHost& host, const DialogEnvironment& env) {
       return std::make_unique<StandardDialog>(host, env);
     }},
    {"full", [](DialogHost& host, const DialogEnvironment& env) {
       return std::make_unique<FullDialog>(host, env);
     }}};

TEST(DeviceDialogStartTest, WithoutAdapterPromptsAndDisablesBothButtons) {
  for (const auto& [name, make] : kBothDialogs) {
    SCOPED_TRACE(name);
    DialogRig rig(R"({"hid": {"adapter": false}})");
    const auto dialog = make(rig.host, rig.Environment());
    EXPECT_TRUE(dialog->OnDialogInit());

    EXPECT_FALSE(rig.host.TextHistory(kInfoLine).empty());  // the template's "info" is replaced
    EXPECT_EQ(rig.host.Text(kInfoLine), "");
    EXPECT_EQ(rig.host.Text(kVersionLine), "Plug in KR35 hardware");
    EXPECT_FALSE(rig.host.IsEnabled(kVersionButton));
    EXPECT_FALSE(rig.host.IsEnabled(kDownloadButton));
    EXPECT_EQ(rig.host.systemMenu,
              (std::vector<std::pair<int, std::string>>{{16, "&About KR35test..."}}));
    EXPECT_EQ(rig.host.icon, 128);
    EXPECT_TRUE(rig.host.boxes.empty());
  }
}

TEST(DeviceDialogStartTest, WithAdapterShowsInstalledVersionsAndEnablesBothButtons) {
  for (const auto& [name, make] : kBothDialogs) {
    SCOPED_TRACE(name);
    DialogRig rig(R"({"versions": {"usb": "0x0123", "dsp": "0xbeef"}})");
    const auto dialog = make(rig.host, rig.Environment());
    dialog->OnDialogInit();

    EXPECT_EQ(rig.host.Text(kVersionLine), "USB 0123, DSP beef");
    EXPECT_TRUE(rig.host.IsEnabled(kVersionButton));
    EXPECT_TRUE(rig.host.IsEnabled(kDownloadButton));
    EXPECT_EQ(rig.host.Text(kInfoLine), "");
    EXPECT_TRUE(dialog->Mixer().IsBound());
    EXPECT_EQ(rig.ReceivedFrames().size(), 1u);  // the versions query only
  }
}

TEST(DeviceDialogStartTest, UnansweredVersionsQueryBlanksTheLineButKeepsButtonsEnabled) {
  DialogRig rig(R"({"rules": [{"match": {"command": "CMD_VERSIONS"}, "answer": "silence",
                               "times": "always"}]})",
                {.responseWait = 5ms, .retryPause = 1ms, .readSlice = 50ms});
  StandardDialog dialog(rig.host, rig.Environment());
  dialog.OnDialogInit();
  EXPECT_EQ(rig.host.Text(kVersionLine), "");
  EXPECT_TRUE(rig.host.IsEnabled(kDownloadButton));
  EXPECT_EQ(rig.ReceivedFrames(kVersionsQuery).size(), 10u);
}

TEST(DeviceDialogPlugTest, ArrivalOnlyArmsTheRefreshThatTheNextTreeChangeRuns) {
  DialogRig rig;
  rig.sim->Unplug(0);
  StandardDialog dialog(rig.host, rig.Environment());
  dialog.OnDialogInit();
  ASSERT_EQ(rig.host.Text(kVersionLine), "Plug in KR35 hardware");

  // A tree change without an arrival before it does nothing.
  dialog.OnMessage({WM_DEVICECHANGE, DBT_DEVNODES_CHANGED, 0});
  EXPECT_FALSE(rig.host.IsEnabled(kDownloadButton));

  rig.sim->Replug(0);  // posts the arrival, then the tree change
  ASSERT_TRUE(rig.host.WaitForPosted(2));
  EXPECT_EQ(rig.host.DispatchOne(dialog)->wParam, DBT_DEVICEARRIVAL);
  EXPECT_TRUE(dialog.ArrivalPending());
  EXPECT_EQ(rig.host.Text(kVersionLine), "Plug in KR35 hardware");
  EXPECT_FALSE(rig.host.IsEnabled(kDownloadButton));
  EXPECT_TRUE(rig.ReceivedFrames().empty());

  EXPECT_EQ(rig.host.DispatchOne(dialog)->wParam, DBT_DEVNODES_CHANGED);
  EXPECT_FALSE(dialog.ArrivalPending());
  EXPECT_EQ(rig.host.Text(kVersionLine), "USB 0100, DSP 0100");
  EXPECT_TRUE(rig.host.IsEnabled(kVersionButton));
  EXPECT_TRUE(rig.host.IsEnabled(kDownloadButton));
  EXPECT_TRUE(dialog.Mixer().IsBound());

  // The refresh is spent: a further tree change queries nothing.
  dialog.OnMessage({WM_DEVICECHANGE, DBT_DEVNODES_CHANGED, 0});
  EXPECT_EQ(rig.ReceivedFrames().size(), 1u);
}

TEST(DeviceDialogPlugTest, RemovalOfAnotherDeviceKeepsTheChannelAndTheButtons) {
  DialogRig rig;
  StandardDialog dialog(rig.host, rig.Environment());
  dialog.OnDialogInit();

  dialog.OnMessage({WM_DEVICECHANGE, DBT_DEVICEREMOVECOMPLETE, 0});  // say, a mouse
  EXPECT_EQ(rig.host.Text(kVersionLine), "Plug in KR35 hardware");
  EXPECT_TRUE(rig.host.IsEnabled(kVersionButton));
  EXPECT_TRUE(rig.host.IsEnabled(kDownloadButton));
  EXPECT_FALSE(dialog.Mixer().IsBound());
  EXPECT_TRUE(dialog.Channel().ReaderStarted());

  dialog.OnCommand(kVersionButton);
  EXPECT_EQ(rig.host.Text(kVersionLine), "USB 0100, DSP 0100");
  EXPECT_EQ(rig.ReceivedFrames(kVersionsQuery).size(), 2u);
}

TEST(DeviceDialogPlugTest, AfterTheAdapterItselfLeftVersionBlanksTheLine) {
  DialogRig rig;
  StandardDialog dialog(rig.host, rig.Environment());
  dialog.OnDialogInit();
  rig.sim->Unplug(0);
  ASSERT_TRUE(rig.host.WaitForPosted(2));
  rig.host.Dispatch(dialog);
  EXPECT_EQ(rig.host.Text(kVersionLine), "Plug in KR35 hardware");
  EXPECT_TRUE(rig.host.IsEnabled(kVersionButton));

  dialog.OnCommand(kVersionButton);  // every write fails at once
  EXPECT_EQ(rig.host.Text(kVersionLine), "");
}

TEST(DeviceDialogHidEventTest, OnlyTheMuteUsagesToggleTheRecordingMute) {
  // Button code 0x40 with Mute on: the reader posts usage 1, then usage 0xE2.
  DialogRig rig(R"({"hid": {"events": [{"after_command": 1,
                                        "button": {"code": "0x40", "usages": ["mute"]}}]}})");
  StandardDialog dialog(rig.host, rig.Environment());
  dialog.OnDialogInit();
  ASSERT_EQ(rig.mixer.RecordMute(0), 0);
  ASSERT_TRUE(rig.host.WaitForPosted(2));
  const auto handled = rig.host.Dispatch(dialog);
  ASSERT_EQ(handled.size(), 2u);
  EXPECT_EQ(handled[0].lParam, 1);
  EXPECT_EQ(handled[1].lParam, 0xE2);
  EXPECT_EQ(rig.mixer.RecordMute(0), 1);

  const struct {
    std::uintptr_t page;
    std::intptr_t usage;
    std::int32_t muteAfter;
  } kEvents[] = {{0x0C, 0xE9, 1},   {0x0C, 0xEA, 1},   {0x0C, 1, 1},    {0x0B, 0xE2, 1},
                 {0x0C, 0x5101, 0}, {0x0C, 0x5101, 1}, {0x0C, 0xE2, 0}, {0x0C, 0xE3, 0}};
  for (const auto& event : kEvents) {
    SCOPED_TRACE(::testing::Message() << event.page << "/" << event.usage);
    EXPECT_EQ(dialog.OnHidEvent(event.page, event.usage), 1);
    EXPECT_EQ(rig.mixer.RecordMute(0), event.muteAfter);
  }
}

}  // namespace
}  // namespace kr35
