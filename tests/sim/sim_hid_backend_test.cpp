#include "sim/sim_hid_backend.h"

#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <thread>

#include <nlohmann/json.hpp>

#include "hid/recording_queue.h"
#include "hid/report_descriptor_parser.h"
#include "sim/sim_report_descriptor.h"

namespace kr35 {
namespace {

using namespace std::chrono_literals;

Scenario MustParse(const std::string& json) {
  std::string error;
  auto scenario = ParseScenario(json, error);
  EXPECT_TRUE(scenario.has_value()) << error;
  return scenario.value_or(Scenario{});
}

// The host's side of the adapter: open both handles and speak in frames.
struct Host {
  explicit Host(SimHidBackend& backend, const std::string& path = "sim:adapter0")
      : read(backend.OpenRead(path)), write(backend.OpenWrite(path)) {
    if (!read) return;
    parsed = read->GetPreparsedData();
    if (parsed) parsed->GetCaps(caps);
    if (parsed && caps.numberOutputValueCaps > 0) {
      std::uint16_t count = 1;
      parsed->GetSpecificValueCaps(HidReportType::kOutput, 0, 0, 0, &commandCap, count);
    }
  }

  bool Send(const CommandFrame& frame) {
    std::vector<std::uint8_t> report(caps.outputReportByteLength, 0);
    parsed->SetUsageValueArray(HidReportType::kOutput, commandCap.usagePage, 0, commandCap.usage,
                               std::span(frame).first(commandCap.reportCount), report);
    return write->Write(report);
  }

  // One input report, waiting at most `timeout`.
  std::optional<std::vector<std::uint8_t>> Read(std::chrono::milliseconds timeout = 5000ms) {
    std::vector<std::uint8_t> buffer(caps.inputReportByteLength, 0);
    ReadStart start = read->StartRead(buffer);
    if (start == ReadStart::kError) return std::nullopt;
    if (start == ReadStart::kPending && read->WaitRead(timeout) != ReadWait::kComplete) {
      read->CancelRead();
      return std::nullopt;
    }
    return buffer;
  }

  std::optional<ResponseFrame> Response(std::chrono::milliseconds timeout = 5000ms) {
    auto report = Read(timeout);
    if (!report || (*report)[0] != kSimResponseReportId) return std::nullopt;
    ResponseFrame frame{};
    parsed->GetUsageValueArray(HidReportType::kInput, kSimVendorPage, 0, kSimResponseUsage, frame,
                               *report);
    return frame;
  }

  std::unique_ptr<HidReadHandle> read;
  std::unique_ptr<HidWriteHandle> write;
  std::unique_ptr<PreparsedData> parsed;
  HidpCaps caps;
  HidpValueCaps commandCap;
};

const ResponseFrame kDefaultVersions{RSP_VERSIONS, 0x00, 0x01, 0x00, 0x01};

TEST(SimReportDescriptorTest, ParsesToTheLayoutTheChannelReliesOn) {
  struct Case {
    int outputLength;
    int responseLength;
    int commandArray;
  };
  for (const Case& c : {Case{64, 5, 62}, Case{63, 5, 62}, Case{40, 6, 39}, Case{4, 5, 3}}) {
    SCOPED_TRACE(c.outputLength);
    HidSettings settings;
    settings.outputReportLength = c.outputLength;
    settings.responseLength = c.responseLength;
    const auto parsed = ParseReportDescriptor(BuildSimReportDescriptor(settings));
    ASSERT_NE(parsed, nullptr);
    HidpCaps caps;
    ASSERT_EQ(parsed->GetCaps(caps), HIDP_STATUS_SUCCESS);
    EXPECT_EQ(caps.outputReportByteLength, c.outputLength);
    EXPECT_EQ(caps.inputReportByteLength, 1 + std::max(2, c.responseLength));
    HidpValueCaps output[2];
    std::uint16_t count = 2;
    parsed->GetSpecificValueCaps(HidReportType::kOutput, 0, 0, 0, output, count);
    ASSERT_GE(count, 1);
    EXPECT_FALSE(output[0].isRange);
    EXPECT_EQ(output[0].reportCount, c.commandArray);
    HidpValueCaps input[2];
    count = 2;
    parsed->GetSpecificValueCaps(HidReportType::kInput, 0, 0, 0, input, count);
    ASSERT_EQ(count, 1) << "the button code byte must not be a value capability";
    EXPECT_EQ(input[0].reportId, kSimResponseReportId);
    EXPECT_EQ(input[0].reportCount, c.responseLength);
    EXPECT_EQ(caps.numberInputButtonCaps, 3);
  }
}

TEST(SimHidBackendTest, EnumeratesTheAdapterWithItsIdentity) {
  SimHidBackend backend(MustParse(R"({"hid": {"product_id": "0x0B72", "adapters": 2,
      "devices_before": [{"vendor_id": "0x046D", "product": null}]}})"));
  EXPECT_EQ(backend.EnumerateInterfaces(),
            (std::vector<std::string>{"sim:device0", "sim:adapter0", "sim:adapter1"}));
  auto adapter = backend.OpenRead("sim:adapter1");
  ASSERT_NE(adapter, nullptr);
  HidAttributes attributes;
  ASSERT_TRUE(adapter->GetAttributes(attributes));
  EXPECT_EQ(attributes.vendorId, 0x3C1F);
  EXPECT_EQ(attributes.productId, 0x0B72);
  std::string text;
  ASSERT_TRUE(adapter->GetProductString(text));
  EXPECT_EQ(text, "KR35 Headset Adapter (simulated)");
  ASSERT_TRUE(adapter->GetManufacturerString(text));
  EXPECT_EQ(text, "Simulated");

  auto other = backend.OpenRead("sim:device0");
  ASSERT_NE(other, nullptr);
  ASSERT_TRUE(other->GetAttributes(attributes));
  EXPECT_EQ(attributes.vendorId, 0x046D);
  EXPECT_FALSE(other->GetProductString(text));

  OpenError error = OpenError::kNone;
  EXPECT_EQ(backend.OpenRead("sim:adapter7", &error), nullptr);
  EXPECT_EQ(error, OpenError::kNotFound);

  SimHidBackend none(MustParse(R"({"hid": {"adapter": false}})"));
  EXPECT_EQ(none.EnumerateInterfaces(), std::vector<std::string>{});
}

TEST(SimHidBackendTest, UnreadableStringsAndAWriteHandleThatWillNotOpen) {
  SimHidBackend backend(
      MustParse(R"({"hid": {"product": null, "manufacturer": null, "write_opens": false}})"));
  auto read = backend.OpenRead("sim:adapter0");
  ASSERT_NE(read, nullptr);
  std::string text = "kept";
  EXPECT_FALSE(read->GetProductString(text));
  EXPECT_FALSE(read->GetManufacturerString(text));
  EXPECT_EQ(text, "kept");
  EXPECT_EQ(backend.OpenWrite("sim:adapter0"), nullptr);
}

TEST(SimHidBackendTest, AWrittenCommandIsAnsweredThroughInputReport3) {
  SimHidBackend backend(MustParse(R"({"hid": {"latency_ms": 0}})"));
  Host host(backend);
  ASSERT_TRUE(host.read && host.write && host.parsed);
  EXPECT_EQ(host.caps.outputReportByteLength, 64);
  EXPECT_EQ(host.commandCap.reportCount, 62);
  ASSERT_TRUE(host.Send(MakeQueryFrame(CMD_VERSIONS)));
  EXPECT_EQ(host.Response(), kDefaultVersions);
  // A report of another length does not fit and is refused.
  EXPECT_FALSE(host.write->Write(std::vector<std::uint8_t>(63, 0)));
}

TEST(SimHidBackendTest, LateAnswerIsNotReadableBeforeItsTime) {
  SimHidBackend backend(MustParse(R"({"hid": {"latency_ms": 0},
      "rules": [{"match": {"command": "CMD_VERSIONS"}, "delay_ms": 400}]})"));
  Host host(backend);
  const auto sent = std::chrono::steady_clock::now();
  ASSERT_TRUE(host.Send(MakeQueryFrame(CMD_VERSIONS)));
  EXPECT_EQ(host.Response(0ms), std::nullopt);
  EXPECT_EQ(host.Response(), kDefaultVersions);
  EXPECT_GE(std::chrono::steady_clock::now() - sent, 400ms);
}

TEST(SimHidBackendTest, InterruptWakesAWaitingReaderAtOnce) {
  SimHidBackend backend;
  Host host(backend);
  std::vector<std::uint8_t> buffer(host.caps.inputReportByteLength);
  ASSERT_EQ(host.read->StartRead(buffer), ReadStart::kPending);
  ReadWait result = ReadWait::kComplete;
  const auto start = std::chrono::steady_clock::now();
  std::thread reader([&] { result = host.read->WaitRead(60s); });
  host.read->Interrupt();
  reader.join();
  EXPECT_EQ(result, ReadWait::kTimeout);
  EXPECT_LT(std::chrono::steady_clock::now() - start, 5s);
  // It stays interrupted.
  EXPECT_EQ(host.read->WaitRead(60s), ReadWait::kTimeout);
}

TEST(SimHidBackendTest, ChosenWritesFail) {
  SimHidBackend backend(MustParse(R"({"hid": {"fail_writes": {"from": 2, "times": 2}}})"));
  Host host(backend);
  std::vector<bool> results;
  for (int i = 0; i < 4; ++i) results.push_back(host.Send(MakeQueryFrame(CMD_VERSIONS)));
  EXPECT_EQ(results, (std::vector<bool>{true, false, false, true}));
}

TEST(SimHidBackendTest, EventsAfterACommandSendButtonsAndForeignReports) {
  SimHidBackend backend(MustParse(R"({"hid": {"latency_ms": 0, "events": [
      {"after_command": 1, "button": {"code": "0x48", "usages": ["mute"]}},
      {"after_command": 2, "report": [2, 7]}]}})"));
  Host host(backend);
  ASSERT_TRUE(host.Send(MakeQueryFrame(CMD_VERSIONS)));
  EXPECT_EQ(host.Response(), kDefaultVersions);
  auto button = host.Read();
  ASSERT_TRUE(button);
  EXPECT_EQ((*button)[0], kSimButtonReportId);
  EXPECT_EQ((*button)[1], 0x48);
  UsageAndPage usages[3];
  std::uint32_t count = 3;
  ASSERT_EQ(host.parsed->GetUsagesEx(HidReportType::kInput, 0, usages, count, *button),
            HIDP_STATUS_SUCCESS);
  ASSERT_EQ(count, 1u);
  EXPECT_EQ(usages[0].usage, kSimMuteUsage);
  EXPECT_EQ(usages[0].usagePage, 0x0C);

  ASSERT_TRUE(host.Send(MakeQueryFrame(CMD_VERSIONS)));
  EXPECT_EQ(host.Response(), kDefaultVersions);
  auto foreign = host.Read();
  ASSERT_TRUE(foreign);
  EXPECT_EQ((*foreign)[0], 2);
  EXPECT_EQ((*foreign)[1], 7);
}

TEST(SimHidBackendTest, UnplugAndReplugPostNoticesAndEndTheOldHandles) {
  SimHidBackend backend;
  test::RecordingQueue queue;
  auto registration = backend.Notifications().Register(&queue);
  ASSERT_NE(registration, nullptr);
  Host host(backend);
  std::vector<std::uint8_t> buffer(host.caps.inputReportByteLength);
  ASSERT_EQ(host.read->StartRead(buffer), ReadStart::kPending);

  backend.Unplug();
  EXPECT_EQ(test::WParamsOf(queue.WaitFor(2)),
            (std::vector<std::uintptr_t>{DBT_DEVICEREMOVECOMPLETE, DBT_DEVNODES_CHANGED}));
  EXPECT_EQ(host.read->WaitRead(5s), ReadWait::kError);
  EXPECT_FALSE(host.Send(MakeQueryFrame(CMD_VERSIONS)));
  EXPECT_EQ(backend.EnumerateInterfaces(), std::vector<std::string>{});
  EXPECT_EQ(backend.OpenRead("sim:adapter0"), nullptr);

  backend.Replug();
  EXPECT_EQ(test::WParamsOf(queue.WaitFor(4)),
            (std::vector<std::uintptr_t>{DBT_DEVICEREMOVECOMPLETE, DBT_DEVNODES_CHANGED,
                                         DBT_DEVICEARRIVAL, DBT_DEVNODES_CHANGED}));
  EXPECT_FALSE(host.Send(MakeQueryFrame(CMD_VERSIONS))) << "the old write handle stays dead";
  Host again(backend);
  ASSERT_TRUE(again.Send(MakeQueryFrame(CMD_VERSIONS)));
  EXPECT_EQ(again.Response(), kDefaultVersions);
}

TEST(SimHidBackendTest, AdapterRestartsAfterAFinishedUsbUpgrade) {
  SimHidBackend backend(MustParse(R"({"hid": {"latency_ms": 0, "restart_ms": 0}})"));
  test::RecordingQueue queue;
  auto registration = backend.Notifications().Register(&queue);
  Host host(backend);
  std::vector<std::uint8_t> payload(32, 0);
  payload[6] = 0x04;
  payload[7] = 0x01;
  for (const CommandFrame& frame :
       {MakeWordFrame(CMD_USB_START, 1), MakeBlockFrame(CMD_USB_BLOCK, payload),
        MakeWordFrame(CMD_USB_END, 5), MakeCodeFrame(CMD_USB_FINISH)}) {
    ASSERT_TRUE(host.Send(frame));
    EXPECT_EQ(host.Response(), (ResponseFrame{}));
  }
  EXPECT_EQ(test::WParamsOf(queue.WaitFor(4)),
            (std::vector<std::uintptr_t>{DBT_DEVICEREMOVECOMPLETE, DBT_DEVNODES_CHANGED,
                                         DBT_DEVICEARRIVAL, DBT_DEVNODES_CHANGED}));
  EXPECT_EQ(backend.Flash().usb, payload);
  Host again(backend);
  ASSERT_TRUE(again.Send(MakeQueryFrame(CMD_VERSIONS)));
  EXPECT_EQ(again.Response(), (ResponseFrame{RSP_VERSIONS, 0x04, 0x01, 0x00, 0x01}));
}

// Each adapter of a list follows its own entry, and the state file gives each
// its own flash back by identity, whatever their order in the next scenario;
// a file with the first adapter's flash alone (as older versions wrote)
// still loads.
TEST(SimHidBackendTest, EachAdapterHasItsOwnScenarioAndFlashByIdentity) {
  const std::string state = ::testing::TempDir() + "kr35_sim_flash_by_identity.json";
  const std::vector<std::uint8_t> a = {1, 2, 3, 4, 5, 6, 0x11, 0x01};
  const std::vector<std::uint8_t> b = {1, 2, 3, 4, 5, 6, 0x22, 0x02};
  std::string error;
  {
    auto backend =
        SimHidBackend::Create(MustParse(R"({"hid": {"adapters": [{"serial": "A"}, {"serial": "B",
                      "output_report_length": 33, "versions": {"dsp": "0x0333"}}]}})"),
                              {.statePath = state}, error);
    ASSERT_TRUE(backend) << error;
    Host first(*backend, "sim:adapter0");
    Host second(*backend, "sim:adapter1");
    EXPECT_EQ(first.caps.outputReportByteLength, 64);
    EXPECT_EQ(second.caps.outputReportByteLength, 33);
    ASSERT_TRUE(second.Send(MakeQueryFrame(CMD_VERSIONS)));
    const auto versions = second.Response();
    ASSERT_TRUE(versions);
    EXPECT_EQ(DecodeVersions(*versions)->dsp, 0x0333);
    backend->SetFlash({a, std::nullopt}, 0);
    backend->SetFlash({b, std::nullopt}, 1);
    ASSERT_TRUE(backend->SaveState(error)) << error;
  }
  auto swapped = SimHidBackend::Create(
      MustParse(R"({"hid": {"adapters": [{"serial": "B"}, {"serial": "A"}]}})"),
      {.statePath = state}, error);
  ASSERT_TRUE(swapped) << error;
  EXPECT_EQ(swapped->Flash(0).usb, b);
  EXPECT_EQ(swapped->Flash(1).usb, a);
  swapped.reset();

  ASSERT_TRUE(SaveFlashState({a, std::nullopt}, state, error)) << error;
  auto older =
      SimHidBackend::Create(MustParse(R"({"hid": {"adapters": 2}})"), {.statePath = state}, error);
  ASSERT_TRUE(older) << error;
  EXPECT_EQ(older->Flash(0).usb, a);
  EXPECT_EQ(older->Flash(1).usb, std::nullopt);
  older.reset();
  std::remove(state.c_str());
  std::remove((state + ".lock").c_str());
}

TEST(SimHidBackendTest, TraceHasOneLinePerReportEachWay) {
  const std::string path = ::testing::TempDir() + "/kr35_sim_trace_test.jsonl";
  std::string error;
  SimOptions options;
  options.tracePath = path;
  auto backend = SimHidBackend::Create(MustParse(R"({"hid": {"latency_ms": 0}})"), options, error);
  ASSERT_NE(backend, nullptr) << error;
  {
    Host host(*backend);
    ASSERT_TRUE(host.Send(MakeQueryFrame(CMD_VERSIONS)));
    ASSERT_TRUE(host.Response());
  }
  backend.reset();
  std::ifstream file(path);
  std::vector<nlohmann::json> lines;
  for (std::string line; std::getline(file, line);) lines.push_back(nlohmann::json::parse(line));
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0]["dir"], "rx");
  EXPECT_EQ(lines[0]["report_id"], 2);
  EXPECT_EQ(lines[0]["bytes"].get<std::string>().substr(0, 4), "029c");
  EXPECT_EQ(lines[0]["bytes"].get<std::string>().size(), 128u);
  EXPECT_EQ(lines[1]["dir"], "tx");
  EXPECT_EQ(lines[1]["bytes"], "031c00010001");
  EXPECT_GE(lines[1]["t_ms"].get<double>(), lines[0]["t_ms"].get<double>());
  std::remove(path.c_str());

  options.tracePath = ::testing::TempDir() + "/no/such/dir/trace";
  EXPECT_EQ(SimHidBackend::Create({}, options, error), nullptr);
  EXPECT_NE(error.find("trace"), std::string::npos);
}

}  // namespace
}  // namespace kr35
