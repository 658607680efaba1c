#include "record/session_recorder.h"

#include <charconv>
#include <iterator>

#include <nlohmann/json.hpp>

#include "hid/hex_bytes.h"
#include "protocol/json_quote.h"
#include "record/recorded_caps.h"
#include "record/recording_format.h"

#ifndef KR35_VERSION
#define KR35_VERSION "0"
#endif

namespace kr35 {
namespace {

using Json = nlohmann::json;

constexpr const char* kPlatform =
#ifdef _WIN32
    "windows";
#else
    "linux";
#endif

// Appends the decimal text of `value` without a temporary string.
void AppendNumber(std::string& text, long long value) {
  char digits[24];
  const auto end = std::to_chars(std::begin(digits), std::end(digits), value).ptr;
  text.append(digits, end);
}

std::string OptionalText(bool ok, const std::string& text) {
  return ok ? JsonQuote(text) : "null";
}

// What the report parser says about the device, for replaying recordings made
// where the descriptor's bytes are not to be had.
Json CapsJsonOf(const PreparsedData* parsed) {
  const auto caps = parsed ? ProbeCaps(*parsed) : std::nullopt;
  return caps ? CapsToJson(*caps) : Json();
}

class RecordingReadHandle final : public HidReadHandle {
 public:
  RecordingReadHandle(std::unique_ptr<HidReadHandle> inner, std::shared_ptr<RecordingFile> file,
                      int id)
      : inner_(std::move(inner)), file_(std::move(file)), id_(id) {}

  bool GetAttributes(HidAttributes& attributes) override {
    const bool ok = inner_->GetAttributes(attributes);
    file_->Write(
        "attributes",
        Field() + (ok ? ",\"vendorId\":" + std::to_string(attributes.vendorId) +
                            ",\"productId\":" + std::to_string(attributes.productId) +
                            ",\"versionNumber\":" + std::to_string(attributes.versionNumber)
                      : ",\"vendorId\":null"));
    return ok;
  }
  bool GetManufacturerString(std::string& text) override {
    const bool ok = inner_->GetManufacturerString(text);
    file_->Write("manufacturer", Field() + ",\"text\":" + OptionalText(ok, text));
    return ok;
  }
  bool GetProductString(std::string& text) override {
    const bool ok = inner_->GetProductString(text);
    file_->Write("product", Field() + ",\"text\":" + OptionalText(ok, text));
    return ok;
  }
  bool GetSerialNumberString(std::string& text) override {
    const bool ok = inner_->GetSerialNumberString(text);
    file_->Write("serial", Field() + ",\"text\":" + OptionalText(ok, text));
    return ok;
  }
  bool GetPortPath(std::string& text) override {
    const bool ok = inner_->GetPortPath(text);
    file_->Write("port", Field() + ",\"text\":" + OptionalText(ok, text));
    return ok;
  }
  std::unique_ptr<PreparsedData> GetPreparsedData() override {
    auto parsed = inner_->GetPreparsedData();
    const auto bytes = inner_->GetReportDescriptor();
    file_->Write("descriptor", Field() +
                                   ",\"bytes\":" + (bytes ? JsonQuote(ToHex(*bytes)) : "null") +
                                   ",\"caps\":" + CapsJsonOf(parsed.get()).dump());
    return parsed;
  }
  std::optional<std::vector<std::uint8_t>> GetReportDescriptor() override {
    return inner_->GetReportDescriptor();
  }

  ReadStart StartRead(std::span<std::uint8_t> buffer) override {
    const ReadStart start = inner_->StartRead(buffer);
    buffer_ = buffer;
    if (start == ReadStart::kComplete) file_->RecordRead(id_, buffer_);
    if (start == ReadStart::kError) file_->Write("readError", Field());
    return start;
  }
  ReadWait WaitRead(std::chrono::milliseconds timeout) override {
    const ReadWait wait = inner_->WaitRead(timeout);
    if (wait == ReadWait::kComplete) file_->RecordRead(id_, buffer_);
    if (wait == ReadWait::kError) file_->Write("readError", Field());
    return wait;
  }
  void Interrupt() override { inner_->Interrupt(); }
  void CancelRead() override { inner_->CancelRead(); }

 private:
  std::string Field() const { return "\"handle\":" + std::to_string(id_); }

  std::unique_ptr<HidReadHandle> inner_;
  std::shared_ptr<RecordingFile> file_;
  const int id_;
  std::span<std::uint8_t> buffer_;  // the buffer of the read in progress
};

class RecordingWriteHandle final : public HidWriteHandle {
 public:
  RecordingWriteHandle(std::unique_ptr<HidWriteHandle> inner, std::shared_ptr<RecordingFile> file,
                       int id)
      : inner_(std::move(inner)), file_(std::move(file)), id_(id) {}

  bool Write(std::span<const std::uint8_t> report) override {
    return file_->RecordWrite(id_, report, [&] { return inner_->Write(report); });
  }

 private:
  std::unique_ptr<HidWriteHandle> inner_;
  std::shared_ptr<RecordingFile> file_;
  const int id_;
};

// Passes notices on to the dialog's queue and writes the device changes down.
class RecordingQueue final : public DialogQueue {
 public:
  RecordingQueue(DialogQueue* inner, std::shared_ptr<RecordingFile> file)
      : inner_(inner), file_(std::move(file)) {}
  void Post(const DialogMessage& message) override {
    if (message.message == WM_DEVICECHANGE) {
      file_->Write("notice", "\"code\":" + std::to_string(message.wParam));
    }
    if (inner_) inner_->Post(message);
  }

 private:
  DialogQueue* inner_;
  std::shared_ptr<RecordingFile> file_;
};

// Keeps the recording queue alive as long as the registration that posts to it.
class RecordingRegistration final : public NotificationRegistration {
 public:
  explicit RecordingRegistration(std::unique_ptr<RecordingQueue> queue)
      : queue_(std::move(queue)) {}
  DialogQueue* Queue() { return queue_.get(); }
  void Adopt(std::unique_ptr<NotificationRegistration> inner) { inner_ = std::move(inner); }

 private:
  std::unique_ptr<RecordingQueue> queue_;
  std::unique_ptr<NotificationRegistration> inner_;  // destroyed first: no posts after it
};

}  // namespace

std::shared_ptr<RecordingFile> RecordingFile::Create(const std::string& path,
                                                     std::string_view program, std::string& error) {
  std::shared_ptr<RecordingFile> recording(new RecordingFile());
  recording->line_.reserve(512);
  const Json header = {{"format", kRecordingFormat},
                       {"version", kRecordingVersion},
                       {"program", std::string(program)},
                       {"programVersion", KR35_VERSION},
                       {"platform", kPlatform}};
  recording->path_ = path;
  if (!recording->file_.Create(path) || !recording->file_.Write(header.dump() + "\n")) {
    error = "cannot write the recording " + path + ": " + recording->file_.Error();
    return nullptr;
  }
  return recording;
}

void RecordingFile::StartLine(std::string& line, std::string_view event) const {
  const auto elapsed = std::chrono::duration_cast<std::chrono::microseconds>(
      std::chrono::steady_clock::now() - start_);
  line.assign("{\"t_us\":");
  AppendNumber(line, elapsed.count());
  line += ",\"event\":\"";
  line += event;
  line += '"';
}

void RecordingFile::EndLine(std::string& line) {
  line += "}\n";
  // A failed write must not change what the program does: the recording just
  // ends short.
  std::lock_guard lock(outputMutex_);
  if (!file_.Write(line)) ++lostLines_;
}

std::string RecordingFile::LostLines() const {
  std::lock_guard lock(outputMutex_);
  if (lostLines_ == 0) return {};
  return "the recording " + path_ + " is incomplete: " + std::to_string(lostLines_) +
         (lostLines_ == 1 ? " line" : " lines") + " could not be written (" + file_.Error() + ")";
}

// Notices come from the device layer while it holds its own lock, so this
// takes only the output lock: holding the ordering lock here would invert the
// order RecordWrite takes the two in.
void RecordingFile::Write(std::string_view event, std::string_view fields) {
  std::string line;
  StartLine(line, event);
  if (!fields.empty()) {
    line += ',';
    line += fields;
  }
  EndLine(line);
}

void RecordingFile::RecordRead(int handle, std::span<const std::uint8_t> report) {
  std::lock_guard lock(mutex_);
  AppendReportLine("read", "handle", handle, report, nullptr);
}

// {"t_us":T,"event":"EVENT","ID_KEY":ID,"report":"HEX"[,"ok":OK]}
void RecordingFile::AppendReportLine(std::string_view event, std::string_view idKey, int id,
                                     std::span<const std::uint8_t> report, const bool* ok) {
  StartLine(line_, event);
  line_ += ",\"";
  line_ += idKey;
  line_ += "\":";
  AppendNumber(line_, id);
  line_ += ",\"report\":\"";
  AppendHex(line_, report);
  line_ += '"';
  if (ok) line_ += *ok ? ",\"ok\":true" : ",\"ok\":false";
  EndLine(line_);
}

int RecordingFile::NextReadHandle() {
  std::lock_guard lock(mutex_);
  return ++readHandles_;
}

int RecordingFile::NextWriteHandle() {
  std::lock_guard lock(mutex_);
  return ++writeHandles_;
}

std::optional<std::vector<std::string>> RecordingHidBackend::EnumerateInterfaces() {
  auto paths = inner_.EnumerateInterfaces();
  file_->Write("enumerate", "\"paths\":" + (paths ? Json(*paths) : Json()).dump());
  return paths;
}

std::unique_ptr<HidReadHandle> RecordingHidBackend::OpenRead(const std::string& path,
                                                             OpenError* error) {
  auto inner = inner_.OpenRead(path, error);
  const int id = inner ? file_->NextReadHandle() : 0;
  RecordOpen("open", "handle", path, id);
  return inner ? std::make_unique<RecordingReadHandle>(std::move(inner), file_, id) : nullptr;
}

std::unique_ptr<HidWriteHandle> RecordingHidBackend::OpenWrite(const std::string& path) {
  auto inner = inner_.OpenWrite(path);
  const int id = inner ? file_->NextWriteHandle() : 0;
  RecordOpen("openWrite", "writer", path, id);
  return inner ? std::make_unique<RecordingWriteHandle>(std::move(inner), file_, id) : nullptr;
}

// The handle's number is null when it could not be opened (id 0).
void RecordingHidBackend::RecordOpen(std::string_view event, std::string_view key,
                                     const std::string& path, int id) {
  file_->Write(event, "\"path\":" + JsonQuote(path) + ",\"" + std::string(key) +
                          "\":" + (id > 0 ? std::to_string(id) : "null"));
}

std::unique_ptr<NotificationRegistration> RecordingNotificationBackend::Register(
    DialogQueue* queue) {
  auto registration =
      std::make_unique<RecordingRegistration>(std::make_unique<RecordingQueue>(queue, file_));
  auto inner = inner_.Register(registration->Queue());
  file_->Write("register", inner ? "\"ok\":true" : "\"ok\":false");
  if (!inner) return nullptr;
  registration->Adopt(std::move(inner));
  return registration;
}

}  // namespace kr35
