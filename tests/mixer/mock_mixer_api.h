// A gmock double of the mixer seam.
#pragma once

#include <gmock/gmock.h>

#include "mixer/mixer_api.h"

namespace kr35 {

class MockMixerApi : public MixerApi {
 public:
  MOCK_METHOD(std::uint32_t, GetNumDevs, (), (override));
  MOCK_METHOD(MMRESULT, Open, (std::uint32_t, MixerCallbackWindow, MixerHandle&), (override));
  MOCK_METHOD(MMRESULT, GetDevCaps, (std::uint32_t, MixerCaps&), (override));
  MOCK_METHOD(MMRESULT, GetLineInfo, (MixerHandle, MixerLineInfo&, std::uint32_t), (override));
  MOCK_METHOD(MMRESULT, GetLineControls, (MixerHandle, std::uint32_t, std::span<MixerControlInfo>),
              (override));
  MOCK_METHOD(MMRESULT, GetControlDetails,
              (MixerHandle, const MixerControlDetails&, std::span<std::int32_t>), (override));
  MOCK_METHOD(MMRESULT, SetControlDetails,
              (MixerHandle, const MixerControlDetails&, std::span<const std::int32_t>), (override));
  MOCK_METHOD(MMRESULT, Close, (MixerHandle), (override));
};

}  // namespace kr35
