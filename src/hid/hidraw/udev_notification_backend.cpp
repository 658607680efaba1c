#include "hid/hidraw/udev_notification_backend.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <sys/utsname.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <thread>

#include "hid/hidraw/udev_handles.h"
#include "hid/hidraw/unique_fd.h"

namespace kr35 {
namespace {

class UdevMonitorRegistration final : public NotificationRegistration {
 public:
  UdevMonitorRegistration(UdevPtr context, UdevMonitorPtr monitor, UniqueFd stop,
                          DialogQueue* queue)
      : context_(std::move(context)),
        monitor_(std::move(monitor)),
        stop_(std::move(stop)),
        queue_(queue),
        thread_([this] { Watch(); }) {}

  ~UdevMonitorRegistration() override {
    if (::eventfd_write(stop_.Get(), 1) != 0) {
      // Only fails when the counter is at its limit, i.e. already signalled.
    }
    thread_.join();
  }

 private:
  void Watch() {
    const int monitorFd = udev_monitor_get_fd(monitor_.get());
    for (;;) {
      pollfd fds[2] = {{stop_.Get(), POLLIN, 0}, {monitorFd, POLLIN, 0}};
      if (::poll(fds, 2, -1) < 0) {
        if (errno == EINTR) {
          continue;
        }
        return;
      }
      if (fds[0].revents != 0 || (fds[1].revents & (POLLERR | POLLHUP | POLLNVAL)) != 0) {
        return;
      }
      if ((fds[1].revents & POLLIN) != 0) {
        Receive();
      }
    }
  }

  void Receive() {
    UdevDevicePtr device(udev_monitor_receive_device(monitor_.get()));
    if (!device || queue_ == nullptr) {
      return;
    }
    const char* action = udev_device_get_action(device.get());
    for (const DialogMessage& message : MessagesForUdevAction(action ? action : "")) {
      queue_->Post(message);
    }
  }

  UdevPtr context_;
  UdevMonitorPtr monitor_;
  UniqueFd stop_;
  DialogQueue* queue_;
  std::thread thread_;  // last: starts once everything it uses exists
};

unsigned ParseNumber(std::string_view& text) {
  unsigned value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc()) {
    return 0;
  }
  text.remove_prefix(static_cast<std::size_t>(end - text.data()));
  return value;
}

// udev's own events come after its rules have run (the node exists with its
// access rights). Without a running udev daemon libudev would listen to
// nothing; the kernel's events are then the only notices there are.
const char* MonitorSource() {
  return ::access("/run/udev/control", F_OK) == 0 ? "udev" : "kernel";
}

}  // namespace

PlatformVersion ParseKernelRelease(std::string_view release) {
  PlatformVersion version;
  version.major = ParseNumber(release);
  if (release.starts_with('.')) {
    release.remove_prefix(1);
    version.minor = ParseNumber(release);
  }
  return version;
}

std::vector<DialogMessage> MessagesForUdevAction(std::string_view action) {
  if (action == "add") return DeviceChangeMessages(DBT_DEVICEARRIVAL);
  if (action == "remove") return DeviceChangeMessages(DBT_DEVICEREMOVECOMPLETE);
  return {};
}

PlatformVersion UdevNotificationBackend::GetPlatformVersion() {
  utsname name{};
  if (::uname(&name) != 0) {
    return {};
  }
  return ParseKernelRelease(name.release);
}

std::unique_ptr<NotificationRegistration> UdevNotificationBackend::Register(DialogQueue* queue) {
  UdevPtr context(udev_new());
  if (!context) {
    return nullptr;
  }
  UdevMonitorPtr monitor(udev_monitor_new_from_netlink(context.get(), MonitorSource()));
  if (!monitor ||
      udev_monitor_filter_add_match_subsystem_devtype(monitor.get(), "hidraw", nullptr) < 0 ||
      udev_monitor_enable_receiving(monitor.get()) < 0) {
    return nullptr;
  }
  UniqueFd stop(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK));
  if (!stop.Valid()) {
    return nullptr;
  }
  return std::make_unique<UdevMonitorRegistration>(std::move(context), std::move(monitor),
                                                   std::move(stop), queue);
}

}  // namespace kr35
