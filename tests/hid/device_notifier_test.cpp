// Registering the dialog for HID arrival and removal notices.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "hid/device_notifier.h"
#include "hid/recording_queue.h"

namespace kr35::test {
namespace {

class FakeNotificationBackend : public DeviceNotificationBackend {
 public:
  struct Registration : NotificationRegistration {
    explicit Registration(FakeNotificationBackend& owner) : owner(owner) {}
    ~Registration() override { ++owner.unregistrations; }
    FakeNotificationBackend& owner;
  };

  PlatformVersion GetPlatformVersion() override {
    ++versionQueries;
    return version;
  }
  std::unique_ptr<NotificationRegistration> Register(DialogQueue* queue) override {
    registeredQueues.push_back(queue);
    if (failRegistration) return nullptr;
    ++registrations;
    return std::make_unique<Registration>(*this);
  }
  int LiveRegistrations() const { return registrations - unregistrations; }

  PlatformVersion version{10, 0, ""};
  bool failRegistration = false;
  int versionQueries = 0;
  int registrations = 0;
  int unregistrations = 0;
  std::vector<DialogQueue*> registeredQueues;
};

TEST(DeviceNotifier, RegistersExceptOnTheOnePlatformThatCannot) {
  struct Case {
    PlatformVersion version;
    bool registers;
  };
  const std::vector<Case> cases = {
      {{4, 10, " A"}, false}, {{4, 10, "xA and more"}, false},
      {{4, 10, "A"}, true},   {{4, 10, " B"}, true},
      {{4, 10, ""}, true},    {{4, 0, " A"}, true},
      {{5, 10, " A"}, true},  {{10, 0, ""}, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.version.major) + "." + std::to_string(c.version.minor) + " '" +
                 c.version.servicePack + "'");
    FakeNotificationBackend backend;
    backend.version = c.version;
    RecordingQueue queue;
    {
      DeviceNotifier notifier(&backend);
      EXPECT_EQ(notifier.Register(&queue), 1);
      EXPECT_EQ(backend.LiveRegistrations(), c.registers ? 1 : 0);
      EXPECT_EQ(backend.registeredQueues.size(), c.registers ? 1u : 0u);
    }
    EXPECT_EQ(backend.unregistrations, c.registers ? 1 : 0);
  }
}

TEST(DeviceNotifier, SecondRegisterKeepsTheFirstRegistration) {
  FakeNotificationBackend backend;
  RecordingQueue first, second;
  {
    DeviceNotifier notifier(&backend);
    EXPECT_EQ(notifier.Register(&first), 1);
    EXPECT_EQ(notifier.Register(&second), 1);
    EXPECT_EQ(backend.registeredQueues, std::vector<DialogQueue*>{&first});
    EXPECT_EQ(backend.unregistrations, 0);
  }
  EXPECT_EQ(backend.unregistrations, 1);
}

TEST(DeviceNotifier, FailedRegistrationIsSilentAndTriedAgainLater) {
  FakeNotificationBackend backend;
  backend.failRegistration = true;
  RecordingQueue queue;
  DeviceNotifier notifier(&backend);
  EXPECT_EQ(notifier.Register(&queue), 1);
  EXPECT_EQ(backend.LiveRegistrations(), 0);
  backend.failRegistration = false;
  EXPECT_EQ(notifier.Register(&queue), 1);
  EXPECT_EQ(backend.LiveRegistrations(), 1);
  EXPECT_EQ(backend.registeredQueues.size(), 2u);
}

TEST(DeviceNotifier, NotifierThatNeverRegisteredMakesNoCall) {
  FakeNotificationBackend backend;
  { DeviceNotifier notifier(&backend); }
  EXPECT_EQ(backend.versionQueries, 0);
  EXPECT_EQ(backend.unregistrations, 0);

  RecordingQueue queue;
  DeviceNotifier withoutBackend(nullptr);
  EXPECT_EQ(withoutBackend.Register(&queue), 1);
}

}  // namespace
}  // namespace kr35::test
