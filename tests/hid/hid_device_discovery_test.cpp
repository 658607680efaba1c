// Finding the adapter among the present HID interfaces.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "hid/fake_hid_backend.h"
#include "hid/hid_channel.h"
#include "hid/hid_device.h"
#include "hid/hid_channel_test_support.h"

namespace kr35::test {
namespace {

using Log = std::vector<std::string>;

FakeDevice Device(std::string path, std::uint16_t vendorId = kAdapterVendorId,
                  std::uint16_t productId = kAdapterProductId) {
  FakeDevice device = AdapterDevice(std::move(path));
  device.attributes = HidAttributes{vendorId, productId, 0x0100};
  return device;
}

FakeDevice Without(FakeDevice device, std::optional<std::string> FakeDevice::*field) {
  device.*field = std::nullopt;
  return device;
}

struct DiscoveryCase {
  const char* name;
  std::vector<FakeDevice> devices;
  int result;
  std::string path;  // of the open device
  Log log;
};

TEST(HidDeviceDiscovery, OpensTheFirstInterfaceThatIsTheAdapter) {
  FakeDevice unopenable = Device("a1");
  unopenable.opensForRead = false;
  FakeDevice noAttributes = Device("a1");
  noAttributes.attributes.reset();
  const std::vector<DiscoveryCase> cases = {
      {"no interfaces", {}, 0, "", {}},
      {"two adapters", {Device("a1"), Device("a2")}, 1, "a1", {"OpenRead a1"}},
      {"second product id", {Device("a1", 0x3C1F, 0x0B72)}, 1, "a1", {"OpenRead a1"}},
      {"other devices first",
       {Device("m", 0x046D, 0x5E35), Device("p", 0x3C1F, 0x5E36), Device("a1")},
       1,
       "a1",
       {"OpenRead m", "CancelRead m", "CloseRead m", "OpenRead p", "CancelRead p", "CloseRead p",
        "OpenRead a1"}},
      {"unreadable product string: rejected, walk goes on",
       {Without(Device("a1"), &FakeDevice::product), Device("a2")},
       1,
       "a2",
       {"OpenRead a1", "CancelRead a1", "CloseRead a1", "OpenRead a2"}},
      {"unreadable manufacturer string: accepted",
       {Without(Device("a1"), &FakeDevice::manufacturer)},
       1,
       "a1",
       {"OpenRead a1"}},
      {"empty path: skipped without opening", {Device(""), Device("a1")}, 1, "a1", {"OpenRead a1"}},
      {"interface that will not open",
       {unopenable, Device("a2")},
       1,
       "a2",
       {"OpenRead a1", "OpenRead a2"}},
      {"attributes unreadable",
       {noAttributes},
       0,
       "",
       {"OpenRead a1", "CancelRead a1", "CloseRead a1"}},
  };
  for (const DiscoveryCase& c : cases) {
    SCOPED_TRACE(c.name);
    FakeHidBackend backend(c.devices);
    HidDevice device(backend);
    EXPECT_EQ(device.FindAdapter(), c.result);
    EXPECT_EQ(device.IsOpen(), c.result == 1);
    if (c.result == 1) {
      EXPECT_EQ(device.DevicePath(), c.path);
    }
    EXPECT_EQ(backend.Log(), c.log);
    EXPECT_EQ(backend.GetStats().liveReadHandles, c.result);
  }
}

TEST(HidDeviceDiscovery, EnumerationFailureFindsNothing) {
  FakeHidBackend backend({Device("a1")});
  backend.FailEnumeration();
  HidDevice device(backend);
  EXPECT_EQ(device.FindAdapter(), 0);
  EXPECT_TRUE(backend.Log().empty());
}

TEST(HidDeviceDiscovery, StringsOfTheOpenAdapterAreKept) {
  FakeHidBackend backend({Device("a1")});
  HidDevice device(backend);
  ASSERT_EQ(device.FindAdapter(), 1);
  EXPECT_EQ(device.ManufacturerString(), "Maker");
  EXPECT_EQ(device.ProductString(), "KR35");
  EXPECT_EQ(device.Attributes().productId, kAdapterProductId);

  // An unreadable manufacturer string leaves the stored one as it was.
  FakeDevice renamed =
      Without(Device("a2", kAdapterVendorId, kAdapterAltProductId), &FakeDevice::manufacturer);
  renamed.product = "KR35 B";
  backend.SetDevices({renamed});
  ASSERT_EQ(device.FindAdapter(), 1);
  EXPECT_EQ(device.ManufacturerString(), "Maker");
  EXPECT_EQ(device.ProductString(), "KR35 B");
}

TEST(HidDeviceDiscovery, FindAdapterOnAnOpenChannelStopsItBeforeReopening) {
  FakeHidBackend backend({Device("a1")});
  HidChannel channel(backend, FastTiming());
  ASSERT_EQ(channel.FindAdapter(), 1);
  ASSERT_TRUE(backend.WaitForReaderIdle());
  ASSERT_EQ(channel.FindAdapter(), 1);
  ASSERT_TRUE(backend.WaitForReaderIdle());
  EXPECT_TRUE(channel.ReaderStarted());
  Log expected{"OpenRead a1",  "OpenWrite a1",  "ReaderExit",  "CancelRead a1",
               "CloseRead a1", "CloseWrite a1", "OpenRead a1", "OpenWrite a1"};
  if (!kFakeTracksReaderExits) std::erase(expected, "ReaderExit");
  EXPECT_EQ(backend.Log(), expected);
}

TEST(HidDeviceDiscovery, FindAdapterThatFindsNothingLeavesTheChannelClosed) {
  FakeHidBackend backend({Device("a1")});
  HidChannel channel(backend, FastTiming());
  ASSERT_EQ(channel.FindAdapter(), 1);
  ASSERT_TRUE(backend.WaitForReaderIdle());
  backend.SetDevices({});
  EXPECT_EQ(channel.FindAdapter(), 0);
  EXPECT_FALSE(channel.IsOpen());
  EXPECT_FALSE(channel.ReaderStarted());
  EXPECT_EQ(channel.WriteCommand(MakeQueryFrame(CMD_VERSIONS)), 0);
  if (kFakeTracksReaderExits) {
    EXPECT_EQ(backend.GetStats().readerExits, 1);
  }
}

}  // namespace
}  // namespace kr35::test
