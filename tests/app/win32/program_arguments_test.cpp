#include "app/win32/program_arguments.h"

#include <gtest/gtest.h>

#include <string>

#include "app/command_line.h"

namespace kr35 {
namespace {

struct Case {
  const char* commandLine;
  const char* arguments;
};

class ProgramArgumentsTest : public ::testing::TestWithParam<Case> {};

TEST_P(ProgramArgumentsTest, SkipsTheProgramName) {
  EXPECT_EQ(ArgumentsAfterProgramName(GetParam().commandLine), GetParam().arguments);
}

INSTANTIATE_TEST_SUITE_P(
    CommandLines, ProgramArgumentsTest,
    ::testing::Values(Case{"", ""}, Case{"kr35-download.exe", ""},
                      Case{"kr35-download.exe saveasresfile", "saveasresfile"},
                      Case{"kr35-download.exe \t  -x  y", "-x  y"},
                      Case{"\"C:\\Program Files\\KR35\\kr35-download.exe\" \"a b\" c", "\"a b\" c"},
                      Case{"\"C:\\Program Files\\kr35-download.exe\"", ""},
                      Case{"\"C:\\unterminated name", ""}));

TEST(ProgramArgumentsTest, QuotedParameterWithBlanksStaysWhole) {
  const auto arguments = SplitCommandLine(
      ArgumentsAfterProgramName("\"C:\\Program Files\\kr35-download.exe\" /x \"my file\" other"));
  EXPECT_EQ(FindParameter(arguments), "my file");
}

}  // namespace
}  // namespace kr35
