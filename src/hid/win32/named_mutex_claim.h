// The claim as a named mutex: one name per adapter, shared by every session
// on the machine; the system releases it (abandoned) when its owner ends.
#pragma once

#include <memory>
#include <string>

#include "hid/adapter_claim.h"

namespace kr35 {

// "Global\kr35-claim-" and a hash of `key` (the device's instance path, or
// the simulator's state file), compared without case as Windows compares
// paths, so that the name stays short and holds no backslash.
std::string ClaimMutexName(const std::string& key);

// Tries to own the mutex named after `key` without waiting. A mutex left by
// a program that ended without releasing it is taken over, and the attempt's
// note says so. The claim is released by the thread that took it. A mutex
// that cannot be created guards nothing.
ClaimAttempt TryNamedMutexClaim(const std::string& key);

// The mirror mark as a named event ("Local\kr35-mirror-" and the hash of
// `key`): it exists while any process keeps a handle to it, so holding it is
// keeping the handle, and looking at it is opening it without keeping it.
std::unique_ptr<AdapterClaim> HoldNamedMark(const std::string& key);
bool NamedMarkHeld(const std::string& key);

}  // namespace kr35
