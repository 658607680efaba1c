#include "firmware/intel_hex.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "firmware/firmware_image.h"
#include "firmware/intel_hex_writer.h"

namespace kr35 {
namespace {

using Bytes = std::vector<std::uint8_t>;
using testing::ElementsAre;
using testing::ElementsAreArray;
using testing::IsEmpty;

Bytes Convert(std::string_view text, int skip = kUsbSkipDigits) {
  return ConvertHexFile({reinterpret_cast<const std::uint8_t*>(text.data()), text.size()}, skip);
}

Bytes PayloadOf(const Bytes& image) {
  const auto payload = FirmwareImage(image).Payload();
  return {payload.begin(), payload.end()};
}

// The conversion done the slow, literal way: remove line breaks, then for each
// ':' look at the whole rest of the text. Reads are bounded like the real one.
Bytes ReferenceImage(std::string text, int skip, std::size_t bufferSize) {
  text = text.substr(0, text.find('\0'));
  std::erase_if(text, [](char c) { return c == '\r' || c == '\n'; });
  auto digit = [](char c) -> int {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return 0;
  };
  Bytes payload;
  const std::size_t capacity = bufferSize - kImageHeaderSize;
  for (std::size_t pos = 0; (pos = text.find(':', pos)) != std::string::npos;) {
    const std::string record = text.substr(++pos);
    if (record.size() < 8 || record.substr(6, 2) != "00") continue;
    const int count = digit(record[0]) * 16 + digit(record[1]) - skip / 2;
    const std::size_t start = 8 + static_cast<std::size_t>(skip);
    skip = 0;
    for (int i = 0; i < count && start + 2 * i + 1 < record.size(); ++i) {
      if (payload.size() == capacity) break;
      payload.push_back(static_cast<std::uint8_t>(digit(record[start + 2 * i]) * 16 +
                                                  digit(record[start + 2 * i + 1])));
    }
  }
  Bytes image(kImageHeaderSize);
  const auto n = static_cast<std::uint32_t>(payload.size());
  const std::uint16_t sum = ComputeChecksum(payload);
  image = {static_cast<std::uint8_t>(n),
           static_cast<std::uint8_t>(n >> 8),
           static_cast<std::uint8_t>(n >> 16),
           static_cast<std::uint8_t>(n >> 24),
           static_cast<std::uint8_t>(sum),
           static_cast<std::uint8_t>(sum >> 8),
           0,
           0};
  image.insert(image.end(), payload.begin(), payload.end());
  return image;
}

Bytes Sequence(std::size_t n, std::uint8_t first = 0) {
  Bytes bytes(n);
  for (std::size_t i = 0; i < n; ++i) bytes[i] = static_cast<std::uint8_t>(first + i);
  return bytes;
}

TEST(BuildImageFromHex, RoundTripsWrittenHex) {
  const Bytes data = Sequence(1000, 7);
  const Bytes image = Convert(WriteIntelHex(data));
  EXPECT_EQ(PayloadOf(image), data);
  EXPECT_TRUE(FirmwareImage(image).ChecksumMatches());
  EXPECT_EQ(FirmwareImage(image).Version(), 0);
}

struct SameImageCase {
  const char* name;
  std::string a;
  std::string b;
  friend void PrintTo(const SameImageCase& c, std::ostream* os) { *os << c.name; }
};

class SameImage : public testing::TestWithParam<SameImageCase> {};

TEST_P(SameImage, BothTextsGiveTheSameImage) {
  for (int skip : {kUsbSkipDigits, kDspSkipDigits}) {
    EXPECT_EQ(Convert(GetParam().a, skip), Convert(GetParam().b, skip)) << "skip " << skip;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Texts, SameImage,
    testing::Values(
        SameImageCase{"CrLfAndLf", ":0400000001020304F2\r\n:02000400AABB95\r\n:00000001FF\r\n",
                      ":0400000001020304F2\n:02000400AABB95\n:00000001FF\n"},
        SameImageCase{"LowerAndUpperCase", ":04000000abcdef12xx\n", ":04000000ABCDEF12xx\n"},
        // Line breaks inside a record are removed before the record is read.
        SameImageCase{"BreaksInsideRecords", ":04000\r\n000010\n20304F2\n:0200\r0400AA\nBB95\n",
                      ":0400000001020304F2:02000400AABB95"},
        SameImageCase{"TextEndsAtNul", std::string(":0200000011\0:0200000022", 22) + "33",
                      ":0200000011"}),
    [](const auto& info) { return info.param.name; });

TEST(BuildImageFromHex, KeepsFileOrderAndIgnoresOffsetsTypesAndChecksums) {
  const std::string text =
      ":020000040001F9\r\n"  // extended address: skipped
      ":0200100011220B\r\n"  // offset 0x0010 first
      ":02000000334499\r\n"  // offset 0x0000 second, wrong record checksum
      ":0100000255AA\r\n"    // type 02: skipped
      ":00000001FF\r\n";
  EXPECT_THAT(PayloadOf(Convert(text)), ElementsAre(0x11, 0x22, 0x33, 0x44));
}

TEST(BuildImageFromHex, TextWithoutDataRecordsGivesEmptyImage) {
  for (std::string_view text : {":00000001FF\r\n", "no colon here", ":020000040000FA\n", ""}) {
    EXPECT_THAT(Convert(text), ElementsAre(0, 0, 0, 0, 0, 0, 0, 0)) << text;
  }
}

TEST(BuildImageFromHex, DspSkipDropsTwoBytesOfTheFirstDataRecordOnly) {
  const Bytes data = Sequence(32);
  const std::string text = WriteIntelHex(data);  // two 16-byte records
  EXPECT_THAT(PayloadOf(Convert(text, kDspSkipDigits)),
              ElementsAreArray(data.begin() + 2, data.end()));
}

TEST(BuildImageFromHex, ShortFirstDataRecordStoresNothingAndUsesUpTheSkip) {
  EXPECT_THAT(PayloadOf(Convert(":02000000AABB00\n:0100000077\n", kDspSkipDigits)),
              ElementsAre(0x77));
  EXPECT_THAT(PayloadOf(Convert(":00000000\n:0100000077\n", kDspSkipDigits)), ElementsAre(0x77));
  EXPECT_THAT(PayloadOf(Convert(":03000000AABBCC\n:0100000077\n", kDspSkipDigits)),
              ElementsAre(0xCC, 0x77));
}

TEST(BuildImageFromHex, NonHexDigitsReadAsZero) {
  EXPECT_THAT(PayloadOf(Convert(":02000000G1z2\n")), ElementsAre(0x01, 0x02));
  EXPECT_THAT(PayloadOf(Convert(":0Z000000AB\n")), IsEmpty());
}

TEST(BuildImageFromHex, RecordLongerThanTheTextStopsAtItsEnd) {
  EXPECT_THAT(PayloadOf(Convert(":FF000000112233")), ElementsAre(0x11, 0x22, 0x33));
  EXPECT_THAT(PayloadOf(Convert(":FF0000001122334")), ElementsAre(0x11, 0x22, 0x33));
  EXPECT_THAT(PayloadOf(Convert(":FF000000", kDspSkipDigits)), IsEmpty());
}

TEST(BuildImageFromHex, OverlappingRecordsStopWhenTheBufferIsFull) {
  // Every ':' starts a record that runs over the following ones, so the bytes
  // announced far exceed the text.
  std::string text;
  for (int i = 0; i < 200; ++i) text += ":FF000000";
  const Bytes image = Convert(text);
  ASSERT_EQ(image.size(), text.size());
  EXPECT_EQ(FirmwareImage(image).PayloadLength(), text.size() - kImageHeaderSize);
  EXPECT_TRUE(FirmwareImage(image).ChecksumMatches());
  EXPECT_EQ(image, ReferenceImage(text, 0, text.size()));
}

TEST(BuildImageFromHex, NeverWritesOutsideTheBuffer) {
  const std::string text = ":10000000000102030405060708090A0B0C0D0E0F00\n";
  for (std::size_t size : {0u, 7u, 8u, 9u, 12u}) {
    Bytes storage(size + 4, 0xEE);
    const std::span<std::uint8_t> buffer(storage.data() + 2, size);
    BuildImageFromHex(text, kUsbSkipDigits, buffer);
    EXPECT_THAT(Bytes(storage.begin(), storage.begin() + 2), ElementsAre(0xEE, 0xEE));
    EXPECT_THAT(Bytes(storage.end() - 2, storage.end()), ElementsAre(0xEE, 0xEE));
    if (size < kImageHeaderSize) {
      EXPECT_EQ(storage, Bytes(size + 4, 0xEE))
          << "a buffer without room for a header is untouched";
    } else {
      const FirmwareImage image(buffer);
      EXPECT_EQ(image.PayloadLength(), size - kImageHeaderSize);
      EXPECT_TRUE(image.ChecksumMatches());
    }
  }
}

// Random texts made of record-like pieces, line breaks in odd places, bad
// digits and NULs, against the literal conversion, for both skips and for
// buffers from tight to roomy.
TEST(BuildImageFromHex, MatchesTheLiteralConversionOnRandomTexts) {
  const std::vector<std::string> pieces = {":",  "00", "10",   "FF",   "02",       "0000",
                                           "01", "04", "\r\n", "\n",   "\r",       "a5",
                                           "Zq", "3",  "7E",   "cafe", "\xC6\xB0", "@`Gg/"};
  std::mt19937 random(12345);
  for (int round = 0; round < 2000; ++round) {
    std::string text;
    const int length = static_cast<int>(random() % 60);
    for (int i = 0; i < length; ++i) text += pieces[random() % pieces.size()];
    if (random() % 20 == 0) text.insert(random() % (text.size() + 1), 1, '\0');
    for (int skip : {kUsbSkipDigits, kDspSkipDigits}) {
      for (std::size_t bufferSize : {std::max<std::size_t>(8, text.size()), text.size() * 20 + 8}) {
        Bytes image(bufferSize);
        BuildImageFromHex(text, skip, image);
        image.resize(kImageHeaderSize + FirmwareImage(image).PayloadLength());
        ASSERT_EQ(image, ReferenceImage(text, skip, bufferSize))
            << "text \"" << text << "\" skip " << skip << " buffer " << bufferSize;
      }
    }
  }
}

// Every odd character at every position of a long record, placed over a digit
// or inserted between digits, against the literal conversion.
TEST(BuildImageFromHex, MatchesTheLiteralConversionAroundOddCharacters) {
  const std::string record = ":18000000" +
                             std::string("0123456789abcdefABCDEF0f1e2d3c4b5a69788796a5b4c3") +
                             "00\r\n:0100000077\r\n";
  for (char odd : std::string("\r\n:G@`/g\xC6\xE1 ")) {
    for (std::size_t at = 1; at < 60; ++at) {
      std::string replaced = record;
      replaced[at] = odd;
      std::string inserted = record;
      inserted.insert(at, 1, odd);
      for (const std::string& text : {replaced, inserted}) {
        for (int skip : {kUsbSkipDigits, kDspSkipDigits}) {
          ASSERT_EQ(Convert(text, skip), ReferenceImage(text, skip, text.size()))
              << "odd character " << int(odd) << " at " << at << " skip " << skip;
        }
      }
    }
  }
}

TEST(BuildImageFromHex, ReturnsTheChecksum) {
  Bytes image(64);
  EXPECT_EQ(BuildImageFromHex(":03000000FFFF01xx\n", kUsbSkipDigits, image), 0x1FF);
}

}  // namespace
}  // namespace kr35
