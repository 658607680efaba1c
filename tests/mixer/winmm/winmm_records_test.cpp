// The mapping between winmm's mixer records and the seam's structs.
#include "mixer/winmm/winmm_records.h"

#include <gtest/gtest.h>

#include <cstring>
#include <cwchar>
#include <iterator>

namespace kr35 {
namespace {

TEST(WinmmRecordsTest, CapabilitiesKeepAFullLengthNameInsideItsArray) {
  MIXERCAPSW caps{};
  caps.wMid = 1;
  caps.wPid = 2;
  caps.vDriverVersion = 0x0500;
  std::wmemset(caps.szPname, L'K', std::size(caps.szPname));  // no terminating zero
  caps.fdwSupport = 4;
  caps.cDestinations = 2;
  const MixerCaps mapped = ToMixerCaps(caps);
  EXPECT_EQ(mapped.wMid, 1);
  EXPECT_EQ(mapped.wPid, 2);
  EXPECT_EQ(mapped.vDriverVersion, 0x0500u);
  EXPECT_EQ(std::string(mapped.szPname, sizeof mapped.szPname), std::string(32, 'K'));
  EXPECT_EQ(mapped.fdwSupport, 4u);
  EXPECT_EQ(mapped.cDestinations, 2u);
}

// Names are UTF-8 in the seam, whatever the ANSI code page: a name that
// grows beyond the array in UTF-8 is cut before the character that would not
// fit, never inside one.
TEST(WinmmRecordsTest, WideNamesBecomeUtf8CutAtACharacterBoundary) {
  const std::string ear = "\xe8\x80\xb3";  // U+8033, three bytes in UTF-8
  std::string tenEars;
  for (int i = 0; i < 10; ++i) tenEars += ear;
  struct Case {
    std::wstring name;
    std::string expected;
  };
  const Case cases[] = {
      {L"KR35 Kopfh\u00f6rer", "KR35 Kopfh\xc3\xb6rer"},
      {std::wstring(11, L'\u8033'), tenEars},  // 33 bytes: ten fit the 32 of szPname
  };
  for (const Case& c : cases) {
    MIXERCAPSW caps{};
    c.name.copy(caps.szPname, std::size(caps.szPname));
    EXPECT_EQ(std::string(ToMixerCaps(caps).szPname), c.expected);
  }
}

TEST(WinmmRecordsTest, LineRequestCarriesSizeDestinationAndSource) {
  MixerLineInfo request;
  request.dwDestination = 1;
  request.dwSource = 3;
  request.dwLineID = 99;  // not part of a request
  const MIXERLINEW record = ToLineRequest(request);
  EXPECT_EQ(record.cbStruct, sizeof(MIXERLINEW));
  EXPECT_EQ(record.dwDestination, 1u);
  EXPECT_EQ(record.dwSource, 3u);
  EXPECT_EQ(record.dwLineID, 0u);
}

TEST(WinmmRecordsTest, LineRecordMapsEveryField) {
  MIXERLINEW record{};
  record.dwDestination = 1;
  record.dwSource = 2;
  record.dwLineID = 0x10002;
  record.fdwLine = 1;
  record.dwComponentType = MIXERLINE_COMPONENTTYPE_DST_WAVEIN;
  record.cChannels = 2;
  record.cConnections = 3;
  record.cControls = 4;
  std::wcscpy(record.szShortName, L"Rec");
  std::wmemset(record.szName, L'n', std::size(record.szName));
  const MixerLineInfo line = ToMixerLineInfo(record);
  EXPECT_EQ(line.dwDestination, 1u);
  EXPECT_EQ(line.dwSource, 2u);
  EXPECT_EQ(line.dwLineID, 0x10002u);
  EXPECT_EQ(line.fdwLine, 1u);
  EXPECT_EQ(line.dwComponentType, 7u);
  EXPECT_EQ(line.cChannels, 2u);
  EXPECT_EQ(line.cConnections, 3u);
  EXPECT_EQ(line.cControls, 4u);
  EXPECT_STREQ(line.szShortName, "Rec");
  EXPECT_EQ(std::string(line.szName, sizeof line.szName), std::string(64, 'n'));
}

TEST(WinmmRecordsTest, ControlRecordMapsTypeFlagsItemsAndBounds) {
  MIXERCONTROLW record{};
  record.cbStruct = sizeof record;
  record.dwControlID = 7;
  record.dwControlType = MIXERCONTROL_CONTROLTYPE_MUTE;
  record.fdwControl = MIXERCONTROL_CONTROLF_UNIFORM | MIXERCONTROL_CONTROLF_MULTIPLE;
  record.cMultipleItems = 3;
  std::wcscpy(record.szName, L"Mute");
  record.Bounds.lMinimum = -5;
  record.Bounds.lMaximum = 65535;
  const MixerControlInfo control = ToMixerControlInfo(record);
  EXPECT_EQ(control.dwControlID, 7u);
  EXPECT_EQ(control.dwControlType, 0x20010002u);
  EXPECT_EQ(control.fdwControl, 3u);
  EXPECT_EQ(control.cMultipleItems, 3u);
  EXPECT_STREQ(control.szName, "Mute");
  EXPECT_EQ(control.lMinimum, -5);
  EXPECT_EQ(control.lMaximum, 65535);
}

TEST(WinmmRecordsTest, DetailsRecordAsksForFourByteValues) {
  std::int32_t values[6] = {};
  const MixerControlDetails details{9, 2, 3};
  EXPECT_EQ(DetailValueCount(details), 6u);
  const MIXERCONTROLDETAILS record = ToDetailsRecord(details, values);
  EXPECT_EQ(record.cbStruct, sizeof(MIXERCONTROLDETAILS));
  EXPECT_EQ(record.dwControlID, 9u);
  EXPECT_EQ(record.cChannels, 2u);
  EXPECT_EQ(record.cMultipleItems, 3u);
  EXPECT_EQ(record.cbDetails, 4u);
  EXPECT_EQ(record.paDetails, values);
}

TEST(WinmmRecordsTest, DetailValueCountCoversChannelsTimesItems) {
  struct Case {
    MixerControlDetails details;
    std::size_t count;
  };
  for (const Case& c : {Case{{1, 1, 0}, 1}, Case{{1, 0, 0}, 0}, Case{{1, 2, 0}, 2},
                        Case{{1, 1, 4}, 4}, Case{{1, 2, 4}, 8}}) {
    EXPECT_EQ(DetailValueCount(c.details), c.count);
  }
}

}  // namespace
}  // namespace kr35
