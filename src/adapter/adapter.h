// One adapter: found by path, opened and closed on its own, asked for its
// versions, and given a download plan. Each Adapter has its own channel and
// reader thread, so several can exist and work at once.
#pragma once

#include <optional>
#include <string>

#include "adapter/download_plan.h"
#include "hid/adapter_identity.h"
#include "hid/hid_channel.h"

namespace kr35 {

// The answer to the versions query.
struct VersionsAnswer {
  bool accepted = false;  // an answer was taken and accepted
  std::string text;       // the decoded text of the last answer (empty without one)
  std::optional<InstalledVersions> versions;  // when the answer is the versions answer
};

class Adapter {
 public:
  explicit Adapter(HidBackend& hid, const Timing& timing = {}, Clock& clock = RealClock());
  Adapter(const Adapter&) = delete;
  Adapter& operator=(const Adapter&) = delete;

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

  VersionsAnswer Versions();

  // Runs the plan over this adapter's channel. A failure after which the
  // adapter is no longer present ends as kGone.
  DownloadOutcome Download(const DownloadPlan& plan, DownloadObserver& observer);

  HidChannel& Channel() { return channel_; }
  const HidChannel& Channel() const { return channel_; }
  const Timing& GetTiming() const { return timing_; }

 private:
  bool StillPresent();

  HidBackend& hid_;
  Timing timing_;
  HidChannel channel_;
};

}  // namespace kr35
