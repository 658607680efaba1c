#include "app/console/event_printer.h"

#include <nlohmann/json.hpp>

#include <regex>

namespace kr35 {

std::string JsonQuote(std::string_view text) {
  return nlohmann::json(std::string(text)).dump(-1, ' ', false,
                                                nlohmann::json::error_handler_t::replace);
}

void EventPrinter::Print(std::string_view kind, std::string_view text) {
  PrintWithFields(kind, text, {});
}

void EventPrinter::PrintWithFields(std::string_view kind, std::string_view text,
                                   std::string_view jsonFields) {
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
  std::fflush(out_);
}

bool EventPrinter::DrawProgress(std::string_view text) {
  static const std::regex progress(R"(Download Completion: (USB|DSP) (-?\d+) %\.)");
  std::match_results<std::string_view::const_iterator> match;
  if (!std::regex_match(text.begin(), text.end(), match, progress)) return false;
  const int percent = std::stoi(match[2].str());
  constexpr int kWidth = 40;
  const int filled = std::clamp(percent, 0, 100) * kWidth / 100;
  std::fprintf(out_, "\r%s [%s%s] %3d %%", match[1].str().c_str(), std::string(filled, '#').c_str(),
               std::string(kWidth - filled, '.').c_str(), percent);
  progressOpen_ = true;
  return true;
}

void EventPrinter::Finish() {
  if (!progressOpen_) return;
  std::fputc('\n', out_);
  progressOpen_ = false;
}

}  // namespace kr35
