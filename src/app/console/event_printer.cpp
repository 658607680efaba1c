#include "app/console/event_printer.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <string>

#include "app/console/terminal_signals.h"

namespace kr35 {

namespace {

std::string ProgressFields(const TransferProgress& progress) {
  return std::string("\"part\":\"") + TransferPartName(progress.part) +
         "\",\"blocksDone\":" + std::to_string(progress.blocksDone) +
         ",\"blocks\":" + std::to_string(progress.blocks) +
         ",\"percent\":" + std::to_string(progress.percent);
}

}  // namespace

void EventPrinter::Print(std::string_view kind, std::string_view text) {
  if (kind != "info" || !progress_) {
    PrintWithFields(kind, text, {});
    return;
  }
  const TransferProgress progress = *progress_;
  progress_.reset();
  if (style_ == OutputStyle::kTerminal) {
    DrawProgress(progress);
    NoteResult(std::fflush(out_));
    return;
  }
  PrintWithFields(kind, text, ProgressFields(progress));
}

void EventPrinter::PrintJsonOnly(std::string_view kind, std::string_view jsonFields) {
  if (style_ != OutputStyle::kJson) return;
  errno = 0;
  std::fprintf(out_, "{\"event\":%s,%.*s}\n", JsonQuote(kind).c_str(),
               static_cast<int>(jsonFields.size()), jsonFields.data());
  NoteResult(std::fflush(out_));
}

void EventPrinter::PrintWithFields(std::string_view kind, std::string_view text,
                                   std::string_view jsonFields) {
  errno = 0;
  switch (style_) {
    case OutputStyle::kJson:
      std::fprintf(out_, "{\"event\":%s,\"text\":%s%s%.*s}\n", JsonQuote(kind).c_str(),
                   JsonQuote(text).c_str(), jsonFields.empty() ? "" : ",",
                   static_cast<int>(jsonFields.size()), jsonFields.data());
      break;
    case OutputStyle::kTerminal:
      Finish();
      [[fallthrough]];
    case OutputStyle::kLines:
      std::fprintf(out_, "%.*s: %.*s\n", static_cast<int>(kind.size()), kind.data(),
                   static_cast<int>(text.size()), text.data());
      break;
  }
  NoteResult(std::fflush(out_));
}

void EventPrinter::ShowWaiting(std::string_view text, std::string_view jsonFields) {
  if (style_ != OutputStyle::kTerminal) {
    PrintWithFields("waiting", text, jsonFields);
    return;
  }
  errno = 0;
  std::fprintf(out_, "\r%.*s\033[K", static_cast<int>(text.size()), text.data());
  SetProgressOpen(true);
  NoteResult(std::fflush(out_));
}

void EventPrinter::NoteResult(int result) {
  if ((result != 0 || std::ferror(out_)) && lostReason_.empty()) {
    lostReason_ = errno != 0 ? std::strerror(errno) : "write error";
  }
  std::clearerr(out_);
}

void EventPrinter::SetProgressOpen(bool open) {
  progressOpen_ = open;
  if (out_ == stdout) SetProgressLineOpen(open);
}

void EventPrinter::DrawProgress(const TransferProgress& progress) {
  constexpr int kWidth = 40;
  const int percent = progress.percent;
  const int filled = std::clamp(percent, 0, 100) * kWidth / 100;
  std::fprintf(out_, "\r%s [%s%s] %3d %%", TransferPartName(progress.part),
               std::string(filled, '#').c_str(), std::string(kWidth - filled, '.').c_str(),
               percent);
  SetProgressOpen(true);
}

void EventPrinter::Finish() {
  if (!progressOpen_) return;
  errno = 0;
  std::fputc('\n', out_);
  SetProgressOpen(false);
  NoteResult(std::fflush(out_));
}

}  // namespace kr35
