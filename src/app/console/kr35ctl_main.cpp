// kr35ctl: the download utility's dialogs on a terminal.
#include <unistd.h>
#include <CLI/CLI.hpp>

#include <cstdio>
#include <iostream>

#include "app/console/device_choice.h"
#include "app/console/dialog_commands.h"
#include "app/console/exit_status.h"
#include "app/console/image_commands.h"

namespace {

using namespace kr35;

struct GlobalOptions {
  std::string simulate;  // "-" when --simulate is given without a file
  std::string simTrace;
  std::string simState;
  bool json = false;
  std::string record;
  std::string replay;
  std::string replaySpeed = "recorded";
  std::string device;
};

std::unique_ptr<PlatformServices> MakeServices(const GlobalOptions& global, bool simulateGiven) {
  ServiceOptions options;
  options.simulate = simulateGiven;
  if (simulateGiven && global.simulate != "-") options.scenarioPath = global.simulate;
  options.tracePath = global.simTrace;
  options.statePath = global.simState;
  options.recordPath = global.record;
  options.replayPath = global.replay;
  options.replayMaxSpeed = global.replaySpeed == "max";
  options.program = "kr35ctl";
  options.devicePath = global.device;
  std::string error;
  auto services = PlatformServices::Create(options, error);
  if (!services) std::cerr << "kr35ctl: " << error << "\n";
  return services;
}

}  // namespace

int main(int argc, char** argv) {
  CLI::App app{"KR35 Hardware Download Utility on the terminal"};
  app.require_subcommand(1);
  GlobalOptions global;
  auto* simulate = app.add_option("--simulate", global.simulate,
                                  "Use the simulated adapter, optionally with a scenario file")
                       ->expected(0, 1)
                       ->default_str("-");
  app.add_option("--sim-trace", global.simTrace,
                 "Write every report the simulated adapter "
                 "receives and sends to this file (JSON lines)");
  app.add_option("--sim-state", global.simState,
                 "Keep the simulated adapter's firmware in this file between runs");
  app.add_flag("--json", global.json, "Print one JSON object per event");
  app.add_option("--record", global.record,
                 "Record what the adapter does in this session to FILE (JSON lines)");
  auto* replay =
      app.add_option("--replay", global.replay, "Play a recorded session back as the adapter");
  app.add_option("--replay-speed", global.replaySpeed,
                 "'recorded' (the recorded delays) or 'max' (no delays)")
      ->check(CLI::IsMember({"recorded", "max"}))
      ->needs(replay);
  replay->excludes(simulate);
  app.add_option("--device", global.device,
                 "Use the adapter at this path when several are plugged in (see 'list')");

  auto* image = app.add_subcommand("image", "Show a firmware image's header: 'builtin' or a FILE");
  std::string imageSource;
  image->add_option("source", imageSource, "'builtin' or an image file")->required();

  auto* convert = app.add_subcommand("convert", "Write the dump files from Intel HEX files");
  std::string usbHex, dspHex, outputDir = ".";
  convert->add_option("--usb", usbHex, "Intel HEX file of the USB part");
  convert->add_option("--dsp", dspHex, "Intel HEX file of the DSP part");
  convert->add_option("--output-dir", outputDir, "Where to write the dump files");

  auto* list = app.add_subcommand("list", "List the HID interfaces that are the adapter");
  auto* versions = app.add_subcommand("versions", "Show the installed firmware versions");

  auto* download = app.add_subcommand("download",
                                      "Download firmware: the built-in images, "
                                      "or the FULL mode's Intel HEX files");
  ConsoleOptions console;
  download->add_flag("--yes", console.assumeYes, "Answer OK to the confirmation");
  download->add_option("--usb", usbHex, "FULL mode: Intel HEX file of the USB part");
  download->add_option("--dsp", dspHex, "FULL mode: Intel HEX file of the DSP part");

  auto* monitor = app.add_subcommand("monitor", "Follow plug, unplug and the headset's buttons");
  double duration = -1;
  monitor->add_option("--duration", duration, "Stop after this many seconds");

  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    const int status = app.exit(e);
    return status == 0 ? kExitDone : kExitUsage;
  }

  const bool tty = isatty(STDOUT_FILENO) != 0;
  EventPrinter printer(global.json ? OutputStyle::kJson
                       : tty       ? OutputStyle::kTerminal
                                   : OutputStyle::kLines,
                       stdout);
  console.interactive = isatty(STDIN_FILENO) != 0;

  if (image->parsed()) return RunImageCommand(imageSource, printer);
  if (convert->parsed()) return RunConvertCommand(usbHex, dspHex, outputDir, printer);

  auto services = MakeServices(global, simulate->count() > 0);
  if (!services) return kExitUsage;
  if (!global.device.empty() && !CheckChosenAdapter(*services, global.device)) {
    return kExitNoAdapter;
  }
  if (list->parsed()) return RunListCommand(*services, printer);
  if (versions->parsed()) return RunVersionsCommand(*services, printer);
  if (download->parsed()) return RunDownloadCommand(*services, printer, console, usbHex, dspHex);
  if (monitor->parsed()) return RunMonitorCommand(*services, printer, duration);
  return kExitUsage;
}
