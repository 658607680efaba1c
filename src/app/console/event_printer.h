// How kr35ctl reports what the dialogs show: plain lines ("version: TEXT",
// "info: TEXT", "message: TEXT") when stdout is not a terminal, a progress bar
// for download progress on a terminal, or one JSON object per event.
#pragma once

#include <cstdio>
#include <optional>
#include <string>
#include <string_view>

#include "protocol/json_quote.h"
#include "protocol/transfer_events.h"

namespace kr35 {

enum class OutputStyle { kLines, kTerminal, kJson };

class EventPrinter {
 public:
  EventPrinter(OutputStyle style, std::FILE* out) : style_(style), out_(out) {}

  // One event: kind is "version", "info", "message", or any other word used
  // by a command (e.g. "device", "button", "mute"); text is printed unchanged.
  void Print(std::string_view kind, std::string_view text);
  // An event with extra fields, already JSON-encoded as `"key":value,...`
  // (used in JSON mode; other modes print `kind: text`).
  void PrintWithFields(std::string_view kind, std::string_view text, std::string_view jsonFields);
  // An event printed in JSON mode only, as `{"event":KIND,FIELDS}`: the
  // other modes keep the dialog's lines as they are.
  void PrintJsonOnly(std::string_view kind, std::string_view jsonFields);
  // The progress the next info text shows: on a terminal it is drawn as a
  // bar instead of a line, in JSON its numbers go with the text. Cleared by
  // that text or by SetProgress(std::nullopt).
  void SetProgress(const std::optional<TransferProgress>& progress) { progress_ = progress; }
  // A `waiting` event: on a terminal the line is redrawn in place (as the
  // progress bar is), elsewhere it is a line or a JSON object of its own.
  void ShowWaiting(std::string_view text, std::string_view jsonFields);
  // Ends a progress bar line, if one is being drawn.
  void Finish();

  OutputStyle Style() const { return style_; }
  // True once a write to the output failed (a closed pipe, a full disk); the
  // reason is the first failure's error text. Printing goes on regardless.
  bool OutputLost() const { return !lostReason_.empty(); }
  const std::string& LostReason() const { return lostReason_; }

 private:
  void DrawProgress(const TransferProgress& progress);
  void SetProgressOpen(bool open);
  void NoteResult(int result);

  OutputStyle style_;
  std::FILE* out_;
  bool progressOpen_ = false;
  std::optional<TransferProgress> progress_;
  std::string lostReason_;
};

}  // namespace kr35
