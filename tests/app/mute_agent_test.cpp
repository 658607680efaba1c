// The agent on the simulated adapter: a mute press reaches the sound card
// that came after the adapter, or the one an audio system restart replaced;
// without a sound card it says so once. And the new-firmware notice: when it
// is due, and that a dismissal is remembered across runs.
#include "app/mute_agent.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "dialog_rig.h"

namespace kr35::testing {
namespace {

constexpr DialogMessage kMutePress{WM_HID_EVENT, 0x0C, 0xE2};

// A sound card that can be away (not yet there, or gone with its audio
// system): absent, it is not listed and its handles fail; a handle opened
// before it went away keeps failing after it is back.
class SoundCardSwitch final : public MixerApi {
 public:
  explicit SoundCardSwitch(SimMixer& inner) : inner_(inner) {}
  void SetPresent(bool present) {
    if (!present) ++generation_;
    present_ = present;
  }

  std::uint32_t GetNumDevs() override { return present_ ? inner_.GetNumDevs() : 0; }
  MMRESULT Open(std::uint32_t index, MixerCallbackWindow window, MixerHandle& handle) override {
    if (!present_) return MMSYSERR_BADDEVICEID;
    const MMRESULT result = inner_.Open(index, window, handle);
    if (result == MMSYSERR_NOERROR) opened_[handle] = generation_;
    return result;
  }
  MMRESULT GetDevCaps(std::uint32_t index, MixerCaps& caps) override {
    return present_ ? inner_.GetDevCaps(index, caps) : MMSYSERR_BADDEVICEID;
  }
  MMRESULT GetLineInfo(MixerHandle handle, MixerLineInfo& line, std::uint32_t flags) override {
    return Live(handle) ? inner_.GetLineInfo(handle, line, flags) : MMSYSERR_INVALHANDLE;
  }
  MMRESULT GetLineControls(MixerHandle handle, std::uint32_t lineId,
                           std::span<MixerControlInfo> controls) override {
    return Live(handle) ? inner_.GetLineControls(handle, lineId, controls) : MMSYSERR_INVALHANDLE;
  }
  MMRESULT GetControlDetails(MixerHandle handle, const MixerControlDetails& details,
                             std::span<std::int32_t> values) override {
    return Live(handle) ? inner_.GetControlDetails(handle, details, values) : MMSYSERR_INVALHANDLE;
  }
  MMRESULT SetControlDetails(MixerHandle handle, const MixerControlDetails& details,
                             std::span<const std::int32_t> values) override {
    return Live(handle) ? inner_.SetControlDetails(handle, details, values) : MMSYSERR_INVALHANDLE;
  }
  MMRESULT Close(MixerHandle handle) override {
    opened_.erase(handle);
    return inner_.Close(handle);
  }

 private:
  bool Live(MixerHandle handle) const {
    const auto it = opened_.find(handle);
    return present_ && it != opened_.end() && it->second == generation_;
  }
  SimMixer& inner_;
  bool present_ = true;
  int generation_ = 0;
  std::map<MixerHandle, int> opened_;
};

TEST(MuteAgentTest, APressReachesALateOrReplacedSoundCardAndAMissingOneIsSaidOnce) {
  enum class Card { kLate, kReplaced, kMissing };
  for (const Card card : {Card::kLate, Card::kReplaced, Card::kMissing}) {
    SCOPED_TRACE(static_cast<int>(card));
    DialogRig rig;
    SoundCardSwitch mixer(rig.mixer);
    const DialogEnvironment environment{*rig.sim, &rig.sim->Notifications(), mixer, kFastTiming};
    std::vector<std::string> problems;
    AgentSettings settings;
    settings.sayProblem = [&](const std::string& text) { problems.push_back(text); };
    if (card != Card::kReplaced) mixer.SetPresent(false);
    MuteAgent agent(rig.host, environment, settings);
    agent.OnDialogInit();
    if (card == Card::kReplaced) mixer.SetPresent(false);
    if (card != Card::kMissing) mixer.SetPresent(true);
    agent.OnMessage(kMutePress);
    agent.OnMessage(kMutePress);
    agent.OnMessage(kMutePress);
    EXPECT_EQ(rig.mixer.RecordMute(0), card == Card::kMissing ? 0 : 1);
    EXPECT_EQ(problems.size(), card == Card::kMissing ? 1u : 0u);
    EXPECT_TRUE(rig.ReceivedFrames().empty()) << "no notices: nothing is sent";
  }
}

TEST(FirmwareNoticeTest, DueOnlyWhenAPartIsOlderAndNoneNewer) {
  const InstalledVersions builtIn{0x0104, 0x0107};
  const struct {
    InstalledVersions installed;
    bool due;
  } rows[] = {{{0x0100, 0x0100}, true},  {{0x0104, 0x0100}, true},  {{0x00FF, 0x0107}, true},
              {{0x0104, 0x0107}, false}, {{0x0200, 0x0200}, false}, {{0x0100, 0x0200}, false}};
  for (const auto& row : rows) {
    EXPECT_EQ(NewFirmwareText(row.installed, builtIn).has_value(), row.due)
        << VersionsText(row.installed);
  }
  EXPECT_EQ(*NewFirmwareText({0x0100, 0x0100}, builtIn),
            "Firmware USB 0104, DSP 0107 is available for your KR35 adapter (installed: USB "
            "0100, DSP 0100)");
}

TEST(FirmwareNoticeTest, ADismissalIsKeptAcrossRunsAndAHostileFileIsBounded) {
  const auto dir =
      std::filesystem::temp_directory_path() / ("kr35_dismissed_" + std::to_string(::getpid()));
  std::filesystem::remove_all(dir);
  const auto file = dir / "kr35" / "agent-dismissed";
  const std::string key = DismissedNotices::KeyOf("SN\n1\x1b", "1.2.0");
  EXPECT_EQ(key, "SN?1? 1.2.0");
  std::string error;
  EXPECT_TRUE(DismissedNotices(file).Add(key, error)) << error;
  EXPECT_TRUE(DismissedNotices(file).Contains(key));
  EXPECT_FALSE(DismissedNotices(file).Contains(DismissedNotices::KeyOf("SN?1?", "1.3.0")));
  {
    std::ofstream out(file, std::ios::trunc);
    out << std::string(DismissedNotices::kMaxKeyLength + 1, 'x') << "\n";
    for (int i = 0; i < 1000; ++i) out << "k" << i << "\n";
  }
  DismissedNotices hostile(file);
  EXPECT_FALSE(hostile.Contains(std::string(DismissedNotices::kMaxKeyLength + 1, 'x')));
  EXPECT_TRUE(hostile.Contains("k0"));
  EXPECT_FALSE(hostile.Contains("k999")) << "at most kMaxKeys are read";
  std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace kr35::testing
