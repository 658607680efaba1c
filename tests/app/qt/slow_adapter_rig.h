// A Qt dialog host in front of the simulated adapter answering 5 ms after
// each report, so that a standard download lasts several seconds; the
// dialog waits on the host's keep-alive clock, as in the program.
#pragma once

#include "app/qt/qt_dialog_host.h"
#include "mixer/sim/sim_mixer.h"
#include "sim/sim_hid_backend.h"

namespace kr35 {

inline Scenario SlowAdapterScenario() {
  Scenario slow;
  slow.hid.latencyMs = 5;
  slow.hid.restartMs = 10;
  return slow;
}

struct SlowAdapterRig {
  SimHidBackend hid{SlowAdapterScenario()};
  SimMixer mixer{DefaultSimMixers()};
  QtDialogHost host;
  DialogEnvironment environment{hid, &hid.Notifications(), mixer, Timing{}, &host.WaitClock()};
};

}  // namespace kr35
