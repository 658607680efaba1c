#include "app/command_line.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace kr35 {
namespace {

using ::testing::ElementsAre;

struct ModeCase {
  const char* commandLine;
  const char* parameter;
  DownloadMode mode;
};

class CommandLineModeTest : public ::testing::TestWithParam<ModeCase> {};

TEST_P(CommandLineModeTest, PicksParameterAndMode) {
  const ModeCase& c = GetParam();
  const std::string parameter = FindParameter(SplitCommandLine(c.commandLine));
  EXPECT_EQ(parameter, c.parameter);
  EXPECT_EQ(ModeForParameter(parameter), c.mode);
}

INSTANTIATE_TEST_SUITE_P(
    Modes, CommandLineModeTest,
    ::testing::Values(ModeCase{"", "", DownloadMode::kStandard},
                      ModeCase{"-x /y --long", "", DownloadMode::kStandard},
                      ModeCase{"saveasresfile", "saveasresfile", DownloadMode::kFull},
                      ModeCase{"SaveAsResFile", "SaveAsResFile", DownloadMode::kFull},
                      ModeCase{"/nologo saveasresfile", "saveasresfile", DownloadMode::kFull},
                      ModeCase{"first second", "first", DownloadMode::kFull},
                      ModeCase{"\"my file.hex\" other", "my file.hex", DownloadMode::kFull},
                      ModeCase{"\"\" word", "word", DownloadMode::kFull}));

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
