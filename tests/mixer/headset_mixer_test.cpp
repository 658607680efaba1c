#include "mixer/headset_mixer.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "mixer/mock_mixer_api.h"
#include "mixer/sim/sim_mixer.h"

namespace kr35 {
namespace {

using ::testing::_;
using ::testing::Contains;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::Not;
using ::testing::Return;
using ::testing::StrictMock;

SimMixerDescription Named(std::string name, std::int32_t mute = 0) {
  SimMixerDescription description;
  description.name = std::move(name);
  description.muteValue = mute;
  return description;
}

// A SimMixer whose trace is collected, for checking which platform calls a
// step made.
struct TracedSim {
  explicit TracedSim(std::vector<SimMixerDescription> descriptions)
      : sim(std::move(descriptions), [this](std::string_view line) { trace.emplace_back(line); }) {}
  std::vector<std::string> TakeTrace() { return std::exchange(trace, {}); }
  std::vector<std::string> trace;
  SimMixer sim;
};

struct NameCase {
  const char* name;
  bool matches;
};

class HeadsetMixerNameTest : public ::testing::TestWithParam<NameCase> {};

TEST_P(HeadsetMixerNameTest, MatchesAMarkerAtACharacterStart) {
  EXPECT_EQ(IsHeadsetMixerName(GetParam().name), GetParam().matches) << GetParam().name;
}

INSTANTIATE_TEST_SUITE_P(
    Names, HeadsetMixerNameTest,
    ::testing::Values(NameCase{"USB Audio Device", true}, NameCase{"Speakers (KR35)", true},
                      NameCase{"Quorvellane Headset", true}, NameCase{"usb audio", false},
                      NameCase{"kr35", false}, NameCase{"Realtek HD Audio", false},
                      NameCase{"", false}, NameCase{"US", false},
                      // after a multibyte character
                      NameCase{"\xC3\xA9USB", true}, NameCase{"\xE2\x82\xAC KR35", true},
                      // combining mark between the letters
                      NameCase{"US\xCC\x80"
                               "B",
                               false},
                      // invalid UTF-8: a bad lead byte, a stray continuation, a
                      // lead byte cut short by the marker itself, a truncated tail
                      NameCase{"\xFF"
                               "USB",
                               true},
                      NameCase{"\x80\x80KR35", true}, NameCase{"\xE2KR35", true},
                      NameCase{"\xC3USB", true}, NameCase{"Audio \xF0\x9F", false}));

TEST(HeadsetMixerTest, BindsTheFirstDeviceWhoseNameHoldsAnyMarker) {
  TracedSim mixers(
      {Named("Realtek HD Audio"), Named("USB Audio CODEC"), Named("KR35 Headset Adapter")});
  HeadsetMixer headset(mixers.sim);
  EXPECT_TRUE(headset.Bind(nullptr));
  EXPECT_TRUE(headset.IsBound());
  EXPECT_EQ(headset.Device().ProductName(), "USB Audio CODEC");
  EXPECT_EQ(mixers.sim.OpenHandleCount(), 1u);  // the rejected candidate was closed
}

TEST(HeadsetMixerTest, NoMatchingMixerLeavesEverythingClosed) {
  for (auto descriptions : {std::vector<SimMixerDescription>{},
                            std::vector<SimMixerDescription>{Named("usb audio"), Named("HDMI")}}) {
    SimMixer sim(descriptions);
    HeadsetMixer headset(sim);
    EXPECT_FALSE(headset.Bind(nullptr));
    EXPECT_FALSE(headset.IsBound());
    EXPECT_FALSE(headset.Device().IsOpen());
    EXPECT_EQ(sim.OpenHandleCount(), 0u);
    EXPECT_EQ(headset.GetRecordMute(), -1);
  }
}

TEST(HeadsetMixerTest, EachPressTogglesTheRecordingMute) {
  SimMixer sim({Named("KR35 Headset Adapter", 0)});
  HeadsetMixer headset(sim);
  ASSERT_TRUE(headset.Bind(nullptr));
  headset.ToggleRecordMute();
  EXPECT_EQ(sim.RecordMute(0), 1);
  EXPECT_EQ(headset.GetRecordMute(), 1);
  headset.ToggleRecordMute();
  EXPECT_EQ(sim.RecordMute(0), 0);
}

TEST(HeadsetMixerTest, AnyValueButZeroAndAFailedReadMakeThePressUnmute) {
  for (const std::int32_t start : {1, 5, -7}) {
    SimMixer sim({Named("KR35", start)});
    HeadsetMixer headset(sim);
    ASSERT_TRUE(headset.Bind(nullptr));
    headset.ToggleRecordMute();
    EXPECT_EQ(sim.RecordMute(0), 0) << start;
  }
  SimMixerDescription refusing = Named("KR35", 0);
  refusing.refuseRead = true;
  TracedSim mixers({refusing});
  HeadsetMixer headset(mixers.sim);
  ASSERT_TRUE(headset.Bind(nullptr));
  mixers.TakeTrace();
  headset.ToggleRecordMute();
  EXPECT_EQ(mixers.sim.RecordMute(0), 0);
  EXPECT_THAT(mixers.TakeTrace(), Contains(HasSubstr(R"("mixer":"write")")));
}

TEST(HeadsetMixerTest, PressesWhileUnboundTouchNothing) {
  TracedSim mixers({Named("KR35 Headset Adapter", 0)});
  HeadsetMixer headset(mixers.sim);
  headset.ToggleRecordMute();  // never bound
  ASSERT_TRUE(headset.Bind(nullptr));
  headset.Unbind();
  EXPECT_FALSE(headset.IsBound());
  mixers.TakeTrace();
  headset.ToggleRecordMute();
  EXPECT_EQ(headset.SetRecordMute(1), -1);
  EXPECT_THAT(mixers.TakeTrace(), IsEmpty());
  EXPECT_EQ(mixers.sim.RecordMute(0), 0);
}

TEST(HeadsetMixerTest, ChosenMixerWithoutRecordingMuteIgnoresPresses) {
  SimMixerDescription playbackOnly = Named("USB Speakers");
  playbackOnly.hasRecording = false;
  playbackOnly.hasPlayback = true;
  TracedSim mixers({playbackOnly, Named("KR35")});
  HeadsetMixer headset(mixers.sim);
  ASSERT_TRUE(headset.Bind(nullptr));  // the name decides, not the lines
  EXPECT_EQ(headset.Device().ProductName(), "USB Speakers");
  mixers.TakeTrace();
  EXPECT_EQ(headset.GetRecordMute(), -1);
  headset.ToggleRecordMute();
  EXPECT_THAT(mixers.TakeTrace(), IsEmpty());
}

TEST(HeadsetMixerTest, BindWhileBoundClosesFirstAndSearchesFromIndexZero) {
  StrictMock<MockMixerApi> api;
  EXPECT_CALL(api, GetNumDevs()).WillRepeatedly(Return(2));
  EXPECT_CALL(api, GetDevCaps(_, _)).WillRepeatedly([](std::uint32_t index, MixerCaps& caps) {
    caps.szPname[0] = index == 0 ? 'X' : 'U';  // only index 1 is "USB"
    caps.szPname[1] = 'S';
    caps.szPname[2] = 'B';
    return MMSYSERR_NOERROR;
  });
  MixerHandle next = 10;
  ON_CALL(api, Open(_, _, _))
      .WillByDefault([&next](std::uint32_t, MixerCallbackWindow, MixerHandle& handle) {
        handle = next++;
        return MMSYSERR_NOERROR;
      });
  {
    ::testing::InSequence order;
    EXPECT_CALL(api, Open(0, _, _));
    EXPECT_CALL(api, Close(10)).WillOnce(Return(MMSYSERR_NOERROR));
    EXPECT_CALL(api, Open(1, _, _));
    EXPECT_CALL(api, Close(11)).WillOnce(Return(MMSYSERR_NOERROR));
    EXPECT_CALL(api, Open(0, _, _));
    EXPECT_CALL(api, Close(12)).WillOnce(Return(MMSYSERR_NOERROR));
    EXPECT_CALL(api, Open(1, _, _));
    EXPECT_CALL(api, Close(13)).WillOnce(Return(MMSYSERR_NOERROR));  // destruction
  }
  HeadsetMixer headset(api);
  EXPECT_TRUE(headset.Bind(nullptr));
  EXPECT_TRUE(headset.Bind(nullptr));
  EXPECT_EQ(headset.Device().Handle(), 13u);
}

TEST(HeadsetMixerTest, RefusedCloseOnUnbindStillUnbindsAndIsRetriedOnBind) {
  SimMixerDescription stubborn = Named("KR35", 0);
  stubborn.refuseClose = true;
  TracedSim mixers({stubborn});
  HeadsetMixer headset(mixers.sim);
  ASSERT_TRUE(headset.Bind(nullptr));
  headset.Unbind();
  EXPECT_FALSE(headset.IsBound());
  EXPECT_TRUE(headset.Device().IsOpen());
  mixers.TakeTrace();
  headset.ToggleRecordMute();  // the device left open is not bound
  EXPECT_THAT(mixers.TakeTrace(), IsEmpty());
  EXPECT_FALSE(headset.Bind(nullptr));
  EXPECT_THAT(mixers.TakeTrace(), Contains(HasSubstr(R"("mixer":"close")")));
  EXPECT_EQ(mixers.sim.OpenHandleCount(), 1u);  // no second handle next to the stuck one
}

}  // namespace
}  // namespace kr35
