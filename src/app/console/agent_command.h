// `kr35ctl agent`: the mute agent on the terminal or as a user service.
#pragma once

#include <string>

#include "services/platform_services.h"

namespace kr35 {

struct AgentCommandOptions {
  bool notify = true;           // --no-notify turns the new-firmware notice off
  double durationSeconds = -1;  // < 0: until a signal ends it
  std::string programVersion;   // the notices are remembered per program version
};

// Runs the agent; prints nothing while things work, each problem once on stderr.
int RunAgentCommand(PlatformServices& services, const AgentCommandOptions& options);

}  // namespace kr35
