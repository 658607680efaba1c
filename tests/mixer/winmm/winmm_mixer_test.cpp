// The winmm backend against the platform's (Wine's) real mixer interface.
// Wine may report no mixer devices or a few; per-device checks run on what
// is there.
#include "mixer/winmm/winmm_mixer.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <vector>

#include "hid/win32/win32_window_queue.h"
#include "mixer/mixer_device.h"

namespace kr35 {
namespace {

// A queue that is a real window, as the dialog host's is.
class WindowQueue final : public Win32WindowQueue {
 public:
  WindowQueue()
      : window_(CreateWindowExA(0, "STATIC", "mixer notices", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                nullptr, nullptr)) {}
  ~WindowQueue() override { DestroyWindow(window_); }
  HWND Window() override { return window_; }
  void Post(const DialogMessage&) override {}

 private:
  HWND window_;
};

class NotAWindowQueue final : public DialogQueue {
 public:
  void Post(const DialogMessage&) override {}
};

TEST(WinmmMixerTest, OpensAndClosesEveryDevice) {
  WinmmMixer mixer;
  const std::uint32_t count = mixer.GetNumDevs();
  std::printf("[ INFO     ] %u mixer device(s)\n", count);
  WindowQueue windowQueue;
  ASSERT_NE(windowQueue.Window(), nullptr);
  NotAWindowQueue plainQueue;
  for (std::uint32_t index = 0; index < count; ++index) {
    for (DialogQueue* queue :
         {static_cast<DialogQueue*>(&windowQueue), static_cast<DialogQueue*>(&plainQueue),
          static_cast<DialogQueue*>(nullptr)}) {
      MixerHandle handle = kMixerNotOpen;
      ASSERT_EQ(mixer.Open(index, queue, handle), MMSYSERR_NOERROR) << "device " << index;
      EXPECT_NE(handle, kMixerNotOpen);
      MixerCaps caps;
      EXPECT_EQ(mixer.GetDevCaps(index, caps), MMSYSERR_NOERROR);
      std::printf("[ INFO     ] device %u: %.32s, %u destination(s)\n", index, caps.szPname,
                  caps.cDestinations);
      EXPECT_EQ(mixer.Close(handle), MMSYSERR_NOERROR);
    }
  }
}

TEST(WinmmMixerTest, DeviceBeyondTheCountIsRefused) {
  WinmmMixer mixer;
  const std::uint32_t count = mixer.GetNumDevs();
  MixerHandle handle = kMixerNotOpen;
  EXPECT_NE(mixer.Open(count, nullptr, handle), MMSYSERR_NOERROR);
  EXPECT_EQ(handle, kMixerNotOpen);
  MixerCaps caps;
  EXPECT_NE(mixer.GetDevCaps(count, caps), MMSYSERR_NOERROR);
}

TEST(WinmmMixerTest, ModelEnumeratesEveryDeviceWithoutFault) {
  WinmmMixer mixer;
  const std::uint32_t count = mixer.GetNumDevs();
  for (std::uint32_t index = 0; index < count; ++index) {
    MixerDevice device(mixer);
    if (!device.Open(index, nullptr)) continue;
    std::printf("[ INFO     ] device %u: %zu line(s)\n", index, device.Lines().size());
    device.Close();
    EXPECT_FALSE(device.IsOpen());
  }
}

TEST(WinmmMixerTest, RequestsOutsideTheSeamsRulesNeverReachThePlatform) {
  WinmmMixer mixer;
  const MixerHandle bogus = 0x5A5A;  // would make winmm answer MMSYSERR_INVALHANDLE
  MixerLineInfo line;
  EXPECT_EQ(mixer.GetLineInfo(bogus, line, 2), MMSYSERR_INVALPARAM);
  EXPECT_EQ(mixer.GetLineControls(bogus, 1, {}), MMSYSERR_INVALPARAM);
  std::int32_t one = 0;
  // Two channels do not fit a buffer of one value; neither does a request for none.
  EXPECT_EQ(mixer.GetControlDetails(bogus, {1, 2, 0}, {&one, 1}), MMSYSERR_INVALPARAM);
  EXPECT_EQ(mixer.GetControlDetails(bogus, {1, 1, 3}, {&one, 1}), MMSYSERR_INVALPARAM);
  EXPECT_EQ(mixer.GetControlDetails(bogus, {1, 0, 0}, {&one, 1}), MMSYSERR_INVALPARAM);
  EXPECT_EQ(mixer.SetControlDetails(bogus, {1, 2, 0}, {&one, 1}), MMSYSERR_INVALPARAM);
  // Within the rules the call goes through, and the platform refuses the handle.
  EXPECT_NE(mixer.GetControlDetails(bogus, {1, 1, 0}, {&one, 1}), MMSYSERR_NOERROR);
  EXPECT_NE(mixer.GetControlDetails(bogus, {1, 1, 0}, {&one, 1}), MMSYSERR_INVALPARAM);
}

}  // namespace
}  // namespace kr35
