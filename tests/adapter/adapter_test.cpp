// Several adapters are several objects: each with its own channel and reader
// thread, downloading at the same time on one simulated machine.
#include "adapter/adapter.h"

#include <gtest/gtest.h>

#include <algorithm>
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

}  // namespace
}  // namespace kr35
