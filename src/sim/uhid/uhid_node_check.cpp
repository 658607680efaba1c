#include "sim/uhid/uhid_node_check.h"

#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <cerrno>
#include <cstring>

namespace kr35 {
namespace {

constexpr unsigned kMiscMajor = 10;
constexpr unsigned kUhidMinor = 239;

}  // namespace

bool CheckUhidNode(const std::string& path, std::string& error) {
  struct stat status {};
  if (::stat(path.c_str(), &status) != 0) {
    error = "cannot use " + path + ": " + std::strerror(errno);
    return false;
  }
  const char* expected = " (10:239, normally /dev/uhid; load the uhid module)";
  if (!S_ISCHR(status.st_mode)) {
    error = path + " is not a character device; --uhid needs the kernel's uhid device" + expected;
    return false;
  }
  if (major(status.st_rdev) != kMiscMajor || minor(status.st_rdev) != kUhidMinor) {
    error = path + " is character device " + std::to_string(major(status.st_rdev)) + ":" +
            std::to_string(minor(status.st_rdev)) + ", not the kernel's uhid device" + expected;
    return false;
  }
  return true;
}

}  // namespace kr35
