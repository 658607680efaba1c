#include "firmware/file_io.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

namespace kr35 {
namespace {

namespace fs = std::filesystem;

class FileIo : public testing::Test {
 protected:
  void SetUp() override {
    // Named after the test and a random number: ctest runs the tests as
    // processes side by side, and under AddressSanitizer their fixtures lie at
    // the same address in each.
    dir_ = fs::temp_directory_path() /
           ("kr35_file_io_" +
            std::string(testing::UnitTest::GetInstance()->current_test_info()->name()) + "_" +
            std::to_string(std::random_device{}()));
    fs::remove_all(dir_);
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }

  std::vector<fs::path> Entries() const {
    std::vector<fs::path> entries;
    for (const auto& entry : fs::directory_iterator(dir_))
      entries.push_back(entry.path().filename());
    return entries;
  }

  fs::path dir_;
};

TEST_F(FileIo, WritesReplacesAndReadsBack) {
  const fs::path file = dir_ / "DSPFileDump.bin";
  std::string error;
  const std::vector<std::uint8_t> first = {1, 2, 3, 0, 255};
  ASSERT_TRUE(WriteFileAtomically(file, first, error)) << error;
  const std::vector<std::uint8_t> second(100000, 0x5A);
  ASSERT_TRUE(WriteFileAtomically(file, second, error)) << error;

  std::vector<std::uint8_t> read;
  ASSERT_TRUE(ReadWholeFile(file, read, error)) << error;
  EXPECT_EQ(read, second);
  EXPECT_EQ(Entries(), std::vector<fs::path>{"DSPFileDump.bin"}) << "no temporary file is left";
}

TEST_F(FileIo, FailedWriteNamesTheFileAndLeavesNothing) {
  const fs::path file = dir_ / "missing" / "USBFileDump.bin";
  std::string error;
  EXPECT_FALSE(WriteFileAtomically(file, std::vector<std::uint8_t>{1}, error));
  EXPECT_NE(error.find("USBFileDump.bin"), std::string::npos) << error;
  EXPECT_NE(error.find("No such file"), std::string::npos) << error;
  EXPECT_EQ(Entries(), std::vector<fs::path>{});
}

TEST_F(FileIo, FailedRenameRemovesTheTemporaryFile) {
  const fs::path target = dir_ / "occupied";
  fs::create_directories(target / "child");  // a non-empty directory cannot be replaced
  std::string error;
  EXPECT_FALSE(WriteFileAtomically(target, std::vector<std::uint8_t>{1, 2}, error));
  EXPECT_NE(error.find("occupied"), std::string::npos) << error;
  EXPECT_EQ(Entries(), std::vector<fs::path>{"occupied"});
}

// A set of files is replaced only when every one of them could be written:
// a failure on the second (here: no directory for it) leaves the first as it was.
TEST_F(FileIo, FileSetIsReplacedWholeOrNotAtAll) {
  const fs::path first = dir_ / "DSPFileDump.bin";
  std::string error;
  ASSERT_TRUE(WriteFileAtomically(first, std::vector<std::uint8_t>{1}, error)) << error;
  const std::vector<std::uint8_t> bytes = {7, 7};
  const std::vector<FileToWrite> files = {{first, bytes},
                                          {dir_ / "gone" / "USBFileDump.bin", bytes}};
  EXPECT_FALSE(WriteFilesAtomically(files, error));
  std::vector<std::uint8_t> read;
  ASSERT_TRUE(ReadWholeFile(first, read, error)) << error;
  EXPECT_EQ(read, std::vector<std::uint8_t>{1});
  EXPECT_EQ(Entries(), std::vector<fs::path>{"DSPFileDump.bin"}) << "no temporary file is left";
}

#ifndef _WIN32
// Writing through a symbolic link replaces its target and keeps the link;
// a loop of links is an error, found before anything is written.
TEST_F(FileIo, LinksAreWrittenThroughAndLoopsRefused) {
  fs::create_directories(dir_ / "real");
  fs::create_symlink("real/state.json", dir_ / "link.json");
  std::string error;
  ASSERT_TRUE(WriteFileAtomically(dir_ / "link.json", std::vector<std::uint8_t>{4}, error))
      << error;
  EXPECT_TRUE(fs::is_symlink(dir_ / "link.json"));
  EXPECT_EQ(fs::file_size(dir_ / "real" / "state.json"), 1u);

  fs::create_symlink("loop-b", dir_ / "loop-a");
  fs::create_symlink("loop-a", dir_ / "loop-b");
  EXPECT_FALSE(CheckCanReplace(dir_ / "loop-a", error));
  EXPECT_NE(error.find("symbolic links"), std::string::npos) << error;
  EXPECT_TRUE(CheckCanReplace(dir_ / "link.json", error)) << error;
  EXPECT_FALSE(CheckCanReplace(dir_ / "real", error));
}
#endif

TEST_F(FileIo, ReadFailuresNameTheFile) {
  std::vector<std::uint8_t> bytes;
  std::string error;
  EXPECT_FALSE(ReadWholeFile(dir_ / "absent.hex", bytes, error));
  EXPECT_NE(error.find("absent.hex"), std::string::npos) << error;
  EXPECT_FALSE(ReadWholeFile(dir_, bytes, error));
}

TEST_F(FileIo, RefusesFilesOverTheLimitAndReadsEmptyFiles) {
  const fs::path file = dir_ / "big.hex";
  std::string error;
  ASSERT_TRUE(WriteFileAtomically(file, std::vector<std::uint8_t>(10, 'x'), error));
  std::vector<std::uint8_t> bytes;
  EXPECT_TRUE(ReadWholeFile(file, bytes, error, 10));
  EXPECT_EQ(bytes.size(), 10u);
  EXPECT_FALSE(ReadWholeFile(file, bytes, error, 9));
  EXPECT_NE(error.find("larger"), std::string::npos) << error;

  std::ofstream(dir_ / "empty.hex").close();
  EXPECT_TRUE(ReadWholeFile(dir_ / "empty.hex", bytes, error));
  EXPECT_TRUE(bytes.empty());
}

}  // namespace
}  // namespace kr35
