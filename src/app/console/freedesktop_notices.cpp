#include "app/console/freedesktop_notices.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <systemd/sd-bus.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <mutex>
#include <thread>

#include "app/firmware_notice.h"

namespace kr35 {
namespace {

constexpr const char* kService = "org.freedesktop.Notifications";
constexpr const char* kPath = "/org/freedesktop/Notifications";
constexpr std::uint32_t kDismissedByUser = 2;

}  // namespace

struct FreedesktopNotices::State {
  DialogQueue* queue = nullptr;
  sd_bus* bus = nullptr;
  std::mutex busMutex;  // sd-bus is used from one thread at a time
  // Wakes the listener: to stop, or to handle what a call read off the bus.
  int wakeFd = -1;
  std::atomic<bool> stop{false};
  std::thread listener;

  ~State() {
    if (listener.joinable()) {
      stop = true;
      Wake();
      listener.join();
    }
    if (bus) sd_bus_flush_close_unref(bus);
    if (wakeFd >= 0) ::close(wakeFd);
  }

  void Wake() const {
    const std::uint64_t one = 1;
    [[maybe_unused]] const auto written = ::write(wakeFd, &one, sizeof one);
  }

  static int OnClosed(sd_bus_message* message, void* data, sd_bus_error*) {
    std::uint32_t id = 0, reason = 0;
    if (sd_bus_message_read(message, "uu", &id, &reason) < 0) return 0;
    static_cast<State*>(data)->queue->Post(
        {WM_NOTICE_CLOSED, id, reason == kDismissedByUser ? 1 : 0});
    return 0;
  }

  static int OnAction(sd_bus_message* message, void* data, sd_bus_error*) {
    std::uint32_t id = 0;
    const char* key = nullptr;
    if (sd_bus_message_read(message, "us", &id, &key) < 0) return 0;
    static_cast<State*>(data)->queue->Post({WM_NOTICE_ACTION, id, 0});
    return 0;
  }

  void Listen() {
    for (;;) {
      pollfd fds[2] = {{-1, 0, 0}, {wakeFd, POLLIN, 0}};
      {
        std::lock_guard lock(busMutex);
        while (sd_bus_process(bus, nullptr) > 0) {
        }
        fds[0].fd = sd_bus_get_fd(bus);
        fds[0].events = static_cast<short>(sd_bus_get_events(bus));
      }
      if (fds[0].fd < 0 || (::poll(fds, 2, -1) < 0 && errno != EINTR)) return;
      if (fds[1].revents & POLLIN) {
        std::uint64_t count = 0;
        [[maybe_unused]] const auto got = ::read(wakeFd, &count, sizeof count);
      }
      if (stop || (fds[0].revents & (POLLERR | POLLHUP))) return;
    }
  }
};

std::unique_ptr<FreedesktopNotices> FreedesktopNotices::Connect(DialogQueue& queue,
                                                                std::string& error) {
  auto state = std::make_unique<State>();
  state->queue = &queue;
  if (const int result = sd_bus_open_user(&state->bus); result < 0) {
    error = std::string("no session bus: ") + std::strerror(-result);
    return nullptr;
  }
  for (const auto& [member, handler] :
       {std::pair{"NotificationClosed", &State::OnClosed}, {"ActionInvoked", &State::OnAction}}) {
    if (const int result = sd_bus_match_signal(state->bus, nullptr, nullptr, kPath, kService,
                                               member, handler, state.get());
        result < 0) {
      error = std::string("cannot follow the notification service: ") + std::strerror(-result);
      return nullptr;
    }
  }
  state->wakeFd = ::eventfd(0, EFD_CLOEXEC);
  if (state->wakeFd < 0) {
    error = std::string("eventfd: ") + std::strerror(errno);
    return nullptr;
  }
  State* raw = state.get();
  state->listener = std::thread([raw] { raw->Listen(); });
  return std::unique_ptr<FreedesktopNotices>(new FreedesktopNotices(std::move(state)));
}

FreedesktopNotices::FreedesktopNotices(std::unique_ptr<State> state) : state_(std::move(state)) {}

FreedesktopNotices::~FreedesktopNotices() = default;

std::uint32_t FreedesktopNotices::Show(const std::string& text, std::string& error) {
  std::lock_guard lock(state_->busMutex);
  sd_bus_error busError = SD_BUS_ERROR_NULL;
  sd_bus_message* reply = nullptr;
  const int result = sd_bus_call_method(state_->bus, kService, kPath, kService, "Notify", &busError,
                                        &reply, "susssasa{sv}i", "KR35 Download Utility",
                                        std::uint32_t{0}, "", kNewFirmwareTitle, text.c_str(), 2,
                                        "default", kOpenDownloadUtilityLabel, 0, -1);
  std::uint32_t id = 0;
  if (result < 0) {
    error = busError.message ? busError.message : std::strerror(-result);
  } else if (sd_bus_message_read(reply, "u", &id) < 0 || id == 0) {
    error = "the notification service gave no id";
    id = 0;
  }
  sd_bus_error_free(&busError);
  sd_bus_message_unref(reply);
  state_->Wake();  // signals read during the call wait in sd-bus's queue
  return id;
}

}  // namespace kr35
