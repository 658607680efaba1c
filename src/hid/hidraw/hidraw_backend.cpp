#include "hid/hidraw/hidraw_backend.h"

#include <fcntl.h>

#include <cerrno>

#include "hid/hidraw/flock_claim.h"
#include "hid/hidraw/hidraw_enumeration.h"
#include "hid/hidraw/hidraw_ioctl.h"
#include "hid/hidraw/hidraw_read_handle.h"
#include "hid/hidraw/hidraw_write_handle.h"
#include "hid/hidraw/udev_handles.h"

namespace kr35 {

OpenError OpenErrorFromErrno(int error) {
  switch (error) {
    case ENOENT:
    case ENODEV:
    case ENXIO:
      return OpenError::kNotFound;
    case EACCES:
    case EPERM:
      return OpenError::kPermissionDenied;
    default:
      return OpenError::kOther;
  }
}

std::optional<std::vector<std::string>> HidrawBackend::EnumerateInterfaces() {
  UdevPtr context(udev_new());
  const auto nodes = EnumerateHidrawNodes(context.get());
  if (!nodes) {
    return std::nullopt;
  }
  std::vector<std::string> paths;
  paths.reserve(nodes->size());
  for (const HidrawNodeEntry& node : *nodes) {
    paths.push_back(node.devnode);
  }
  return paths;
}

std::unique_ptr<HidReadHandle> HidrawBackend::OpenRead(const std::string& path, OpenError* error) {
  OpenError result = OpenError::kNone;
  std::unique_ptr<HidrawReadHandle> handle;
  UniqueFd fd(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
  if (!fd.Valid()) {
    result = OpenErrorFromErrno(errno);
  } else {
    auto descriptor = QueryReportDescriptor(fd.Get());
    handle = std::make_unique<HidrawReadHandle>(std::move(fd), std::move(descriptor));
    if (!handle->Valid()) {
      handle.reset();
      result = OpenError::kOther;
    }
  }
  if (error != nullptr) {
    *error = result;
  }
  return handle;
}

std::unique_ptr<HidWriteHandle> HidrawBackend::OpenWrite(const std::string& path) {
  UniqueFd fd(::open(path.c_str(), O_WRONLY | O_CLOEXEC));
  if (!fd.Valid()) {
    return nullptr;
  }
  return std::make_unique<HidrawWriteHandle>(std::move(fd));
}

ClaimAttempt HidrawBackend::TryClaim(const std::string& path) {
  return TryFlockClaim(path);
}

std::unique_ptr<AdapterClaim> HidrawBackend::HoldMirrorMark(const std::string& key) {
  const std::string path = MirrorMarkPath(key);
  return path.empty() ? nullptr : HoldSharedFlock(path);
}

bool HidrawBackend::MirrorMarkHeld(const std::string& key) {
  const std::string path = MirrorMarkPath(key);
  return !path.empty() && FlockHeldElsewhere(path);
}

}  // namespace kr35
