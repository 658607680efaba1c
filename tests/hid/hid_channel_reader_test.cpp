// The reader thread: what each input report does to the dialog's queue, the
// response latch and the response event, and which reports end the reader.
#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "hid/fake_hid_backend.h"
#include "hid/hid_channel.h"
#include "hid/report_descriptor_parser.h"
#include "hid/hid_channel_test_support.h"

namespace kr35::test {
namespace {

using Events = std::vector<std::pair<std::uintptr_t, std::intptr_t>>;

TEST(HidChannelSupport, DefaultLayoutIsTheAdapterSample) {
  EXPECT_EQ(AdapterLikeDescriptor(62, {5}), kAdapterDescriptor);
}

// Runs the reader procedure on a context set up as Open sets it up, with a
// response event of its own so that tests can look at it.
class ReaderHarness {
 public:
  ReaderHarness(FakeHidBackend& backend, DialogQueue* queue) {
    handle_ = backend.OpenRead("adapter", nullptr);
    parsed_ = ParseReportDescriptor(kAdapterDescriptor);
    HidpCaps caps;
    parsed_->GetCaps(caps);
    InputReport& input = context_.inputReport;
    input.preparsedData = parsed_.get();
    input.SetUpReportLength(caps.inputReportByteLength);
    input.SetUpButtonCaps(caps.numberInputButtonCaps);
    input.SetUpValueCaps(caps.numberInputValueCaps);
    context_.readHandle = handle_.get();
    context_.preparsedData = parsed_.get();
    context_.stopEvent = std::make_unique<AutoResetEvent>();
    context_.doneEvent = std::make_unique<AutoResetEvent>();
    context_.responseEvent = &responseEvent;
    context_.notifyQueue = queue;
    thread_ = std::thread(&HidChannel::ReaderProcedure, std::ref(context_));
  }
  ~ReaderHarness() {
    context_.stopEvent->Set();
    handle_->Interrupt();
    thread_.join();
  }

  AutoResetEvent responseEvent;

 private:
  std::unique_ptr<HidReadHandle> handle_;
  std::unique_ptr<PreparsedData> parsed_;
  ReaderContext context_;
  std::thread thread_;
};

TEST(HidChannelReader, ResponseSetsTheEventOnlyOnceAQueueIsKnown) {
  for (const bool withQueue : {false, true}) {
    SCOPED_TRACE(withQueue ? "with a queue" : "without a queue");
    FakeHidBackend backend({AdapterDevice()});
    RecordingQueue queue;
    ReaderHarness reader(backend, withQueue ? &queue : nullptr);
    backend.PushReport(ResponseReport({RSP_ACK, 0, 0, 0, 0}));
    backend.PushReport(ButtonReport(0x48, 0x01));
    ASSERT_TRUE(backend.WaitForReaderIdle());
    EXPECT_EQ(reader.responseEvent.TryWait(), withQueue);
    EXPECT_EQ(queue.Messages().size(), withQueue ? 2u : 0u);
  }
}

struct ButtonCase {
  const char* name;
  bool buttonRange;  // eight buttons in one capability instead of three named ones
  std::uint8_t code;
  std::uint8_t buttons;
  Events expected;
};

TEST(HidChannelReader, ButtonReportPostsCodeMessageThenOneMessagePerUsageOn) {
  const std::vector<ButtonCase> cases = {
      {"0x48 and mute", false, 0x48, 0x01, {{0x0C, 0x01}, {0x0C, 0xE2}}},
      {"0x40 alone", false, 0x40, 0x00, {{0x0C, 0x01}}},
      {"volume down code", false, 0x01, 0x00, {{0x0C, 0xEA}}},
      {"volume up code and button", false, 0x02, 0x02, {{0x0C, 0xE9}, {0x0C, 0xE9}}},
      {"0x00 posts usages only", false, 0x00, 0x04, {{0x0C, 0xEA}}},
      {"0x03 posts nothing", false, 0x03, 0x00, {}},
      {"0x80 posts usages only", false, 0x80, 0x05, {{0x0C, 0xE2}, {0x0C, 0xEA}}},
      {"0xFF posts nothing", false, 0xFF, 0x00, {}},
      {"range: one usage fits", true, 0x48, 0x04, {{0x0C, 0x01}, {0x0C, 0xE2}}},
      // More usages on than the one button capability has room for.
      {"range: too many usages on", true, 0x48, 0x05, {{0x0C, 0x01}}},
      {"range: too many, no code", true, 0x00, 0xFF, {}},
  };
  for (const bool buttonRange : {false, true}) {
    FakeDevice device = AdapterDevice();
    device.descriptor = AdapterLikeDescriptor(62, {5}, buttonRange);
    FakeHidBackend backend({device});
    RecordingQueue queue;
    HidChannel channel(backend, FastTiming());
    channel.SetNotifyWindow(&queue);
    ASSERT_EQ(channel.FindAdapter(), 1);
    for (const ButtonCase& c : cases) {
      if (c.buttonRange != buttonRange) continue;
      SCOPED_TRACE(c.name);
      backend.PushReport(ButtonReport(c.code, c.buttons));
      ASSERT_TRUE(backend.WaitForReaderIdle());
      EXPECT_EQ(queue.TakeEvents(), c.expected);
      for (const DialogMessage& message : queue.Messages())
        EXPECT_EQ(message.message, WM_HID_EVENT);
    }
  }
}

TEST(HidChannelReader, UnknownReportIdOrReadErrorEndsTheReaderForGood) {
  struct Case {
    const char* name;
    bool beforeFirstRead;  // the failure is there when the reader starts its first read
    bool readError;        // a failed read instead of a report with id 2
  };
  for (const Case c : {Case{"report id 2", false, false}, Case{"report id 2 first", true, false},
                       Case{"failed wait", false, true}, Case{"failed start", true, true}}) {
    SCOPED_TRACE(c.name);
    FakeHidBackend backend({AdapterDevice()});
    RecordingQueue queue;
    HidChannel channel(backend, ShortWaitTiming());
    channel.SetNotifyWindow(&queue);
    auto fail = [&] {
      c.readError ? backend.PushReadError() : backend.PushReport({0x02, 0x48, 0x01});
    };
    if (c.beforeFirstRead) fail();
    ASSERT_EQ(channel.FindAdapter(), 1);
    if (!c.beforeFirstRead) {
      ASSERT_TRUE(backend.WaitForReaderIdle());
      fail();
    }
    ASSERT_TRUE(kFakeTracksReaderExits ? backend.WaitForReaderExits(1)
                                       : backend.WaitForInputsTaken());

    // Later reports are not read: the response never arrives.
    backend.SetWriteHook([&](auto) {
      backend.PushReport(ResponseReport({RSP_VERSIONS, 4, 1, 7, 1}));
    });
    std::string text = "old";
    const auto writesBefore = backend.Writes().size();
    EXPECT_FALSE(channel.ExchangeOnce(MakeQueryFrame(CMD_VERSIONS), text));
    EXPECT_EQ(backend.Writes().size(), writesBefore + 1);
    EXPECT_TRUE(text.empty());
    EXPECT_EQ(backend.QueuedInputs(), 1u);
    EXPECT_TRUE(queue.Messages().empty());
    EXPECT_TRUE(channel.IsOpen());

    // Closing a channel whose reader already ended makes no stop request.
    channel.Close();
    EXPECT_EQ(backend.GetStats().interrupts, 0);
    EXPECT_FALSE(channel.ReaderStarted());
  }
}

// The response latch: only a value array of at most 5 bytes is copied, and
// with several value arrays the latch holds what the last one yielded. A
// report whose last array cannot be read is no response: the attempt times
// out and nothing is taken into lastResponse.
TEST(HidChannelReader, LatchHoldsTheLastQualifyingValueArray) {
  struct Case {
    const char* name;
    std::vector<std::uint8_t> responseLengths;
    std::vector<std::uint8_t> payload;
    bool answered;
    ResponseFrame expected;
    const char* text;
  };
  const std::vector<Case> cases = {
      {"one 5-byte array",
       {5},
       {RSP_VERSIONS, 0x04, 0x01, 0x07, 0x01},
       true,
       {RSP_VERSIONS, 0x04, 0x01, 0x07, 0x01},
       "USB 0104, DSP 0107"},
      {"6-byte array does not fit", {6}, {RSP_VERSIONS, 1, 2, 3, 4, 5}, false, {}, ""},
      {"16-byte array does not fit",
       {16},
       std::vector<std::uint8_t>(16, RSP_VERSIONS),
       false,
       {},
       ""},
      {"two arrays: last wins",
       {5, 5},
       {RSP_VERSIONS, 0x04, 0x01, 0x07, 0x01, RSP_SINGLE_VALUE_5, 0xFE, 0, 0, 0},
       true,
       {RSP_SINGLE_VALUE_5, 0xFE, 0, 0, 0},
       "-2 "},
      {"two arrays: the last cannot be read",
       {5, 6},
       {RSP_VERSIONS, 0x04, 0x01, 0x07, 0x01, RSP_SINGLE_VALUE_5, 0xFE, 0, 0, 0, 0},
       false,
       {},
       ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    FakeDevice device = AdapterDevice();
    device.descriptor = AdapterLikeDescriptor(62, c.responseLengths);
    FakeHidBackend backend({device});
    RecordingQueue queue;
    Timing timing = FastTiming();
    timing.responseWait = std::chrono::milliseconds(50);
    HidChannel channel(backend, timing);
    channel.SetNotifyWindow(&queue);
    ASSERT_EQ(channel.FindAdapter(), 1);
    std::string text = "stale";
    backend.SetWriteHook([&](auto) { backend.PushReport(ResponseReport(c.payload)); });
    EXPECT_EQ(channel.ExchangeOnce(MakeQueryFrame(CMD_VERSIONS), text), c.answered);
    EXPECT_EQ(channel.LastResponse(), c.expected);
    EXPECT_EQ(text, c.text);
  }
}

}  // namespace
}  // namespace kr35::test
