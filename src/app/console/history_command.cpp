#include "app/console/history_command.h"

#include <cstdio>
#include <iostream>

#include "app/console/exit_status.h"
#include "hid/printable_text.h"
#include "history/history_records.h"
#include "protocol/json_quote.h"

namespace kr35 {
namespace {

std::string VersionsWords(const std::optional<InstalledVersions>& versions) {
  return versions ? VersionsText(*versions) : "?";
}

std::string VersionsJson(const std::optional<InstalledVersions>& versions) {
  if (!versions) return "null";
  return "{\"usb\":" + std::to_string(versions->usb) + ",\"dsp\":" + std::to_string(versions->dsp) +
         "}";
}

std::string OptionalJson(const std::string& text) {
  return text.empty() ? "null" : JsonQuote(text);
}

bool Selected(const HistoryEntry& entry, const HistoryFilter& filter) {
  if (!filter.device.empty() && entry.adapter.path != filter.device) return false;
  if (!filter.serial.empty() && entry.adapter.serialNumber != filter.serial) return false;
  return true;
}

// The outcome in words: what the end record says, or "interrupted" for an
// update that never ended or was cut off.
std::string OutcomeWords(const HistoryEntry& entry) {
  if (!entry.Interrupted()) return entry.outcome;
  const std::string where = entry.WhereItEnded();
  return "interrupted" + (where.empty() ? "" : " " + where);
}

void PrintEntry(const HistoryEntry& entry, EventPrinter& printer) {
  const AdapterIdentity& adapter = entry.adapter;
  const std::string serial = adapter.serialNumber.value_or("");
  std::string duration = "";
  if (entry.durationMs) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f s", static_cast<double>(*entry.durationMs) / 1000.0);
    duration = text;
  }
  const std::string text = EscapeDeviceText(
      entry.time + "  " + adapter.path + (serial.empty() ? "" : "  serial " + serial) +
      (adapter.usbPort.empty() ? "" : "  port " + adapter.usbPort) + "  " +
      VersionsWords(entry.before) + " \u2192 " + VersionsWords(entry.after) + "  " +
      OutcomeWords(entry) + (duration.empty() ? "" : "  " + duration));
  std::string answer = "null";
  if (!entry.answer.empty()) {
    answer = "[";
    for (std::size_t i = 0; i < entry.answer.size(); ++i) {
      answer += (i ? "," : "") + std::to_string(entry.answer[i]);
    }
    answer += "]";
  }
  printer.PrintWithFields(
      "update", text,
      "\"time\":" + JsonQuote(entry.time) + ",\"program\":" + JsonQuote(entry.program) +
          ",\"path\":" + JsonQuote(adapter.path) + ",\"serial\":" + OptionalJson(serial) +
          ",\"port\":" + OptionalJson(adapter.usbPort) + ",\"vendorId\":" +
          std::to_string(adapter.vendorId) + ",\"productId\":" + std::to_string(adapter.productId) +
          ",\"before\":" + VersionsJson(entry.before) + ",\"after\":" + VersionsJson(entry.after) +
          ",\"outcome\":" +
          JsonQuote(entry.Interrupted() ? std::string("interrupted") : entry.outcome) +
          ",\"part\":" + OptionalJson(entry.part) + ",\"step\":" + OptionalJson(entry.step) +
          ",\"block\":" + (entry.block ? std::to_string(*entry.block) : "null") +
          ",\"answer\":" + answer + ",\"reason\":" + JsonQuote(entry.reason) +
          ",\"durationMs\":" + (entry.durationMs ? std::to_string(*entry.durationMs) : "null"));
}

void SayWarnings(const HistoryRead& read) {
  for (const std::string& warning : read.warnings) {
    std::cerr << "kr35ctl: " << EscapeDeviceText(warning) << "\n";
  }
}

}  // namespace

CLI::App* AddHistoryCommand(CLI::App& app, HistoryFilter& filter, bool& json) {
  auto* history =
      app.add_subcommand("history",
                         "Show the download history, oldest first: one line per update, "
                         "interrupted ones marked");
  auto* device = history->add_option("--device", filter.device,
                                     "Only the updates of the adapter at this path");
  history
      ->add_option("--serial", filter.serial,
                   "Only the updates of the adapter with this serial number")
      ->excludes(device);
  history->add_flag("--json", json, "Print one JSON object per update");
  history->add_option("--last", filter.last, "Only the latest N updates")
      ->check(CLI::PositiveNumber);
  return history;
}

int RunHistoryCommand(const std::optional<std::filesystem::path>& path, const HistoryFilter& filter,
                      EventPrinter& printer) {
  if (!path) {
    std::cerr << "kr35ctl: this run keeps no history (the simulator and replays keep one only "
                 "with --history=FILE)\n";
    return kExitUsage;
  }
  const HistoryRead read = ReadHistory(*path);
  SayWarnings(read);
  std::vector<const HistoryEntry*> chosen;
  for (const HistoryEntry& entry : read.entries) {
    if (Selected(entry, filter)) chosen.push_back(&entry);
  }
  const std::size_t skip =
      filter.last > 0 && chosen.size() > filter.last ? chosen.size() - filter.last : 0;
  for (std::size_t i = skip; i < chosen.size(); ++i) PrintEntry(*chosen[i], printer);
  return kExitDone;
}

void WarnIfLastUpdateInterrupted(const PlatformServices& services, const AdapterIdentity& adapter) {
  if (!services.HistoryPath()) return;
  const HistoryRead read = ReadHistory(*services.HistoryPath());
  const std::string notice = InterruptedUpdateNotice(read.entries, adapter);
  if (!notice.empty()) {
    std::cerr << "kr35ctl: " << EscapeDeviceText(adapter.path) << ": " << EscapeDeviceText(notice)
              << "\n";
  }
}

}  // namespace kr35
