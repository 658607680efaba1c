#include "app/command_line.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace kr35 {
namespace {

using ::testing::ElementsAre;

TEST(SplitCommandLine, QuotesAndBackslashesFollowRuntimeRules) {
  EXPECT_THAT(SplitCommandLine("  a\tb\" c \"d  "), ElementsAre("a", "b c d"));
  EXPECT_THAT(SplitCommandLine("a \"\" \"open"), ElementsAre("a", "", "open"));
  EXPECT_THAT(SplitCommandLine(R"(C:\dir\f.hex "C:\my dir\\")"),
              ElementsAre(R"(C:\dir\f.hex)", R"(C:\my dir\)"));
  EXPECT_THAT(SplitCommandLine(R"(a\"b a\\\"b a\\"b c")"),
              ElementsAre(R"(a"b)", R"(a\"b)", R"(a\b c)"));
  EXPECT_THAT(SplitCommandLine(R"("a""b c" d)"), ElementsAre(R"(a"b c)", "d"));
}

}  // namespace
}  // namespace kr35
