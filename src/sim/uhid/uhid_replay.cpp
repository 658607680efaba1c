#include "sim/uhid/uhid_replay.h"

#include <poll.h>

#include <algorithm>
#include <cerrno>
#include <climits>

#include "hid/hidraw/report_id_scan.h"

namespace kr35 {

std::optional<UhidIdentity> RecordedAdapterIdentity(const Recording& recording,
                                                    std::string& error) {
  const RecordedInterface* adapter = nullptr;
  if (!recording.writes.empty()) {
    const auto found = recording.interfaces.find(recording.writes.front().path);
    if (found != recording.interfaces.end() && found->second.descriptor) adapter = &found->second;
  }
  for (const auto& [path, interface] : recording.interfaces) {
    if (adapter == nullptr && interface.descriptor) adapter = &interface;
  }
  if (adapter == nullptr) {
    error = "the recording holds no report descriptor bytes to present";
    return std::nullopt;
  }
  UhidIdentity identity;
  // The recorded path is only a label: the kernel names the node it creates.
  identity.name = adapter->product.value_or("");
  identity.phys = "kr35-sim/adapter0";
  if (adapter->attributes) {
    identity.vendorId = adapter->attributes->vendorId;
    identity.productId = adapter->attributes->productId;
    identity.version = adapter->attributes->versionNumber;
  }
  identity.descriptor = *adapter->descriptor;
  return identity;
}

UhidReplay::UhidReplay(Recording recording, bool maxSpeed, UhidAdapterBridge::DeviceOpener opener,
                       std::FILE* diagnostics)
    : recording_(std::move(recording)),
      maxSpeed_(maxSpeed),
      opener_(std::move(opener)),
      diagnostics_(diagnostics) {}

void UhidReplay::Schedule(Time anchor, std::int64_t anchorUs,
                          const std::vector<RecordedDeviceEvent>& events) {
  for (const RecordedDeviceEvent& event : events) {
    scheduled_.emplace(anchor + ReplayDelay(anchorUs, event, maxSpeed_), event);
  }
}

// Feeds the kernel every scheduled event that is due.
bool UhidReplay::DeliverDue(std::string& error) {
  // A recorded read holds the read buffer, report id first; the kernel takes
  // the report without the id byte 0 hidraw puts in front for devices that
  // do not number their reports.
  const std::size_t skip = DescriptorUsesReportIds(identity_->descriptor) ? 0 : 1;
  while (!scheduled_.empty() && scheduled_.begin()->first <= std::chrono::steady_clock::now()) {
    const RecordedDeviceEvent event = std::move(scheduled_.begin()->second);
    scheduled_.erase(scheduled_.begin());
    switch (event.kind) {
      case RecordedDeviceEvent::Kind::kRead:
        if (device_->Created() && event.report.size() > skip) {
          device_->Input(std::span(event.report).subspan(skip));
        }
        break;
      case RecordedDeviceEvent::Kind::kReadError:
        break;  // the kernel's own when the device goes away
      case RecordedDeviceEvent::Kind::kNotice:
        if (event.code == DBT_DEVICEREMOVECOMPLETE) device_->Destroy();
        if (event.code == DBT_DEVICEARRIVAL && !device_->Created() &&
            !device_->Create(*identity_, error)) {
          return false;
        }
        break;
    }
  }
  return true;
}

void UhidReplay::Depart(const std::string& why) {
  if (!diagnosis_.empty()) return;  // the first departure is the one that counts
  diagnosis_ = why;
  if (diagnostics_ == nullptr) return;
  std::fprintf(diagnostics_, "kr35-sim: replay: %s\n", why.c_str());
  std::fflush(diagnostics_);
}

void UhidReplay::Output(std::span<const std::uint8_t> report) {
  if (const RecordedWrite* recorded = script_.Write(report)) {
    // A write that failed in the recording succeeds here: the kernel has
    // taken it already; what followed is delivered all the same.
    Schedule(std::chrono::steady_clock::now(), recorded->tUs, recorded->after);
    return;
  }
  Depart(script_.Diagnosis());
  scheduled_.clear();  // the adapter no longer answers
  // Past the recording's end the adapter is gone, as after an unplug.
  if (script_.CurrentPhase() == ReplayScript::Phase::kEnded) device_->Destroy();
}

int UhidReplay::PollTimeoutMs() const {
  if (scheduled_.empty()) return -1;
  const auto wait = std::chrono::ceil<std::chrono::milliseconds>(scheduled_.begin()->first -
                                                                 std::chrono::steady_clock::now());
  return static_cast<int>(std::clamp<std::int64_t>(wait.count(), 0, INT_MAX));
}

bool UhidReplay::Over() const {
  return script_.CurrentPhase() != ReplayScript::Phase::kRunning ||
         (script_.AllWritten() && scheduled_.empty());
}

bool UhidReplay::Run(int stopFd, std::string& error) {
  identity_ = RecordedAdapterIdentity(recording_, error);
  if (!identity_) return false;
  device_ = opener_(error);
  if (!device_) return false;
  if (!device_->Create(*identity_, error)) return false;
  Schedule(std::chrono::steady_clock::now(), 0, recording_.prelude);

  for (;;) {
    if (!DeliverDue(error)) return false;
    if (script_.CurrentPhase() == ReplayScript::Phase::kEnded) return true;
    pollfd fds[2] = {{stopFd, POLLIN, 0}, {device_->Fd(), POLLIN, 0}};
    if (::poll(fds, 2, PollTimeoutMs()) < 0) {
      if (errno == EINTR) continue;
      error = "poll failed";
      return false;
    }
    if (fds[0].revents != 0) {
      if (!script_.AllWritten()) {
        Depart("stopped after output report " + std::to_string(script_.Written()) + " of the " +
               std::to_string(script_.Recorded()) + " recorded");
      }
      return true;
    }
    if (fds[1].revents == 0) continue;
    const UhidEvent event = device_->ReadEvent();
    switch (event.kind) {
      case UhidEvent::Kind::kOutput:
        if (device_->Created()) Output(event.report);
        break;
      case UhidEvent::Kind::kClose:
        // The host let go: when nothing more can happen, the replay is done.
        if (Over()) return true;
        break;
      case UhidEvent::Kind::kClosedByKernel:
      case UhidEvent::Kind::kError:
        error = "the uhid node stopped answering";
        return false;
      default:
        break;
    }
  }
}

}  // namespace kr35
