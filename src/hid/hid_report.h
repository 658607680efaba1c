// The report objects of an open channel: one input report that the reader
// thread fills, and one output report that carries command frames.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "hid/auto_reset_event.h"
#include "hid/hid_io.h"
#include "hid/report_parsing.h"
#include "protocol/frames.h"

namespace kr35 {

class HidReport {
 public:
  explicit HidReport(HidReportType kind) : reportKind(kind) {}
  virtual ~HidReport() = default;

  // Buffers are reused from one open to the next when their sizes are unchanged.
  void SetUpReportLength(std::uint32_t length);
  void SetUpButtonCaps(std::uint16_t room);
  void SetUpValueCaps(std::uint16_t room);

  std::vector<UsageAndPage> usageList;  // capacity: the button capability count
  std::uint32_t usageCount = 0;
  HidReportType reportKind;
  std::uint32_t reportLength = 0;
  std::vector<std::uint8_t> reportBuffer;
  const PreparsedData* preparsedData = nullptr;  // the channel's
  std::vector<HidpValueCaps> valueCaps;
  std::vector<HidpButtonCaps> buttonCaps;
  std::uint16_t buttonCapCount = 0;
  std::uint16_t valueCapCount = 0;
};

class InputReport : public HidReport {
 public:
  InputReport() : HidReport(HidReportType::kInput) {}

  bool errorFlag = false;  // reading cannot go on; ends the reader
  ResponseFrame responseLatch{};
  // The latch holds a response's value array; false when the report's array
  // could not be read (longer than a response, or not there at all).
  bool responseRead = false;
  bool pendingFlag = false;  // a read is outstanding
};

class OutputReport : public HidReport {
 public:
  OutputReport() : HidReport(HidReportType::kOutput) {}

  // Places the first L bytes of `frame` (L = report count of the first output
  // value capability) into the report and writes it. Clears the response event
  // before writing and sets it when the write fails. Non-zero on success.
  int WriteCommand(std::span<const std::uint8_t> frame);

  std::unique_ptr<HidWriteHandle> writeHandle;
  AutoResetEvent responseEvent;  // set by the reader when a response was latched
};

}  // namespace kr35
