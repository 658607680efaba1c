// After a standard download, kr35ctl checks that the adapter, restarted on its
// new firmware, reports the versions of the built-in images it was given.
#pragma once

#include <string>

#include "app/console/event_printer.h"
#include "protocol/frames.h"

namespace kr35 {

// `lastResponse` is the channel's last response once the restart was followed;
// it holds the installed versions when it answers the versions query.
// `restartFailure` says what went wrong while following the restart (empty:
// nothing). Prints one "verify" event carrying both pairs of versions; true
// when they match.
bool CheckInstalledVersions(const ResponseFrame& lastResponse, const std::string& restartFailure,
                            EventPrinter& printer);

}  // namespace kr35
