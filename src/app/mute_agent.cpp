#include "app/mute_agent.h"

#include "app/dialog_ids.h"
#include "hid/printable_text.h"

namespace kr35 {
namespace {

constexpr const char* kNoAdapterState = "No KR35 adapter";
constexpr const char* kMirroringState = "KR35 adapter: the mute button is mirrored";
constexpr const char* kSteppedBackState = "KR35 adapter: in use by KR35 Download Utility";
constexpr const char* kNoSoundCardState = "KR35 adapter: its sound card was not found";

}  // namespace

DialogEnvironment MuteAgent::AgentEnvironment(DialogEnvironment environment) {
  environment.holdMirrorMark = false;
  environment.timing.claimWait = {};  // another program's exchange is never waited for
  return environment;
}

MuteAgent::MuteAgent(DialogHost& host, DialogEnvironment environment, AgentSettings settings)
    : DeviceDialog(kStandardDialogId, host, AgentEnvironment(environment)),
      hid_(environment.hid),
      settings_(std::move(settings)),
      dismissed_(settings_.dismissedFile) {
  SetObserver(this);
}

void MuteAgent::RefreshDevice() {
  Adapter& adapter = GetAdapter();
  if (!adapter.OpenFirst()) {
    steppedBackKey_.reset();
    Mixer().Unbind();
    State(kNoAdapterState);
    return;
  }
  if (adapter.MirrorMarkHeld()) {
    StepBack();
    return;
  }
  steppedBackKey_.reset();
  State(Mixer().Bind(&host_) ? kMirroringState : kNoSoundCardState);
  CheckFirmware();
}

void MuteAgent::StepBack() {
  steppedBackKey_ = MirrorKey(GetAdapter().Identity());
  GetAdapter().Close();
  Mixer().Unbind();
  State(kSteppedBackState);
}

void MuteAgent::Recheck() {
  if (steppedBackKey_ && !hid_.MirrorMarkHeld(*steppedBackKey_)) RefreshDevice();
}

std::optional<std::chrono::milliseconds> MuteAgent::WaitLimit() const {
  if (SteppedBack()) return kRecheckInterval;
  return std::nullopt;
}

void MuteAgent::OnMessage(const DialogMessage& message) {
  switch (message.message) {
    case WM_HID_EVENT:
      MirrorPress(message.wParam, message.lParam);
      break;
    case WM_DEVICECHANGE:
      OnDeviceChange(static_cast<std::uint32_t>(message.wParam));
      break;
    case WM_NOTICE_ACTION:
      if (settings_.openDownloadDialog) settings_.openDownloadDialog();
      break;
    case WM_NOTICE_CLOSED: {
      const auto shown = shownNotices_.find(static_cast<std::uint32_t>(message.wParam));
      if (shown == shownNotices_.end()) break;
      std::string error;
      if (message.lParam == 1 && !dismissed_.Add(shown->second, error)) Problem(error);
      shownNotices_.erase(shown);
      break;
    }
    default:
      break;
  }
}

void MuteAgent::MirrorPress(std::uintptr_t usagePage, std::intptr_t usage) {
  if (SteppedBack() || !GetAdapter().IsOpen() || !IsMutePress(usagePage, usage)) return;
  // The press reached every program that has the adapter open: one that
  // holds the mark mirrors it.
  if (GetAdapter().MirrorMarkHeld()) {
    StepBack();
    return;
  }
  if (!mirroring_) return;
  // A sound card that came after the adapter, or one that an audio system
  // restart replaced, is bound again before the press is mirrored.
  if (!Mixer().IsBound() || Mixer().GetRecordMute() < 0) Mixer().Bind(&host_);
  if (!Mixer().IsBound()) {
    State(kNoSoundCardState);
    Problem("the adapter's sound card was not found; the mute button is not mirrored");
    return;
  }
  State(kMirroringState);
  OnHidEvent(usagePage, usage);
}

void MuteAgent::OnMuteToggled(std::int32_t valueRead, std::int32_t valueWritten) {
  if (valueRead < 0 || Mixer().GetRecordMute() != valueWritten) {
    Problem("the recording mute of the adapter's sound card could not be set");
  } else {
    lastProblem_.clear();
  }
}

std::string MuteAgent::AdapterKey() {
  const AdapterIdentity identity = GetAdapter().Identity();
  if (identity.serialNumber) return *identity.serialNumber;
  return MirrorKey(identity);
}

void MuteAgent::CheckFirmware() {
  if (!settings_.notices) return;
  const VersionsAnswer answer = GetAdapter().Versions();
  if (!answer.versions) {
    // Another program is exchanging with it: asked again at its next arrival.
    if (GetAdapter().BusyHolder()) return;
    Problem("the adapter did not answer the versions query");
    return;
  }
  const std::optional<std::string> text = NewFirmwareText(*answer.versions, BuiltInVersions());
  if (!text) return;
  const std::string key = DismissedNotices::KeyOf(AdapterKey(), settings_.programVersion);
  if (noticed_.contains(key) || dismissed_.Contains(key)) return;
  std::string error;
  const std::uint32_t id = settings_.notices->Show(*text, error);
  if (id == 0) {
    Problem("the desktop notification could not be shown: " + error);
    return;
  }
  noticed_.insert(key);
  shownNotices_[id] = key;
}

void MuteAgent::Problem(const std::string& text) {
  if (text == lastProblem_) return;
  lastProblem_ = text;
  if (settings_.sayProblem) settings_.sayProblem(EscapeDeviceText(text));
}

void MuteAgent::State(const std::string& text) {
  if (text == state_) return;
  state_ = text;
  if (settings_.sayState) settings_.sayState(text);
}

}  // namespace kr35
