#include "mixer/mixer_device.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "mixer/fake_mixer_layout.h"

namespace kr35 {
namespace {

using ::testing::_;
using ::testing::ElementsAre;
using ::testing::InSequence;
using ::testing::NiceMock;
using ::testing::Return;

constexpr std::uint32_t kWaveIn = MIXERLINE_COMPONENTTYPE_DST_WAVEIN;
constexpr std::uint32_t kSpeakers = MIXERLINE_COMPONENTTYPE_DST_SPEAKERS;
constexpr std::uint32_t kMic = MIXERLINE_COMPONENTTYPE_SRC_MICROPHONE;
constexpr std::uint32_t kMute = MIXERCONTROL_CONTROLTYPE_MUTE;

std::vector<std::uint32_t> LineIds(const MixerDevice& device) {
  std::vector<std::uint32_t> ids;
  for (const MixerLine& line : device.Lines()) ids.push_back(line.Info().dwLineID);
  return ids;
}

TEST(MixerDeviceTest, MixerWithoutDestinationsOpensWithNoLines) {
  NiceMock<MockMixerApi> api;
  ProgramFakeMixer(api, {});
  MixerDevice device(api);
  EXPECT_TRUE(device.Open(0, nullptr));
  EXPECT_TRUE(device.IsOpen());
  EXPECT_TRUE(device.Lines().empty());
  EXPECT_EQ(device.FindLine(kWaveIn), nullptr);
}

TEST(MixerDeviceTest, EnumeratesDestinationsThenTheirSourcesAndDropsUnreadableLines) {
  NiceMock<MockMixerApi> api;
  ProgramFakeMixer(
      api, {
               // Unreadable destination: its sources are never looked at.
               {kSpeakers, {kMute}, true, false, {{kMic, {kMute}}}},
               // Unreadable controls drop the destination but not its sources; an
               // unreadable source drops only itself.
               {kWaveIn, {kMute}, false, true, {{kMic, {}}, {kMic, {}, true}, {kMic, {kMute}}}},
               // Unreadable controls on a source drop only that source.
               {kSpeakers, {}, false, false, {{kMic, {kMute}, false, true}, {kMic, {}}}},
           });
  MixerDevice device(api);
  ASSERT_TRUE(device.Open(0, nullptr));
  EXPECT_THAT(LineIds(device), ElementsAre(101, 103, 200, 202));
  EXPECT_TRUE(device.Lines()[2].Controls().empty());
  EXPECT_EQ(device.Lines()[1].Controls().at(0).Info().dwControlID, 1031u);
  EXPECT_EQ(device.Lines()[1].Controls().at(0).Channels(), 2);
}

TEST(MixerDeviceTest, FindLineReturnsTheFirstLineInEnumerationOrder) {
  NiceMock<MockMixerApi> api;
  ProgramFakeMixer(api, {
                            {kSpeakers, {}, false, false, {{kWaveIn, {}}}},
                            {kWaveIn, {kMute, kMute}, false, false, {{kSpeakers, {}}}},
                        });
  MixerDevice device(api);
  ASSERT_TRUE(device.Open(0, nullptr));
  EXPECT_EQ(device.FindLine(kWaveIn)->Info().dwLineID, 1u);  // source of dest 0 before dest 1
  EXPECT_EQ(device.FindLine(kSpeakers)->Info().dwLineID, 0u);
  EXPECT_EQ(device.FindLine(kWaveIn + 100), nullptr);
  EXPECT_EQ(device.FindLine(kWaveIn)->FindControl(kMute), nullptr);
}

TEST(MixerDeviceTest, FindControlReturnsTheFirstControlOfThatType) {
  NiceMock<MockMixerApi> api;
  ProgramFakeMixer(api, {{kWaveIn, {MIXERCONTROL_CONTROLTYPE_VOLUME, kMute, kMute}}});
  MixerDevice device(api);
  ASSERT_TRUE(device.Open(0, nullptr));
  EXPECT_EQ(device.FindLine(kWaveIn)->FindControl(kMute)->Info().dwControlID, 2u);
}

TEST(MixerDeviceTest, FailedOpenLeavesTheDeviceClosed) {
  NiceMock<MockMixerApi> api;
  ProgramFakeMixer(api, {{kWaveIn, {kMute}}});
  EXPECT_CALL(api, Open(_, _, _)).WillOnce(Return(MMSYSERR_BADDEVICEID));
  EXPECT_CALL(api, GetDevCaps(_, _)).Times(0);
  MixerDevice device(api);
  EXPECT_FALSE(device.Open(3, nullptr));
  EXPECT_FALSE(device.IsOpen());
}

TEST(MixerDeviceTest, UnreadableCapabilitiesLeaveTheDeviceOpenWithoutLines) {
  NiceMock<MockMixerApi> api;
  ProgramFakeMixer(api, {{kWaveIn, {kMute}}});
  EXPECT_CALL(api, GetDevCaps(_, _)).WillOnce(Return(MMSYSERR_ERROR));
  EXPECT_CALL(api, GetLineInfo(_, _, _)).Times(0);
  MixerDevice device(api);
  EXPECT_FALSE(device.Open(0, nullptr));
  EXPECT_TRUE(device.IsOpen());
  EXPECT_TRUE(device.Lines().empty());
  EXPECT_EQ(device.ProductName(), "");
}

TEST(MixerDeviceTest, RefusedCloseKeepsEverythingAndTheNextOpenClosesFirst) {
  NiceMock<MockMixerApi> api;
  ProgramFakeMixer(api, {{kWaveIn, {kMute}}});
  MixerDevice device(api);
  ASSERT_TRUE(device.Open(0, nullptr));
  EXPECT_CALL(api, Close(kFakeHandle)).WillOnce(Return(MMSYSERR_ERROR));
  device.Close();
  EXPECT_TRUE(device.IsOpen());
  EXPECT_EQ(device.Lines().size(), 1u);
  EXPECT_EQ(device.ProductName(), "Fake Mixer");

  // Still refused: the open handle is kept rather than lost, and no second
  // device is opened.
  EXPECT_CALL(api, Close(kFakeHandle)).WillOnce(Return(MMSYSERR_ERROR));
  EXPECT_CALL(api, Open(_, _, _)).Times(0);
  EXPECT_FALSE(device.Open(1, nullptr));
  EXPECT_TRUE(device.IsOpen());
  ::testing::Mock::VerifyAndClearExpectations(&api);

  ProgramFakeMixer(api, {{kWaveIn, {kMute}}});
  {
    InSequence order;
    EXPECT_CALL(api, Close(kFakeHandle));
    EXPECT_CALL(api, Open(1, _, _));
    EXPECT_CALL(api, Close(kFakeHandle));  // destruction
  }
  EXPECT_TRUE(device.Open(1, nullptr));
}

TEST(MixerDeviceTest, OpeningAnotherIndexClosesTheFirstDevice) {
  NiceMock<MockMixerApi> api;
  ProgramFakeMixer(api, {{kWaveIn, {kMute}}});
  MixerDevice device(api);
  ASSERT_TRUE(device.Open(0, nullptr));
  {
    InSequence order;
    EXPECT_CALL(api, Close(kFakeHandle));
    EXPECT_CALL(api, Open(1, _, _));
    EXPECT_CALL(api, GetDevCaps(1, _));
    EXPECT_CALL(api, Close(kFakeHandle));  // destruction
  }
  EXPECT_TRUE(device.Open(1, nullptr));
}

TEST(MixerDeviceTest, CloseForgetsCapabilitiesAndLinesAndDestructionCloses) {
  NiceMock<MockMixerApi> api;
  ProgramFakeMixer(api, {{kWaveIn, {kMute}}});
  {
    MixerDevice device(api);
    ASSERT_TRUE(device.Open(0, nullptr));
    device.Close();
    EXPECT_FALSE(device.IsOpen());
    EXPECT_TRUE(device.Lines().empty());
    EXPECT_EQ(device.ProductName(), "");
    ASSERT_TRUE(device.Open(0, nullptr));
    EXPECT_CALL(api, Close(kFakeHandle)).Times(1);
  }
}

TEST(MixerDeviceTest, ProductNameStaysInsideAnUnterminatedCapabilitiesName) {
  NiceMock<MockMixerApi> api;
  ProgramFakeMixer(api, {});
  EXPECT_CALL(api, GetDevCaps(_, _)).WillOnce([](std::uint32_t, MixerCaps& caps) {
    std::fill(std::begin(caps.szPname), std::end(caps.szPname), 'A');
    return MMSYSERR_NOERROR;
  });
  MixerDevice device(api);
  ASSERT_TRUE(device.Open(0, nullptr));
  EXPECT_EQ(device.ProductName(), std::string(32, 'A'));
}

TEST(MixerDeviceTest, ImplausibleCountsAreBoundedInsteadOfTrusted) {
  NiceMock<MockMixerApi> api;
  ProgramFakeMixer(api, {});
  ON_CALL(api, GetDevCaps(_, _)).WillByDefault([](std::uint32_t, MixerCaps& caps) {
    caps.cDestinations = 0xFFFFFFFF;
    return MMSYSERR_NOERROR;
  });
  ON_CALL(api, GetLineInfo(_, _, _))
      .WillByDefault([](MixerHandle, MixerLineInfo& info, std::uint32_t flags) {
        if (flags == MIXER_GETLINEINFOF_SOURCE) return MIXERR_INVALLINE;
        info.cConnections = 0xFFFFFFFF;
        info.cControls = 0xFFFFFFFF;
        return MMSYSERR_NOERROR;
      });
  EXPECT_CALL(api, GetLineControls(_, _, _)).Times(0);
  MixerDevice device(api);
  EXPECT_TRUE(device.Open(0, nullptr));
  EXPECT_TRUE(device.Lines().empty());
}

}  // namespace
}  // namespace kr35
