#include "mixer/winmm/winmm_records.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <string_view>

#include "mixer/utf8_text.h"
#include "win32/utf16.h"

namespace kr35 {
namespace {

template <std::size_t N, std::size_t M>
void CopyText(char (&to)[N], const wchar_t (&from)[M]) {
  static_assert(N == M, "seam and record text fields have the same length");
  const std::wstring_view units(from,
                                static_cast<std::size_t>(std::find(from, from + M, L'\0') - from));
  const std::string text = Utf8FromUtf16(units);
  const std::string_view cut = TruncateUtf8(text, N);
  std::memcpy(to, cut.data(), cut.size());
}

}  // namespace

MixerCaps ToMixerCaps(const MIXERCAPSW& caps) {
  MixerCaps result;
  result.wMid = caps.wMid;
  result.wPid = caps.wPid;
  result.vDriverVersion = caps.vDriverVersion;
  CopyText(result.szPname, caps.szPname);
  result.fdwSupport = caps.fdwSupport;
  result.cDestinations = caps.cDestinations;
  return result;
}

MIXERLINEW ToLineRequest(const MixerLineInfo& line) {
  MIXERLINEW record{};
  record.cbStruct = sizeof record;
  record.dwDestination = line.dwDestination;
  record.dwSource = line.dwSource;
  return record;
}

MixerLineInfo ToMixerLineInfo(const MIXERLINEW& record) {
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

MixerControlInfo ToMixerControlInfo(const MIXERCONTROLW& record) {
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
