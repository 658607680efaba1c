#include "hid/hidraw/hidraw_backend.h"

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <array>

#include "hid/hidraw/hidraw_diagnostics.h"
#include "hid/hidraw/hidraw_enumeration.h"
#include "hid/hidraw/hidraw_write_handle.h"

namespace kr35 {
namespace {

TEST(HidrawBackendTest, EnumerationListsDeviceNodesInNumberOrder) {
  HidrawBackend backend;
  const auto paths = backend.EnumerateInterfaces();
  ASSERT_TRUE(paths.has_value()) << "udev can list hidraw nodes even when there are none";
  for (const std::string& path : *paths) {
    EXPECT_TRUE(path.starts_with("/dev/")) << path;
  }
  EXPECT_TRUE(std::is_sorted(paths->begin(), paths->end(), [](const auto& a, const auto& b) {
    return HidrawNameLess(a.substr(a.rfind('/') + 1), b.substr(b.rfind('/') + 1));
  }));
  EXPECT_EQ(ListHidrawNodes().size(), paths->size());
}

TEST(HidrawBackendTest, MissingNodeIsReportedAsNotFound) {
  HidrawBackend backend;
  OpenError error = OpenError::kNone;
  EXPECT_EQ(backend.OpenRead("/dev/hidraw-kr35-absent", &error), nullptr);
  EXPECT_EQ(error, OpenError::kNotFound);
  EXPECT_EQ(backend.OpenWrite("/dev/hidraw-kr35-absent"), nullptr);
}

TEST(HidrawBackendTest, NodeThatIsNotHidrawGivesNoHidFacts) {
  HidrawBackend backend;
  OpenError error = OpenError::kOther;
  auto handle = backend.OpenRead("/dev/null", &error);
  ASSERT_NE(handle, nullptr);
  EXPECT_EQ(error, OpenError::kNone);
  HidAttributes attributes;
  std::string text = "unchanged";
  EXPECT_FALSE(handle->GetAttributes(attributes));
  EXPECT_FALSE(handle->GetManufacturerString(text));
  EXPECT_FALSE(handle->GetProductString(text));
  EXPECT_EQ(text, "unchanged");
  EXPECT_EQ(handle->GetPreparsedData(), nullptr);
}

TEST(HidrawWriteHandleTest, WritesTheWholeReportWithItsIdByte) {
  int fds[2];
  ASSERT_EQ(::socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0, fds), 0);
  UniqueFd device(fds[1]);
  HidrawWriteHandle handle{UniqueFd(fds[0])};

  const std::array<std::uint8_t, 5> report{0x00, 0x81, 0x00, 0x02, 0x00};
  ASSERT_TRUE(handle.Write(report));
  std::array<std::uint8_t, 16> received{};
  ASSERT_EQ(::read(device.Get(), received.data(), received.size()), 5);
  EXPECT_TRUE(std::equal(report.begin(), report.end(), received.begin()));
  EXPECT_FALSE(handle.Write({}));
}

}  // namespace
}  // namespace kr35
