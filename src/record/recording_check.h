// Whether a recording shows an adapter that a replay can present: a program
// replaying one that does not would only say "Plug in KR35 hardware", with no
// word on what in the recording is wrong.
#pragma once

#include <string>

#include "record/recording.h"

namespace kr35 {

// Empty when some recorded enumeration lists an interface that the recording
// does not show to be unusable (another device's ids, a descriptor that does
// not parse, capabilities out of range), or when the session never
// enumerated. Otherwise why not, with the recording's line that shows it.
std::string WhyNoRecordedAdapter(const Recording& recording);

}  // namespace kr35
