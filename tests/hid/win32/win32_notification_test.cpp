#include "hid/win32/win32_notification_backend.h"

#include <gtest/gtest.h>

#include "hid/recording_queue.h"
#include "hid/win32/message_window_registration.h"
#include "hid/win32/win32_window_queue.h"

namespace kr35 {
namespace {

// A dialog host's queue with a hidden top-level window of its own.
class WindowQueue final : public Win32WindowQueue {
 public:
  explicit WindowQueue(bool withWindow)
      : window_(withWindow ? CreateWindowExA(0, "STATIC", "", 0, 0, 0, 0, 0, nullptr, nullptr,
                                             GetModuleHandleA(nullptr), nullptr)
                           : nullptr) {}
  ~WindowQueue() override {
    if (window_) DestroyWindow(window_);
  }
  void Post(const DialogMessage&) override {}
  HWND Window() override { return window_; }

 private:
  HWND window_;
};

TEST(PlatformVersionFromRecord, ServicePackEndsAtItsZeroOrAtTheRecord) {
  const char second[] = {'S', 'P', '2', '\0', 'x'};
  PlatformVersion version = PlatformVersionFromRecord(5, 1, std::string_view(second, 5));
  EXPECT_EQ(version.major, 5u);
  EXPECT_EQ(version.minor, 1u);
  EXPECT_EQ(version.servicePack, "SP2");

  const char unterminated[] = {' ', 'A'};
  EXPECT_EQ(PlatformVersionFromRecord(4, 10, std::string_view(unterminated, 2)).servicePack, " A");
}

TEST(Win32NotificationBackend, ReadsThePlatformVersion) {
  const PlatformVersion version = Win32NotificationBackend().GetPlatformVersion();
  EXPECT_GE(version.major, 5u);
}

TEST(MessagesForDeviceChange, ArrivalAndRemovalAreFollowedByATreeChange) {
  for (const std::uintptr_t event : {DBT_DEVICEARRIVAL, DBT_DEVICEREMOVECOMPLETE}) {
    const auto messages = MessagesForDeviceChange(event);
    ASSERT_EQ(messages.size(), 2u);
    EXPECT_EQ(messages[0].message, static_cast<std::uint32_t>(WM_DEVICECHANGE));
    EXPECT_EQ(messages[0].wParam, event);
    EXPECT_EQ(messages[1].wParam, static_cast<std::uintptr_t>(DBT_DEVNODES_CHANGED));
  }
  EXPECT_TRUE(MessagesForDeviceChange(DBT_DEVNODES_CHANGED).empty());
  EXPECT_TRUE(MessagesForDeviceChange(DBT_QUERYCHANGECONFIG).empty());
}

TEST(Win32NotificationBackend, NullQueueRegistersNothing) {
  EXPECT_EQ(Win32NotificationBackend().Register(nullptr), nullptr);
}

TEST(Win32NotificationBackend, WindowQueueIsRegisteredOnItsWindow) {
  Win32NotificationBackend backend;
  WindowQueue withWindow(true);
  ASSERT_NE(withWindow.Window(), nullptr);
  EXPECT_NE(backend.Register(&withWindow), nullptr);
  WindowQueue withoutWindow(false);
  EXPECT_EQ(backend.Register(&withoutWindow), nullptr);
}

TEST(MessageWindowRegistration, ForwardsNoticesToThePlainQueueUntilDestroyed) {
  test::RecordingQueue queue;
  auto registration = MessageWindowRegistration::Start(&queue);
  ASSERT_NE(registration, nullptr);
  HWND window = registration->Window();
  // SendMessage returns once the window's thread has handled the message.
  SendMessageA(window, WM_DEVICECHANGE, DBT_DEVICEARRIVAL, 0);
  SendMessageA(window, WM_DEVICECHANGE, DBT_DEVNODES_CHANGED, 0);
  SendMessageA(window, WM_DEVICECHANGE, DBT_DEVICEREMOVECOMPLETE, 0);
  const auto posted = queue.Messages();
  ASSERT_EQ(posted.size(), 4u);
  EXPECT_EQ(posted[0].wParam, static_cast<std::uintptr_t>(DBT_DEVICEARRIVAL));
  EXPECT_EQ(posted[1].wParam, static_cast<std::uintptr_t>(DBT_DEVNODES_CHANGED));
  EXPECT_EQ(posted[2].wParam, static_cast<std::uintptr_t>(DBT_DEVICEREMOVECOMPLETE));

  registration.reset();
  EXPECT_FALSE(IsWindow(window));
  EXPECT_EQ(queue.Messages().size(), 4u);
}

TEST(Win32NotificationBackend, PlainQueueGetsAMessageWindow) {
  test::RecordingQueue queue;
  auto registration = Win32NotificationBackend().Register(&queue);
  EXPECT_NE(dynamic_cast<MessageWindowRegistration*>(registration.get()), nullptr);
}

}  // namespace
}  // namespace kr35
