// The flock claim: a second open file is refused while the first holds the
// lock, with the holder found in /proc/locks; the lines of /proc/locks that
// name the holder.
#include "hid/hidraw/flock_claim.h"

#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace kr35 {
namespace {

TEST(FlockClaimTest, ASecondClaimIsBusyAndNamesTheHolderUntilTheFirstEnds) {
  const auto path = std::filesystem::temp_directory_path() /
                    ("kr35_flock_claim_" + std::to_string(getpid()) + ".lock");
  std::filesystem::remove(path);
  {
    ClaimAttempt first = TryFlockClaim(path.string(), LockFile::kCreate);
    ASSERT_TRUE(first.claim);
    const ClaimAttempt second = TryFlockClaim(path.string());
    EXPECT_FALSE(second.claim);
    EXPECT_EQ(second.holder.pid, getpid());
    std::ifstream comm("/proc/self/comm");
    std::string name;
    std::getline(comm, name);
    EXPECT_EQ(second.holder.program, name);
    EXPECT_EQ(BusyText(second.holder), "the adapter is busy: " + name + " (pid " +
                                           std::to_string(getpid()) + ") is using it");
  }
  EXPECT_TRUE(TryFlockClaim(path.string()).claim);  // released with the first
  // A node that cannot be opened guards nothing: the exchange meets the real failure.
  std::filesystem::remove(path);
  EXPECT_TRUE(TryFlockClaim(path.string()).claim);
  EXPECT_FALSE(std::filesystem::exists(path));
}

TEST(FlockClaimTest, TheHolderIsTheFlockOnTheSameDeviceAndInode) {
  const char* locks =
      "1: POSIX  ADVISORY  WRITE 111 00:1a:42 0 EOF\n"
      "2: FLOCK  ADVISORY  WRITE 222 00:1b:42 0 EOF\n"
      "3: -> FLOCK  ADVISORY  WRITE 333 00:1a:42 0 EOF\n"
      "4: FLOCK  ADVISORY  WRITE 444 00:1a:42 0 EOF\n";
  EXPECT_EQ(FlockHolderPid(locks, 0x00, 0x1a, 42), 444);
  EXPECT_EQ(FlockHolderPid(locks, 0x00, 0x1b, 42), 222);
  EXPECT_EQ(FlockHolderPid(locks, 0x00, 0x1a, 43), 0);
  EXPECT_EQ(FlockHolderPid("garbage\n\n1:\n", 0, 0x1a, 42), 0);
}

}  // namespace
}  // namespace kr35
