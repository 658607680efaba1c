#include "app/console/silent_failure.h"

namespace kr35 {

std::string SilentFailureReason(const HidChannel& channel) {
  const std::string attempts = std::to_string(channel.GetTiming().attempts);
  switch (channel.LastAttemptEnd()) {
    case HidChannel::AttemptEnd::kNotWritable:
      return "the adapter cannot be opened for writing";
    case HidChannel::AttemptEnd::kWriteFailed:
      return "the adapter refused the write of the command (" + attempts + " attempts)";
    case HidChannel::AttemptEnd::kNoAnswer:
      return "no answer from the adapter after " + attempts + " attempts";
    case HidChannel::AttemptEnd::kNone:
    case HidChannel::AttemptEnd::kAnswered:
      break;
  }
  return {};
}

}  // namespace kr35
