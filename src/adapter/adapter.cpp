#include "adapter/adapter.h"

#include <algorithm>

#include "protocol/command_exchange.h"

namespace kr35 {
namespace {

// Takes the button events of an adapter that no dialog has given its own
// queue: the channel hands responses over only while it has one. It keeps
// nothing, so all adapters can share it.
class IgnoredEventQueue final : public DialogQueue {
 public:
  void Post(const DialogMessage&) override {}
};

DialogQueue& IgnoredEvents() {
  static IgnoredEventQueue queue;
  return queue;
}

}  // namespace

Adapter::Adapter(HidBackend& hid, const Timing& timing, Clock& clock)
    : hid_(hid), timing_(timing), channel_(hid, timing, clock) {
  channel_.SetNotifyWindow(&IgnoredEvents());
}

bool Adapter::OpenFirst() {
  return channel_.FindAdapter() != 0;
}

bool Adapter::Open(const std::string& path) {
  return channel_.Open(path) != 0;
}

void Adapter::Close() {
  channel_.Close();
}

AdapterIdentity Adapter::Identity() const {
  if (auto identity = channel_.ReadIdentity()) return *identity;
  // No longer readable: what was read when it was opened.
  AdapterIdentity identity;
  identity.path = channel_.DevicePath();
  identity.vendorId = channel_.Attributes().vendorId;
  identity.productId = channel_.Attributes().productId;
  identity.versionNumber = channel_.Attributes().versionNumber;
  if (!channel_.ManufacturerString().empty()) identity.manufacturer = channel_.ManufacturerString();
  if (channel_.IsOpen()) identity.product = channel_.ProductString();
  return identity;
}

VersionsAnswer Adapter::Versions() {
  VersionsAnswer answer;
  answer.accepted = SendCommand(channel_, timing_, MakeQueryFrame(CMD_VERSIONS), answer.text);
  if (answer.accepted) answer.versions = DecodeVersions(channel_.LastResponse());
  return answer;
}

DownloadOutcome Adapter::Download(const DownloadPlan& plan, DownloadObserver& observer) {
  DownloadOutcome outcome = RunDownloadPlan(channel_, timing_, plan, observer);
  if (outcome.kind == Outcome::kFailed && !StillPresent()) outcome.kind = Outcome::kGone;
  return outcome;
}

bool Adapter::StillPresent() {
  const auto paths = hid_.EnumerateInterfaces();
  if (!paths) return true;  // the platform cannot tell: say nothing more
  return std::find(paths->begin(), paths->end(), channel_.DevicePath()) != paths->end();
}

}  // namespace kr35
