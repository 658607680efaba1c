// The named-mutex claim: one owner at a time across threads (as across
// programs), a mutex abandoned by an owner that ended is taken over and said,
// and the name follows the instance path without regard to case.
#include "hid/win32/named_mutex_claim.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>

#include "hid/win32/windows_headers.h"

namespace kr35 {
namespace {

std::string KeyOfThisTest(const char* name) {
  return std::string("\\\\?\\hid#vid_3c1f&pid_5e35#test-") + name + "-" +
         std::to_string(GetCurrentProcessId());
}

TEST(NamedMutexClaimTest, TheNameIsShortAndIgnoresCase) {
  const std::string name = ClaimMutexName("\\\\?\\HID#VID_3C1F&PID_5E35#7&1a2b&0&0000");
  EXPECT_EQ(name, ClaimMutexName("\\\\?\\hid#vid_3c1f&pid_5e35#7&1a2b&0&0000"));
  EXPECT_NE(name, ClaimMutexName("\\\\?\\hid#vid_3c1f&pid_5e35#7&1a2b&0&0001"));
  EXPECT_EQ(name.rfind("Global\\kr35-claim-", 0), 0u);
  EXPECT_EQ(name.find('\\', 7), std::string::npos);
}

TEST(NamedMutexClaimTest, AnotherOwnerIsBusyUntilItReleasesOrEnds) {
  const std::string key = KeyOfThisTest("busy");
  {
    // Held by another thread: a mutex is recursive for its own thread only.
    HANDLE taken = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    HANDLE release = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    std::thread owner([&] {
      ClaimAttempt held = TryNamedMutexClaim(key);
      EXPECT_TRUE(held.claim);
      SetEvent(taken);
      WaitForSingleObject(release, INFINITE);
    });
    WaitForSingleObject(taken, INFINITE);
    const ClaimAttempt busy = TryNamedMutexClaim(key);
    EXPECT_FALSE(busy.claim);
    EXPECT_EQ(BusyText(busy.holder), "the adapter is busy: another program is using it");
    SetEvent(release);
    owner.join();
    CloseHandle(taken);
    CloseHandle(release);
  }
  const ClaimAttempt free = TryNamedMutexClaim(key);
  EXPECT_TRUE(free.claim);
  EXPECT_TRUE(free.note.empty());
}

TEST(NamedMutexClaimTest, AnAbandonedClaimIsTakenOverAndSaid) {
  const std::string key = KeyOfThisTest("abandoned");
  // The owner ends without releasing: its claim object is leaked on purpose.
  std::thread owner([&] { static_cast<void>(TryNamedMutexClaim(key).claim.release()); });
  owner.join();
  const ClaimAttempt taken = TryNamedMutexClaim(key);
  EXPECT_TRUE(taken.claim);
  EXPECT_NE(taken.note.find("taken over"), std::string::npos);
}

}  // namespace
}  // namespace kr35
