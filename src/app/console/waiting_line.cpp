#include "app/console/waiting_line.h"

#include "protocol/json_quote.h"

namespace kr35 {

const char* WaitingForName(WaitingFor what) {
  switch (what) {
    case WaitingFor::kErasing:
      return "erasing";
    case WaitingFor::kChecking:
      return "checking";
    case WaitingFor::kRestart:
      return "restart";
    case WaitingFor::kAnswer:
      break;
  }
  return "answer";
}

std::string WaitingText(WaitingFor what, std::optional<TransferPart> part,
                        std::chrono::seconds waited) {
  std::string text = "waiting for the adapter to ";
  switch (what) {
    case WaitingFor::kAnswer:
      text += "answer";
      break;
    case WaitingFor::kErasing:
      text += "finish erasing";
      break;
    case WaitingFor::kChecking:
      text += std::string("check the ") + (part ? TransferPartName(*part) : "new") + " image";
      break;
    case WaitingFor::kRestart:
      text += "restart";
      break;
  }
  return text + ", " + std::to_string(waited.count()) + " s";
}

std::string WaitingJsonFields(WaitingFor what, std::optional<TransferPart> part,
                              std::chrono::seconds waited) {
  return "\"for\":" + JsonQuote(WaitingForName(what)) +
         ",\"part\":" + (part ? JsonQuote(TransferPartName(*part)) : "null") +
         ",\"seconds\":" + std::to_string(waited.count());
}

void WaitingLine::Changed(WaitingFor next, std::optional<TransferPart> part) {
  Stop();
  active_ = true;
  what_ = next;
  if (part) part_ = part;
  since_ = std::chrono::steady_clock::now();
  shown_ = std::chrono::seconds{0};
}

void WaitingLine::Stop() {
  if (shown_.count() > 0) printer_.Finish();  // the next output starts on a line of its own
  shown_ = std::chrono::seconds{0};
  active_ = false;
}

void WaitingLine::Tick() {
  if (!active_) return;
  const auto waited =
      std::chrono::duration_cast<std::chrono::seconds>(std::chrono::steady_clock::now() - since_);
  if (waited < kSilenceBeforeWaitingLine || waited <= shown_) return;
  shown_ = waited;
  printer_.ShowWaiting(WaitingText(what_, part_, waited), WaitingJsonFields(what_, part_, waited));
}

}  // namespace kr35
