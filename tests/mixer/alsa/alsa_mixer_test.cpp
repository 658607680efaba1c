// Runs against the machine's first sound card; skipped where there is none.
#include "mixer/alsa/alsa_mixer.h"

#include <gtest/gtest.h>

#include "mixer/headset_mixer.h"
#include "mixer/mixer_device.h"

namespace kr35 {
namespace {

TEST(AlsaMixerTest, FirstSoundCardOpensWithItsNameAndReadableMutes) {
  AlsaMixer alsa;
  if (alsa.GetNumDevs() == 0) GTEST_SKIP() << "no sound card on this machine";

  MixerDevice device(alsa);
  ASSERT_TRUE(device.Open(0, nullptr));
  EXPECT_FALSE(device.ProductName().empty());
  EXPECT_LE(device.ProductName().size(), 31u);
  for (const MixerLine& line : device.Lines()) {
    EXPECT_TRUE(line.ComponentType() == MIXERLINE_COMPONENTTYPE_DST_WAVEIN ||
                line.ComponentType() == MIXERLINE_COMPONENTTYPE_DST_SPEAKERS);
  }
  if (MixerLine* recording = device.FindLine(MIXERLINE_COMPONENTTYPE_DST_WAVEIN)) {
    MixerControl* mute = recording->FindControl(MIXERCONTROL_CONTROLTYPE_MUTE);
    ASSERT_NE(mute, nullptr);
    const std::int32_t value = mute->GetValue();
    EXPECT_TRUE(value == 0 || value == 1) << value;
  }
  device.Close();
  EXPECT_FALSE(device.IsOpen());

  // Opening every card must not fail hard, whatever its controls.
  HeadsetMixer headset(alsa);
  headset.Bind(nullptr);
  headset.Unbind();
}

TEST(AlsaMixerTest, OutOfRangeIndexAndUnknownHandleFail) {
  AlsaMixer alsa;
  MixerHandle handle = kMixerNotOpen;
  MixerCaps caps;
  EXPECT_NE(alsa.Open(alsa.GetNumDevs(), nullptr, handle), MMSYSERR_NOERROR);
  EXPECT_NE(alsa.GetDevCaps(alsa.GetNumDevs(), caps), MMSYSERR_NOERROR);
  MixerLineInfo line;
  EXPECT_NE(alsa.GetLineInfo(12345, line, MIXER_GETLINEINFOF_DESTINATION), MMSYSERR_NOERROR);
  EXPECT_NE(alsa.Close(12345), MMSYSERR_NOERROR);
}

}  // namespace
}  // namespace kr35
