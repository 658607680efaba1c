// The resources every Windows executable carries: the built-in images, the
// version resource and icon 128.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "firmware/builtin_images.h"
#include "firmware/firmware_image.h"
#include "hid/win32/windows_headers.h"

namespace kr35 {
namespace {

struct ImageCase {
  int id;
  std::size_t size;
  std::uint32_t payloadLength;
  std::uint16_t checksum;
  std::uint16_t version;
};

class BinfileResource : public testing::TestWithParam<ImageCase> {};

TEST_P(BinfileResource, LoadsWithItsHeader) {
  const ImageCase& expected = GetParam();
  const auto bytes = LoadBuiltInImage(expected.id);
  ASSERT_EQ(bytes.size(), expected.size);
  const FirmwareImage image(bytes);
  EXPECT_EQ(image.PayloadLength(), expected.payloadLength);
  EXPECT_EQ(image.Checksum(), expected.checksum);
  EXPECT_EQ(image.Version(), expected.version);
}

INSTANTIATE_TEST_SUITE_P(Images, BinfileResource,
                         testing::Values(ImageCase{kUsbImageId, 6029, 6021, 0x2C7F, 0x0104},
                                         ImageCase{kDspImageId, 59286, 59278, 0x5269, 0x0107}));

TEST(BinfileResource, UnknownIdIsNone) {
  EXPECT_TRUE(LoadBuiltInImage(132).empty());
  EXPECT_TRUE(LoadBuiltInImage(128).empty());  // the icon's id, but not a BINFILE
}

std::string VersionString(const char* name) {
  char path[MAX_PATH] = {};
  if (GetModuleFileNameA(nullptr, path, MAX_PATH) == 0) return {};
  DWORD ignored = 0;
  const DWORD size = GetFileVersionInfoSizeA(path, &ignored);
  std::vector<char> info(size);
  if (size == 0 || !GetFileVersionInfoA(path, 0, size, info.data())) return {};
  const std::string key = std::string(R"(\StringFileInfo\040904b0\)") + name;
  char* value = nullptr;
  UINT length = 0;
  if (!VerQueryValueA(info.data(), key.c_str(), reinterpret_cast<void**>(&value), &length)) {
    return {};
  }
  return std::string(value, strnlen(value, length));
}

TEST(VersionResource, CommentsNameTheBuiltInFirmwareVersions) {
  EXPECT_EQ(VersionString("Comments"), "Firmware USB 0x0104, DSP 0x0107");
}

TEST(IconResource, Icon128Loads) {
  EXPECT_NE(LoadIconA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(128)), nullptr);
}

}  // namespace
}  // namespace kr35
