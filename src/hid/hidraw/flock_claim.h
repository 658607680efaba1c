// The claim as an advisory flock: exclusive, tied to its own open file, and
// released by the kernel when the process ends in any way.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "hid/adapter_claim.h"

namespace kr35 {

enum class LockFile { kMustExist, kCreate };

// Tries flock(LOCK_EX | LOCK_NB) on `path` (a hidraw node, or the simulator's
// lock file). A file that cannot be opened guards nothing: the exchange that
// follows meets the real failure.
ClaimAttempt TryFlockClaim(const std::string& path, LockFile lockFile = LockFile::kMustExist);

// A shared flock on `path`, created when missing; null when it cannot be had.
std::unique_ptr<AdapterClaim> HoldSharedFlock(const std::string& path);
// True while another open file holds a flock on `path`; a missing file is held by nobody.
bool FlockHeldElsewhere(const std::string& path);

// The mirror mark's lock file of the adapter with `key` in the user's runtime
// directory ($XDG_RUNTIME_DIR/kr35-mirror-KEY.lock, KEY reduced to letters,
// digits, '.' and '-'); empty when there is no runtime directory.
std::string MirrorMarkPath(std::string_view key);

// The pid holding the flock on the file with this device and inode in the
// text of /proc/locks; 0 when no line names one.
long FlockHolderPid(std::string_view procLocks, unsigned major, unsigned minor,
                    unsigned long inode);

}  // namespace kr35
