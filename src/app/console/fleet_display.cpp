#include "app/console/fleet_display.h"

#include <cstdio>

#include "app/console/terminal_signals.h"

namespace kr35 {
namespace {

// Redrawing all lines for every block of every adapter would cost more than
// the transfers; a state word is drawn at once, progress at most this often.
constexpr auto kRedrawInterval = std::chrono::milliseconds(100);

#ifdef _WIN32
// A Windows console takes cursor escapes only once asked to: one line per
// change there.
constexpr bool kCanRedraw = false;
#else
constexpr bool kCanRedraw = true;
#endif

// What an adapter in this state waits for; none once it is finished.
std::optional<WaitingFor> WaitingForState(std::string_view state) {
  if (state == "erasing") return WaitingFor::kErasing;
  if (state == "sent") return WaitingFor::kChecking;
  if (state == "restarting") return WaitingFor::kRestart;
  if (state == "starting" || state == "sending" || state == "verifying" || state == "failing") {
    return WaitingFor::kAnswer;
  }
  return std::nullopt;
}

}  // namespace

void FleetDisplay::Add(const FleetUnit& unit) {
  std::lock_guard lock(mutex_);
  Row row;
  row.label = unit.label;
  row.identity = unit.identity;
  row.state = "queued";
  rows_.push_back(std::move(row));
}

void FleetDisplay::Start() {
  std::lock_guard lock(mutex_);
  live_ = kCanRedraw && printer_.Style() == OutputStyle::kTerminal && !rows_.empty();
  if (live_) Redraw(true);
}

void FleetDisplay::Stop() {
  std::lock_guard lock(mutex_);
  if (live_) Redraw(true);
  live_ = false;
  drawn_ = false;
}

std::string FleetDisplay::RowText(const Row& row) const {
  std::string text = row.label;
  if (row.part) text += std::string("  ") + TransferPartName(*row.part);
  if (row.percent >= 0) text += "  " + std::to_string(row.percent) + " %";
  text += "  " + row.state;
  if (row.waitingFor && row.waited.count() > 0) {
    text += ", " + WaitingText(*row.waitingFor, row.part, row.waited);
  }
  return text;
}

void FleetDisplay::Redraw(bool force) {
  const auto now = std::chrono::steady_clock::now();
  if (!force && now - lastDraw_ < kRedrawInterval) return;
  lastDraw_ = now;
  std::string block;
  if (drawn_) block = "\x1b[" + std::to_string(rows_.size()) + "A";
  for (const Row& row : rows_) block += "\r\x1b[2K" + RowText(row) + "\n";
  std::fputs(block.c_str(), stdout);
  std::fflush(stdout);
  drawn_ = true;
}

void FleetDisplay::Update(std::size_t row, std::optional<TransferPart> part, int percent,
                          std::string_view state) {
  std::lock_guard lock(mutex_);
  if (row >= rows_.size()) return;
  Row& r = rows_[row];
  const bool stateChanged = r.state != state || r.part != part;
  const bool percentChanged = r.percent != percent;
  if (!stateChanged && !percentChanged) return;
  r.part = part;
  r.percent = percent;
  r.state = std::string(state);
  r.waitingFor = WaitingForState(state);
  r.since = std::chrono::steady_clock::now();
  r.waited = std::chrono::seconds{0};
  if (stateChanged) r.printedStep = -1;
  switch (printer_.Style()) {
    case OutputStyle::kTerminal:
      if (kCanRedraw) {
        // Before the live lines start, the first drawing shows the state.
        if (live_) Redraw(stateChanged);
        return;
      }
      [[fallthrough]];
    case OutputStyle::kLines: {
      // One line per state, and one per tenth of a part's progress.
      const int step = percent < 0 ? -1 : percent / 10;
      if (!stateChanged && step == r.printedStep) return;
      r.printedStep = step;
      break;
    }
    case OutputStyle::kJson:
      break;
  }
  std::string fields = AdapterJsonField(r.identity) +
                       ",\"part\":" + (part ? JsonQuote(TransferPartName(*part)) : "null") +
                       ",\"percent\":" + (percent < 0 ? "null" : std::to_string(percent)) +
                       ",\"state\":" + JsonQuote(r.state);
  printer_.PrintWithFields("update", RowText(r), fields);
}

void FleetDisplay::Tick() {
  std::lock_guard lock(mutex_);
  const auto now = std::chrono::steady_clock::now();
  bool redraw = false;
  for (Row& r : rows_) {
    if (!r.waitingFor) continue;
    const auto waited = std::chrono::duration_cast<std::chrono::seconds>(now - r.since);
    if (waited < kSilenceBeforeWaitingLine || waited <= r.waited) continue;
    r.waited = waited;
    if (live_) {
      redraw = true;
    } else {
      printer_.PrintWithFields(
          "waiting", r.label + "  " + WaitingText(*r.waitingFor, r.part, waited),
          AdapterJsonField(r.identity) + "," + WaitingJsonFields(*r.waitingFor, r.part, waited));
    }
  }
  if (redraw) Redraw(true);
}

void FleetDisplay::Print(std::string_view kind, std::string_view text,
                         std::string_view jsonFields) {
  std::lock_guard lock(mutex_);
  printer_.PrintWithFields(kind, text, jsonFields);
}

}  // namespace kr35
