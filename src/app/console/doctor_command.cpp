#include "app/console/doctor_command.h"

#include <filesystem>

#include "adapter/adapter.h"
#include "app/console/exit_status.h"
#include "app/console/silent_failure.h"
#include "hid/adapter_identity.h"
#include "hid/dialog_queue.h"
#include "hid/hex_bytes.h"
#include "hid/printable_text.h"
#include "history/history_records.h"
#include "mixer/headset_mixer.h"
#include "protocol/json_quote.h"
#ifndef _WIN32
#include "hid/hidraw/hidraw_diagnostics.h"
#endif

namespace kr35 {
namespace {

using Status = DoctorCheck::Status;

constexpr std::uint8_t kResponseReportId = 3;
constexpr std::size_t kMaxResponseBytes = std::tuple_size_v<ResponseFrame>;
constexpr unsigned kMinOutputReport = 4;
constexpr unsigned kMaxOutputReport = 64;
constexpr unsigned kMinUsbOutputReport = 34;

constexpr const char* kReplug = "unplug and plug in the adapter";

DoctorCheck Ok(std::string name, std::string found) {
  return {std::move(name), Status::kOk, std::move(found), {}};
}
DoctorCheck Warn(std::string name, std::string found, std::string fix) {
  return {std::move(name), Status::kWarn, std::move(found), std::move(fix)};
}
DoctorCheck Fail(std::string name, std::string found, std::string fix) {
  return {std::move(name), Status::kFail, std::move(found), std::move(fix)};
}

// The fix for a node this user may not open: the udev rule, and whether it
// is installed already (then only a replug is missing).
std::string AccessFix([[maybe_unused]] std::uint16_t productId) {
#ifndef _WIN32
  for (const char* installed :
       {"/etc/udev/rules.d/70-kr35.rules", "/usr/lib/udev/rules.d/70-kr35.rules",
        "/lib/udev/rules.d/70-kr35.rules"}) {
    std::error_code ec;
    if (std::filesystem::exists(installed, ec)) {
      return std::string(installed) + " is installed: " + kReplug +
             ", or add your user to the "
             "group it names";
    }
  }
  return "install the udev rule '" + UdevRuleLine(productId) +
         "' as /etc/udev/rules.d/70-kr35.rules, then " + kReplug;
#else
  return "close the program that has the adapter open, then " + std::string(kReplug);
#endif
}

// Bytes of the response array in input report 3; none when there is none.
std::optional<std::size_t> ResponseArrayBytes(HidReadHandle& handle) {
  const auto parsed = handle.GetPreparsedData();
  HidpCaps caps{};
  if (!parsed || parsed->GetCaps(caps) != HIDP_STATUS_SUCCESS) return std::nullopt;
  std::vector<HidpValueCaps> values(caps.numberInputValueCaps);
  std::uint16_t count = caps.numberInputValueCaps;
  if (count == 0 || parsed->GetSpecificValueCaps(HidReportType::kInput, 0, 0, 0, values.data(),
                                                 count) != HIDP_STATUS_SUCCESS) {
    return std::nullopt;
  }
  for (std::uint16_t i = 0; i < count && i < values.size(); ++i) {
    const HidpValueCaps& value = values[i];
    if (value.reportId == kResponseReportId && !value.isRange && value.reportCount > 0) {
      return (std::size_t{value.reportCount} * value.bitSize + 7) / 8;
    }
  }
  return std::nullopt;
}

void CheckAdapter(PlatformServices& services, const AdapterIdentity& identity,
                  std::vector<DoctorCheck>& checks) {
  HidBackend& hid = services.Hid();
  const std::string& path = identity.path;
  OpenError openError = OpenError::kNone;
  auto reader = hid.OpenRead(path, &openError);
  if (!reader) {
    checks.push_back(
        Fail("open for reading",
             path + " cannot be opened" +
                 (openError == OpenError::kPermissionDenied ? " (permission denied)" : ""),
             AccessFix(identity.productId)));
    return;
  }
  checks.push_back(Ok("open for reading", path));
  if (hid.OpenWrite(path)) {
    checks.push_back(Ok("open for writing", path));
  } else {
    checks.push_back(Fail("open for writing", path + " cannot be opened for writing",
                          AccessFix(identity.productId)));
  }
  if (identity.product) {
    checks.push_back(Ok("product string", *identity.product));
  } else {
    checks.push_back(Fail("product string", path + ": the product string cannot be read",
                          std::string(kReplug) +
                              "; if it stays unreadable, its USB firmware needs a new download "
                              "on another machine"));
  }
  const auto response = ResponseArrayBytes(*reader);
  reader.reset();
  if (response && *response <= kMaxResponseBytes) {
    checks.push_back(Ok("response report",
                        "input report 3 carries " + std::to_string(*response) + " response bytes"));
  } else {
    checks.push_back(Fail(
        "response report",
        response
            ? "input report 3 carries " + std::to_string(*response) + " response bytes; at most " +
                  std::to_string(kMaxResponseBytes) + " can be read"
            : "input report 3 carries no response array",
        "this interface's report descriptor is not the adapter's: " + std::string(kReplug) +
            ", or check that --device names the adapter's interface"));
  }

  Adapter adapter(
      hid,
      [&] {
        Timing timing = services.ExchangeTiming();
        timing.claimWait = {};
        return timing;
      }(),
      services.ExchangeClock());
  // Taken and at once released: only who holds it matters here.
  const bool busy = hid.TryClaim(path).claim == nullptr;
  if (busy) {
    checks.push_back(Warn("other programs", BusyText(hid.TryClaim(path).holder),
                          "end that program before downloading"));
  } else {
    checks.push_back(Ok("other programs", "no other program holds the adapter"));
  }
  if (!adapter.Open(path)) {
    checks.push_back(Fail("versions", path + " cannot be opened as the adapter", kReplug));
    return;
  }
  const unsigned output = adapter.Channel().OutputReportByteLength();
  const std::string outputText = "output report of " + std::to_string(output) + " bytes";
  if (output < kMinOutputReport || output > kMaxOutputReport) {
    checks.push_back(
        Fail("output report", outputText + " (4 to 64 are usable)",
             "this interface is not the adapter's command interface: " + std::string(kReplug)));
  } else if (output < kMinUsbOutputReport) {
    checks.push_back(Fail("output report",
                          outputText + ", too short for a USB download (34 at least)",
                          "only the DSP part can be downloaded; replug the adapter into another "
                          "USB port or use another adapter for the USB part"));
  } else {
    checks.push_back(Ok("output report", outputText));
  }
  if (busy) return;  // asking would take the other program's answers
  const VersionsAnswer answer = adapter.Versions();
  if (answer.versions) {
    checks.push_back(Ok("versions", VersionsText(*answer.versions)));
  } else {
    const std::string why = SilentFailureReason(adapter.Channel());
    checks.push_back(Fail("versions",
                          why.empty() ? "the adapter did not answer the versions query" : why,
                          std::string(kReplug) + "; if it still does not answer, download the "
                                                 "firmware again (kr35ctl download)"));
  }
}

void CheckHistory(const PlatformServices& services, const std::vector<AdapterIdentity>& adapters,
                  std::vector<DoctorCheck>& checks) {
  if (!services.HistoryPath()) return;
  const HistoryRead read = ReadHistory(*services.HistoryPath());
  for (const std::string& warning : read.warnings) {
    checks.push_back(Warn("history", warning, "nothing to do: the line is skipped"));
  }
  for (const AdapterIdentity& adapter : adapters) {
    const HistoryEntry* last = LastEntryOf(read.entries, adapter);
    if (!last) {
      checks.push_back(Ok("history", adapter.path + ": no update recorded"));
    } else if (last->Interrupted()) {
      checks.push_back(Fail("history",
                            adapter.path + ": " + InterruptedUpdateNotice(read.entries, adapter),
                            "run 'kr35ctl update' to finish the update"));
    } else {
      checks.push_back(
          Ok("history", adapter.path + ": last update " + last->time + ", " + last->outcome));
    }
  }
}

void CheckSoundCard(PlatformServices& services, std::vector<DoctorCheck>& checks) {
  HeadsetMixer mixer(services.Mixer());
  if (!mixer.Bind(nullptr)) {
    checks.push_back(Fail("sound card", "no mixer device whose name holds USB, KR35 or Quorvellane",
                          "plug in the adapter and check that its sound card is bound "
                          "(Linux: the snd-usb-audio driver; 'aplay -l' lists it)"));
    return;
  }
  checks.push_back(Ok("sound card", std::string(mixer.Device().ProductName())));
  const std::int32_t mute = mixer.GetRecordMute();
  if (mute < 0) {
    checks.push_back(Fail("mute control", "the recording mute control is missing or unreadable",
                          "the headset's mute button will do nothing; check the sound card's "
                          "capture controls (alsamixer, F4)"));
  } else if (mixer.SetRecordMute(mute) != 0) {
    checks.push_back(Fail("mute control", "the recording mute control cannot be written",
                          "check the sound card's permissions (Linux: the 'audio' group)"));
  } else {
    checks.push_back(Ok("mute control", mute ? "recording muted" : "recording not muted"));
  }
  mixer.Unbind();
}

// Takes the notices of the registration check and drops them.
class DroppedNotices final : public DialogQueue {
 public:
  void Post(const DialogMessage&) override {}
};

void CheckNotifications(PlatformServices& services, std::vector<DoctorCheck>& checks) {
  DroppedNotices queue;
  DeviceNotificationBackend* notifications = services.Notifications();
  if (notifications && notifications->Register(&queue)) {
    checks.push_back(Ok("plug notifications", "plug and unplug notifications can be registered"));
  } else {
    checks.push_back(Fail("plug notifications",
                          "plug and unplug notifications cannot be registered",
                          "the dialogs will not follow plug and unplug; Linux: check that udev "
                          "runs (systemd-udevd)"));
  }
}

}  // namespace

const char* DoctorStatusName(DoctorCheck::Status status) {
  switch (status) {
    case Status::kWarn:
      return "warn";
    case Status::kFail:
      return "fail";
    case Status::kOk:
      break;
  }
  return "ok";
}

DoctorReport RunDoctorChecks(PlatformServices& services) {
  DoctorReport report;
  std::vector<AdapterIdentity> adapters = ListAdapterInterfaces(services.Hid());
  std::vector<DoctorCheck> unopenable;
#ifndef _WIN32
  // Nodes of the adapter that this user cannot open are not listed above.
  if (!services.IsSimulated()) {
    for (const HidrawNodeInfo& node : ListHidrawNodes()) {
      if (node.openable || !node.idsKnown || !IsAdapterIdentity(node.vendorId, node.productId)) {
        continue;
      }
      unopenable.push_back(
          Fail("open for reading",
               node.path + " is the adapter but cannot be opened" +
                   (node.openError == OpenError::kPermissionDenied ? " (permission denied)" : ""),
               AccessFix(node.productId)));
    }
  }
#endif
  report.adapterPresent = !adapters.empty() || !unopenable.empty();
  if (!report.adapterPresent) {
    const auto paths = services.Hid().EnumerateInterfaces();
    report.checks.push_back(Fail("adapter",
                                 "no HID device of vendor " + Hex4(kAdapterVendorId, true) + "; " +
                                     std::to_string(paths ? paths->size() : 0) +
                                     " other HID devices",
                                 "plug in the adapter (a hub or another port may help)"));
  }
  for (const AdapterIdentity& adapter : adapters) {
    report.checks.push_back(Ok("adapter", adapter.path + "  " + Hex4(adapter.vendorId, true) + ":" +
                                              Hex4(adapter.productId, true)));
    CheckAdapter(services, adapter, report.checks);
  }
  for (DoctorCheck& check : unopenable) report.checks.push_back(std::move(check));
  CheckHistory(services, adapters, report.checks);
  CheckSoundCard(services, report.checks);
  CheckNotifications(services, report.checks);
  return report;
}

int RunDoctorCommand(PlatformServices& services, EventPrinter& printer) {
  const DoctorReport report = RunDoctorChecks(services);
  bool failed = false;
  for (const DoctorCheck& check : report.checks) {
    failed = failed || check.status == Status::kFail;
    const std::string status = DoctorStatusName(check.status);
    printer.PrintWithFields(
        "check",
        status + std::string(5 - status.size(), ' ') + check.name + ": " +
            EscapeDeviceText(check.found) + (check.fix.empty() ? "" : "\n  fix: " + check.fix),
        "\"check\":" + JsonQuote(check.name) + ",\"status\":" + JsonQuote(status) +
            ",\"found\":" + JsonQuote(check.found) +
            ",\"fix\":" + (check.fix.empty() ? "null" : JsonQuote(check.fix)));
  }
  if (!report.adapterPresent) return kExitNoAdapter;
  return failed ? kExitFailed : kExitDone;
}

}  // namespace kr35
