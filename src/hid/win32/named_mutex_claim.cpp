#include "hid/win32/named_mutex_claim.h"

#include <cctype>
#include <cstdint>
#include <cstdio>

#include "hid/win32/unique_handle.h"

namespace kr35 {
namespace {

class MutexClaim final : public AdapterClaim {
 public:
  explicit MutexClaim(UniqueHandle mutex) : mutex_(std::move(mutex)) {}
  ~MutexClaim() override { ReleaseMutex(mutex_.Get()); }

 private:
  UniqueHandle mutex_;
};

class NamedMark final : public AdapterClaim {
 public:
  explicit NamedMark(UniqueHandle event) : event_(std::move(event)) {}

 private:
  UniqueHandle event_;
};

std::uint64_t KeyHash(const std::string& key) {
  std::uint64_t hash = 14695981039346656037ull;  // FNV-1a
  for (const char c : key) {
    hash ^= static_cast<unsigned char>(std::tolower(static_cast<unsigned char>(c)));
    hash *= 1099511628211ull;
  }
  return hash;
}

std::string MarkName(const std::string& key) {
  char name[48];
  std::snprintf(name, sizeof name, "Local\\kr35-mirror-%016llx",
                static_cast<unsigned long long>(KeyHash(key)));
  return name;
}

}  // namespace

std::unique_ptr<AdapterClaim> HoldNamedMark(const std::string& key) {
  UniqueHandle event(CreateEventA(nullptr, TRUE, FALSE, MarkName(key).c_str()));
  if (!event.Valid()) return nullptr;
  return std::make_unique<NamedMark>(std::move(event));
}

bool NamedMarkHeld(const std::string& key) {
  UniqueHandle event(OpenEventA(SYNCHRONIZE, FALSE, MarkName(key).c_str()));
  return event.Valid();
}

std::string ClaimMutexName(const std::string& key) {
  char name[48];
  std::snprintf(name, sizeof name, "Global\\kr35-claim-%016llx",
                static_cast<unsigned long long>(KeyHash(key)));
  return name;
}

ClaimAttempt TryNamedMutexClaim(const std::string& key) {
  UniqueHandle mutex(CreateMutexA(nullptr, FALSE, ClaimMutexName(key).c_str()));
  if (!mutex.Valid()) return ClaimAttempt::Unguarded();
  switch (WaitForSingleObject(mutex.Get(), 0)) {
    case WAIT_OBJECT_0:
      return {std::make_unique<MutexClaim>(std::move(mutex)), {}, {}};
    case WAIT_ABANDONED:
      return {std::make_unique<MutexClaim>(std::move(mutex)),
              {},
              "the adapter's claim was left by a program that ended without releasing it; "
              "taken over"};
    case WAIT_TIMEOUT:
      return ClaimAttempt::Busy({});  // Windows does not tell who owns a mutex
    default:
      return ClaimAttempt::Unguarded();
  }
}

}  // namespace kr35
