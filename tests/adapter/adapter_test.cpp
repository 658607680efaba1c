// Several adapters are several objects: each with its own channel and reader
// thread, downloading at the same time on one simulated machine. An adapter
// another program holds gets nothing sent: after the claim's wait its
// exchanges end at once unanswered.
#include "adapter/adapter.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <numeric>
#include <span>
#include <thread>

#include "firmware/firmware_image.h"
#include "sim/sim_hid_backend.h"

namespace kr35 {
namespace {

// An image file: payload length, checksum, version, then the payload.
std::vector<std::uint8_t> ImageOf(std::size_t length, std::uint16_t version) {
  std::vector<std::uint8_t> image(kImageHeaderSize + length);
  const auto payload = std::span(image).subspan(kImageHeaderSize);
  std::iota(payload.begin(), payload.end(), std::uint8_t{1});
  const std::uint16_t checksum = ComputeChecksum(payload);
  const std::uint8_t header[kImageHeaderSize] = {static_cast<std::uint8_t>(length),
                                                 static_cast<std::uint8_t>(length >> 8),
                                                 0,
                                                 0,
                                                 static_cast<std::uint8_t>(checksum),
                                                 static_cast<std::uint8_t>(checksum >> 8),
                                                 static_cast<std::uint8_t>(version),
                                                 static_cast<std::uint8_t>(version >> 8)};
  std::copy(std::begin(header), std::end(header), image.begin());
  return image;
}

TEST(AdapterTest, TwoAdaptersDownloadAtOnce) {
  std::string error;
  auto scenario = ParseScenario(R"({"hid": {"adapters": 2}})", error);
  ASSERT_TRUE(scenario) << error;
  SimHidBackend backend(*scenario);
  Timing timing;
  timing.responseWait = std::chrono::milliseconds(500);
  const auto dsp = ImageOf(300, 0x0201);
  const auto usb = ImageOf(100, 0x0202);

  Adapter first(backend, timing), second(backend, timing);
  ASSERT_TRUE(first.Open("sim:adapter0"));
  ASSERT_TRUE(second.Open("sim:adapter1"));
  EXPECT_EQ(first.Identity().path, "sim:adapter0");
  EXPECT_EQ(second.Identity().product, "KR35 Headset Adapter (simulated)");
  EXPECT_TRUE(first.Versions().versions);

  DownloadPlan plan;
  plan.dsp = [&] { return PartImage{PartImage::Status::kReady, dsp}; };
  plan.usb = [&] { return PartImage{PartImage::Status::kReady, usb}; };
  DownloadOutcome outcomes[2];
  DownloadObserver quiet[2];
  std::thread other([&] { outcomes[1] = second.Download(plan, quiet[1]); });
  outcomes[0] = first.Download(plan, quiet[0]);
  other.join();
  for (const DownloadOutcome& outcome : outcomes) {
    EXPECT_EQ(OutcomeName(outcome.kind), std::string("done"));
  }
}

// The simulated adapter, held by another program while `busy` is set.
class HeldSimBackend final : public SimHidBackend {
 public:
  ClaimAttempt TryClaim(const std::string& path) override {
    ++tries;
    return busy ? ClaimAttempt::Busy({"other", 7}) : SimHidBackend::TryClaim(path);
  }
  std::atomic<bool> busy{true};
  std::atomic<int> tries{0};
};

TEST(AdapterTest, AClaimedAdapterGetsNothingAndItsExchangesEndAtOnce) {
  HeldSimBackend backend;
  Timing timing;  // the shipped waits: ten unanswered attempts would take 30 s
  timing.claimWait = std::chrono::milliseconds(300);
  Adapter adapter(backend, timing);
  ASSERT_TRUE(adapter.Open("sim:adapter0"));
  const auto dsp = ImageOf(300, 0x0201);
  DownloadPlan plan;
  plan.dsp = [&] { return PartImage{PartImage::Status::kReady, dsp}; };
  DownloadObserver quiet;

  const auto start = std::chrono::steady_clock::now();
  const VersionsAnswer answer = adapter.Versions();
  const DownloadOutcome outcome = adapter.Download(plan, quiet);
  const auto elapsed = std::chrono::steady_clock::now() - start;
  EXPECT_FALSE(answer.accepted);
  EXPECT_EQ(answer.text, "");
  ASSERT_TRUE(adapter.BusyHolder());
  EXPECT_EQ(BusyText(*adapter.BusyHolder()), "the adapter is busy: other (pid 7) is using it");
  EXPECT_EQ(OutcomeName(outcome.kind), std::string("failed"));
  EXPECT_EQ(outcome.step, TransferStep::kStart);
  EXPECT_FALSE(outcome.answer);
  EXPECT_GE(elapsed, 2 * timing.claimWait);     // each waited for the claim...
  EXPECT_LT(elapsed, std::chrono::seconds(3));  // ...and then sent nothing
  EXPECT_GT(backend.tries, 2);                  // polled, not tried once

  backend.busy = false;
  EXPECT_TRUE(adapter.Versions().versions);
  EXPECT_FALSE(adapter.BusyHolder());
}

}  // namespace
}  // namespace kr35
