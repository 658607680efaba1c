#include "mixer/utf8_text.h"

#include <gtest/gtest.h>

namespace kr35 {
namespace {

TEST(Utf8TextTest, CharLengthStepsOverWholeSequencesAndSingleBadBytes) {
  struct Case {
    std::string_view text;
    std::size_t length;
  };
  for (const Case& c :
       {Case{"A", 1}, Case{"\xC3\xA9", 2}, Case{"\xE2\x82\xAC", 3}, Case{"\xF0\x9F\x8E\xA7", 4},
        Case{"\x80", 1}, Case{"\xFF", 1}, Case{"\xC0\x80", 1},
        Case{"\xC3"
             "A",
             1},
        Case{"\xE2\x82", 1}, Case{"\xF0\x9F\x8E", 1}}) {
    EXPECT_EQ(Utf8CharLength(c.text, 0), c.length);
  }
}

TEST(Utf8TextTest, TruncateCutsOnlyAtCharacterBoundaries) {
  EXPECT_EQ(TruncateUtf8("abc", 31), "abc");
  EXPECT_EQ(TruncateUtf8("abcdef", 3), "abc");
  EXPECT_EQ(TruncateUtf8("ab\xE2\x82\xAC", 4), "ab");
  EXPECT_EQ(TruncateUtf8("ab\xE2\x82\xAC", 5), "ab\xE2\x82\xAC");
  EXPECT_EQ(TruncateUtf8("ab\xE2\x82", 3), "ab\xE2");  // broken sequence: bytes on their own
  EXPECT_EQ(TruncateUtf8("", 0), "");
}

}  // namespace
}  // namespace kr35
