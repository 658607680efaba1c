#include "sim/uhid/uhid_device.h"

#include <fcntl.h>
#include <linux/uhid.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace kr35 {

std::unique_ptr<UhidDevice> UhidDevice::Open(const std::string& path, std::string& error) {
  const int fd = ::open(path.c_str(), O_RDWR | O_CLOEXEC);
  if (fd < 0) {
    error = "cannot open " + path + ": " + std::strerror(errno);
    return nullptr;
  }
  return std::make_unique<UhidDevice>(UniqueFd(fd));
}

UhidDevice::~UhidDevice() {
  Destroy();
}

bool UhidDevice::Send(const void* event, std::size_t size) {
  ssize_t written;
  do {
    written = ::write(fd_.Get(), event, size);
  } while (written < 0 && errno == EINTR);
  return written >= 0 && static_cast<std::size_t>(written) == size;
}

bool UhidDevice::Create(const UhidIdentity& identity, std::string& error) {
  uhid_event event{};
  event.type = UHID_CREATE2;
  uhid_create2_req& request = event.u.create2;
  if (identity.descriptor.empty() || identity.descriptor.size() > sizeof(request.rd_data)) {
    error = "the report descriptor does not fit a uhid device";
    return false;
  }
  // The kernel takes these as zero-terminated strings: cut them to fit.
  std::strncpy(reinterpret_cast<char*>(request.name), identity.name.c_str(),
               sizeof(request.name) - 1);
  std::strncpy(reinterpret_cast<char*>(request.phys), identity.phys.c_str(),
               sizeof(request.phys) - 1);
  std::strncpy(reinterpret_cast<char*>(request.uniq), identity.uniq.c_str(),
               sizeof(request.uniq) - 1);
  request.rd_size = static_cast<__u16>(identity.descriptor.size());
  request.bus = identity.bus;
  request.vendor = identity.vendorId;
  request.product = identity.productId;
  request.version = identity.version;
  std::copy(identity.descriptor.begin(), identity.descriptor.end(), request.rd_data);
  if (!Send(&event, sizeof(event))) {
    error = std::string("the kernel refused the uhid device: ") + std::strerror(errno);
    return false;
  }
  created_ = true;
  return true;
}

void UhidDevice::Destroy() {
  if (!created_) return;
  uhid_event event{};
  event.type = UHID_DESTROY;
  Send(&event, sizeof(event));
  created_ = false;
}

bool UhidDevice::Input(std::span<const std::uint8_t> report) {
  uhid_event event{};
  event.type = UHID_INPUT2;
  const std::size_t size = std::min<std::size_t>(report.size(), sizeof(event.u.input2.data));
  event.u.input2.size = static_cast<__u16>(size);
  std::copy_n(report.begin(), size, event.u.input2.data);
  return Send(&event, sizeof(event));
}

UhidEvent UhidDevice::ReadEvent() {
  uhid_event event{};
  ssize_t got;
  do {
    got = ::read(fd_.Get(), &event, sizeof(event));
  } while (got < 0 && errno == EINTR);
  if (got == 0) return {UhidEvent::Kind::kClosedByKernel, {}};
  if (got < static_cast<ssize_t>(sizeof(event.type))) return {UhidEvent::Kind::kError, {}};

  switch (event.type) {
    case UHID_OUTPUT: {
      const std::size_t size =
          std::min<std::size_t>(event.u.output.size, sizeof(event.u.output.data));
      return {UhidEvent::Kind::kOutput,
              std::vector<std::uint8_t>(event.u.output.data, event.u.output.data + size)};
    }
    case UHID_OPEN:
      return {UhidEvent::Kind::kOpen, {}};
    case UHID_CLOSE:
      return {UhidEvent::Kind::kClose, {}};
    case UHID_GET_REPORT: {
      // The adapter has no feature reports: refuse at once instead of letting
      // the asking process wait for the kernel's time limit.
      uhid_event reply{};
      reply.type = UHID_GET_REPORT_REPLY;
      reply.u.get_report_reply.id = event.u.get_report.id;
      reply.u.get_report_reply.err = EIO;
      Send(&reply, sizeof(reply));
      return {UhidEvent::Kind::kOther, {}};
    }
    case UHID_SET_REPORT: {
      uhid_event reply{};
      reply.type = UHID_SET_REPORT_REPLY;
      reply.u.set_report_reply.id = event.u.set_report.id;
      reply.u.set_report_reply.err = EIO;
      Send(&reply, sizeof(reply));
      return {UhidEvent::Kind::kOther, {}};
    }
    default:
      return {UhidEvent::Kind::kOther, {}};
  }
}

}  // namespace kr35
