#include "sim/scenario_writer.h"

#include "sim/scenario_keys.h"

namespace kr35 {

std::string ScenarioToJson(const Scenario& scenario) {
  return WriteObject(ScenarioKeys(), scenario).dump(1) + "\n";
}

}  // namespace kr35
