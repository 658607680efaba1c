// Writing a scenario back out as a scenario file, for the fault explorer's
// reproductions: ParseScenario reads the text to the same protocol behaviour.
#pragma once

#include <string>

#include "sim/scenario.h"

namespace kr35 {

// The protocol keys, the rules, and the HID layout, timing, write faults and
// events. The adapter's identity, other devices and mixers are left out (a
// reader takes the defaults), as are `button` and `report` events.
std::string ScenarioToJson(const Scenario& scenario);

}  // namespace kr35
