#include "mixer/winmm/winmm_records.h"

#include <algorithm>
#include <cstring>

namespace kr35 {
namespace {

template <std::size_t N, std::size_t M>
void CopyText(char (&to)[N], const char (&from)[M]) {
  static_assert(N == M, "seam and record text fields have the same size");
  std::memcpy(to, from, N);
}

}  // namespace

MixerCaps ToMixerCaps(const MIXERCAPSA& caps) {
  MixerCaps result;
  result.wMid = caps.wMid;
  result.wPid = caps.wPid;
  result.vDriverVersion = caps.vDriverVersion;
  CopyText(result.szPname, caps.szPname);
  result.fdwSupport = caps.fdwSupport;
  result.cDestinations = caps.cDestinations;
  return result;
}

MIXERLINEA ToLineRequest(const MixerLineInfo& line) {
  MIXERLINEA record{};
  record.cbStruct = sizeof record;
  record.dwDestination = line.dwDestination;
  record.dwSource = line.dwSource;
  return record;
}

MixerLineInfo ToMixerLineInfo(const MIXERLINEA& record) {
  MixerLineInfo line;
  line.dwDestination = record.dwDestination;
  line.dwSource = record.dwSource;
  line.dwLineID = record.dwLineID;
  line.fdwLine = record.fdwLine;
  line.dwComponentType = record.dwComponentType;
  line.cChannels = record.cChannels;
  line.cConnections = record.cConnections;
  line.cControls = record.cControls;
  CopyText(line.szShortName, record.szShortName);
  CopyText(line.szName, record.szName);
  return line;
}

MixerControlInfo ToMixerControlInfo(const MIXERCONTROLA& record) {
  MixerControlInfo control;
  control.dwControlID = record.dwControlID;
  control.dwControlType = record.dwControlType;
  control.fdwControl = record.fdwControl;
  control.cMultipleItems = record.cMultipleItems;
  CopyText(control.szShortName, record.szShortName);
  CopyText(control.szName, record.szName);
  control.lMinimum = record.Bounds.lMinimum;
  control.lMaximum = record.Bounds.lMaximum;
  return control;
}

std::size_t DetailValueCount(const MixerControlDetails& details) {
  return std::size_t{details.cChannels} * std::max<std::size_t>(1, details.cMultipleItems);
}

MIXERCONTROLDETAILS ToDetailsRecord(const MixerControlDetails& details, void* values) {
  MIXERCONTROLDETAILS record{};
  record.cbStruct = sizeof record;
  record.dwControlID = details.dwControlID;
  record.cChannels = details.cChannels;
  record.cMultipleItems = details.cMultipleItems;
  record.cbDetails = sizeof(MIXERCONTROLDETAILS_UNSIGNED);  // 4: one 32-bit value
  record.paDetails = values;
  return record;
}

}  // namespace kr35
