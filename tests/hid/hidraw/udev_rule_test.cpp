#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "hid/hidraw/hidraw_diagnostics.h"

namespace kr35 {
namespace {

TEST(UdevRuleTest, RuleLinesMatchTheShippedRulesFile) {
  EXPECT_EQ(UdevRuleLine(0x5E35),
            "KERNEL==\"hidraw*\", ATTRS{idVendor}==\"3c1f\", ATTRS{idProduct}==\"5e35\", "
            "TAG+=\"uaccess\"");
  EXPECT_EQ(UdevRuleLine(), UdevRuleLine(0x5E35));
  EXPECT_EQ(UdevRuleLine(0x1234), "");

  std::ifstream file(KR35_UDEV_RULES_FILE);
  ASSERT_TRUE(file.is_open());
  std::string rules;
  for (std::string line; std::getline(file, line);) {
    if (!line.empty() && !line.starts_with('#')) {
      rules += line + '\n';
    }
  }
  EXPECT_EQ(rules, UdevRuleLines());
  EXPECT_NE(rules.find(UdevRuleLine(0x0B72)), std::string::npos);
}

}  // namespace
}  // namespace kr35
