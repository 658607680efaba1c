// A notification service for the agent's tests on a private session bus:
// owns org.freedesktop.Notifications, appends each Notify's summary and body
// to LOG (one line), answers ids 1, 2, ...; with "dismiss" it then says the
// user dismissed the notice, with "open" that the user chose its action.
// Creates LOG.ready once it owns the name; ends after 30 s or on SIGTERM.
#include <systemd/sd-bus.h>

#include <chrono>
#include <csignal>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <string>

namespace {

std::string logPath;
std::string mode;
std::uint32_t nextId = 1;
volatile std::sig_atomic_t stop = 0;

int OnNotify(sd_bus_message* message, void*, sd_bus_error*) {
  const char *app = nullptr, *icon = nullptr, *summary = nullptr, *body = nullptr;
  std::uint32_t replaces = 0;
  if (sd_bus_message_read(message, "susss", &app, &replaces, &icon, &summary, &body) < 0) return -1;
  std::ofstream(logPath, std::ios::app) << summary << "|" << body << "\n";
  const std::uint32_t id = nextId++;
  const int result = sd_bus_reply_method_return(message, "u", id);
  sd_bus* bus = sd_bus_message_get_bus(message);
  const char* path = "/org/freedesktop/Notifications";
  const char* interface = "org.freedesktop.Notifications";
  if (mode == "dismiss")
    sd_bus_emit_signal(bus, path, interface, "NotificationClosed", "uu", id, 2u);
  if (mode == "open")
    sd_bus_emit_signal(bus, path, interface, "ActionInvoked", "us", id, "default");
  return result;
}

const sd_bus_vtable kVtable[] = {
    SD_BUS_VTABLE_START(0),
    SD_BUS_METHOD("Notify", "susssasa{sv}i", "u", OnNotify, SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_SIGNAL("NotificationClosed", "uu", 0), SD_BUS_SIGNAL("ActionInvoked", "us", 0),
    SD_BUS_VTABLE_END};

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return 2;
  logPath = argv[1];
  mode = argc > 2 ? argv[2] : "";
  std::signal(SIGTERM, [](int) { stop = 1; });
  sd_bus* bus = nullptr;
  if (sd_bus_open_user(&bus) < 0) return 1;
  if (sd_bus_add_object_vtable(bus, nullptr, "/org/freedesktop/Notifications",
                               "org.freedesktop.Notifications", kVtable, nullptr) < 0 ||
      sd_bus_request_name(bus, "org.freedesktop.Notifications", 0) < 0) {
    return 1;
  }
  std::ofstream(logPath + ".ready") << "ready\n";
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  while (!stop && std::chrono::steady_clock::now() < end) {
    if (sd_bus_process(bus, nullptr) > 0) continue;
    sd_bus_wait(bus, 100000);
  }
  sd_bus_flush_close_unref(bus);
  return 0;
}
