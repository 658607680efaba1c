// The agent: follows the adapter through plug and unplug without a window,
// mirrors its mute button onto the recording mute of its sound card (the
// dialogs' own binding and toggle), and says when newer firmware is built in.
// It steps back from an adapter whose mirror mark another program of ours
// holds (hid/adapter_claim.h): it then closes the adapter, so it neither
// mirrors nor sends anything, and looks again every second until the mark is
// free. It never downloads; it only asks for the versions.
#pragma once

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>

#include "app/device_dialog.h"
#include "app/firmware_notice.h"
#include "app/message_queue.h"

namespace kr35 {

// Posted by a DesktopNotices implementation: wParam the notice's id; for a
// closing, lParam 1 when the user dismissed it.
inline constexpr std::uint32_t WM_NOTICE_CLOSED = WM_USER + 0x210;
inline constexpr std::uint32_t WM_NOTICE_ACTION = WM_USER + 0x211;

// The desktop's notifications (the freedesktop service, the notification-area balloon).
class DesktopNotices {
 public:
  virtual ~DesktopNotices() = default;
  // Shows `text` with the action that opens the download dialog; its closing
  // and its action are posted to the agent's queue. The notice's id, or 0
  // with `error` set when it could not be shown.
  virtual std::uint32_t Show(const std::string& text, std::string& error) = 0;
};

struct AgentSettings {
  DesktopNotices* notices = nullptr;  // null: no notices (--no-notify)
  std::filesystem::path dismissedFile;
  std::string programVersion;
  std::function<void()> openDownloadDialog;
  // Each problem is said once, until another one or a working mirror.
  std::function<void(const std::string&)> sayProblem;
  // Every change of the adapter's state, for a tooltip.
  std::function<void(const std::string&)> sayState;
};

// A dialog host without a window: controls are ignored, message boxes are
// answered Cancel, and the queue is drained by the thread that runs the agent.
// `wake`, when given, is called after each message is queued (from any
// thread), for a program that waits in another loop (Windows' message loop).
class WindowlessHost final : public DialogHost {
 public:
  explicit WindowlessHost(std::function<void()> wake = {}) : wake_(std::move(wake)) {}
  void SetControlText(int, const std::string&) override {}
  std::string GetControlText(int) override { return {}; }
  void EnableControl(int, bool) override {}
  MessageBoxResult ShowMessageBox(const std::string&, MessageBoxIcon, MessageBoxButtons) override {
    return MessageBoxResult::kCancel;
  }
  void BeginWaitCursor() override {}
  void EndWaitCursor() override {}
  std::optional<std::string> BrowseForFile() override { return std::nullopt; }
  void AppendSystemMenuItem(int, const std::string&) override {}
  void SetDialogIcon(int) override {}
  void Post(const DialogMessage& message) override {
    queue_.Post(message);
    if (wake_) wake_();
  }
  MessageQueue& Queue() { return queue_; }

 private:
  std::function<void()> wake_;
  MessageQueue queue_;
};

class MuteAgent : public DeviceDialog, private DialogObserver {
 public:
  static constexpr std::chrono::milliseconds kRecheckInterval{1000};

  // The environment's mirror mark and claim wait are the agent's own: it
  // holds no mark and never waits for a claim.
  MuteAgent(DialogHost& host, DialogEnvironment environment, AgentSettings settings);

  void RefreshDevice() override;
  void OnMessage(const DialogMessage& message) override;
  // Called when a wait of WaitLimit() ended with no message.
  void Recheck();
  // How long the agent may wait for the next message: without a limit while
  // it mirrors or there is no adapter, kRecheckInterval while it steps back.
  std::optional<std::chrono::milliseconds> WaitLimit() const;
  bool SteppedBack() const { return steppedBackKey_.has_value(); }
  void SetMirroring(bool on) { mirroring_ = on; }
  bool Mirroring() const { return mirroring_; }
  const std::string& StateText() const { return state_; }

 private:
  static DialogEnvironment AgentEnvironment(DialogEnvironment environment);
  void OnMuteToggled(std::int32_t valueRead, std::int32_t valueWritten) override;
  void MirrorPress(std::uintptr_t usagePage, std::intptr_t usage);
  void StepBack();
  void CheckFirmware();
  std::string AdapterKey();
  void Problem(const std::string& text);
  void State(const std::string& text);

  HidBackend& hid_;
  AgentSettings settings_;
  DismissedNotices dismissed_;
  bool mirroring_ = true;
  std::optional<std::string> steppedBackKey_;          // the mirror key while stepped back
  std::set<std::string> noticed_;                      // notices shown in this run
  std::map<std::uint32_t, std::string> shownNotices_;  // notice id -> key
  std::string lastProblem_;
  std::string state_;
};

}  // namespace kr35
