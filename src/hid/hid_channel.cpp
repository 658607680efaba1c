#include "hid/hid_channel.h"

#include <algorithm>

namespace kr35 {
namespace {

// The adapter's input reports: consumer buttons, and the response frame.
constexpr std::uint8_t kButtonReportId = 1;
constexpr std::uint8_t kResponseReportId = 3;

// Button codes of the button report, byte 1, and the consumer usage each posts.
constexpr std::uint16_t kConsumerPage = 0x0C;

bool ButtonCodeUsage(std::uint8_t code, std::uint16_t& usage) {
  switch (code) {
    case 0x01:
      usage = 0xEA;
      return true;  // Volume Decrement
    case 0x02:
      usage = 0xE9;
      return true;  // Volume Increment
    case 0x40:
    case 0x48:
      usage = 0x01;
      return true;  // Consumer Control
    default:
      return false;
  }
}

void Post(DialogQueue* queue, std::uintptr_t page, std::intptr_t usage) {
  queue->Post(DialogMessage{WM_HID_EVENT, page, usage});
}

// One read step: start a read when none is pending, then wait one slice for it.
void ReadStep(ReaderContext& context) {
  InputReport& report = context.inputReport;
  if (!report.pendingFlag) {
    std::fill(report.reportBuffer.begin(), report.reportBuffer.end(), 0);
    switch (context.readHandle->StartRead(report.reportBuffer)) {
      case ReadStart::kComplete:
        break;
      case ReadStart::kPending:
        report.pendingFlag = true;
        break;
      case ReadStart::kError:
        report.errorFlag = true;
        break;
    }
  }
  if (report.pendingFlag) {
    switch (context.readHandle->WaitRead(context.readSlice)) {
      case ReadWait::kComplete:
        report.pendingFlag = false;
        break;
      case ReadWait::kTimeout:
        break;
      case ReadWait::kError:
        report.errorFlag = true;
        break;
    }
  }
}

void DecodeReport(ReaderContext& context) {
  InputReport& report = context.inputReport;
  const PreparsedData* parsed = context.preparsedData;
  const std::uint8_t reportId = report.reportBuffer.empty() ? 0 : report.reportBuffer[0];
  if (reportId == kButtonReportId) {
    std::fill(report.usageList.begin(), report.usageList.end(), UsageAndPage{});
    report.usageCount = std::min<std::uint32_t>(
        report.buttonCapCount, static_cast<std::uint32_t>(report.usageList.size()));
    if (!parsed ||
        parsed->GetUsagesEx(HidReportType::kInput, 0, report.usageList.data(), report.usageCount,
                            report.reportBuffer) != HIDP_STATUS_SUCCESS) {
      report.usageCount = 0;
    }
    report.usageCount = std::min<std::uint32_t>(
        report.usageCount, static_cast<std::uint32_t>(report.usageList.size()));
  } else if (reportId == kResponseReportId) {
    // Every qualifying value capability is tried in order; the latch is cleared
    // before each, so it holds what the last one yielded.
    report.responseRead = false;
    for (std::size_t i = 0; i < report.valueCapCount && i < report.valueCaps.size(); ++i) {
      const HidpValueCaps& cap = report.valueCaps[i];
      if (cap.isRange || cap.reportCount == 0) continue;
      report.responseLatch.fill(0);
      report.responseRead =
          parsed && parsed->GetUsageValueArray(HidReportType::kInput, cap.usagePage, 0, cap.usage,
                                               report.responseLatch,
                                               report.reportBuffer) == HIDP_STATUS_SUCCESS;
    }
  } else {
    report.errorFlag = true;
  }
}

void DispatchReport(ReaderContext& context) {
  DialogQueue* queue = context.notifyQueue;
  if (!queue) return;
  const InputReport& report = context.inputReport;
  const std::uint8_t reportId = report.reportBuffer[0];
  if (reportId == kButtonReportId) {
    std::uint16_t usage = 0;
    if (report.reportBuffer.size() > 1 && ButtonCodeUsage(report.reportBuffer[1], usage)) {
      Post(queue, kConsumerPage, usage);
    }
    for (std::uint32_t i = 0; i < report.usageCount; ++i) {
      Post(queue, report.usageList[i].usagePage, report.usageList[i].usage);
    }
  } else if (reportId == kResponseReportId && report.responseRead) {
    // A report whose value array could not be read is no response: its zeroed
    // latch would read as RSP_ACK. The waiting attempt times out instead.
    context.responseEvent->Set();
  }
}

}  // namespace

HidChannel::HidChannel(HidBackend& backend, Timing timing, Clock& clock)
    : HidDevice(backend), timing_(timing), clock_(clock) {
  readerContext_.responseEvent = &outputReport_.responseEvent;
}

HidChannel::~HidChannel() {
  HidChannel::Close();
}

int HidChannel::SetNotifyWindow(DialogQueue* queue) {
  std::lock_guard lock(readerContext_.mutex);
  readerContext_.notifyQueue = queue;
  return 1;
}

int HidChannel::Open(const std::string& path) {
  if (HidDevice::Open(path) == 0) return 0;

  preparsedData_ = readHandle_->GetPreparsedData();
  if (!preparsedData_) {
    Close();
    return 0;
  }
  if (preparsedData_->GetCaps(capabilities_) != HIDP_STATUS_SUCCESS) {
    Close();
    return 0;
  }

  InputReport& input = readerContext_.inputReport;
  input.preparsedData = preparsedData_.get();
  input.errorFlag = false;
  input.pendingFlag = false;
  input.SetUpReportLength(capabilities_.inputReportByteLength);
  input.SetUpButtonCaps(capabilities_.numberInputButtonCaps);
  input.SetUpValueCaps(capabilities_.numberInputValueCaps);

  readerContext_.readHandle = readHandle_.get();
  readerContext_.preparsedData = preparsedData_.get();
  readerContext_.stopEvent = std::make_unique<AutoResetEvent>();
  readerContext_.doneEvent = std::make_unique<AutoResetEvent>();
  readerContext_.responseEvent = &outputReport_.responseEvent;
  readerContext_.readSlice = timing_.readSlice;
  readerThread_ = std::thread(&HidChannel::ReaderProcedure, std::ref(readerContext_));

  // Without a write handle reading still works and every WriteCommand fails.
  outputReport_.writeHandle = backend_.OpenWrite(devicePath_);
  if (outputReport_.writeHandle) {
    outputReport_.preparsedData = preparsedData_.get();
    outputReport_.SetUpReportLength(capabilities_.outputReportByteLength);
    outputReport_.SetUpValueCaps(capabilities_.numberOutputValueCaps);
  }
  return 1;
}

void HidChannel::StopReader() {
  if (!readerThread_.joinable()) return;
  if (!readerContext_.doneEvent->TryWait()) {
    readerContext_.stopEvent->Set();
    // Wake a reader that is waiting for input, so Close returns at once.
    if (readHandle_) readHandle_->Interrupt();
    readerContext_.doneEvent->WaitForever();
  }
  readerThread_.join();
  readerContext_.stopEvent.reset();
  readerContext_.doneEvent.reset();
}

void HidChannel::Close() {
  StopReader();
  readerContext_.readHandle = nullptr;
  readerContext_.preparsedData = nullptr;
  readerContext_.inputReport.preparsedData = nullptr;
  outputReport_.preparsedData = nullptr;
  preparsedData_.reset();
  CloseReadHandle();
  outputReport_.writeHandle.reset();
}

void HidChannel::ReaderProcedure(ReaderContext& context) {
  InputReport& report = context.inputReport;
  while (!context.stopEvent->TryWait()) {
    ReadStep(context);
    if (!(report.pendingFlag && !report.errorFlag)) {
      std::lock_guard lock(context.mutex);
      if (!report.errorFlag) {
        DecodeReport(context);
        if (!report.errorFlag) DispatchReport(context);
      }
    }
    if (report.errorFlag) break;
  }
  context.doneEvent->Set();
}

bool HidChannel::ExchangeOnce(const CommandFrame& frame, std::string& text) {
  text.clear();
  if (WriteCommand(frame) == 0) {
    lastAttemptEnd_ =
        outputReport_.writeHandle ? AttemptEnd::kWriteFailed : AttemptEnd::kNotWritable;
    return false;
  }
  if (!clock_.WaitFor(outputReport_.responseEvent, timing_.responseWait)) {
    lastAttemptEnd_ = AttemptEnd::kNoAnswer;
    return false;
  }
  lastAttemptEnd_ = AttemptEnd::kAnswered;
  return TakeResponse(text);
}

bool HidChannel::TakeResponse(std::string& text) {
  text.clear();
  {
    std::lock_guard lock(readerContext_.mutex);
    lastResponse_ = readerContext_.inputReport.responseLatch;
  }
  return DecodeResponse(lastResponse_, text);
}

}  // namespace kr35
