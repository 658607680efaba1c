#include "hid/win32/win32_hid_backend.h"

#include <gtest/gtest.h>

#include <array>
#include <thread>

#include "hid/hid_device.h"
#include "hid/win32/win32_read_handle.h"

namespace kr35 {
namespace {

using namespace std::chrono_literals;

TEST(Win32HidBackend, ThisMachineHasNoAdapterAndItsOtherDevicesArePassedOver) {
  // The test machine (a Wine prefix, a build machine) has no adapter; any HID
  // devices it does have must be opened, looked at and closed again.
  Win32HidBackend backend;
  ASSERT_TRUE(backend.EnumerateInterfaces().has_value());
  HidDevice device(backend);
  EXPECT_EQ(device.FindAdapter(), 0);
  EXPECT_FALSE(device.IsOpen());
}

TEST(Win32HidBackend, MissingPathOpensNothing) {
  Win32HidBackend backend;
  const std::string path = R"(\\?\hid#vid_3c1f&pid_5e35#0&0&0000#{no-such-interface})";
  OpenError error = OpenError::kNone;
  EXPECT_EQ(backend.OpenRead(path, &error), nullptr);
  EXPECT_NE(error, OpenError::kNone);
  EXPECT_EQ(backend.OpenWrite(path), nullptr);
}

TEST(HidStringToUtf8, ConvertsUpToTheTerminatingZeroWhateverTheAnsiCodePage) {
  const wchar_t units[] = L"KR35 Kopfh\u00f6rer \u8033\u673a\0garbage";
  std::string text;
  ASSERT_TRUE(HidStringToUtf8(units, std::size(units), text));
  EXPECT_EQ(text, "KR35 Kopfh\xc3\xb6rer \xe8\x80\xb3\xe6\x9c\xba");
}

TEST(HidStringToUtf8, StringFillingTheWholeBufferIsCutBeforeItsLastUnit) {
  std::array<wchar_t, 256> units;
  units.fill(L'x');
  std::string text;
  ASSERT_TRUE(HidStringToUtf8(units.data(), units.size(), text));
  EXPECT_EQ(text, std::string(255, 'x'));
}

// The overlapped read path, on the client end of a named pipe: a read stays
// pending until the server end writes.
class PipeReadTest : public testing::Test {
 protected:
  void SetUp() override {
    const std::string name = R"(\\.\pipe\kr35-read-test-)" + std::to_string(GetCurrentProcessId()) +
                             "-" + std::to_string(counter_++);
    server_ = UniqueHandle(CreateNamedPipeA(name.c_str(),
                                            PIPE_ACCESS_OUTBOUND | FILE_FLAG_FIRST_PIPE_INSTANCE,
                                            PIPE_TYPE_BYTE | PIPE_WAIT, 1, 64, 64, 0, nullptr));
    ASSERT_TRUE(server_.Valid());
    UniqueHandle client(CreateFileA(name.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                    FILE_FLAG_OVERLAPPED, nullptr));
    ASSERT_TRUE(client.Valid());
    handle_ = Win32ReadHandle::Create(std::move(client));
    ASSERT_NE(handle_, nullptr);
  }

  void ServerWrites(std::span<const std::uint8_t> bytes) {
    DWORD written = 0;
    ASSERT_TRUE(WriteFile(server_.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written,
                          nullptr));
    ASSERT_EQ(written, bytes.size());
  }

  static inline int counter_ = 0;
  UniqueHandle server_;
  std::unique_ptr<Win32ReadHandle> handle_;
  std::array<std::uint8_t, 4> buffer_{};
};

TEST_F(PipeReadTest, PendingReadCompletesWhenDataArrives) {
  ASSERT_EQ(handle_->StartRead(buffer_), ReadStart::kPending);
  EXPECT_EQ(handle_->WaitRead(1ms), ReadWait::kTimeout);
  const std::array<std::uint8_t, 4> report{3, 0x81, 0x01, 0x00};
  ServerWrites(report);
  EXPECT_EQ(handle_->WaitRead(10s), ReadWait::kComplete);
  EXPECT_EQ(buffer_, report);
}

TEST_F(PipeReadTest, InterruptEndsTheWaitAndStaysSet) {
  ASSERT_EQ(handle_->StartRead(buffer_), ReadStart::kPending);
  std::thread waker([&] { handle_->Interrupt(); });
  EXPECT_EQ(handle_->WaitRead(60s), ReadWait::kTimeout);
  waker.join();
  EXPECT_EQ(handle_->WaitRead(60s), ReadWait::kTimeout);  // at once: the interrupt is sticky
}

TEST_F(PipeReadTest, CancelFromAnotherThreadEndsAReadStartedByTheReader) {
  std::thread reader([&] { EXPECT_EQ(handle_->StartRead(buffer_), ReadStart::kPending); });
  reader.join();
  handle_->CancelRead();  // returns once the read is over, so the buffer is free again
  EXPECT_EQ(handle_->StartRead(buffer_), ReadStart::kPending);
  const std::array<std::uint8_t, 4> report{1, 2, 3, 4};
  ServerWrites(report);
  EXPECT_EQ(handle_->WaitRead(10s), ReadWait::kComplete);
  EXPECT_EQ(buffer_, report);
}

TEST_F(PipeReadTest, BrokenPipeIsAnError) {
  ASSERT_EQ(handle_->StartRead(buffer_), ReadStart::kPending);
  server_.Reset();
  EXPECT_EQ(handle_->WaitRead(10s), ReadWait::kError);
}

}  // namespace
}  // namespace kr35
