// The one place where the typed transfer events become the dialogs' info
// texts. Every front-end that shows an info line takes its texts from here.
#pragma once

#include <optional>
#include <string>

#include "adapter/download_plan.h"
#include "adapter/info_line.h"
#include "firmware/firmware_image.h"

namespace kr35 {

// The info line's text for an event; none for events it does not show.
std::optional<std::string> InfoTextOf(const TransferRefusal& refusal);
std::string InfoTextOf(const TransferProgress& progress);
std::optional<std::string> InfoTextOf(const TransferFailure& failure);
std::optional<std::string> InfoTextOfDone(TransferPart part);
// The FULL dialog's verdict once every file was handled: "Success!" or "Fail!".
std::string FullModeVerdictText(bool succeeded);

// Writes each event's text into an info line (text member, then the control),
// after handing the typed event to `next`, when there is one.
class InfoLineTexts final : public DownloadObserver {
 public:
  explicit InfoLineTexts(InfoLine& info, DownloadObserver* next = nullptr)
      : info_(info), next_(next) {}

  void OnRefused(const TransferRefusal& refusal) override;
  void OnWait(const TransferWait& wait) override;
  void OnProgress(const TransferProgress& progress) override;
  void OnFailed(const TransferFailure& failure) override;
  void OnDone(TransferPart part) override;
  bool StopRequested() override { return next_ && next_->StopRequested(); }
  void OnPartStarting(TransferPart part) override;
  void OnPartFinished(TransferPart part, const TransferResult& result) override;

 private:
  void Show(const std::optional<std::string>& text);

  InfoLine& info_;
  DownloadObserver* next_;
};

// One part's transfer, its progress and verdict written into `info`. True
// when the part was accepted.
bool DownloadUsbFirmware(CommandPort& port, const Timing& timing, const FirmwareImage& image,
                         InfoLine& info);
bool DownloadDspFirmware(CommandPort& port, const Timing& timing, const FirmwareImage& image,
                         InfoLine& info);

}  // namespace kr35
