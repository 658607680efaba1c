#include "app/console/event_printer.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstring>
#include <string>

#include "app/console/terminal_signals.h"

namespace kr35 {

std::string JsonQuote(std::string_view text) {
  return nlohmann::json(std::string(text))
      .dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

void EventPrinter::Print(std::string_view kind, std::string_view text) {
  PrintWithFields(kind, text, {});
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
      if (kind == "info" && DrawProgress(text)) break;
      Finish();
      [[fallthrough]];
    case OutputStyle::kLines:
      std::fprintf(out_, "%.*s: %.*s\n", static_cast<int>(kind.size()), kind.data(),
                   static_cast<int>(text.size()), text.data());
      break;
  }
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

bool EventPrinter::DrawProgress(std::string_view text) {
  // "Download Completion: USB 42 %." or the same with DSP.
  constexpr std::string_view kPrefix = "Download Completion: ";
  constexpr std::string_view kSuffix = " %.";
  if (!text.starts_with(kPrefix) || !text.ends_with(kSuffix)) return false;
  const std::string_view middle =
      text.substr(kPrefix.size(), text.size() - kPrefix.size() - kSuffix.size());
  const std::string_view part = middle.substr(0, 3);
  if ((part != "USB" && part != "DSP") || middle.size() < 5 || middle[3] != ' ') return false;
  const std::string_view number = middle.substr(4);
  int percent = 0;
  const auto [end, error] = std::from_chars(number.data(), number.data() + number.size(), percent);
  if (error != std::errc() || end != number.data() + number.size()) return false;
  constexpr int kWidth = 40;
  const int filled = std::clamp(percent, 0, 100) * kWidth / 100;
  std::fprintf(out_, "\r%.*s [%s%s] %3d %%", static_cast<int>(part.size()), part.data(),
               std::string(filled, '#').c_str(), std::string(kWidth - filled, '.').c_str(),
               percent);
  SetProgressOpen(true);
  return true;
}

void EventPrinter::Finish() {
  if (!progressOpen_) return;
  errno = 0;
  std::fputc('\n', out_);
  SetProgressOpen(false);
  NoteResult(std::fflush(out_));
}

}  // namespace kr35
