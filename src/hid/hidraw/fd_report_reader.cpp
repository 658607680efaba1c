#include "hid/hidraw/fd_report_reader.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>

#include "hid/hidraw/report_framing.h"

namespace kr35 {
namespace {

constexpr short kFailureEvents = POLLERR | POLLHUP | POLLNVAL;

// Milliseconds left until `deadline`, rounded up so a wait never ends early.
int RemainingMs(std::chrono::steady_clock::time_point deadline) {
  const auto left = deadline - std::chrono::steady_clock::now();
  if (left <= std::chrono::steady_clock::duration::zero()) {
    return 0;
  }
  const auto ms = std::chrono::ceil<std::chrono::milliseconds>(left).count();
  return static_cast<int>(std::min<decltype(ms)>(ms, INT_MAX));
}

}  // namespace

FdReportReader::FdReportReader(UniqueFd fd, bool usesReportIds)
    : fd_(std::move(fd)),
      stop_(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)),
      usesReportIds_(usesReportIds) {
  if (fd_.Valid()) {
    const int flags = ::fcntl(fd_.Get(), F_GETFL);
    if (flags < 0 || ::fcntl(fd_.Get(), F_SETFL, flags | O_NONBLOCK) < 0) {
      fd_.Reset();
    }
  }
}

FdReportReader::Attempt FdReportReader::ReadNow() {
  const std::span<std::uint8_t> target = InputReadTarget(buffer_, usesReportIds_);
  if (target.empty()) {
    return Attempt::kError;
  }
  ssize_t n;
  do {
    n = ::read(fd_.Get(), target.data(), target.size());
  } while (n < 0 && errno == EINTR);
  if (n > 0) {
    lastLength_ = FinishInputReport(buffer_, usesReportIds_, static_cast<std::size_t>(n));
    return Attempt::kData;
  }
  if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
    return Attempt::kAgain;
  }
  return Attempt::kError;  // end of file or a read error (ENODEV after unplug)
}

ReadStart FdReportReader::StartRead(std::span<std::uint8_t> buffer) {
  buffer_ = buffer;
  pending_ = false;
  if (!Valid()) {
    return ReadStart::kError;
  }
  switch (ReadNow()) {
    case Attempt::kData:
      return ReadStart::kComplete;
    case Attempt::kAgain:
      pending_ = true;
      return ReadStart::kPending;
    case Attempt::kError:
      break;
  }
  return ReadStart::kError;
}

ReadWait FdReportReader::WaitRead(std::chrono::milliseconds timeout) {
  if (!pending_ || !Valid()) {
    return ReadWait::kError;
  }
  const auto deadline =
      std::chrono::steady_clock::now() + std::max(timeout, std::chrono::milliseconds::zero());
  for (;;) {
    pollfd fds[2] = {{stop_.Get(), POLLIN, 0}, {fd_.Get(), POLLIN, 0}};
    const int ready = ::poll(fds, 2, RemainingMs(deadline));
    if (ready < 0) {
      if (errno == EINTR) {
        continue;
      }
      pending_ = false;
      return ReadWait::kError;
    }
    if (ready == 0 || fds[0].revents != 0) {
      return ReadWait::kTimeout;  // time is up, or a stop was asked for
    }
    if ((fds[1].revents & POLLIN) != 0) {
      switch (ReadNow()) {
        case Attempt::kData:
          pending_ = false;
          return ReadWait::kComplete;
        case Attempt::kAgain:
          return ReadWait::kTimeout;  // woken without a report; the read stays pending
        case Attempt::kError:
          pending_ = false;
          return ReadWait::kError;
      }
    }
    if ((fds[1].revents & kFailureEvents) != 0) {
      pending_ = false;
      return ReadWait::kError;
    }
    return ReadWait::kTimeout;
  }
}

void FdReportReader::Interrupt() {
  if (stop_.Valid() && ::eventfd_write(stop_.Get(), 1) != 0) {
    // The counter is already at its limit: the stop stays signalled.
  }
}

}  // namespace kr35
