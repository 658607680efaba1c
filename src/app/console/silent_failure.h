// The reason kr35ctl gives on stderr for a command that failed while the
// adapter showed nothing: the dialog's lines stay empty then.
#pragma once

#include <string>

#include "hid/hid_channel.h"

namespace kr35 {

// Empty when the channel's latest attempt got an answer (its text says the rest).
std::string SilentFailureReason(const HidChannel& channel);

}  // namespace kr35
