#include "mixer/mixer_control.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "mixer/mock_mixer_api.h"

namespace kr35 {
namespace {

using ::testing::_;
using ::testing::ElementsAre;
using ::testing::Field;
using ::testing::Return;
using ::testing::StrictMock;

constexpr MixerHandle kHandle = 7;

MixerControlInfo Info(std::uint32_t type, std::uint32_t flags = 0, std::uint32_t items = 0) {
  MixerControlInfo info;
  info.dwControlID = 42;
  info.dwControlType = type;
  info.fdwControl = flags;
  info.cMultipleItems = items;
  return info;
}

struct ClassCase {
  std::uint32_t type;
  bool hasValue;
};

class MixerControlClassTest : public ::testing::TestWithParam<ClassCase> {};

TEST_P(MixerControlClassTest, OnlyMeterSwitchAndFaderReachThePlatform) {
  StrictMock<MockMixerApi> api;  // any unexpected call fails the test
  MixerControl control(api, Info(GetParam().type), 2, kHandle);
  if (GetParam().hasValue) {
    EXPECT_CALL(api, GetControlDetails(kHandle, _, _)).WillOnce(Return(MMSYSERR_NOERROR));
    EXPECT_CALL(api, SetControlDetails(kHandle, _, _)).WillOnce(Return(MMSYSERR_NOERROR));
    EXPECT_EQ(control.GetValue(), 0);
    EXPECT_EQ(control.SetValue(1), 0);
  } else {
    EXPECT_EQ(control.GetValue(), -1);
    EXPECT_EQ(control.SetValue(1), -1);
  }
}

INSTANTIATE_TEST_SUITE_P(Classes, MixerControlClassTest,
                         ::testing::Values(ClassCase{MIXERCONTROL_CONTROLTYPE_PEAKMETER, true},
                                           ClassCase{MIXERCONTROL_CONTROLTYPE_MUTE, true},
                                           ClassCase{MIXERCONTROL_CONTROLTYPE_VOLUME, true},
                                           ClassCase{MIXERCONTROL_CONTROLTYPE_CUSTOM, false},
                                           ClassCase{MIXERCONTROL_CT_CLASS_NUMBER | 1, false},
                                           ClassCase{MIXERCONTROL_CT_CLASS_SLIDER | 1, false},
                                           ClassCase{MIXERCONTROL_CT_CLASS_TIME | 1, false},
                                           ClassCase{MIXERCONTROL_CONTROLTYPE_MUX, false},
                                           ClassCase{0xF0000001, false}));

TEST(MixerControlTest, AsksForOneChannelAndItemsOnlyWithTheMultipleFlag) {
  StrictMock<MockMixerApi> api;
  auto request = [](std::uint32_t items) {
    return AllOf(Field(&MixerControlDetails::dwControlID, 42u),
                 Field(&MixerControlDetails::cChannels, 1u),
                 Field(&MixerControlDetails::cMultipleItems, items));
  };
  MixerControl single(api, Info(MIXERCONTROL_CONTROLTYPE_MUTE, 0, 5), 2, kHandle);
  MixerControl multiple(api, Info(MIXERCONTROL_CONTROLTYPE_MUTE, MIXERCONTROL_CONTROLF_MULTIPLE, 5),
                        2, kHandle);
  EXPECT_CALL(api, GetControlDetails(kHandle, request(0), _)).WillOnce(Return(MMSYSERR_NOERROR));
  EXPECT_CALL(api, GetControlDetails(kHandle, request(5), _))
      .WillOnce([](MixerHandle, const MixerControlDetails&, std::span<std::int32_t> values) {
        EXPECT_EQ(values.size(), 5u);
        values[0] = 1;
        return MMSYSERR_NOERROR;
      });
  EXPECT_CALL(api, SetControlDetails(kHandle, request(5), ElementsAre(1, 1, 1, 1, 1)))
      .WillOnce(Return(MMSYSERR_NOERROR));
  EXPECT_EQ(single.GetValue(), 0);
  EXPECT_EQ(multiple.GetValue(), 1);
  EXPECT_EQ(multiple.SetValue(1), 0);
}

TEST(MixerControlTest, ImplausibleItemCountFailsWithoutAPlatformCall) {
  StrictMock<MockMixerApi> api;
  MixerControl control(
      api, Info(MIXERCONTROL_CONTROLTYPE_MUTE, MIXERCONTROL_CONTROLF_MULTIPLE, 0xFFFFFFFF), 1,
      kHandle);
  EXPECT_EQ(control.GetValue(), -1);
  EXPECT_EQ(control.SetValue(0), -1);
}

TEST(MixerControlTest, ValuesAndFailures) {
  StrictMock<MockMixerApi> api;
  MixerControl control(api, Info(MIXERCONTROL_CONTROLTYPE_VOLUME), 2, kHandle);
  auto reads = [](std::int32_t value) {
    return [value](MixerHandle, const MixerControlDetails&, std::span<std::int32_t> values) {
      values[0] = value;
      return MMSYSERR_NOERROR;
    };
  };
  EXPECT_CALL(api, GetControlDetails(kHandle, _, _))
      .WillOnce(reads(0xFFFF))
      .WillOnce(reads(-1))  // a stored 0xFFFFFFFF is indistinguishable from failure
      .WillOnce(Return(MMSYSERR_INVALHANDLE));
  EXPECT_EQ(control.GetValue(), 0xFFFF);
  EXPECT_EQ(control.GetValue(), -1);
  EXPECT_EQ(control.GetValue(), -1);

  EXPECT_CALL(api, SetControlDetails(kHandle, _, ElementsAre(12345)))
      .WillOnce(Return(MMSYSERR_NOERROR))
      .WillOnce(Return(MMSYSERR_ERROR));
  EXPECT_EQ(control.SetValue(12345), 0);
  EXPECT_EQ(control.SetValue(12345), -1);
}

}  // namespace
}  // namespace kr35
