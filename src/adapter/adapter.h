// One adapter: found by path, opened and closed on its own, asked for its
// versions, and given a download plan. Each Adapter has its own channel and
// reader thread, so several can exist and work at once.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <utility>

#include "adapter/download_history.h"
#include "adapter/download_plan.h"
#include "adapter/silent_port.h"
#include "hid/adapter_claim.h"
#include "hid/adapter_identity.h"
#include "hid/hid_channel.h"

namespace kr35 {

// The answer to the versions query.
struct VersionsAnswer {
  bool accepted = false;  // an answer was taken and accepted
  std::string text;       // the decoded text of the last answer (empty without one)
  std::optional<InstalledVersions> versions;  // when the answer is the versions answer
};

// The key of an adapter's mirror mark: its USB port, which it keeps across
// its restarts, else its path.
std::string MirrorKey(const AdapterIdentity& identity);

class Adapter {
 public:
  explicit Adapter(HidBackend& hid, const Timing& timing = {}, Clock& clock = RealClock());
  ~Adapter();
  Adapter(const Adapter&) = delete;
  Adapter& operator=(const Adapter&) = delete;

  // One exchange or download with the adapter claimed: the claim is taken
  // (waiting up to Timing::claimWait for another program to release it)
  // before the first frame and kept until the outermost Exchange ends.
  // Reading input reports needs no claim.
  class Exchange {
   public:
    explicit Exchange(Adapter& adapter);
    ~Exchange();
    Exchange(const Exchange&) = delete;
    Exchange& operator=(const Exchange&) = delete;
    // The channel when claimed; otherwise a port that sends nothing and
    // answers nothing at once.
    CommandPort& Port();
    bool Claimed() const { return claimed_; }

   private:
    Adapter& adapter_;
    bool claimed_;
  };

  // Opens the first present interface that is the adapter; true when open.
  bool OpenFirst();
  // Opens the adapter at `path`; false, and closed, when it is not the adapter.
  bool Open(const std::string& path);
  void Close();
  bool IsOpen() const { return channel_.IsOpen(); }

  // Who the open adapter is, read now: ids, strings, serial number and USB
  // port where the platform gives them. When it can no longer be read, the
  // ids and strings read when it was opened.
  AdapterIdentity Identity() const;

  // A versions answer is kept for the download history (the versions before
  // a download, and after one that was done).
  VersionsAnswer Versions();

  // Runs the plan over this adapter's channel, recorded in the installed
  // download history (begin before the first frame, end after the last). A failure after which the
  // adapter is no longer present ends as kGone. While another program holds
  // the adapter nothing is sent and the parts fail as unanswered.
  DownloadOutcome Download(const DownloadPlan& plan, DownloadObserver& observer);

  HidChannel& Channel() { return channel_; }
  const HidChannel& Channel() const { return channel_; }
  const Timing& GetTiming() const { return timing_; }

  // Holds the open adapter's mirror mark (hid/adapter_claim.h) while the
  // result lives; null when closed or where nothing else can reach it.
  std::unique_ptr<AdapterClaim> HoldMirrorMark();
  // True while another process holds the open adapter's mirror mark.
  bool MirrorMarkHeld();

  // Who held the adapter when the latest claim could not be had; none when
  // the latest one was taken.
  const std::optional<ClaimHolder>& BusyHolder() const { return busyHolder_; }
  // What the latest claim taken had to say (a claim taken over), once.
  std::string TakeClaimNote() { return std::exchange(claimNote_, {}); }

 private:
  bool StillPresent();
  bool AcquireClaim();
  void ReleaseClaim();

  HidBackend& hid_;
  Timing timing_;
  HidChannel channel_;
  std::unique_ptr<AdapterClaim> claim_;
  int claimDepth_ = 0;  // Exchanges under way
  std::optional<ClaimHolder> busyHolder_;
  std::string claimNote_;
  std::unique_ptr<SilentPort> silentPort_;
  std::optional<InstalledVersions> lastVersions_;  // the latest versions answer
  // A download that was done waits for the versions the adapter reports next.
  std::shared_ptr<DownloadHistory> afterHistory_;
  std::string afterId_;
};

}  // namespace kr35
