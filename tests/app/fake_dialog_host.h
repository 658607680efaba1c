// A dialog host without a window: it records what the controller shows and
// answers message boxes and file dialogs from scripted queues. Post() may be
// called from any thread; everything else runs on the test's thread.
#pragma once

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "app/dialog_controller.h"
#include "app/dialog_host.h"

namespace kr35::testing {

struct ShownMessageBox {
  std::string text;
  MessageBoxIcon icon;
  MessageBoxButtons buttons;
};

class FakeDialogHost : public ModalDialogHost {
 public:
  // Records the run and hands the controller to `onRunModal`; no window.
  int RunModal(DialogController& controller) override {
    if (onRunModal) onRunModal(controller);
    return 0;
  }
  std::function<void(DialogController&)> onRunModal;

  // Control texts: the current one, and every text set, in order.
  void SetControlText(int controlId, const std::string& text) override {
    texts_[controlId].push_back(text);
  }
  std::string GetControlText(int controlId) override { return Text(controlId); }
  std::string Text(int controlId) const {
    const auto it = texts_.find(controlId);
    return it == texts_.end() || it->second.empty() ? std::string() : it->second.back();
  }
  const std::vector<std::string>& TextHistory(int controlId) { return texts_[controlId]; }

  void EnableControl(int controlId, bool enabled) override { enabled_[controlId] = enabled; }
  // Unset controls count as enabled, as in a template.
  bool IsEnabled(int controlId) const {
    const auto it = enabled_.find(controlId);
    return it == enabled_.end() || it->second;
  }

  // Answers come from `answers`; when it is empty, OK for OK boxes and Cancel otherwise.
  MessageBoxResult ShowMessageBox(const std::string& text, MessageBoxIcon icon,
                                  MessageBoxButtons buttons) override {
    boxes.push_back({text, icon, buttons});
    if (!answers.empty()) {
      const MessageBoxResult answer = answers.front();
      answers.pop_front();
      return answer;
    }
    return buttons == MessageBoxButtons::kOk ? MessageBoxResult::kOk : MessageBoxResult::kCancel;
  }

  void BeginWaitCursor() override {
    ++waitDepth;
    if (waitDepth > maxWaitDepth) maxWaitDepth = waitDepth;
  }
  void EndWaitCursor() override { --waitDepth; }

  std::optional<std::string> BrowseForFile() override {
    if (browseResults.empty()) return std::nullopt;
    std::optional<std::string> result = browseResults.front();
    browseResults.pop_front();
    return result;
  }

  void AppendSystemMenuItem(int commandId, const std::string& text) override {
    systemMenu.emplace_back(commandId, text);
  }
  void SetDialogIcon(int iconId) override { icon = iconId; }

  void Post(const DialogMessage& message) override {
    std::lock_guard lock(mutex_);
    posted_.push_back(message);
    changed_.notify_all();
  }

  // Waits until at least `count` messages wait in the queue; false on time-out.
  bool WaitForPosted(std::size_t count,
                     std::chrono::milliseconds timeout = std::chrono::seconds(5)) {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, timeout, [&] { return posted_.size() >= count; });
  }
  std::size_t PostedCount() {
    std::lock_guard lock(mutex_);
    return posted_.size();
  }
  // Hands the oldest queued message to the controller, as the dialog loop would.
  std::optional<DialogMessage> DispatchOne(DialogController& controller) {
    DialogMessage message;
    {
      std::lock_guard lock(mutex_);
      if (posted_.empty()) return std::nullopt;
      message = posted_.front();
      posted_.pop_front();
    }
    controller.OnMessage(message);
    return message;
  }
  // Hands every queued message to the controller, in order.
  std::vector<DialogMessage> Dispatch(DialogController& controller) {
    std::vector<DialogMessage> handled;
    while (const auto message = DispatchOne(controller)) handled.push_back(*message);
    return handled;
  }

  std::vector<ShownMessageBox> boxes;
  std::deque<MessageBoxResult> answers;
  std::deque<std::optional<std::string>> browseResults;
  std::vector<std::pair<int, std::string>> systemMenu;
  int icon = 0;
  int waitDepth = 0;
  int maxWaitDepth = 0;

 private:
  std::map<int, std::vector<std::string>> texts_;
  std::map<int, bool> enabled_;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<DialogMessage> posted_;
};

}  // namespace kr35::testing
