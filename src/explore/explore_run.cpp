#include "explore/explore_run.h"

#include <algorithm>
#include <cstdio>
#include <random>

#include "adapter/download_plan.h"
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

// The typed events of one part, in the order they came.
struct PartEvents {
  std::vector<TransferProgress> progress;
  std::vector<TransferFailure> failures;
  bool done = false;
  bool progressAfterEnd = false;  // progress after a failure or the verdict
  std::optional<TransferResult> result;

  bool Succeeded() const { return result && result->Succeeded(); }
};

class EventLog final : public DownloadObserver {
 public:
  explicit EventLog(const VirtualAdapterPort& port) : port_(port) {}
  void OnProgress(const TransferProgress& progress) override {
    PartEvents& part = Of(progress.part);
    part.progressAfterEnd = part.progressAfterEnd || !part.failures.empty() || part.done;
    part.progress.push_back(progress);
  }
  void OnFailed(const TransferFailure& failure) override {
    Of(failure.part).failures.push_back(failure);
  }
  void OnDone(TransferPart part) override { Of(part).done = true; }
  void OnPartFinished(TransferPart part, const TransferResult& result) override {
    Of(part).result = result;
    if (part == TransferPart::kDsp) dspFrames = port_.Wire().size();
  }

  PartEvents dsp, usb;
  std::optional<std::size_t> dspFrames;  // frames on the wire when the DSP part ended

 private:
  PartEvents& Of(TransferPart part) { return part == TransferPart::kDsp ? dsp : usb; }
  const VirtualAdapterPort& port_;
};

std::string Describe(const PartEvents& events) {
  std::string text = std::to_string(events.progress.size()) + " progress events";
  for (const TransferFailure& failure : events.failures) {
    text += std::string(", failed at ") + TransferStepName(failure.step);
    if (failure.block) text += " " + std::to_string(*failure.block);
  }
  return text + (events.done ? ", done" : "");
}

class Checker {
 public:
  explicit Checker(std::vector<std::string>& violations) : violations_(violations) {}
  void Expect(bool condition, const std::string& what) {
    if (!condition) violations_.push_back(what);
  }

  // Progress: blocks 1, 2, ... k of `blocks` in turn, each after the bytes of
  // the blocks before it, the percentage never going back.
  std::size_t Progress(const PartEvents& events, const char* part, std::size_t blockSize,
                       std::size_t blocks) {
    const auto& progress = events.progress;
    for (std::size_t i = 0; i < progress.size(); ++i) {
      const TransferProgress& p = progress[i];
      Expect(p.blocksDone == i + 1 && p.blocks == blocks && p.bytesSent == i * blockSize &&
                 (i == 0 ? p.percent == 0 : p.percent >= progress[i - 1].percent),
             Printf("%s progress event %zu out of order or wrong", part, i));
    }
    Expect(!events.progressAfterEnd, std::string(part) + " progress after its end");
    return progress.size();
  }

  // DSP: progress, then at most one failure; a refused block or a wait that
  // ended busy stops it, an unanswered end or a bad status comes after every block.
  void Dsp(const PartEvents& events, std::size_t blockSize, std::size_t blocks) {
    const std::size_t k = Progress(events, "DSP", blockSize, blocks);
    Expect(events.failures.size() <= 1, "DSP failed more than once: " + Describe(events));
    if (!events.failures.empty()) {
      const TransferFailure& failure = events.failures.front();
      const bool consistent =
          failure.step == TransferStep::kBlock
              ? failure.block == k + 1 && failure.bytesWritten == k * blockSize
          : failure.step == TransferStep::kStart || failure.step == TransferStep::kReady
              ? k == 0
              : k == blocks;
      Expect(consistent, "DSP failure out of place: " + Describe(events));
    }
    const bool refused = events.result && events.result->refusal;
    Expect(events.done == (events.result && !refused && events.failures.empty() && k == blocks),
           "DSP verdict does not match its events: " + Describe(events));
    Expect(events.Succeeded() == events.done, "DSP result does not match its events");
  }

  // USB: progress, at most one refused block, then the end's verdict.
  void Usb(const PartEvents& events, std::size_t blocks) {
    const std::size_t k = Progress(events, "USB", kUsbBlockSize, blocks);
    std::vector<TransferFailure> rest = events.failures;
    if (!rest.empty() && rest.front().step == TransferStep::kStart) {
      Expect(rest.size() == 1 && k == 0 && !events.done, "USB went on after its start failed");
      return;
    }
    if (!rest.empty() && rest.front().step == TransferStep::kBlock) {
      Expect(rest.front().block == k + 1 && rest.front().bytesWritten == k * kUsbBlockSize,
             "USB block failure out of place: " + Describe(events));
      rest.erase(rest.begin());
    } else {
      Expect(k == blocks || !events.result,
             "USB progress stopped without a failure: " + Describe(events));
    }
    if (!events.result) return;
    const bool endRefused = rest.size() == 1 && rest.front().step == TransferStep::kEnd;
    Expect(events.done != endRefused && (rest.empty() || endRefused),
           "USB does not end with the end command's verdict: " + Describe(events));
    Expect(events.Succeeded() == events.done, "USB result does not match its verdict");
  }

 private:
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
  // The front-ends' plan: the standard mode stops at the first part that
  // fails, the FULL mode tries both.
  DownloadPlan plan;
  plan.dsp = [&] { return PartImage{PartImage::Status::kReady, dsp.Bytes()}; };
  plan.usb = [&] { return PartImage{PartImage::Status::kReady, usb.Bytes()}; };
  plan.continueAfterFailure = kind == ExploreKind::kFull;
  EventLog events(port);
  const DownloadOutcome outcome = RunDownloadPlan(port, timing, plan, events);
  const bool refused = outcome.kind == Outcome::kRefused;
  const bool dspResult = events.dsp.Succeeded();
  const bool usbResult = events.usb.Succeeded();
  const std::size_t dspFrames = events.dspFrames.value_or(port.Wire().size());
  check.Expect(!refused || port.Wire().empty(),
               "frames went out although the download was refused");
  check.Expect(outcome.Done() == (dspResult && usbResult), "the outcome does not match the parts");
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
  check.Expect(!finishSent || events.usb.done,
               "CMD_USB_FINISH went out after the end command was refused");
  check.Dsp(events.dsp, dspBlockSize, dspBlocks);
  check.Usb(events.usb, usbBlocks);
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
