#include "sim/uhid/uhid_adapter_bridge.h"

#include <poll.h>
#include <sys/eventfd.h>

#include <atomic>
#include <cerrno>
#include <deque>
#include <mutex>
#include <thread>
#include <vector>

#include "hid/report_descriptor_parser.h"

namespace kr35 {

UhidIdentity AdapterIdentity(const HidSettings& settings, std::vector<std::uint8_t> descriptor) {
  UhidIdentity identity;
  identity.name = settings.product.value_or("");
  identity.phys = "kr35-sim/adapter0";
  identity.uniq = settings.serial.value_or("");
  identity.vendorId = settings.vendorId;
  identity.productId = settings.productId;
  identity.version = settings.versionNumber;
  identity.descriptor = std::move(descriptor);
  return identity;
}

// Device notices from the simulated adapter, handed to the bridge's loop
// through an eventfd it polls.
class UhidAdapterBridge::NoticeQueue : public DialogQueue {
 public:
  NoticeQueue() : fd_(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {}
  bool Valid() const { return fd_.Valid(); }
  int Fd() const { return fd_.Get(); }

  void Post(const DialogMessage& message) override {
    std::lock_guard lock(mutex_);
    messages_.push_back(message);
    eventfd_write(fd_.Get(), 1);
  }

  std::deque<DialogMessage> Take() {
    eventfd_t count = 0;
    eventfd_read(fd_.Get(), &count);
    std::lock_guard lock(mutex_);
    return std::exchange(messages_, {});
  }

 private:
  UniqueFd fd_;
  std::mutex mutex_;
  std::deque<DialogMessage> messages_;
};

// One plug of the adapter: its handles on the simulated side and the thread
// that turns what the adapter sends into input reports.
class UhidAdapterBridge::Session {
 public:
  Session(std::unique_ptr<HidReadHandle> read, std::unique_ptr<HidWriteHandle> write,
          std::size_t inputLength, UhidDevice& device)
      : read_(std::move(read)),
        write_(std::move(write)),
        device_(device),
        buffer_(std::max<std::size_t>(inputLength, 1)) {
    thread_ = std::thread([this] { Forward(); });
  }
  ~Session() {
    stop_ = true;
    read_->Interrupt();
    thread_.join();
  }

  // A write the simulated adapter refuses (a scenario fault, a report that
  // does not fit its descriptor) is lost, as it would be on the wire.
  void Output(std::span<const std::uint8_t> report) {
    if (write_) write_->Write(report);
  }

 private:
  void Forward() {
    while (!stop_) {
      ReadStart start = read_->StartRead(buffer_);
      if (start == ReadStart::kError) return;  // the adapter went away
      if (start == ReadStart::kPending) {
        const ReadWait wait = read_->WaitRead(std::chrono::milliseconds(1000));
        if (wait == ReadWait::kError) return;
        if (wait == ReadWait::kTimeout) continue;
      }
      device_.Input(buffer_);
    }
  }

  std::unique_ptr<HidReadHandle> read_;
  std::unique_ptr<HidWriteHandle> write_;
  UhidDevice& device_;
  std::vector<std::uint8_t> buffer_;
  std::atomic<bool> stop_{false};
  std::thread thread_;  // last: starts once everything it uses exists
};

UhidAdapterBridge::UhidAdapterBridge(SimHidBackend& backend, const HidSettings& settings,
                                     DeviceOpener opener, std::FILE* log)
    : backend_(backend),
      identity_(AdapterIdentity(settings, backend.ReportDescriptor())),
      opener_(std::move(opener)),
      log_(log),
      notices_(std::make_unique<NoticeQueue>()) {}

UhidAdapterBridge::~UhidAdapterBridge() {
  Unplug();
}

void UhidAdapterBridge::Log(const char* text) {
  if (log_ == nullptr) return;
  std::fprintf(log_, "kr35-sim: %s\n", text);
  std::fflush(log_);
}

bool UhidAdapterBridge::Plug(std::string& error) {
  auto read = backend_.OpenRead(kSimAdapterPath);
  if (!read) return true;  // gone again before it could be presented
  auto write = backend_.OpenWrite(kSimAdapterPath);
  HidpCaps caps{};
  if (auto parsed = read->GetPreparsedData()) parsed->GetCaps(caps);
  if (!device_->Create(identity_, error)) return false;
  session_ = std::make_unique<Session>(std::move(read), std::move(write),
                                       caps.inputReportByteLength, *device_);
  Log("adapter plugged in");
  return true;
}

void UhidAdapterBridge::Unplug() {
  if (!device_ || !device_->Created()) return;
  session_.reset();
  device_->Destroy();
  Log("adapter unplugged");
}

bool UhidAdapterBridge::HandleNotices(std::string& error) {
  for (const DialogMessage& message : notices_->Take()) {
    if (message.message != WM_DEVICECHANGE) continue;
    // A removal always ends the current device, even when the adapter is
    // back already: its handles belong to the plug that ended.
    if (message.wParam == DBT_DEVICEREMOVECOMPLETE) Unplug();
  }
  if (!device_->Created() && backend_.IsPresent(0)) return Plug(error);
  return true;
}

bool UhidAdapterBridge::Run(int stopFd, std::string& error) {
  if (!notices_->Valid()) {
    error = "cannot create an eventfd";
    return false;
  }
  device_ = opener_(error);
  if (!device_) return false;
  auto registration = backend_.Notifications().Register(notices_.get());
  if (backend_.IsPresent(0) && !Plug(error)) return false;

  bool ok = true;
  for (;;) {
    pollfd fds[3] = {{stopFd, POLLIN, 0}, {device_->Fd(), POLLIN, 0}, {notices_->Fd(), POLLIN, 0}};
    if (::poll(fds, 3, -1) < 0) {
      if (errno == EINTR) continue;
      error = "poll failed";
      ok = false;
      break;
    }
    if (fds[0].revents != 0) break;
    if (fds[1].revents != 0) {
      const UhidEvent event = device_->ReadEvent();
      if (event.kind == UhidEvent::Kind::kOutput && session_) session_->Output(event.report);
      if (event.kind == UhidEvent::Kind::kClosedByKernel || event.kind == UhidEvent::Kind::kError) {
        error = "the uhid node stopped answering";
        ok = false;
        break;
      }
    }
    if (fds[2].revents != 0 && !HandleNotices(error)) {
      ok = false;
      break;
    }
  }
  Unplug();
  return ok;
}

}  // namespace kr35
