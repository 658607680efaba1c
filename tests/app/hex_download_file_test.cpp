#include "app/hex_download_file.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#if defined(__linux__)
#include <sys/mman.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace kr35 {
namespace {

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr bool kSanitized = true;  // the sanitizers reserve far more address space
#else
constexpr bool kSanitized = false;
#endif

#if defined(__linux__)
// In a child process: caps the address space at what is in use plus 64 MiB,
// reads the file, and exits 0 when that failed with the expected error.
[[noreturn]] void ReadWithLittleMemory(const std::filesystem::path& path) {
  std::ifstream status("/proc/self/statm");
  std::size_t pages = 0;
  status >> pages;
  const rlim_t limit = pages * static_cast<rlim_t>(::sysconf(_SC_PAGESIZE)) + (64u << 20);
  const rlimit rl{limit, limit};
  ::setrlimit(RLIMIT_AS, &rl);
  const HexFileImage file = ReadHexFileImage(path, FirmwarePart::kDsp);
  const bool named = file.error == "cannot read \"" + path.string() + "\": not enough memory";
  std::exit(!file.readable && named ? 0 : 1);
}

// Whether a child process limited to 64 MiB of address space is refused 256
// MiB. An emulator such as qemu-user keeps the limit from the program.
bool AddressSpaceLimitHolds() {
  const pid_t pid = ::fork();
  if (pid == 0) {
    const rlimit rl{64u << 20, 64u << 20};
    ::setrlimit(RLIMIT_AS, &rl);
    void* block = ::mmap(nullptr, 256u << 20, PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    ::_exit(block == MAP_FAILED ? 0 : 1);
  }
  int status = 0;
  return pid > 0 && ::waitpid(pid, &status, 0) == pid && WIFEXITED(status) &&
         WEXITSTATUS(status) == 0;
}
#endif

// A HEX file of 512 MiB (sparse) read with 64 MiB of address space to spare:
// the buffers cannot be had, and that is reported as a failure of the file.
TEST(HexDownloadFileDeathTest, MemoryShortageIsAFileErrorNamingTheFile) {
#if defined(__linux__)
  if (kSanitized) GTEST_SKIP() << "needs a process without a sanitizer's reservations";
  if (!AddressSpaceLimitHolds()) GTEST_SKIP() << "the address-space limit is not enforced here";
  const auto path = std::filesystem::temp_directory_path() /
                    ("kr35_large_" + std::to_string(::getpid()) + ".hex");
  std::ofstream(path).close();
  std::filesystem::resize_file(path, std::uintmax_t{512} << 20);
  EXPECT_EXIT(ReadWithLittleMemory(path), ::testing::ExitedWithCode(0), "");
  std::filesystem::remove(path);
#else
  GTEST_SKIP() << "uses the Linux address-space limit";
#endif
}

}  // namespace
}  // namespace kr35
