// kr35ctl: the download utility's dialogs on a terminal.
#include <unistd.h>
#include <CLI/CLI.hpp>

#include <cstdio>
#include <iostream>

#ifndef _WIN32
#include "app/console/agent_command.h"
#endif
#include "app/console/command_line_checks.h"
#include "app/console/device_choice.h"
#include "app/console/dialog_commands.h"
#include "app/console/doctor_command.h"
#include "app/console/exit_status.h"
#include "app/console/history_command.h"
#include "app/console/image_commands.h"
#include "app/console/replay_summary.h"
#include "app/console/terminal_signals.h"
#include "app/console/update_cli.h"
#include "app/output_paths.h"
#include "history/history_location.h"

namespace {

using namespace kr35;

struct GlobalOptions {
  std::string simulate;  // "-" when --simulate is given without a file
  std::string simTrace;
  std::string simState;
  int simResponseWaitMs = 0;  // 0: the shipped waits
  int simClaimWaitMs = -1;    // -1: the shipped wait for a busy adapter
  bool json = false;
  std::string record;
  std::string replay;
  std::string replaySpeed = "recorded";
  std::string device;
  std::string serial;
  std::string history;  // empty: the default for the kind of run
};

std::unique_ptr<PlatformServices> MakeServices(const GlobalOptions& global, bool simulateGiven) {
  ServiceOptions options;
  options.simulate = simulateGiven;
  if (simulateGiven && global.simulate != "-") options.scenarioPath = global.simulate;
  options.tracePath = global.simTrace;
  options.statePath = global.simState;
  if (global.simResponseWaitMs > 0 || global.simClaimWaitMs >= 0) {
    Timing timing;
    if (global.simResponseWaitMs > 0) {
      timing.responseWait = std::chrono::milliseconds(global.simResponseWaitMs);
      timing.retryPause = timing.responseWait / 2;
    }
    if (global.simClaimWaitMs >= 0)
      timing.claimWait = std::chrono::milliseconds(global.simClaimWaitMs);
    options.simTiming = timing;
  }
  options.recordPath = global.record;
  options.replayPath = global.replay;
  options.replayMaxSpeed = global.replaySpeed == "max";
  options.program = "kr35ctl";
  options.devicePath = global.device;
  if (!global.history.empty()) options.history = global.history;
  options.historyWarning = [](const std::string& warning) {
    std::cerr << "kr35ctl: " << warning << "\n";
  };
  std::string error;
  auto services = PlatformServices::Create(options, error);
  if (!services) std::cerr << "kr35ctl: " << error << "\n";
  return services;
}

// --serial: the services again, with the one adapter of that serial number
// chosen as --device would choose it. False (exit 3) when no single adapter
// has it.
bool ChooseBySerial(GlobalOptions& global, bool simulateGiven,
                    std::unique_ptr<PlatformServices>& services) {
  const std::optional<std::string> path = PathOfSerial(*services, global.serial);
  if (!path) return false;
  global.device = *path;
  services.reset();  // one simulated adapter at a time on its files
  services = MakeServices(global, simulateGiven);
  return services != nullptr;
}

// A signal that ends the run keeps the simulated adapter's flash, as the
// normal end does.
void SaveOnSignal(PlatformServices& services) {
  InterruptOpenDownloads("aborted by a signal");
  std::string error;
  if (!services.Save(error)) std::cerr << "kr35ctl: " << error << "\n";
}

// Where kr35ctl is stricter than the dialog programs, for the help text.
constexpr const char* kStricterThanTheDialog =
    "Stricter than the dialogs: download reads and converts every named HEX file\n"
    "before the first frame and refuses (exit 2) a file that is missing, empty or has\n"
    "no data records; the FULL mode stops at the first part that fails; a download\n"
    "that includes the USB part is refused before the first frame when the adapter's\n"
    "output report cannot carry a 33-byte block frame; a HEX record with a wrong\n"
    "checksum refuses the file (download, convert). During a transfer a first\n"
    "Ctrl+C or SIGTERM only warns; a second one aborts (exit 130 or 143).\n"
    "Exit status: 0 done, 1 failed, 2 usage or input error, 3 no adapter,\n"
    "4 done but the recording (--record) is incomplete.";

int Run(int argc, char** argv) {
  CLI::App app{"KR35 Hardware Download Utility on the terminal"};
  app.require_subcommand(1);
  app.set_version_flag("--version", std::string("kr35ctl ") + KR35_VERSION);
  app.footer(kStricterThanTheDialog);
  GlobalOptions global;
  auto* simulate = app.add_option("--simulate", global.simulate,
                                  "Use the simulated adapter, optionally with a scenario file")
                       ->expected(0, 1)
                       ->default_str("-");
  // The simulator's options mean nothing to a real adapter: without
  // --simulate they are refused rather than ignored.
  app.add_option("--sim-trace", global.simTrace,
                 "Write every report the simulated adapter "
                 "receives and sends to this file (JSON lines)")
      ->needs(simulate);
  app.add_option("--sim-state", global.simState,
                 "Keep the simulated adapter's firmware in this file between runs")
      ->needs(simulate);
  app.add_option("--sim-response-wait", global.simResponseWaitMs,
                 "With --simulate: wait this many ms for each answer (and half as long "
                 "between attempts) instead of 2000 ms, for quick runs into time-outs")
      ->check(CLI::Range(1, 2000))
      ->needs(simulate);
  app.add_option("--sim-claim-wait", global.simClaimWaitMs,
                 "With --simulate: wait this many ms (instead of 5000 ms) for another "
                 "program to release the adapter before giving up on it")
      ->check(CLI::Range(0, 5000))
      ->needs(simulate);
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
                 "Use the adapter at this path when several are plugged in (see 'list')")
      ->excludes(app.add_option("--serial", global.serial,
                                "Use the adapter with this serial number (see 'list')"));
  app.add_option("--history", global.history,
                 "Record downloads in FILE instead of the default history, or 'none' for no "
                 "history (the simulator and replays keep one only with this option)");

  auto* image =
      app.add_subcommand("image",
                         "Show a firmware image's header ('builtin' or a FILE), or an Intel HEX "
                         "file's bad records, disorder and gaps");
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
  std::string durationText = "forever";
  monitor->add_option("--duration", durationText,
                      "Stop after this many seconds (positive), or 'forever' (the default)");

#ifndef _WIN32
  auto* agent = app.add_subcommand(
      "agent",
      "Mirror the mute button onto the sound card's recording mute while no other "
      "program of ours has the adapter open, and tell when new firmware is available");
  AgentCommandOptions agentOptions;
  agentOptions.programVersion = KR35_VERSION;
  bool noNotify = false;
  agent->add_flag("--no-notify", noNotify,
                  "Show no new-firmware notification (and send nothing to the adapter)");
  std::string agentDuration = "forever";
  agent->add_option("--duration", agentDuration,
                    "Stop after this many seconds (positive), or 'forever' (the default)");
#endif
  UpdateOptions updateOptions;
  auto* update = AddUpdateSubcommand(app, updateOptions);
  auto* doctor = app.add_subcommand(
      "doctor", "Check everything between you and a working adapter, with a fix for what fails");
  HistoryFilter historyFilter;
  auto* history = AddHistoryCommand(app, historyFilter, global.json);

  std::string error;
  if (!CheckNoEmptyValues(argc, argv, error)) {
    std::cerr << "kr35ctl: " << error << "\n";
    return kExitUsage;
  }
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    if (e.get_exit_code() != 0 && app.get_subcommands().empty()) {
      if (const std::string unknown = UnknownSubcommandText(argc, argv, app); !unknown.empty()) {
        std::cerr << "kr35ctl: " << unknown << "\n";
        return kExitUsage;
      }
    }
    const int status = app.exit(e);
    return status == 0 ? kExitDone : kExitUsage;
  }
  double duration = -1;
  if (monitor->parsed() && !ParseDuration(durationText, duration, error)) {
    std::cerr << "kr35ctl: " << error << "\n";
    return kExitUsage;
  }
#ifndef _WIN32
  if (agent->parsed() && !ParseDuration(agentDuration, agentOptions.durationSeconds, error)) {
    std::cerr << "kr35ctl: " << error << "\n";
    return kExitUsage;
  }
#endif
  if (!CheckOutputPaths({{"--record", global.record},
                         {"--sim-trace", global.simTrace},
                         {"--sim-state", global.simState},
                         {"--report", updateOptions.reportPath},
                         {"--history", global.history == "none" ? std::string() : global.history}},
                        {{"--simulate", global.simulate == "-" ? std::string() : global.simulate},
                         {"--sim-state", global.simState},
                         {"--replay", global.replay},
                         {"--usb", usbHex},
                         {"--dsp", dspHex},
                         {"--usb", updateOptions.usbHex},
                         {"--dsp", updateOptions.dspHex}},
                        error)) {
    std::cerr << "kr35ctl: " << error << "\n";
    return kExitUsage;
  }

  const bool tty = isatty(STDOUT_FILENO) != 0;
  EventPrinter printer(global.json ? OutputStyle::kJson
                       : tty       ? OutputStyle::kTerminal
                                   : OutputStyle::kLines,
                       stdout);
  console.interactive = isatty(STDIN_FILENO) != 0;

  int status = kExitUsage;
  std::unique_ptr<PlatformServices> services;
  if (image->parsed()) {
    status = RunImageCommand(imageSource, printer);
  } else if (convert->parsed()) {
    status = RunConvertCommand(usbHex, dspHex, outputDir, printer);
  } else if (history->parsed()) {
    if (historyFilter.device.empty()) historyFilter.device = global.device;
    if (historyFilter.serial.empty()) historyFilter.serial = global.serial;
    status = RunHistoryCommand(
        ChosenHistoryPath(global.history.empty() ? std::nullopt : std::optional(global.history),
                          simulate->count() > 0 || !global.replay.empty()),
        historyFilter, printer);
  } else if (services = MakeServices(global, simulate->count() > 0); !services) {
    return kExitUsage;
  } else {
    SetSignalExitHook([&services] {
      if (services) SaveOnSignal(*services);
    });
    if (update->parsed()) {
      updateOptions.device = global.device;
      updateOptions.serial = global.serial;
      updateOptions.interactive = console.interactive;
      status = RunUpdateCommand(*services, printer, updateOptions);
    } else if (!global.serial.empty() && !ChooseBySerial(global, simulate->count() > 0, services)) {
      status = services ? kExitNoAdapter : kExitUsage;
    } else if (!global.device.empty() && !CheckChosenAdapter(*services, global.device)) {
      status = kExitNoAdapter;
    } else if (list->parsed()) {
      status = RunListCommand(*services, printer);
    } else if (versions->parsed()) {
      status = RunVersionsCommand(*services, printer);
    } else if (download->parsed()) {
      status = RunDownloadCommand(*services, printer, console, usbHex, dspHex);
    } else if (doctor->parsed()) {
      status = RunDoctorCommand(*services, printer);
    } else if (monitor->parsed()) {
      status = RunMonitorCommand(*services, printer, duration);
#ifndef _WIN32
    } else if (agent->parsed()) {
      agentOptions.notify = !noNotify;
      status = RunAgentCommand(*services, agentOptions);
#endif
    }
    SetSignalExitHook({});
  }
  if (services) ReportReplaySummary(*services, printer);
  // Lost output never changes the outcome; it is only reported. A recording
  // that lost lines makes a successful run "not fully recorded".
  if (services && !services->RecordingLoss().empty()) {
    std::cerr << "kr35ctl: " << services->RecordingLoss() << "\n";
    if (status == kExitDone) status = kExitNotRecorded;
  }
  printer.Finish();
  if (printer.OutputLost()) {
    std::cerr << "kr35ctl: output was lost: " << printer.LostReason() << "\n";
  }
  if (services && !services->LostOutput().empty()) {
    std::cerr << "kr35ctl: " << services->LostOutput() << "\n";
  }
  return status;
}

}  // namespace

int main(int argc, char** argv) {
  InstallTerminalSignalHandlers();
  // Nothing the program calls should throw; a path or allocation failure that
  // still does becomes a message and the usage status, never an abort.
  try {
    return Run(argc, argv);
  } catch (const std::exception& e) {
    std::cerr << "kr35ctl: " << e.what() << "\n";
  } catch (...) {
    std::cerr << "kr35ctl: unexpected failure\n";
  }
  return kExitUsage;
}
