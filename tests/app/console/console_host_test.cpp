#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <sstream>
#include <thread>

#include "app/console/console_dialog_host.h"
#include "app/dialog_ids.h"
#include "capture_file.h"

namespace kr35 {
namespace {

using testing::CaptureFile;

class RecordingController : public DialogController {
 public:
  int TemplateId() const override { return kStandardDialogId; }
  bool OnDialogInit() override { return true; }
  void OnCommand(int) override {}
  void OnMessage(const DialogMessage& message) override { received.push_back(message); }
  std::vector<DialogMessage> received;
};

TEST(EventPrinterTest, LinesCarryTheTextUnchanged) {
  CaptureFile out;
  EventPrinter printer(OutputStyle::kLines, out.get());
  printer.Print("version", "USB 0104, DSP 0107");
  printer.Print("info", "Download Completion: DSP 5 %.");
  EXPECT_EQ(out.Text(), "version: USB 0104, DSP 0107\ninfo: Download Completion: DSP 5 %.\n");
}

TEST(EventPrinterTest, JsonIsOneObjectPerLine) {
  CaptureFile out;
  EventPrinter printer(OutputStyle::kJson, out.get());
  printer.Print("message", "Line one\n \"quoted\"");
  printer.PrintWithFields("mute", "read 0, wrote 1", "\"read\":0,\"written\":1");
  std::istringstream lines(out.Text());
  std::string line;
  std::getline(lines, line);
  const auto first = nlohmann::json::parse(line);
  EXPECT_EQ(first["event"], "message");
  EXPECT_EQ(first["text"], "Line one\n \"quoted\"");
  std::getline(lines, line);
  const auto second = nlohmann::json::parse(line);
  EXPECT_EQ(second["written"], 1);
}

TEST(EventPrinterTest, TerminalDrawsProgressAsOneBar) {
  CaptureFile out;
  EventPrinter printer(OutputStyle::kTerminal, out.get());
  printer.SetProgress(TransferProgress{TransferPart::kUsb, 1, 16, 0, 0});
  printer.Print("info", "Download Completion: USB 0 %.");
  printer.SetProgress(TransferProgress{TransferPart::kUsb, 9, 16, 256, 50});
  printer.Print("info", "Download Completion: USB 50 %.");
  printer.Print("info", "100 percent");
  const std::string text = out.Text();
  EXPECT_NE(text.find("\rUSB ["), std::string::npos);
  EXPECT_NE(text.find(" 50 %\ninfo: 100 percent\n"), std::string::npos);
}

TEST(ConsoleDialogHostTest, PrintsOnlyChangesOfTheTwoLines) {
  CaptureFile out;
  EventPrinter printer(OutputStyle::kLines, out.get());
  ConsoleDialogHost host(printer, false, false);
  host.SetControlText(kVersionLine, "Plug in KR35 hardware");
  host.SetControlText(kVersionLine, "Plug in KR35 hardware");
  host.SetControlText(kUsbPathBox, "a.hex");
  host.SetControlText(kInfoLine, "Fail!");
  EXPECT_EQ(out.Text(), "version: Plug in KR35 hardware\ninfo: Fail!\n");
  EXPECT_EQ(host.GetControlText(kUsbPathBox), "a.hex");
}

TEST(ConsoleDialogHostTest, MessageBoxAnswers) {
  CaptureFile out;
  EventPrinter printer(OutputStyle::kLines, out.get());
  ConsoleDialogHost yes(printer, true, false);
  EXPECT_EQ(yes.ShowMessageBox("go?", MessageBoxIcon::kExclamation, MessageBoxButtons::kOkCancel),
            MessageBoxResult::kOk);
  // A failure box is never retried on its own: --yes would otherwise loop.
  EXPECT_EQ(
      yes.ShowMessageBox("failed", MessageBoxIcon::kQuestion, MessageBoxButtons::kRetryCancel),
      MessageBoxResult::kCancel);
  ConsoleDialogHost noTerminal(printer, false, false);
  EXPECT_EQ(
      noTerminal.ShowMessageBox("go?", MessageBoxIcon::kExclamation, MessageBoxButtons::kOkCancel),
      MessageBoxResult::kCancel);
  EXPECT_EQ(out.Text(), "message: go?\nmessage: failed\nmessage: go?\n");
}

TEST(ConsoleDialogHostTest, MessagesPostedFromAnotherThreadArriveInOrder) {
  CaptureFile out;
  EventPrinter printer(OutputStyle::kLines, out.get());
  ConsoleDialogHost host(printer, false, false);
  RecordingController controller;
  std::thread poster([&] {
    for (std::uintptr_t i = 0; i < 100; ++i) host.Post(DialogMessage{WM_HID_EVENT, i, 0});
  });
  while (controller.received.size() < 100)
    host.DispatchFor(controller, std::chrono::milliseconds(50));
  poster.join();
  for (std::uintptr_t i = 0; i < 100; ++i) EXPECT_EQ(controller.received[i].wParam, i);
}

}  // namespace
}  // namespace kr35
