#include "app/console/replay_summary.h"

#include <iostream>

namespace kr35 {

void ReportReplaySummary(const PlatformServices& services, EventPrinter& printer) {
  const auto replayed = services.ReplayedReports();
  if (!replayed) return;
  const auto [written, recorded] = *replayed;
  const std::string text = "stopped after output report " + std::to_string(written) + " of the " +
                           std::to_string(recorded) + " recorded";
  if (written < recorded) std::cerr << "kr35ctl: replay: " << text << "\n";
  if (printer.Style() == OutputStyle::kJson) {
    printer.PrintWithFields("replay", written < recorded ? text : "every recorded report written",
                            "\"replay\":{\"written\":" + std::to_string(written) +
                                ",\"recorded\":" + std::to_string(recorded) + "}");
  }
}

}  // namespace kr35
