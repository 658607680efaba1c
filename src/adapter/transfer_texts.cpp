#include "adapter/transfer_texts.h"

#include <cstdio>

#include "protocol/firmware_transfer.h"

namespace kr35 {
namespace {

template <typename... Args>
std::string Format(const char* format, Args... args) {
  char text[128];
  std::snprintf(text, sizeof text, format, args...);
  return text;
}

}  // namespace

std::optional<std::string> InfoTextOf(const TransferRefusal& refusal) {
  const char* part = TransferPartName(refusal.part);
  switch (refusal.reason) {
    case RefusalReason::kReportTooShortForUsb:
      return Format("USB Error, output report length %u cannot carry a %u-byte block frame",
                    static_cast<unsigned>(refusal.value), kMinUsbOutputReportLength - 1);
    case RefusalReason::kReportLengthUnsupported:
      return Format("DSP Error, output report length %u is not supported",
                    static_cast<unsigned>(refusal.value));
    case RefusalReason::kImageTooLarge:
      return Format("%s Error, image of %zu bytes is too large", part, refusal.value);
    case RefusalReason::kImageInvalid:
      return Format("%s File invalid", part);
    case RefusalReason::kImageEmpty:
    case RefusalReason::kInputUnreadable:
    case RefusalReason::kNotConfirmed:
      break;
  }
  return std::nullopt;
}

std::string InfoTextOf(const TransferProgress& progress) {
  return Format("Download Completion: %s %d %%.", TransferPartName(progress.part),
                progress.percent);
}

std::optional<std::string> InfoTextOf(const TransferFailure& failure) {
  switch (failure.step) {
    case TransferStep::kBlock:
      return Format("%s Error, 0x%x bytes are written", TransferPartName(failure.part),
                    static_cast<unsigned>(failure.bytesWritten));
    case TransferStep::kReady:
      return std::string("DSP Error, the adapter stayed busy");
    case TransferStep::kEnd:
      if (failure.part == TransferPart::kUsb) return std::string("USB download Failure");
      break;
    case TransferStep::kStart:
    case TransferStep::kStatus:
    case TransferStep::kImage:
      break;
  }
  return std::nullopt;
}

std::optional<std::string> InfoTextOfDone(TransferPart part) {
  if (part == TransferPart::kUsb) return std::string("100 percent");
  return std::nullopt;
}

std::string FullModeVerdictText(bool succeeded) {
  return succeeded ? "Success!" : "Fail!";
}

void InfoLineTexts::Show(const std::optional<std::string>& text) {
  if (!text) return;
  info_.SetInfoText(*text);
  info_.RefreshControls();
}

void InfoLineTexts::OnRefused(const TransferRefusal& refusal) {
  if (next_) next_->OnRefused(refusal);
  Show(InfoTextOf(refusal));
}

void InfoLineTexts::OnWait(const TransferWait& wait) {
  if (next_) next_->OnWait(wait);
}

void InfoLineTexts::OnProgress(const TransferProgress& progress) {
  if (next_) next_->OnProgress(progress);
  Show(InfoTextOf(progress));
}

void InfoLineTexts::OnFailed(const TransferFailure& failure) {
  if (next_) next_->OnFailed(failure);
  Show(InfoTextOf(failure));
}

void InfoLineTexts::OnDone(TransferPart part) {
  if (next_) next_->OnDone(part);
  Show(InfoTextOfDone(part));
}

void InfoLineTexts::OnPartStarting(TransferPart part) {
  if (next_) next_->OnPartStarting(part);
}

void InfoLineTexts::OnPartFinished(TransferPart part, const TransferResult& result) {
  if (next_) next_->OnPartFinished(part, result);
}

bool DownloadUsbFirmware(CommandPort& port, const Timing& timing, const FirmwareImage& image,
                         InfoLine& info) {
  InfoLineTexts texts(info);
  return TransferUsbFirmware(port, timing, image, texts).Succeeded();
}

bool DownloadDspFirmware(CommandPort& port, const Timing& timing, const FirmwareImage& image,
                         InfoLine& info) {
  InfoLineTexts texts(info);
  return TransferDspFirmware(port, timing, image, texts).Succeeded();
}

}  // namespace kr35
