// The start-up both dialog programs share: which dialog the command line
// chooses, what the FULL dialog is given, and the clock the dialog waits on.
#include <gtest/gtest.h>

#include <string>

#include "app/command_line.h"
#include "app/dialog_ids.h"
#include "app/download_app.h"
#include "app/full_dialog.h"
#include "app/keep_alive_clock.h"
#include "app/standard_dialog.h"
#include "dialog_rig.h"

namespace kr35 {
namespace {

using testing::DialogRig;
using testing::FakeDialogHost;

class HostWithItsOwnClock : public FakeDialogHost {
 public:
  KeepAliveClock& WaitClock() override { return clock; }
  KeepAliveClock clock{nullptr};
};

struct StartUpCase {
  const char* commandLine;  // after the program name, as typed
  int templateId;
  const char* parameter;  // given to the FULL dialog
};

class DownloadAppStartUpTest : public ::testing::TestWithParam<StartUpCase> {};

TEST_P(DownloadAppStartUpTest, RunsTheDialogTheCommandLineChooses) {
  const StartUpCase& c = GetParam();
  DialogRig rig;
  HostWithItsOwnClock host;
  int runs = 0;
  int templateId = 0;
  std::string parameter;
  bool waitsOnHostClock = false;
  host.onRunModal = [&](DialogController& dialog) {
    ++runs;
    templateId = dialog.TemplateId();
    if (auto* full = dynamic_cast<FullDialog*>(&dialog)) parameter = full->commandLineParameter;
    EXPECT_EQ(dynamic_cast<StandardDialog*>(&dialog) != nullptr, templateId == kStandardDialogId);
    waitsOnHostClock = &static_cast<DeviceDialog&>(dialog).Channel().GetClock() == &host.clock;
  };

  DownloadApp app(SplitCommandLine(c.commandLine), rig.Environment());
  EXPECT_FALSE(app.StartUp(host));
  EXPECT_EQ(runs, 1);
  EXPECT_EQ(templateId, c.templateId);
  EXPECT_EQ(parameter, c.parameter);
  EXPECT_TRUE(waitsOnHostClock);
}

INSTANTIATE_TEST_SUITE_P(
    CommandLines, DownloadAppStartUpTest,
    ::testing::Values(StartUpCase{"", kStandardDialogId, ""},
                      StartUpCase{"-x /y --simulate", kStandardDialogId, ""},
                      StartUpCase{"saveasresfile", kFullDialogId, "saveasresfile"},
                      StartUpCase{"SaveAsResFile", kFullDialogId, "SaveAsResFile"},
                      StartUpCase{"-style saveasresfile", kFullDialogId, "saveasresfile"},
                      StartUpCase{"first second", kFullDialogId, "first"},
                      StartUpCase{"\"my file.hex\" other", kFullDialogId, "my file.hex"},
                      StartUpCase{"\"\" word", kFullDialogId, "word"}));

}  // namespace
}  // namespace kr35
