#include "hid/win32/interface_detail_path.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "hid/win32/windows_headers.h"

namespace kr35 {
namespace {

// One answer of the fake platform: success (with the path written into the
// buffer) or a failure with its error, and the size it asks for.
struct Answer {
  bool ok = false;
  std::uint32_t error = 0;
  std::uint32_t required = 0;
  std::string path;
};

struct Recorded {
  std::size_t bufferSize = 0;
  DWORD recordSize = 0;
};

class FakeDetails {
 public:
  explicit FakeDetails(std::vector<Answer> answers) : answers_(std::move(answers)) {}

  InterfaceDetailQuery Query() {
    return [this](std::span<std::byte> detail, std::uint32_t& required, std::uint32_t& error) {
      const Answer& answer = answers_[std::min(calls.size(), answers_.size() - 1)];
      Recorded call{detail.size(), 0};
      if (!detail.empty()) std::memcpy(&call.recordSize, detail.data(), sizeof call.recordSize);
      calls.push_back(call);
      required = answer.required;
      error = answer.error;
      if (answer.ok && !detail.empty()) {
        const std::size_t offset = offsetof(SP_DEVICE_INTERFACE_DETAIL_DATA_A, DevicePath);
        const std::size_t room = detail.size() - offset;
        std::memcpy(detail.data() + offset, answer.path.data(), std::min(room, answer.path.size()));
        if (answer.path.size() < room) detail[offset + answer.path.size()] = std::byte{0};
      }
      return answer.ok;
    };
  }

  std::vector<Recorded> calls;

 private:
  std::vector<Answer> answers_;
};

constexpr std::uint32_t kInsufficient = ERROR_INSUFFICIENT_BUFFER;
const std::string kPath =
    R"(\\?\hid#vid_3c1f&pid_5e35#7&1&0000#{4d1e55b2-f16f-11cf-88cb-001111000030})";

TEST(InterfaceDetailPath, SizeQueryThenBufferOfThatSize) {
  const auto required = static_cast<std::uint32_t>(4 + kPath.size() + 1);
  FakeDetails fake({{false, kInsufficient, required, ""}, {true, 0, required, kPath}});
  EXPECT_EQ(InterfaceDetailPath(fake.Query()), kPath);
  ASSERT_EQ(fake.calls.size(), 2u);
  EXPECT_EQ(fake.calls[0].bufferSize, 0u);
  EXPECT_EQ(fake.calls[1].bufferSize, required);
  // The record's size member is the fixed part's size on this platform, not 5.
  EXPECT_EQ(fake.calls[1].recordSize, sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A));
  EXPECT_EQ(fake.calls[1].recordSize, 8u);
}

TEST(InterfaceDetailPath, GrowsWhileThePlatformAsksForMore) {
  FakeDetails fake(
      {{false, kInsufficient, 40, ""}, {false, kInsufficient, 200, ""}, {true, 0, 200, kPath}});
  EXPECT_EQ(InterfaceDetailPath(fake.Query()), kPath);
  ASSERT_EQ(fake.calls.size(), 3u);
  EXPECT_EQ(fake.calls[2].bufferSize, 200u);
}

struct NoPathCase {
  const char* name;
  std::vector<Answer> answers;
  std::size_t maxCalls;
};

class NoPath : public testing::TestWithParam<NoPathCase> {};

TEST_P(NoPath, GivesAnEmptyPath) {
  FakeDetails fake(GetParam().answers);
  EXPECT_EQ(InterfaceDetailPath(fake.Query()), "");
  EXPECT_LE(fake.calls.size(), GetParam().maxCalls);
}

INSTANTIATE_TEST_SUITE_P(
    Failures, NoPath,
    testing::Values(NoPathCase{"SizeQuerySucceeds", {{true, 0, 0, kPath}}, 1},
                    NoPathCase{"SizeQueryOtherError", {{false, ERROR_INVALID_PARAMETER, 0, ""}}, 1},
                    NoPathCase{
                        "SecondQueryOtherError",
                        {{false, kInsufficient, 100, ""}, {false, ERROR_NO_SUCH_DEVINST, 0, ""}},
                        2},
                    NoPathCase{"AsksForMoreForever", {{false, kInsufficient, 100, ""}}, 16},
                    NoPathCase{"AbsurdSize", {{false, kInsufficient, 0x7FFFFFFF, ""}}, 1}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(InterfaceDetailPath, RequiredSizeBelowTheFixedPartStillGivesRoomForIt) {
  FakeDetails fake({{false, kInsufficient, 2, ""}, {true, 0, 2, "x"}});
  EXPECT_EQ(InterfaceDetailPath(fake.Query()), "x");
  ASSERT_EQ(fake.calls.size(), 2u);
  EXPECT_GT(fake.calls[1].bufferSize, sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A));
}

TEST(InterfaceDetailPath, UnterminatedPathEndsAtTheBuffer) {
  const std::string longPath(100, 'p');
  FakeDetails fake({{false, kInsufficient, 24, ""}, {true, 0, 24, longPath}});
  EXPECT_EQ(InterfaceDetailPath(fake.Query()), std::string(20, 'p'));
}

}  // namespace
}  // namespace kr35
