#include "sim/flash_state.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

namespace kr35 {
namespace {

class FlashStateTest : public ::testing::Test {
 protected:
  void TearDown() override { std::filesystem::remove(path_); }
  // One file per test: ctest runs the tests of this file side by side.
  const std::string path_ = ::testing::TempDir() + "/kr35_flash_state_" +
                            ::testing::UnitTest::GetInstance()->current_test_info()->name() +
                            ".json";
};

TEST_F(FlashStateTest, SavedStateLoadsBackAndLeavesNoTemporaryFile) {
  std::vector<std::uint8_t> dsp(300);
  for (std::size_t i = 0; i < dsp.size(); ++i) dsp[i] = static_cast<std::uint8_t>(i * 7);
  for (const FlashState& state : {FlashState{}, FlashState{std::vector<std::uint8_t>{}, dsp},
                                  FlashState{dsp, std::nullopt}}) {
    std::string error;
    ASSERT_TRUE(SaveFlashState(state, path_, error)) << error;
    EXPECT_FALSE(std::filesystem::exists(path_ + ".tmp"));
    auto loaded = LoadFlashState(path_, error);
    ASSERT_TRUE(loaded) << error;
    EXPECT_EQ(*loaded, state);
  }
}

TEST_F(FlashStateTest, RejectsFilesThatAreNotStateFiles) {
  for (const char* text :
       {"", "{}", R"({"kr35_sim_flash": 2})", R"({"kr35_sim_flash": 1, "usb": "abc"})",
        R"({"kr35_sim_flash": 1, "dsp": "zz"})", R"({"kr35_sim_flash": 1, "usb": 5})"}) {
    { std::ofstream(path_) << text; }
    std::string error;
    EXPECT_FALSE(LoadFlashState(path_, error)) << text;
    EXPECT_FALSE(error.empty());
  }
  std::filesystem::remove(path_);
  std::string error;
  EXPECT_FALSE(LoadFlashState(path_, error));
}

TEST(StoredVersionTest, ReadsTheVersionAtItsOffsetOrZero) {
  const std::vector<std::uint8_t> payload{0, 0, 0, 0, 0, 0, 0x07, 0x01};
  EXPECT_EQ(StoredVersion(payload), 0x0107);
  EXPECT_EQ(StoredVersion(std::span(payload).first(7)), 0);
}

}  // namespace
}  // namespace kr35
