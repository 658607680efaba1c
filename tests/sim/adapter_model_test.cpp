#include "sim/adapter_model.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "firmware/firmware_image.h"
#include "protocol/frames.h"
#include "sim/scenario.h"
#if KR35_SIM_TEST_BUILTIN_IMAGES
#include "firmware/builtin_images.h"
#endif

namespace kr35 {
namespace {

constexpr std::size_t kFrameLength = 62;  // L of the default output report

// An image's payload and the checksum its header carries.
struct Image {
  std::vector<std::uint8_t> payload;
  std::uint16_t checksum = 0;
  std::uint16_t version = 0;
};

std::uint16_t Sum(const std::vector<std::uint8_t>& bytes) {
  unsigned sum = 0;
  for (std::uint8_t b : bytes) sum += b;
  return static_cast<std::uint16_t>(sum);
}

Image SyntheticImage(std::size_t length, std::uint16_t version, unsigned seed) {
  Image image;
  image.payload.resize(length);
  for (std::size_t i = 0; i < length; ++i) {
    seed = seed * 1103515245u + 12345u;
    image.payload[i] = static_cast<std::uint8_t>(seed >> 16);
  }
  image.payload[kPayloadVersionOffset] = static_cast<std::uint8_t>(version & 0xFF);
  image.payload[kPayloadVersionOffset + 1] = static_cast<std::uint8_t>(version >> 8);
  image.checksum = Sum(image.payload);
  image.version = version;
  return image;
}

// The built-in image when the firmware library is built, else one of the same size and version.
Image ShippedImage(int id) {
#if KR35_SIM_TEST_BUILTIN_IMAGES
  const FirmwareImage builtIn(LoadBuiltInImage(id));
  if (builtIn.IsComplete()) {
    const auto payload = builtIn.Payload();
    return Image{{payload.begin(), payload.end()}, builtIn.Checksum(), builtIn.Version()};
  }
#endif
  return id == kDspImageId ? SyntheticImage(59278, 0x0107, 7) : SyntheticImage(6021, 0x0104, 3);
}

std::span<const std::uint8_t> AsSent(const CommandFrame& frame) {
  return std::span<const std::uint8_t>(frame.data(), kFrameLength);
}

// One frame that must get exactly one answer.
ResponseFrame Answer(AdapterModel& model, const CommandFrame& frame) {
  const auto responses = model.Handle(AsSent(frame));
  EXPECT_EQ(responses.size(), 1u) << "command 0x" << std::hex << int(frame[0]);
  return responses.empty() ? ResponseFrame{0xEE, 0xEE, 0xEE, 0xEE, 0xEE} : responses.front();
}

// The host's side of one command: up to 10 attempts, again after silence or a
// rejected answer; the last answer taken stays in `last`.
struct Host {
  AdapterModel& model;
  ResponseFrame last{};
  int writes = 0;

  bool Send(const CommandFrame& frame) {
    for (int attempt = 0; attempt < 10; ++attempt) {
      ++writes;
      const auto responses = model.Handle(AsSent(frame));
      if (responses.empty()) continue;
      last = responses.back();
      std::string text;
      if (DecodeResponse(last, text)) return true;
    }
    return false;
  }

  bool PollReady() {
    Send(MakeQueryFrame(CMD_UPGRADE_STATUS));
    return last[1] != UPGRADE_BUSY && last[1] != UPGRADE_CHECKSUM_BAD;
  }

  bool DownloadDsp(const Image& image, std::size_t blockSize) {
    const std::uint16_t blocks = BlockCount(image.payload.size(), blockSize);
    if (!Send(MakeWordFrame(CMD_DSP_START, blocks))) return false;
    int polls = 0;
    while (!PollReady()) {
      if (++polls > 50) return false;
    }
    bool failed = false;
    for (std::size_t o = 0; o < image.payload.size(); o += blockSize) {
      const std::size_t n = std::min(blockSize, image.payload.size() - o);
      Send(MakeBlockFrame(CMD_DSP_BLOCK, std::span(image.payload).subspan(o, n)));
      if (last[1] != 0) {
        failed = true;
        break;
      }
    }
    if (!Send(MakeWordFrame(CMD_DSP_END, image.checksum)) || failed) return false;
    return PollReady();
  }

  bool DownloadUsb(const Image& image) {
    if (!Send(MakeWordFrame(CMD_USB_START, BlockCount(image.payload.size(), kUsbBlockSize)))) {
      return false;
    }
    for (std::size_t o = 0; o < image.payload.size(); o += kUsbBlockSize) {
      const std::size_t n = std::min(kUsbBlockSize, image.payload.size() - o);
      Send(MakeBlockFrame(CMD_USB_BLOCK, std::span(image.payload).subspan(o, n)));
      if (last[0] != RSP_ACK) break;
    }
    Send(MakeWordFrame(CMD_USB_END, image.checksum));
    if (last[0] != RSP_ACK) return false;
    Send(MakeCodeFrame(CMD_USB_FINISH));
    return true;
  }
};

Scenario MustParse(const std::string& json) {
  std::string error;
  auto scenario = ParseScenario(json, error);
  EXPECT_TRUE(scenario.has_value()) << error;
  return scenario.value_or(Scenario{});
}

ResponseFrame VersionsAnswer(std::uint16_t usb, std::uint16_t dsp) {
  return {RSP_VERSIONS, static_cast<std::uint8_t>(usb), static_cast<std::uint8_t>(usb >> 8),
          static_cast<std::uint8_t>(dsp), static_cast<std::uint8_t>(dsp >> 8)};
}

const ResponseFrame kAck{RSP_ACK, 0, 0, 0, 0};

TEST(AdapterModelTest, ReportsDefaultOrChosenVersionsBeforeAnyDownload) {
  AdapterModel fresh;
  EXPECT_EQ(Answer(fresh, MakeQueryFrame(CMD_VERSIONS)), VersionsAnswer(0x0100, 0x0100));

  AdapterModel chosen(MustParse(R"({"versions": {"usb": "0x0203", "dsp": 772}})"));
  EXPECT_EQ(Answer(chosen, MakeQueryFrame(CMD_VERSIONS)), VersionsAnswer(0x0203, 0x0304));
}

TEST(AdapterModelTest, FullDownloadOfShippedImagesChangesTheReportedVersions) {
  const Image dsp = ShippedImage(kDspImageId);
  const Image usb = ShippedImage(kUsbImageId);
  AdapterModel model;
  Host host{model};

  EXPECT_EQ(Answer(model, MakeQueryFrame(CMD_UPGRADE_STATUS))[1], UPGRADE_IDLE);
  ASSERT_TRUE(host.DownloadDsp(dsp, model.DspBlockSize()));
  EXPECT_EQ(host.last, (ResponseFrame{RSP_UPGRADE_STATUS, UPGRADE_CHECKSUM_GOOD, 0, 0, 0}));
  EXPECT_FALSE(model.RestartRequested());
  ASSERT_TRUE(host.DownloadUsb(usb));
  EXPECT_TRUE(model.RestartRequested());

  EXPECT_EQ(Answer(model, MakeQueryFrame(CMD_VERSIONS)), VersionsAnswer(0x0104, 0x0107));
  EXPECT_EQ(dsp.version, 0x0107);
  EXPECT_EQ(usb.version, 0x0104);

  // What is stored: every block as sent, the padding of the last one included.
  ASSERT_TRUE(model.Flash().dsp.has_value());
  EXPECT_EQ(model.Flash().dsp->size(), 972u * 61u);
  EXPECT_TRUE(std::equal(dsp.payload.begin(), dsp.payload.end(), model.Flash().dsp->begin()));
  ASSERT_TRUE(model.Flash().usb.has_value());
  EXPECT_EQ(model.Flash().usb->size(), 189u * 32u);
}

TEST(AdapterModelTest, DspBlockSizeFollowsTheOutputReportLength) {
  const Image dsp = ShippedImage(kDspImageId);
  AdapterModel model({}, 63);
  ASSERT_EQ(model.DspBlockSize(), 60u);
  Host host{model};
  ASSERT_TRUE(host.DownloadDsp(dsp, 60));
  EXPECT_EQ(model.Flash().dsp->size(), 988u * 60u);
  EXPECT_EQ(model.InstalledDspVersion(), 0x0107);
}

TEST(AdapterModelTest, StatusIsBusyForTheChosenNumberOfQueriesThenReady) {
  struct Case {
    std::string scenario;
    int busy;  // -1: still busy after many queries
  };
  for (const Case& c :
       {Case{"{}", 1}, Case{R"({"busy_polls": 0})", 0}, Case{R"({"busy_polls": 3})", 3},
        Case{R"({"busy_polls": "forever"})", -1}}) {
    SCOPED_TRACE(c.scenario);
    AdapterModel model(MustParse(c.scenario));
    EXPECT_EQ(Answer(model, MakeWordFrame(CMD_DSP_START, 1)), kAck);
    // A block while busy is refused.
    const std::uint8_t data[] = {1, 2, 3};
    if (c.busy != 0) {
      EXPECT_EQ(Answer(model, MakeBlockFrame(CMD_DSP_BLOCK, data))[1], RSP_NAK_BUSY);
    }
    const int queries = c.busy < 0 ? 100 : c.busy;
    for (int i = 0; i < queries; ++i) {
      EXPECT_EQ(Answer(model, MakeQueryFrame(CMD_UPGRADE_STATUS))[1], UPGRADE_BUSY);
    }
    if (c.busy >= 0) {
      EXPECT_EQ(Answer(model, MakeQueryFrame(CMD_UPGRADE_STATUS))[1], UPGRADE_READY_4_BLOCK);
    }
  }
}

TEST(AdapterModelTest, BadOrIncompleteDspImageLeavesTheOldFirmware) {
  const Image good = SyntheticImage(500, 0x0222, 1);
  const Image previous = SyntheticImage(500, 0x0111, 2);
  struct Case {
    const char* name;
    std::string scenario;
    std::uint16_t checksum;
    std::size_t blocksSent;  // of 9
  };
  const std::uint16_t wrong = static_cast<std::uint16_t>(good.checksum + 1);
  for (const Case& c : {Case{"wrong checksum", "{}", wrong, 9},
                        Case{"forced bad", R"({"force_checksum_bad": "dsp"})", good.checksum, 9},
                        Case{"block missing", "{}", good.checksum, 8}}) {
    SCOPED_TRACE(c.name);
    AdapterModel model(MustParse(c.scenario));
    model.SetFlash(FlashState{std::nullopt, previous.payload});
    const std::uint16_t blocks = BlockCount(good.payload.size(), 61);
    ASSERT_EQ(blocks, 9);
    Answer(model, MakeWordFrame(CMD_DSP_START, blocks));
    Answer(model, MakeQueryFrame(CMD_UPGRADE_STATUS));
    for (std::size_t k = 0; k < c.blocksSent; ++k) {
      const std::size_t n = std::min<std::size_t>(61, good.payload.size() - k * 61);
      EXPECT_EQ(
          Answer(model, MakeBlockFrame(CMD_DSP_BLOCK, std::span(good.payload).subspan(k * 61, n))),
          kAck);
    }
    EXPECT_EQ(Answer(model, MakeWordFrame(CMD_DSP_END, c.checksum)), kAck);
    EXPECT_EQ(Answer(model, MakeQueryFrame(CMD_UPGRADE_STATUS))[1], UPGRADE_CHECKSUM_BAD);
    EXPECT_EQ(model.InstalledDspVersion(), 0x0111);
  }
}

TEST(AdapterModelTest, UsbImageIsInstalledOnlyAfterAnAcceptedEndAndFinish) {
  const Image image = SyntheticImage(100, 0x0333, 4);  // 4 blocks
  {
    AdapterModel model;
    Answer(model, MakeWordFrame(CMD_USB_START, 4));
    for (int k = 0; k < 4; ++k) {
      Answer(model, MakeBlockFrame(CMD_USB_BLOCK,
                                   std::span(image.payload).subspan(k * 32, k < 3 ? 32 : 4)));
    }
    EXPECT_EQ(Answer(model, MakeWordFrame(CMD_USB_END, image.checksum ^ 1))[0], RSP_NAK_CMD);
    EXPECT_EQ(Answer(model, MakeCodeFrame(CMD_USB_FINISH))[0], RSP_NAK_CMD);
    EXPECT_FALSE(model.RestartRequested());
    EXPECT_EQ(model.InstalledUsbVersion(), 0x0100);
  }
  {
    AdapterModel model;
    Answer(model, MakeWordFrame(CMD_USB_START, 4));
    for (int k = 0; k < 4; ++k) {
      Answer(model, MakeBlockFrame(CMD_USB_BLOCK,
                                   std::span(image.payload).subspan(k * 32, k < 3 ? 32 : 4)));
    }
    EXPECT_EQ(Answer(model, MakeWordFrame(CMD_USB_END, image.checksum)), kAck);
    EXPECT_EQ(model.InstalledUsbVersion(), 0x0100) << "not installed before the finish";
    EXPECT_EQ(Answer(model, MakeCodeFrame(CMD_USB_FINISH)), kAck);
    EXPECT_EQ(model.InstalledUsbVersion(), 0x0333);
    EXPECT_TRUE(model.RestartRequested());
    model.ClearRestartRequest();
    EXPECT_FALSE(model.RestartRequested());
  }
}

TEST(AdapterModelTest, NewStartDiscardsAPartialUpgrade) {
  const Image image = SyntheticImage(200, 0x0444, 5);  // 7 USB blocks
  AdapterModel model;
  Host host{model};
  Answer(model, MakeWordFrame(CMD_USB_START, 7));
  Answer(model, MakeBlockFrame(CMD_USB_BLOCK, std::span(image.payload).subspan(0, 32)));
  Answer(model, MakeBlockFrame(CMD_USB_BLOCK, std::span(image.payload).subspan(32, 32)));
  EXPECT_EQ(model.InstalledUsbVersion(), 0x0100);
  ASSERT_TRUE(host.DownloadUsb(image));
  EXPECT_EQ(model.InstalledUsbVersion(), 0x0444);
}

TEST(AdapterModelTest, BlocksOutsideAnUpgradeOrBeyondItsCountAreRefused) {
  AdapterModel model({}, 64);
  const std::uint8_t data[] = {9};
  EXPECT_EQ(Answer(model, MakeBlockFrame(CMD_DSP_BLOCK, data)),
            (ResponseFrame{RSP_NAK_CMD, 1, 0, 0, 0}));
  EXPECT_EQ(Answer(model, MakeBlockFrame(CMD_USB_BLOCK, data))[0], RSP_NAK_CMD);
  EXPECT_EQ(Answer(model, MakeWordFrame(CMD_DSP_END, 0))[0], RSP_NAK_CMD);
  EXPECT_EQ(Answer(model, MakeWordFrame(CMD_USB_END, 0))[0], RSP_NAK_CMD);

  Answer(model, MakeWordFrame(CMD_DSP_START, 1));
  Answer(model, MakeQueryFrame(CMD_UPGRADE_STATUS));
  EXPECT_EQ(Answer(model, MakeBlockFrame(CMD_DSP_BLOCK, data)), kAck);
  EXPECT_EQ(Answer(model, MakeBlockFrame(CMD_DSP_BLOCK, data))[1], RSP_NAK_CMD);
  EXPECT_EQ(Answer(model, MakeQueryFrame(0x7F | CMD_QUERY))[0], RSP_NAK_CMD);
}

TEST(AdapterModelTest, PayloadTooShortForAVersionReportsZero) {
  const Image tiny = SyntheticImage(8, 0x0555, 6);
  std::vector<std::uint8_t> seven(tiny.payload.begin(), tiny.payload.begin() + 7);
  AdapterModel model;
  model.SetFlash(FlashState{seven, tiny.payload});
  EXPECT_EQ(Answer(model, MakeQueryFrame(CMD_VERSIONS)), VersionsAnswer(0x0000, 0x0555));
}

TEST(AdapterModelTest, RefusalRulesApplyAtTheChosenBlockOrOccurrence) {
  const Image image = SyntheticImage(61 * 8, 0x0666, 8);
  AdapterModel model(MustParse(R"({"rules": [
      {"match": {"command": "CMD_DSP_BLOCK", "block": 5}, "answer": "RSP_NAK_DSP", "times": 2},
      {"match": {"command": "0x9C", "occurrence": 2}, "answer": "RSP_NAK_BUSY"}]})"));
  Answer(model, MakeWordFrame(CMD_DSP_START, 8));
  Answer(model, MakeQueryFrame(CMD_UPGRADE_STATUS));
  std::vector<ResponseFrame> answers;
  for (std::size_t k = 0; k < 8; ++k) {
    const auto block = MakeBlockFrame(CMD_DSP_BLOCK, std::span(image.payload).subspan(k * 61, 61));
    answers.push_back(Answer(model, block));
    // A refused block is sent again and keeps its position.
    while (answers.back()[1] != 0) answers.push_back(Answer(model, block));
  }
  const ResponseFrame nak{RSP_NAK_DSP, RSP_NAK_DSP, 0, 0, 0};
  const std::vector<ResponseFrame> expected{kAck, kAck, kAck, kAck, nak,
                                            nak,  kAck, kAck, kAck, kAck};
  EXPECT_EQ(answers, expected);
  Answer(model, MakeWordFrame(CMD_DSP_END, image.checksum));
  EXPECT_EQ(Answer(model, MakeQueryFrame(CMD_UPGRADE_STATUS))[1], UPGRADE_CHECKSUM_GOOD);

  EXPECT_EQ(Answer(model, MakeQueryFrame(CMD_VERSIONS))[0], RSP_VERSIONS);
  EXPECT_EQ(Answer(model, MakeQueryFrame(CMD_VERSIONS))[0], RSP_NAK_BUSY);
  EXPECT_EQ(Answer(model, MakeQueryFrame(CMD_VERSIONS))[0], RSP_VERSIONS);
}

TEST(AdapterModelTest, AlwaysRefusedUsbEndFailsTheDownloadAndKeepsTheFirmware) {
  AdapterModel model(MustParse(
      R"({"rules": [{"match": {"command": 16}, "answer": "RSP_NAK_CMD", "times": "always"}]})"));
  Host host{model};
  const Image image = SyntheticImage(64, 0x0777, 9);
  EXPECT_FALSE(host.DownloadUsb(image));
  EXPECT_FALSE(host.DownloadUsb(image));
  EXPECT_EQ(model.InstalledUsbVersion(), 0x0100);
  EXPECT_FALSE(model.RestartRequested());
}

TEST(AdapterModelTest, SilenceDropsTheCommandUnlessItIsProcessed) {
  AdapterModel quiet(MustParse(
      R"({"rules": [{"match": {"command": "CMD_VERSIONS"}, "answer": "silence", "times": 2}]})"));
  EXPECT_TRUE(quiet.Handle(AsSent(MakeQueryFrame(CMD_VERSIONS))).empty());
  EXPECT_TRUE(quiet.Handle(AsSent(MakeQueryFrame(CMD_VERSIONS))).empty());
  EXPECT_EQ(Answer(quiet, MakeQueryFrame(CMD_VERSIONS))[0], RSP_VERSIONS);

  // A block taken but whose answer is lost is sent again and stored twice; the
  // host's last block is then one too many, and the end finds the image bad.
  const Image image = SyntheticImage(61 * 4, 0x0888, 10);
  AdapterModel lossy(MustParse(R"({"rules": [{"match": {"command": "CMD_DSP_BLOCK", "block": 2},
      "answer": "silence", "process": true}]})"));
  Host host{lossy};
  EXPECT_FALSE(host.DownloadDsp(image, 61));
  EXPECT_EQ(lossy.UpgradeStatus(), UPGRADE_CHECKSUM_BAD);
  EXPECT_EQ(lossy.InstalledDspVersion(), 0x0100);
}

TEST(AdapterModelTest, RulesCanAddHeadsetStatusAndStateAnswers) {
  AdapterModel model(MustParse(R"({"rules": [
      {"match": {"command": "CMD_VERSIONS", "occurrence": 1},
       "unsolicited": [{"headset_status": 1}, [29, 2]]},
      {"match": {"command": "CMD_UPGRADE_STATUS"}, "answer": {"two_bit_state": 2}, "delay_ms": 2500}]})"));
  const auto responses = model.Handle(AsSent(MakeQueryFrame(CMD_VERSIONS)));
  ASSERT_EQ(responses.size(), 3u);
  EXPECT_EQ(responses[0], VersionsAnswer(0x0100, 0x0100));
  EXPECT_EQ(responses[1], (ResponseFrame{RSP_HEADSET_STATUS, 1, 0, 0, 0}));
  EXPECT_EQ(responses[2], (ResponseFrame{RSP_HEADSET_STATUS, 2, 0, 0, 0}));
  EXPECT_EQ(model.LastAnswerDelayMs(), 0);

  EXPECT_EQ(Answer(model, MakeQueryFrame(CMD_UPGRADE_STATUS)),
            (ResponseFrame{RSP_TWO_BIT_STATE, 2, 0, 0, 0}));
  EXPECT_EQ(model.LastAnswerDelayMs(), 2500);
  EXPECT_EQ(model.CommandCount(), 2u);
}

}  // namespace
}  // namespace kr35
