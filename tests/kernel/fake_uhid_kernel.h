// The kernel's side of /dev/uhid for tests without a kernel: a SOCK_SEQPACKET
// pair keeps one uhid_event per message, as the real node does. The other end
// becomes the UhidDevice under test.
#pragma once

#include <gtest/gtest.h>
#include <linux/uhid.h>
#include <poll.h>
#include <sys/socket.h>

#include <memory>
#include <optional>

#include "sim/uhid/uhid_adapter_bridge.h"

namespace kr35 {

class FakeUhidKernel {
 public:
  FakeUhidKernel() {
    int pair[2];
    EXPECT_EQ(::socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0, pair), 0);
    kernel_.Reset(pair[0]);
    deviceEnd_ = std::make_shared<UniqueFd>(pair[1]);
  }

  // Hands the device end over, once, to the program under test.
  UhidAdapterBridge::DeviceOpener Opener() {
    return [fd = deviceEnd_](std::string&) { return std::make_unique<UhidDevice>(std::move(*fd)); };
  }

  // The next event the device sends to the "kernel", skipping none.
  std::optional<uhid_event> Next(int waitMs = 3000) {
    pollfd fd{kernel_.Get(), POLLIN, 0};
    if (::poll(&fd, 1, waitMs) != 1) return std::nullopt;
    uhid_event event{};
    if (::read(kernel_.Get(), &event, sizeof(event)) <= 0) return std::nullopt;
    return event;
  }

  void Send(const uhid_event& event) {
    ASSERT_EQ(::write(kernel_.Get(), &event, sizeof(event)), static_cast<ssize_t>(sizeof(event)));
  }

 private:
  UniqueFd kernel_;
  std::shared_ptr<UniqueFd> deviceEnd_;
};

}  // namespace kr35
