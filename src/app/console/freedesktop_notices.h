// The agent's notices through the freedesktop notification service on the
// session bus (sd-bus): Notify with the action that opens the download
// dialog; the service's NotificationClosed and ActionInvoked signals are
// posted to the agent's queue by a thread of its own.
#pragma once

#include <memory>
#include <string>

#include "app/mute_agent.h"

namespace kr35 {

class FreedesktopNotices final : public DesktopNotices {
 public:
  // Connected to the session bus; null with `error` set when there is none.
  static std::unique_ptr<FreedesktopNotices> Connect(DialogQueue& queue, std::string& error);
  ~FreedesktopNotices() override;

  std::uint32_t Show(const std::string& text, std::string& error) override;

  struct State;

 private:
  explicit FreedesktopNotices(std::unique_ptr<State> state);
  std::unique_ptr<State> state_;
};

}  // namespace kr35
