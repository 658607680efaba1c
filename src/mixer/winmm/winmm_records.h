// Conversions between winmm's mixer records and the mixer seam's structs. The
// records' text fields are fixed-size arrays that need not end in a zero; they
// are copied whole into arrays of the same size, never read beyond them.
#pragma once

#include <cstddef>

#include "mixer/winmm/winmm_headers.h"

namespace kr35 {

// The record sizes the platform expects. MIXERLINEA holds a pointer-sized
// field (dwUser): 168 bytes in 32-bit programs, 172 in 64-bit ones.
static_assert(sizeof(MIXERCAPSA) == 48);
static_assert(sizeof(MIXERLINEA) == (sizeof(void*) == 8 ? 172 : 168));
static_assert(sizeof(MIXERCONTROLA) == 148);

MixerCaps ToMixerCaps(const MIXERCAPSA& caps);
// The request part of a line (destination, source) into a record for mixerGetLineInfoA.
MIXERLINEA ToLineRequest(const MixerLineInfo& line);
MixerLineInfo ToMixerLineInfo(const MIXERLINEA& record);
MixerControlInfo ToMixerControlInfo(const MIXERCONTROLA& record);

// The number of 32-bit values a details request covers: channels × items
// (at least one item); 0 for a request without channels.
std::size_t DetailValueCount(const MixerControlDetails& details);

// The MIXERCONTROLDETAILS for a value request on `values` (cbDetails 4).
MIXERCONTROLDETAILS ToDetailsRecord(const MixerControlDetails& details, void* values);

}  // namespace kr35
