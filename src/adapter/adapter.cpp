#include "adapter/adapter.h"

#include <algorithm>
#include <chrono>

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

Adapter::~Adapter() = default;

Adapter::Exchange::Exchange(Adapter& adapter)
    : adapter_(adapter), claimed_(adapter.AcquireClaim()) {}

Adapter::Exchange::~Exchange() {
  adapter_.ReleaseClaim();
}

CommandPort& Adapter::Exchange::Port() {
  if (claimed_) return adapter_.channel_;
  if (!adapter_.silentPort_) {
    adapter_.silentPort_ = std::make_unique<SilentPort>(adapter_.channel_.OutputReportByteLength());
  }
  return *adapter_.silentPort_;
}

bool Adapter::AcquireClaim() {
  if (claimDepth_++ > 0) return claim_ != nullptr || !busyHolder_;
  busyHolder_.reset();
  if (!channel_.IsOpen()) return true;  // nothing to claim: the exchange fails on its own
  // Polled: the platforms give no wait that a dialog could keep its window alive through.
  constexpr auto kPoll = std::chrono::milliseconds(100);
  Clock& clock = channel_.GetClock();
  const auto deadline = clock.Now() + timing_.claimWait;
  for (auto tries = timing_.claimWait / kPoll + 1; tries >= 0; --tries) {
    ClaimAttempt attempt = hid_.TryClaim(channel_.DevicePath());
    if (attempt.claim) {
      claim_ = std::move(attempt.claim);
      claimNote_ = std::move(attempt.note);
      return true;
    }
    busyHolder_ = std::move(attempt.holder);
    const auto left = deadline - clock.Now();
    if (left <= std::chrono::nanoseconds::zero()) break;
    clock.SleepFor(std::min<std::chrono::milliseconds>(
        kPoll, std::chrono::ceil<std::chrono::milliseconds>(left)));
  }
  return false;
}

void Adapter::ReleaseClaim() {
  if (--claimDepth_ > 0) return;
  claim_.reset();
  silentPort_.reset();
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

std::string MirrorKey(const AdapterIdentity& identity) {
  return identity.usbPort.empty() ? identity.path : identity.usbPort;
}

std::unique_ptr<AdapterClaim> Adapter::HoldMirrorMark() {
  if (!IsOpen()) return nullptr;
  return hid_.HoldMirrorMark(MirrorKey(Identity()));
}

bool Adapter::MirrorMarkHeld() {
  return IsOpen() && hid_.MirrorMarkHeld(MirrorKey(Identity()));
}

VersionsAnswer Adapter::Versions() {
  VersionsAnswer answer;
  Exchange exchange(*this);
  CommandPort& port = exchange.Port();
  answer.accepted = SendCommand(port, timing_, MakeQueryFrame(CMD_VERSIONS), answer.text);
  if (answer.accepted) answer.versions = DecodeVersions(port.LastResponse());
  if (answer.versions) {
    lastVersions_ = answer.versions;
    if (afterHistory_) afterHistory_->After(afterId_, *answer.versions);
    afterHistory_.reset();
  }
  return answer;
}

DownloadOutcome Adapter::Download(const DownloadPlan& plan, DownloadObserver& observer) {
  Exchange exchange(*this);
  // Only a download that can send is recorded: nothing goes to a busy or absent adapter.
  const auto history = exchange.Claimed() && IsOpen() ? InstalledDownloadHistory() : nullptr;
  const auto start = std::chrono::steady_clock::now();
  afterHistory_.reset();
  const std::string id =
      history
          ? history->Begin(Identity(), lastVersions_ ? lastVersions_ : plan.versionsBefore, plan)
          : std::string();
  DownloadOutcome outcome = RunDownloadPlan(exchange.Port(), timing_, plan, observer);
  if (outcome.kind == Outcome::kFailed && !StillPresent()) outcome.kind = Outcome::kGone;
  if (history) {
    history->End(id, outcome,
                 std::chrono::duration_cast<std::chrono::milliseconds>(
                     std::chrono::steady_clock::now() - start));
    if (outcome.Done()) {
      afterHistory_ = history;
      afterId_ = id;
    }
  }
  return outcome;
}

bool Adapter::StillPresent() {
  const auto paths = hid_.EnumerateInterfaces();
  if (!paths) return true;  // the platform cannot tell: say nothing more
  return std::find(paths->begin(), paths->end(), channel_.DevicePath()) != paths->end();
}

}  // namespace kr35
