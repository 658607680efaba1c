#include "mixer/sim/sim_mixer.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "mixer/mixer_device.h"
#include "mixer/sim/sim_mixer_description.h"

namespace kr35 {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;

TEST(SimMixerDescriptionTest, ParsesEverySettingAndDefaultsTheRest) {
  const auto scenario = nlohmann::json::parse(R"([
    {"name": "USB Audio"},
    {"name": "KR35", "hasRecording": false, "muteValue": 4294967295, "hasPlayback": true,
     "refuseOpen": true, "refuseRead": true, "refuseWrite": true, "refuseClose": true}
  ])");
  std::vector<SimMixerDescription> devices;
  std::string error;
  ASSERT_TRUE(ParseSimMixers(scenario, devices, error)) << error;
  ASSERT_EQ(devices.size(), 2u);
  EXPECT_EQ(devices[0].name, "USB Audio");
  EXPECT_TRUE(devices[0].hasRecording);
  EXPECT_EQ(devices[0].muteValue, 0);
  EXPECT_FALSE(devices[0].hasPlayback || devices[0].refuseOpen || devices[0].refuseRead ||
               devices[0].refuseWrite || devices[0].refuseClose);
  EXPECT_FALSE(devices[1].hasRecording);
  EXPECT_EQ(devices[1].muteValue, -1);
  EXPECT_TRUE(devices[1].hasPlayback && devices[1].refuseOpen && devices[1].refuseRead &&
              devices[1].refuseWrite && devices[1].refuseClose);
}

TEST(SimMixerDescriptionTest, NullGivesTheDefaultMixerAndAnEmptyArrayNone) {
  std::vector<SimMixerDescription> devices;
  std::string error;
  ASSERT_TRUE(ParseSimMixers(nullptr, devices, error));
  ASSERT_EQ(devices.size(), 1u);
  EXPECT_EQ(devices[0].name, kDefaultSimMixerName);
  EXPECT_TRUE(devices[0].hasRecording);
  EXPECT_EQ(devices[0].muteValue, 0);
  ASSERT_TRUE(ParseSimMixers(nlohmann::json::array(), devices, error));
  EXPECT_TRUE(devices.empty());
}

TEST(SimMixerDescriptionTest, RejectsMalformedDescriptionsAndKeepsTheOldList) {
  struct Case {
    const char* json;
    const char* error;
  };
  for (const Case& c :
       {Case{R"({"name": "x"})", "must be an array"}, Case{R"([3])", "mixers[0] must be an object"},
        Case{R"([{"muteValue": 1}])", "has no \"name\""},
        Case{R"([{"name": 5}])", "name must be a string"},
        Case{R"([{"name": "a", "refuseRead": 1}])", "true or false"},
        Case{R"([{"name": "a", "muteValue": 4294967296}])", "32-bit"},
        Case{R"([{"name": "a", "muteValue": -2147483649}])", "32-bit"},
        Case{R"([{"name": "a", "muteValue": 0.5}])", "32-bit"},
        Case{R"([{"name": "a"}, {"name": "b", "mute": 1}])",
             "mixers[1].mute is not a mixer setting"}}) {
    std::vector<SimMixerDescription> devices = DefaultSimMixers();
    std::string error;
    EXPECT_FALSE(ParseSimMixers(nlohmann::json::parse(c.json), devices, error)) << c.json;
    EXPECT_THAT(error, HasSubstr(c.error));
    EXPECT_EQ(devices.size(), 1u);
  }
  std::vector<SimMixerDescription> devices;
  std::string error;
  nlohmann::json tooMany = nlohmann::json::array();
  for (std::size_t i = 0; i <= kMaxSimMixers; ++i) tooMany.push_back({{"name", "m"}});
  EXPECT_FALSE(ParseSimMixers(tooMany, devices, error));
}

TEST(SimMixerTest, PresentsPlaybackThenRecordingThroughTheModel) {
  SimMixerDescription description;
  description.name = "A rather long product name \xE2\x82\xAC\xE2\x82\xAC";  // 27 + 6 bytes
  description.hasPlayback = true;
  description.muteValue = 1;
  SimMixer sim({description});
  MixerDevice device(sim);
  ASSERT_TRUE(device.Open(0, nullptr));
  EXPECT_EQ(device.ProductName(), "A rather long product name \xE2\x82\xAC");
  ASSERT_EQ(device.Lines().size(), 2u);
  EXPECT_EQ(device.Lines()[0].ComponentType(), MIXERLINE_COMPONENTTYPE_DST_SPEAKERS);
  MixerLine* recording = device.FindLine(MIXERLINE_COMPONENTTYPE_DST_WAVEIN);
  ASSERT_NE(recording, nullptr);
  MixerControl* mute = recording->FindControl(MIXERCONTROL_CONTROLTYPE_MUTE);
  ASSERT_NE(mute, nullptr);
  EXPECT_EQ(mute->GetValue(), 1);
  EXPECT_EQ(mute->SetValue(0), 0);
  EXPECT_EQ(sim.RecordMute(0), 0);
  MixerControl* volume = device.FindLine(MIXERLINE_COMPONENTTYPE_DST_SPEAKERS)
                             ->FindControl(MIXERCONTROL_CONTROLTYPE_VOLUME);
  ASSERT_NE(volume, nullptr);
  EXPECT_EQ(volume->GetValue(), 0xFFFF);
}

TEST(SimMixerTest, TracesOpensValuesRefusalsAndCloses) {
  std::vector<std::string> trace;
  SimMixerDescription description;
  description.name = "KR35";
  description.refuseWrite = true;
  SimMixer sim({description}, [&](std::string_view line) { trace.emplace_back(line); });
  {
    MixerDevice device(sim);
    ASSERT_TRUE(device.Open(0, nullptr));
    MixerControl* mute = device.FindLine(MIXERLINE_COMPONENTTYPE_DST_WAVEIN)
                             ->FindControl(MIXERCONTROL_CONTROLTYPE_MUTE);
    EXPECT_EQ(mute->GetValue(), 0);
    EXPECT_EQ(mute->SetValue(1), -1);
  }
  EXPECT_THAT(
      trace,
      ElementsAre(
          R"({"mixer":"open","device":0,"handle":1})",
          R"({"mixer":"read","device":0,"line":"recording","control":"mute","value":0})",
          R"({"mixer":"write","device":0,"line":"recording","control":"mute","refused":true})",
          R"({"mixer":"close","device":0,"handle":1})"));
}

TEST(SimMixerTest, RefusedOpenAndStaleHandlesFail) {
  SimMixerDescription description;
  description.name = "KR35";
  description.refuseOpen = true;
  SimMixer sim({description});
  MixerHandle handle = kMixerNotOpen;
  EXPECT_NE(sim.Open(0, nullptr, handle), MMSYSERR_NOERROR);
  EXPECT_NE(sim.Open(1, nullptr, handle), MMSYSERR_NOERROR);
  MixerLineInfo line;
  EXPECT_NE(sim.GetLineInfo(99, line, MIXER_GETLINEINFOF_DESTINATION), MMSYSERR_NOERROR);
  EXPECT_NE(sim.Close(99), MMSYSERR_NOERROR);
}

}  // namespace
}  // namespace kr35
