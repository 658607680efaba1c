#include "firmware/intel_hex.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>
#include <limits>
#include <memory>
#include <string>

// Sixteen digits at a time with SSE2 (x86-64); elsewhere, or with
// KR35_HEX_PORTABLE, eight at a time in a 64-bit word.
#if defined(__SSE2__) && !defined(KR35_HEX_PORTABLE)
#define KR35_HEX_SSE2
#include <emmintrin.h>
#endif

#include "firmware/firmware_image.h"

namespace kr35 {
namespace {

// The conversion reads records in the text with line breaks removed. Well-formed
// files only have line breaks between records, outside the characters a record
// uses, so records are read straight from the original text. Only when a line
// break falls inside a record's characters is the rest of the text compacted
// once and the conversion carried on there; either way it stays linear.

// Character classes: the low four bits hold a hexadecimal digit's value (either
// letter case). Any other character reads as the digit 0, so malformed text
// still converts to defined bytes. kLineBreak marks CR and LF, kColon ':'.
constexpr std::uint8_t kLineBreak = 0x10;
constexpr std::uint8_t kColon = 0x20;

constexpr std::array<std::uint8_t, 256> MakeClassTable() {
  std::array<std::uint8_t, 256> table{};
  for (int c = '0'; c <= '9'; ++c) table[c] = static_cast<std::uint8_t>(c - '0');
  for (int c = 'A'; c <= 'F'; ++c) table[c] = static_cast<std::uint8_t>(c - 'A' + 10);
  for (int c = 'a'; c <= 'f'; ++c) table[c] = static_cast<std::uint8_t>(c - 'a' + 10);
  table['\r'] = kLineBreak;
  table['\n'] = kLineBreak;
  table[':'] = kColon;
  return table;
}

constexpr std::array<std::uint8_t, 256> kClass = MakeClassTable();

// A record's fixed part: byte count (2), load offset (4), type (2).
constexpr std::size_t kRecordPrefix = 8;
// Any skip of 510 digits or more drops every byte a record can carry.
constexpr int kMaxSkipDigits = 512;
constexpr std::size_t kFinished = std::numeric_limits<std::size_t>::max();

std::uint8_t ClassOf(char c) {
  return kClass[static_cast<unsigned char>(c)];
}

std::uint8_t FlagsOf(const char* p, std::size_t n) {
  std::uint8_t flags = 0;
  for (std::size_t i = 0; i < n; ++i) flags |= ClassOf(p[i]);
  return flags & (kLineBreak | kColon);
}

// Eight characters at once, as the bytes of a little-endian word.
constexpr std::uint64_t kOnes = 0x0101010101010101u;
constexpr std::uint64_t kHighBits = 0x8080808080808080u;

std::uint64_t Load8(const char* p) {
  std::uint64_t word;
  std::memcpy(&word, p, sizeof word);
  return word;
}

// Bit 8k + 7 set where byte k equals `value`; bits above the lowest set one
// may be set falsely, so only the lowest is to be relied on.
std::uint64_t MatchByte(std::uint64_t word, std::uint8_t value) {
  const std::uint64_t x = word ^ (kOnes * value);
  return (x - kOnes) & ~x & kHighBits;
}

// The index of the first ':' at or after `from`, or `size` when there is none.
// Most records start within a few characters of where the scan resumes.
std::size_t FindColon(const char* text, std::size_t from, std::size_t size) {
  if (from + 8 <= size) {
    const std::uint64_t match = MatchByte(Load8(text + from), ':');
    if (match != 0) return from + static_cast<std::size_t>(std::countr_zero(match)) / 8;
    from += 8;
  }
  if (from >= size) return size;
  const void* found = std::memchr(text + from, ':', size - from);
  return found ? static_cast<std::size_t>(static_cast<const char*>(found) - text) : size;
}

// High bit of each byte set where lo <= byte <= hi; bytes must be below 0x80.
std::uint64_t InRange(std::uint64_t word, std::uint8_t lo, std::uint8_t hi) {
  const std::uint64_t atLeastLo = word + kOnes * (0x80 - lo);
  const std::uint64_t aboveHi = word + kOnes * (0x7F - hi);
  return atLeastLo & ~aboveHi & kHighBits;
}

// Decodes eight hexadecimal digits into four bytes when all eight are digits.
bool DecodeEightDigits(const char* p, std::uint8_t* out, std::uint32_t& sum) {
  const std::uint64_t word = Load8(p);
  const std::uint64_t ascii = ~word & kHighBits;
  const std::uint64_t digit = InRange(word & ~kHighBits, '0', '9');
  const std::uint64_t letter = InRange((word & ~kHighBits) | (kOnes * 0x20), 'a', 'f');
  if (((digit | letter) & ascii) != kHighBits) return false;
  // '0'..'9' keep their low nibble; letters (bit 6 set) add 9 to it.
  const std::uint64_t nibbles = (word & (kOnes * 0x0F)) + 9 * ((word >> 6) & kOnes);
  // Byte 2k becomes digit 2k << 4 | digit 2k+1; then the even bytes are packed.
  std::uint64_t pairs = ((nibbles << 4) | (nibbles >> 8)) & 0x00FF00FF00FF00FFu;
  pairs = (pairs | (pairs >> 8)) & 0x0000FFFF0000FFFFu;
  const auto bytes = static_cast<std::uint32_t>(pairs | (pairs >> 16));
  std::memcpy(out, &bytes, sizeof bytes);
  const std::uint32_t halves = (bytes & 0x00FF00FFu) + ((bytes >> 8) & 0x00FF00FFu);
  sum += (halves & 0xFFFFu) + (halves >> 16);
  return true;
}

#if defined(KR35_HEX_SSE2)
// Decodes sixteen hexadecimal digits into eight bytes when all sixteen are digits.
bool DecodeSixteenDigits(const char* p, std::uint8_t* out, std::uint32_t& sum) {
  const __m128i chars = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
  // Signed compares: characters from 0x80 on are negative and fail both tests.
  const __m128i digit = _mm_and_si128(_mm_cmpgt_epi8(chars, _mm_set1_epi8('0' - 1)),
                                      _mm_cmplt_epi8(chars, _mm_set1_epi8('9' + 1)));
  const __m128i folded = _mm_or_si128(chars, _mm_set1_epi8(0x20));
  const __m128i letter = _mm_and_si128(_mm_cmpgt_epi8(folded, _mm_set1_epi8('a' - 1)),
                                       _mm_cmplt_epi8(folded, _mm_set1_epi8('f' + 1)));
  if (_mm_movemask_epi8(_mm_or_si128(digit, letter)) != 0xFFFF) return false;
  const __m128i nibbles = _mm_add_epi8(_mm_and_si128(chars, _mm_set1_epi8(0x0F)),
                                       _mm_and_si128(letter, _mm_set1_epi8(9)));
  // Each 16-bit lane holds a digit pair, the first digit in its low byte.
  const __m128i pairs =
      _mm_or_si128(_mm_slli_epi16(_mm_and_si128(nibbles, _mm_set1_epi16(0x00FF)), 4),
                   _mm_srli_epi16(nibbles, 8));
  const __m128i bytes = _mm_packus_epi16(pairs, _mm_setzero_si128());
  _mm_storel_epi64(reinterpret_cast<__m128i*>(out), bytes);
  sum += static_cast<std::uint32_t>(_mm_cvtsi128_si32(_mm_sad_epu8(bytes, _mm_setzero_si128())));
  return true;
}
#endif

// Decodes bytes [from, to) one by one through the class table, the way for
// characters that are not all digits. Returns their kLineBreak and kColon flags.
std::uint8_t DecodeEachByte(const char* digits, std::size_t from, std::size_t to, std::uint8_t* out,
                            std::uint32_t& sum) {
  std::uint8_t flags = 0;
  for (std::size_t i = from; i < to; ++i) {
    const std::uint8_t high = ClassOf(digits[2 * i]);
    const std::uint8_t low = ClassOf(digits[2 * i + 1]);
    flags |= high | low;
    out[i] = static_cast<std::uint8_t>(high << 4 | (low & 0x0F));
    sum += out[i];
  }
  return flags & (kLineBreak | kColon);
}

// Decodes `count` bytes from 2 * `count` characters. Returns the kLineBreak and
// kColon flags of those characters; with a line break the bytes do not count.
std::uint8_t DecodeBytes(const char* digits, std::size_t count, std::uint8_t* out,
                         std::uint32_t& sum) {
  std::uint8_t flags = 0;
  std::size_t i = 0;
#if defined(KR35_HEX_SSE2)
  for (; i + 8 <= count; i += 8) {
    if (!DecodeSixteenDigits(digits + 2 * i, out + i, sum)) {
      flags |= DecodeEachByte(digits, i, i + 8, out, sum);
    }
  }
#endif
  for (; i + 4 <= count; i += 4) {
    if (!DecodeEightDigits(digits + 2 * i, out + i, sum)) {
      flags |= DecodeEachByte(digits, i, i + 4, out, sum);
    }
  }
  return flags | DecodeEachByte(digits, i, count, out, sum);
}

struct Conversion {
  std::uint8_t* payload;
  std::size_t capacity;
  std::size_t length = 0;
  std::uint32_t sum = 0;
  int skipDigits = 0;
};

// Converts the records of `text`, scanning from its start. Returns kFinished, or
// the index of a ':' whose record has a line break among the characters it
// uses; nothing of that record has been taken then.
std::size_t ConvertRecords(const char* text, std::size_t size, Conversion& conv) {
  std::size_t scan = 0;
  while (scan < size && conv.length < conv.capacity) {
    const std::size_t colon = FindColon(text, scan, size);
    if (colon == size) break;
    const char* record = text + colon + 1;
    const std::size_t available = size - colon - 1;
    // Records overlap: a record is the whole rest of the text after its ':',
    // and the scan for the next one resumes right after this ':'. Once fewer
    // characters than a type needs remain, no later ':' has more.
    scan = colon + 1;
    if (available < kRecordPrefix) break;
    const std::uint64_t prefix = Load8(record);
    if (MatchByte(prefix, '\r') != 0 || MatchByte(prefix, '\n') != 0) return colon;
    // Characters known to hold no ':' need not be scanned again.
    const bool colonInPrefix = MatchByte(prefix, ':') != 0;
    if (record[6] != '0' || record[7] != '0') {  // not a data record
      if (!colonInPrefix) scan += kRecordPrefix;
      continue;
    }

    const int skip = conv.skipDigits;
    conv.skipDigits = 0;  // used up by the first data record, even an empty one
    const int count = ((ClassOf(record[0]) & 0x0F) << 4 | (ClassOf(record[1]) & 0x0F)) - skip / 2;
    const std::size_t dataStart = kRecordPrefix + static_cast<std::size_t>(skip);
    if (count <= 0 || available < dataStart + 2) continue;

    // Whole bytes only, never past the end of the text or of the buffer.
    const std::size_t take = std::min({static_cast<std::size_t>(count), (available - dataStart) / 2,
                                       conv.capacity - conv.length});
    std::uint32_t sum = 0;
    const std::uint8_t flags =
        DecodeBytes(record + dataStart, take, conv.payload + conv.length, sum) |
        FlagsOf(record + kRecordPrefix, dataStart - kRecordPrefix);
    if ((flags & kLineBreak) != 0) {
      conv.skipDigits = skip;  // the bytes written stay uncounted and are overwritten later
      return colon;
    }
    conv.length += take;
    conv.sum += sum;
    if (!colonInPrefix && (flags & kColon) == 0) scan += dataStart + 2 * take;
  }
  return kFinished;
}

// A copy of `text` with every CR and LF removed.
std::string WithoutLineBreaks(std::string_view text) {
  std::string cleaned(text.size(), '\0');
  std::size_t n = 0;
  for (char c : text) {
    cleaned[n] = c;
    n += (ClassOf(c) & kLineBreak) == 0;
  }
  cleaned.resize(n);
  return cleaned;
}

void StoreHeader(std::span<std::uint8_t> image, std::uint32_t length, std::uint16_t checksum) {
  image[0] = static_cast<std::uint8_t>(length);
  image[1] = static_cast<std::uint8_t>(length >> 8);
  image[2] = static_cast<std::uint8_t>(length >> 16);
  image[3] = static_cast<std::uint8_t>(length >> 24);
  image[4] = static_cast<std::uint8_t>(checksum);
  image[5] = static_cast<std::uint8_t>(checksum >> 8);
  image[6] = 0;  // a converted image carries no version
  image[7] = 0;
}

}  // namespace

std::uint16_t BuildImageFromHex(std::string_view text, int skipDigits,
                                std::span<std::uint8_t> image) {
  if (image.size() < kImageHeaderSize) return 0;
  text = text.substr(0, text.find('\0'));

  Conversion conv;
  conv.payload = image.data() + kImageHeaderSize;
  conv.capacity = std::min<std::size_t>(image.size() - kImageHeaderSize,
                                        std::numeric_limits<std::uint32_t>::max());
  conv.skipDigits = std::clamp(skipDigits, 0, kMaxSkipDigits);

  const std::size_t brokenAt = ConvertRecords(text.data(), text.size(), conv);
  if (brokenAt != kFinished) {
    const std::string rest = WithoutLineBreaks(text.substr(brokenAt));
    ConvertRecords(rest.data(), rest.size(), conv);
  }

  const auto checksum = static_cast<std::uint16_t>(conv.sum);
  StoreHeader(image, static_cast<std::uint32_t>(conv.length), checksum);
  return checksum;
}

std::vector<std::uint8_t> ConvertHexFile(std::span<const std::uint8_t> fileBytes, int skipDigits) {
  // Like the dialog: an image buffer as long as the file, but never shorter
  // than a header, so every file yields at least an empty image.
  const std::size_t bufferSize = std::max(kImageHeaderSize, fileBytes.size());
  auto buffer = std::make_unique_for_overwrite<std::uint8_t[]>(bufferSize);
  const std::span<std::uint8_t> image(buffer.get(), bufferSize);
  const std::string_view text(reinterpret_cast<const char*>(fileBytes.data()), fileBytes.size());
  BuildImageFromHex(text, skipDigits, image);
  const std::size_t total = kImageHeaderSize + FirmwareImage(image).PayloadLength();
  return std::vector<std::uint8_t>(buffer.get(), buffer.get() + total);
}

}  // namespace kr35
