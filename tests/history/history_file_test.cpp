// The history file: records of downloads running at once are whole lines,
// a full file is rotated, a torn last line is skipped with a warning, and an
// update that never ended or was cut off reads as interrupted.
#include "history/history_file.h"

#include <gtest/gtest.h>
#include <unistd.h>
#include <nlohmann/json.hpp>

#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <thread>
#include <vector>

#include "history/history_records.h"
#include "history/sha256.h"

namespace kr35 {
namespace {

namespace fs = std::filesystem;

class HistoryFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() /
           ("kr35_history_" +
            std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()) + "_" +
            std::to_string(std::random_device{}()));
    fs::create_directories(dir_);
    path_ = dir_ / "state" / "history.jsonl";  // its folder made by the first record
  }
  void TearDown() override { fs::remove_all(dir_); }

  static std::string Read(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
  }
  static AdapterIdentity Adapter(const std::string& serial, const std::string& port) {
    AdapterIdentity adapter;
    adapter.path = "/dev/hidraw" + port;
    adapter.vendorId = kAdapterVendorId;
    adapter.productId = kAdapterProductId;
    adapter.product = "KR35";
    if (!serial.empty()) adapter.serialNumber = serial;
    adapter.usbPort = port;
    return adapter;
  }
  static DownloadPlan BuiltInPlan() {
    DownloadPlan plan;
    plan.dsp = [] { return PartImage{}; };
    plan.usb = [] { return PartImage{}; };
    return plan;
  }

  fs::path dir_;
  fs::path path_;
};

TEST_F(HistoryFileTest, ConcurrentDownloadsWriteWholeLinesThatReadBackInPairs) {
  HistoryFile history(path_, "kr35ctl", "1.0");
  constexpr int kThreads = 4;
  constexpr int kDownloads = 40;
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      const AdapterIdentity adapter = Adapter("S" + std::to_string(t), std::to_string(t));
      for (int i = 0; i < kDownloads; ++i) {
        const std::string id =
            history.Begin(adapter, InstalledVersions{0x100, 0x100}, BuiltInPlan());
        DownloadOutcome outcome;
        history.End(id, outcome, std::chrono::milliseconds(i));
        history.After(id, InstalledVersions{0x104, 0x107});
      }
    });
  }
  for (std::thread& thread : threads) thread.join();

  std::istringstream lines(Read(path_));
  int count = 0;
  for (std::string line; std::getline(lines, line); ++count) {
    ASSERT_TRUE(nlohmann::json::accept(line)) << line;
  }
  EXPECT_EQ(count, kThreads * kDownloads * 3);
  const HistoryRead read = ReadHistory(path_);
  EXPECT_TRUE(read.warnings.empty());
  ASSERT_EQ(read.entries.size(), std::size_t{kThreads * kDownloads});
  for (const HistoryEntry& entry : read.entries) {
    EXPECT_FALSE(entry.Interrupted()) << entry.id;
    ASSERT_TRUE(entry.after);
    EXPECT_EQ(entry.after->dsp, 0x107);
    ASSERT_EQ(entry.images.size(), 2u);
    EXPECT_TRUE(entry.images[0].builtIn);
  }
}

TEST_F(HistoryFileTest, AFullFileIsRotatedAndBothGenerationsRead) {
  HistoryFile history(path_, "kr35ctl", "1.0");
  const std::string first = history.Begin(Adapter("A", "1"), std::nullopt, BuiltInPlan());
  history.End(first, {}, std::chrono::milliseconds(5));
  // Filled past the limit by other lines (as many records would).
  {
    std::ofstream out(path_, std::ios::app);
    out << std::string(kHistoryRotateBytes, ' ') << "\n";
  }
  const std::string second = history.Begin(Adapter("A", "1"), std::nullopt, BuiltInPlan());
  EXPECT_TRUE(fs::exists(dir_ / "state" / "history.1.jsonl"));
  EXPECT_LT(fs::file_size(path_), 4096u);
  const HistoryRead read = ReadHistory(path_);
  ASSERT_EQ(read.entries.size(), 2u);
  EXPECT_EQ(read.entries[0].id, first);
  EXPECT_EQ(read.entries[1].id, second);
  EXPECT_TRUE(read.entries[1].Interrupted());  // begun, never ended
}

TEST_F(HistoryFileTest, ATornLastLineIsSkippedAndInterruptionsAreNamed) {
  HistoryFile history(path_, "kr35ctl", "1.0");
  // Serial S1: ended interrupted by a signal; port 7 (no serial): gone in the DSP blocks;
  // serial S2: done, then a begin cut in the middle of its line.
  const std::string signalled = history.Begin(Adapter("S1", "3"), std::nullopt, BuiltInPlan());
  history.InterruptOpen("aborted by a signal");
  const std::string gone = history.Begin(Adapter("", "7"), std::nullopt, BuiltInPlan());
  DownloadOutcome unplugged;
  unplugged.kind = Outcome::kGone;
  unplugged.part = TransferPart::kDsp;
  unplugged.step = TransferStep::kBlock;
  unplugged.block = 150;
  history.End(gone, unplugged, std::chrono::milliseconds(900));
  history.End(history.Begin(Adapter("S2", "4"), std::nullopt, BuiltInPlan()), {},
              std::chrono::milliseconds(1));
  const std::string line =
      BeginRecord("x", "t", "p", "v", Adapter("S2", "4"), std::nullopt, BuiltInPlan());
  std::ofstream(path_, std::ios::app) << line.substr(0, line.size() / 2);

  const HistoryRead read = ReadHistory(path_);
  ASSERT_EQ(read.warnings.size(), 1u);
  EXPECT_NE(read.warnings[0].find("incomplete last line"), std::string::npos) << read.warnings[0];
  ASSERT_EQ(read.entries.size(), 3u);
  EXPECT_EQ(read.entries[0].outcome, "interrupted");
  EXPECT_NE(InterruptedUpdateNotice(read.entries, Adapter("S1", "9")).find("was interrupted"),
            std::string::npos);
  EXPECT_NE(InterruptedUpdateNotice(read.entries, Adapter("", "7"))
                .find("interrupted at the DSP part, step block, block 150"),
            std::string::npos);
  EXPECT_EQ(InterruptedUpdateNotice(read.entries, Adapter("S2", "4")), "");
  EXPECT_EQ(InterruptedUpdateNotice(read.entries, Adapter("S3", "3")), "") << "serial first";
}

TEST_F(HistoryFileTest, AHistoryThatCannotBeWrittenWarnsOnceAndGoesOn) {
  std::vector<std::string> warnings;
  fs::create_directories(dir_ / "blocked");
  HistoryFile history(dir_ / "blocked", "kr35ctl", "1.0",  // a directory, not a file
                      [&](const std::string& warning) { warnings.push_back(warning); });
  for (int i = 0; i < 3; ++i) {
    history.End(history.Begin(Adapter("A", "1"), std::nullopt, BuiltInPlan()), {},
                std::chrono::milliseconds(1));
  }
  ASSERT_EQ(warnings.size(), 1u);
  EXPECT_NE(warnings[0].find("cannot be written"), std::string::npos) << warnings[0];
}

TEST(Sha256Test, KnownDigests) {
  const struct {
    std::string input;
    const char* digest;
  } rows[] = {
      {"", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
      {"abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
      {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",  // two blocks of padding
       "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
      {std::string(1000, 'a'), "41edece42d63e8d9bf515a9ba6932e1c20cbc9f5a5d134645adb5db1b9737ea3"},
  };
  for (const auto& row : rows) {
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(row.input.data());
    EXPECT_EQ(Sha256Hex({bytes, row.input.size()}), row.digest) << row.input.size();
  }
}

}  // namespace
}  // namespace kr35
