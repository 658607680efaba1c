#include "hid/hidraw/udev_notification_backend.h"

#include <gtest/gtest.h>

#include <chrono>
#include <vector>

#include "hid/recording_queue.h"

namespace kr35 {
namespace {

TEST(UdevNotificationBackendTest, RegistrationStartsAndStopsPromptly) {
  UdevNotificationBackend backend;
  test::RecordingQueue queue;
  const auto start = std::chrono::steady_clock::now();
  auto registration = backend.Register(&queue);
  ASSERT_NE(registration, nullptr);
  registration.reset();
  const auto elapsed = std::chrono::steady_clock::now() - start;
  EXPECT_LT(elapsed, std::chrono::milliseconds(100));
  RecordProperty(
      "register_and_stop_us",
      static_cast<int>(std::chrono::duration_cast<std::chrono::microseconds>(elapsed).count()));

  auto withoutQueue = backend.Register(nullptr);
  EXPECT_NE(withoutQueue, nullptr);
}

TEST(UdevNotificationBackendTest, ActionsBecomeDeviceChangeMessages) {
  struct Case {
    const char* action;
    std::vector<std::uintptr_t> wParams;
  };
  const Case cases[] = {
      {"add", {DBT_DEVICEARRIVAL, DBT_DEVNODES_CHANGED}},
      {"remove", {DBT_DEVICEREMOVECOMPLETE, DBT_DEVNODES_CHANGED}},
      {"change", {}},
      {"bind", {}},
      {"", {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.action);
    const auto messages = MessagesForUdevAction(c.action);
    ASSERT_EQ(messages.size(), c.wParams.size());
    for (std::size_t i = 0; i < messages.size(); ++i) {
      EXPECT_EQ(messages[i].message, WM_DEVICECHANGE);
      EXPECT_EQ(messages[i].wParam, c.wParams[i]);
      EXPECT_EQ(messages[i].lParam, 0);
    }
  }
}

TEST(UdevNotificationBackendTest, PlatformVersionIsTheKernelRelease) {
  struct Case {
    const char* release;
    unsigned major;
    unsigned minor;
  };
  const Case cases[] = {
      {"6.1.0-18-amd64", 6, 1}, {"5.15", 5, 15}, {"4", 4, 0}, {"", 0, 0}, {"x.y", 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.release);
    const PlatformVersion version = ParseKernelRelease(c.release);
    EXPECT_EQ(version.major, c.major);
    EXPECT_EQ(version.minor, c.minor);
    EXPECT_TRUE(version.servicePack.empty());
  }
  EXPECT_GE(UdevNotificationBackend().GetPlatformVersion().major, 3u);
}

}  // namespace
}  // namespace kr35
