#include "explore/explore_run.h"

#include <algorithm>
#include <cstdio>
#include <random>

#include "explore/scenario_draw.h"
#include "explore/virtual_adapter_port.h"
#include "firmware/builtin_images.h"
#include "firmware/firmware_image.h"
#include "firmware/intel_hex.h"
#include "firmware/intel_hex_writer.h"
#include "protocol/firmware_transfer.h"
#include "sim/adapter_model.h"

namespace kr35 {
namespace {

constexpr std::uint8_t kStatusQuery = CMD_UPGRADE_STATUS | CMD_QUERY;

class RecordingInfoLine final : public InfoLine {
 public:
  void SetInfoText(const std::string& text) override { text_ = text; }
  void RefreshControls() override { shown.push_back(text_); }
  std::vector<std::string> shown;

 private:
  std::string text_;
};

std::string Printf(const char* format, auto... args) {
  char text[128];
  std::snprintf(text, sizeof text, format, args...);
  return text;
}

bool IsDspCode(std::uint8_t code) {
  return code == CMD_DSP_START || code == CMD_DSP_BLOCK || code == CMD_DSP_END ||
         code == kStatusQuery;
}

bool IsUsbCode(std::uint8_t code) {
  return code == CMD_USB_START || code == CMD_USB_BLOCK || code == CMD_USB_END ||
         code == CMD_USB_FINISH;
}

// What the adapter stores for a payload: every block whole, the last one padded.
std::vector<std::uint8_t> Stored(std::span<const std::uint8_t> payload, std::size_t blockSize) {
  std::vector<std::uint8_t> stored(payload.begin(), payload.end());
  stored.resize(BlockCount(payload.size(), blockSize) * blockSize, 0);
  return stored;
}

using Stores = std::optional<std::vector<std::uint8_t>>;

std::string Describe(const Stores& stored) {
  return stored ? std::to_string(stored->size()) + " bytes" : "nothing";
}

// The progress lines of a transfer are "<prefix>%d %." for blocks 0, 1, ...
// with the percentage of the blocks before; returns how many there are.
std::size_t ProgressLines(const std::vector<std::string>& shown, const char* format,
                          std::size_t blockSize, double factor, std::size_t blocks) {
  std::size_t k = 0;
  while (k < shown.size() && k < blocks &&
         shown[k] == Printf(format, static_cast<int>(static_cast<double>(k * blockSize) * factor /
                                                     static_cast<double>(blocks)))) {
    ++k;
  }
  return k;
}

class Checker {
 public:
  explicit Checker(std::vector<std::string>& violations) : violations_(violations) {}
  void Expect(bool condition, const std::string& what) {
    if (!condition) violations_.push_back(what);
  }

  // DSP texts: progress lines, then at most one error line; nothing after it.
  void DspTexts(const std::vector<std::string>& shown, bool result, std::size_t blockSize,
                std::size_t blocks) {
    const std::size_t k =
        ProgressLines(shown, "Download Completion: DSP %d %%.", blockSize, 1.66, blocks);
    std::vector<std::string> rest(shown.begin() + static_cast<std::ptrdiff_t>(k), shown.end());
    const bool clean = rest.empty() && k == blocks;
    const bool refused =
        rest.size() == 1 && (rest[0] == Printf("DSP Error, 0x%x bytes are written",
                                               static_cast<unsigned>(k * blockSize)) ||
                             (k == 0 && rest[0] == "DSP Error, the adapter stayed busy"));
    const bool notStarted = shown.empty();
    Expect(clean || refused || notStarted,
           "DSP progress texts out of order or wrong: " + Join(shown));
    Expect(!result || clean, "DSP transfer succeeded after " + Join(rest));
  }

  // USB texts: progress lines, at most one error line, then the end's verdict.
  void UsbTexts(const std::vector<std::string>& shown, bool result, std::size_t blocks) {
    if (shown.empty()) return;  // the start was not accepted
    const std::size_t k =
        ProgressLines(shown, "Download Completion: USB %d %%.", kUsbBlockSize, 3.125, blocks);
    std::vector<std::string> rest(shown.begin() + static_cast<std::ptrdiff_t>(k), shown.end());
    if (!rest.empty() && rest[0] == Printf("USB Error, 0x%x bytes are written",
                                           static_cast<unsigned>(k * kUsbBlockSize))) {
      rest.erase(rest.begin());
    } else {
      Expect(k == blocks, "USB progress stopped without an error text: " + Join(shown));
    }
    Expect(rest.size() == 1 && (rest[0] == "100 percent" || rest[0] == "USB download Failure"),
           "USB texts do not end with the end command's verdict: " + Join(shown));
    Expect(result == (!rest.empty() && rest.back() == "100 percent"),
           "USB result does not match its last text");
  }

 private:
  static std::string Join(const std::vector<std::string>& lines) {
    std::string text;
    for (std::size_t i = 0; i < lines.size(); ++i) {
      if (i == 3 && lines.size() > 6) {
        text += " ... ";
        i = lines.size() - 3;
      }
      text += "[" + lines[i] + "]";
    }
    return text;
  }
  std::vector<std::string>& violations_;
};

std::vector<std::uint8_t> RandomBytes(std::mt19937_64& random, std::size_t count) {
  std::vector<std::uint8_t> bytes(count);
  for (auto& byte : bytes) byte = static_cast<std::uint8_t>(random());
  return bytes;
}

// A FULL-mode HEX file of random data, and its image as the FULL dialog
// converts it.
void HexFileImage(std::mt19937_64& random, std::size_t maxPayload, int skip, std::string& text,
                  std::vector<std::uint8_t>& image) {
  const auto data = RandomBytes(random, random() % (maxPayload + 1));
  HexWriteOptions options;
  options.bytesPerRecord = 1 + random() % 32;
  options.lineEnd = random() % 2 ? "\r\n" : "\n";
  text = WriteIntelHex(data, options);
  image = ConvertHexFile(std::span(reinterpret_cast<const std::uint8_t*>(text.data()), text.size()),
                         skip);
}

}  // namespace

std::chrono::nanoseconds DownloadTimeBound(const Timing& timing, std::size_t dspBlocks,
                                           std::size_t usbBlocks) {
  // One command: every attempt waits out its answer, with the pauses between.
  const auto command =
      timing.attempts * timing.responseWait + std::max(timing.attempts - 1, 0) * timing.retryPause;
  // DSP: start, the status poll that ends past the wait's limit, the blocks,
  // end and final status. USB: start, the blocks, end and finish.
  const auto commands = static_cast<long long>(dspBlocks + 4 + usbBlocks + 3);
  return commands * command + timing.statusWaitLimit + timing.finishPause;
}

ExploreRun RunScenario(const Scenario& scenario, ExploreKind kind, const ExploreImages& images,
                       const Timing& timing) {
  ExploreRun run;
  run.kind = kind;
  run.scenario = scenario;
  run.images = images;
  Checker check(run.violations);

  const FirmwareImage dsp(images.dsp);
  const FirmwareImage usb(images.usb);
  const std::size_t dspBlockSize = static_cast<std::size_t>(scenario.hid.outputReportLength - 3);
  const std::size_t dspBlocks = BlockCount(dsp.Payload().size(), dspBlockSize);
  const std::size_t usbBlocks = BlockCount(usb.Payload().size(), kUsbBlockSize);

  AdapterModel model(scenario, static_cast<std::size_t>(scenario.hid.outputReportLength));
  const FlashState& old = images.old;
  model.SetFlash(old);

  VirtualAdapterPort port(model, scenario.hid, timing);
  RecordingInfoLine dspInfo, usbInfo;
  // Both front-ends refuse a download that includes the USB part before its
  // first frame when the output report cannot carry a USB block frame.
  const bool refused = !RefuseShortReportForUsb(port.OutputReportByteLength()).empty();
  const bool dspResult = !refused && DownloadDspFirmware(port, timing, dsp, dspInfo);
  const std::size_t dspFrames = port.Wire().size();
  bool usbResult = false;
  if (!refused && (dspResult || kind == ExploreKind::kFull)) {
    usbResult = DownloadUsbFirmware(port, timing, usb, usbInfo);
  }
  check.Expect(!refused || port.Wire().empty(),
               "frames went out although the output report cannot carry a USB block");
  run.succeeded = dspResult && usbResult;
  run.duration = port.Now();

  // Stored firmware: each part holds its old image or the new one, whole,
  // and a part reported downloaded holds the new one.
  const FlashState& flash = model.Flash();
  const Stores newDsp = Stored(dsp.Payload(), dspBlockSize);
  const Stores newUsb = Stored(usb.Payload(), kUsbBlockSize);
  check.Expect(flash.dsp == old.dsp || flash.dsp == newDsp,
               "DSP firmware is neither the old nor the new image: " + Describe(flash.dsp));
  check.Expect(flash.usb == old.usb || flash.usb == newUsb,
               "USB firmware is neither the old nor the new image: " + Describe(flash.usb));
  check.Expect(!dspResult || flash.dsp == newDsp,
               "DSP download reported successful, but the adapter holds " + Describe(flash.dsp));
  // The USB image is installed by CMD_USB_FINISH, whose answer the host does
  // not need; a finish that never reached the adapter leaves the old one.
  check.Expect(!usbResult || !port.Restarted() || flash.usb == newUsb,
               "USB download reported successful, but the adapter holds " + Describe(flash.usb));

  const auto bound = DownloadTimeBound(timing, dspBlocks, usbBlocks);
  check.Expect(run.duration <= bound,
               Printf("the run took %.3f s of virtual time, above the bound of %.3f s",
                      std::chrono::duration<double>(run.duration).count(),
                      std::chrono::duration<double>(bound).count()));

  // The wire: DSP frames first, USB frames after, none after a failed DSP
  // part in the standard mode; block frames carry nothing past their block.
  const auto& wire = port.Wire();
  bool finishSent = false;
  for (std::size_t i = 0; i < wire.size(); ++i) {
    const auto& bytes = wire[i].bytes;
    const std::uint8_t code = bytes.empty() ? 0 : bytes[0];
    check.Expect(i < dspFrames ? IsDspCode(code) : IsUsbCode(code),
                 Printf("frame %zu has code 0x%02x out of its transfer", i, unsigned{code}));
    const std::size_t carried = code == CMD_DSP_BLOCK   ? dspBlockSize
                                : code == CMD_USB_BLOCK ? kUsbBlockSize
                                                        : 4;
    check.Expect(std::all_of(bytes.begin() +
                                 static_cast<std::ptrdiff_t>(std::min(bytes.size(), 1 + carried)),
                             bytes.end(), [](std::uint8_t b) { return b == 0; }),
                 Printf("frame %zu (code 0x%02x) carries bytes past its data", i, unsigned{code}));
    finishSent = finishSent || code == CMD_USB_FINISH;
  }
  check.Expect(kind == ExploreKind::kFull || dspResult || wire.size() == dspFrames,
               "USB frames went out after the DSP transfer failed");
  check.Expect(!finishSent || (!usbInfo.shown.empty() && usbInfo.shown.back() == "100 percent"),
               "CMD_USB_FINISH went out after the end command was refused");
  check.DspTexts(dspInfo.shown, dspResult, dspBlockSize, dspBlocks);
  check.UsbTexts(usbInfo.shown, usbResult, usbBlocks);
  return run;
}

ExploreRun RunExploration(std::uint64_t seed, ExploreKind kind, const Timing& timing) {
  std::mt19937_64 random(seed);
  ExploreImages images;
  if (kind == ExploreKind::kStandard) {
    const auto dsp = LoadBuiltInImage(kDspImageId);
    const auto usb = LoadBuiltInImage(kUsbImageId);
    images.dsp.assign(dsp.begin(), dsp.end());
    images.usb.assign(usb.begin(), usb.end());
  } else {
    HexFileImage(random, 4000, kDspSkipDigits, images.dspHex, images.dsp);
    HexFileImage(random, 2000, kUsbSkipDigits, images.usbHex, images.usb);
  }
  const DrawTarget target{FirmwareImage(images.dsp).Payload().size(),
                          FirmwareImage(images.usb).Payload().size()};
  const Scenario scenario = DrawScenario(random, target);
  // Some firmware of an earlier download, or none.
  const std::size_t dspBlockSize = static_cast<std::size_t>(scenario.hid.outputReportLength - 3);
  if (random() % 2) images.old.dsp = RandomBytes(random, (random() % 40) * dspBlockSize);
  if (random() % 2) images.old.usb = RandomBytes(random, (random() % 40) * kUsbBlockSize);
  ExploreRun run = RunScenario(scenario, kind, images, timing);
  run.seed = seed;
  return run;
}

}  // namespace kr35
