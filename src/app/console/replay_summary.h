// What kr35ctl says after a replay (--replay) about the recording's output
// reports: a short command replayed from a long recording succeeds, but the
// reports it never wrote are named, as kr35-sim --replay names them.
#pragma once

#include "app/console/event_printer.h"
#include "services/platform_services.h"

namespace kr35 {

// Nothing without a replay. Otherwise, when reports were left unwritten, a
// line on stderr; with --json, an event "replay" carrying
// "replay": {"written": N, "recorded": M} in every case.
void ReportReplaySummary(const PlatformServices& services, EventPrinter& printer);

}  // namespace kr35
