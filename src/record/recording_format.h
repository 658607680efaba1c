// What a session recording holds: one JSON object per line. The first line
// names the format:
//   {"format":"kr35-session","version":1,"program":"kr35ctl","programVersion":"1.0.0","platform":"linux"}
// Every other line is one event at "t_us" microseconds (monotonic) after the
// recording began:
//   enumerate    "paths": [...] or null when the platform could not list them
//   open         "path", "handle": N (null when it could not be opened)
//   attributes   "handle", "vendorId", "productId", "versionNumber" (null when unreadable)
//   manufacturer, product, serial, port   "handle", "text" (null when unreadable;
//                serial and port lines are missing from recordings made before
//                they were kept)
//   descriptor   "handle", "bytes": hex or null, "caps": what the report parser
//                returned (record/recorded_caps.h), which a replay uses when
//                "bytes" is null
//   openWrite    "path", "writer": N (null when it could not be opened)
//   write        "writer", "report": hex, "ok"
//   read         "handle", "report": hex (the read buffer, report id first)
//   readError    "handle"
//   register     "ok": whether device notices could be had
//   notice       "code": the device-change code (arrival, removal, tree changed)
// Read and write handles are numbered from 1 in the order they were opened.
#pragma once

#include <cstddef>

namespace kr35 {

inline constexpr const char* kRecordingFormat = "kr35-session";
inline constexpr int kRecordingVersion = 1;

// Bounds on what a recording may hold, so a damaged or hostile file cannot
// make the replay allocate without limit.
inline constexpr std::size_t kMaxRecordingLine = 64 * 1024;
inline constexpr std::size_t kMaxRecordingReport = 4096;
inline constexpr std::size_t kMaxRecordingDescriptor = 4096;
inline constexpr std::size_t kMaxRecordingEvents = 4 * 1024 * 1024;

}  // namespace kr35
