// What `kr35ctl update` shows while adapters are updated at once: on a
// terminal one live line per adapter (identity, part, percent, state),
// redrawn in place; otherwise one line per change, each starting with the
// adapter's identity; with --json one event per change carrying the
// adapter. Every call is thread-safe: each adapter's worker reports through it.
#pragma once

#include <chrono>
#include <cstddef>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/console/event_printer.h"
#include "app/console/fleet_unit.h"
#include "app/console/waiting_line.h"

namespace kr35 {

class FleetDisplay {
 public:
  explicit FleetDisplay(EventPrinter& printer) : printer_(printer) {}

  // The adapters the live lines show, in order; call before Start.
  void Add(const FleetUnit& unit);
  // Begins the live lines (on a terminal).
  void Start();
  // Adapter `row` is at this part, percent (< 0: none) and state word
  // ("queued", "erasing", "sending", "restarting", "verifying", ...).
  void Update(std::size_t row, std::optional<TransferPart> part, int percent,
              std::string_view state);
  // No silent minute: a row whose state has not changed for 2 s says what
  // its adapter waits for and how long, again every second. Call often.
  void Tick();
  // Ends the live lines, leaving them as they last were.
  void Stop();
  // A whole event printed under the display's lock (plan lines, summaries).
  void Print(std::string_view kind, std::string_view text, std::string_view jsonFields);

 private:
  struct Row {
    std::string label;
    AdapterIdentity identity;
    std::optional<TransferPart> part;
    int percent = -1;
    std::string state;
    int printedStep = -1;                  // the last tenth of progress printed as a line
    std::optional<WaitingFor> waitingFor;  // none: nothing is waited for
    std::chrono::steady_clock::time_point since{};
    std::chrono::seconds waited{0};  // the seconds last shown; 0: none since the change
  };
  std::string RowText(const Row& row) const;
  void Redraw(bool force);

  EventPrinter& printer_;
  std::mutex mutex_;
  std::vector<Row> rows_;
  bool live_ = false;
  bool drawn_ = false;
  std::chrono::steady_clock::time_point lastDraw_{};
};

}  // namespace kr35
