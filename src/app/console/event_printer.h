// How kr35ctl reports what the dialogs show: plain lines ("version: TEXT",
// "info: TEXT", "message: TEXT") when stdout is not a terminal, a progress bar
// for download progress on a terminal, or one JSON object per event.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>

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
  // Ends a progress bar line, if one is being drawn.
  void Finish();

  OutputStyle Style() const { return style_; }
  // True once a write to the output failed (a closed pipe, a full disk); the
  // reason is the first failure's error text. Printing goes on regardless.
  bool OutputLost() const { return !lostReason_.empty(); }
  const std::string& LostReason() const { return lostReason_; }

 private:
  bool DrawProgress(std::string_view text);
  void SetProgressOpen(bool open);
  void NoteResult(int result);

  OutputStyle style_;
  std::FILE* out_;
  bool progressOpen_ = false;
  std::string lostReason_;
};

std::string JsonQuote(std::string_view text);

}  // namespace kr35
