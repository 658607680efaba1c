// Conversions between winmm's wide mixer records and the mixer seam's structs.
// The records' text fields are fixed-size UTF-16 arrays that need not end in a
// zero; they are never read beyond them, and become UTF-8 in the seam's arrays
// of the same length, cut at a character boundary when the UTF-8 is longer
// (as the other backends do). The wide records, not the ANSI ones, so that a
// non-ASCII name reads the same whatever the system's code page.
#pragma once

#include <cstddef>

#include "mixer/winmm/winmm_headers.h"

namespace kr35 {

// The record sizes the platform expects. MIXERLINEW holds a pointer-sized
// field (dwUser): 280 bytes in 32-bit programs, 284 in 64-bit ones.
static_assert(sizeof(MIXERCAPSW) == 80);
static_assert(sizeof(MIXERLINEW) == (sizeof(void*) == 8 ? 284 : 280));
static_assert(sizeof(MIXERCONTROLW) == 228);

MixerCaps ToMixerCaps(const MIXERCAPSW& caps);
// The request part of a line (destination, source) into a record for mixerGetLineInfoW.
MIXERLINEW ToLineRequest(const MixerLineInfo& line);
MixerLineInfo ToMixerLineInfo(const MIXERLINEW& record);
MixerControlInfo ToMixerControlInfo(const MIXERCONTROLW& record);

// The number of 32-bit values a details request covers: channels × items
// (at least one item); 0 for a request without channels.
std::size_t DetailValueCount(const MixerControlDetails& details);

// The MIXERCONTROLDETAILS for a value request on `values` (cbDetails 4).
MIXERCONTROLDETAILS ToDetailsRecord(const MixerControlDetails& details, void* values);

}  // namespace kr35
