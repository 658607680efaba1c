// Exit statuses of kr35ctl.
#pragma once

namespace kr35 {

inline constexpr int kExitDone = 0;
inline constexpr int kExitFailed = 1;
inline constexpr int kExitUsage = 2;  // usage error or unreadable input
inline constexpr int kExitNoAdapter = 3;
// The command succeeded but lines of its recording (--record) were lost.
inline constexpr int kExitNotRecorded = 4;

}  // namespace kr35
