// kr35ctl and the explorer read typed outcomes and progress: none of their
// source files may spell a dialog text, which lives in resources/ui.json and
// in the one place that turns transfer events into texts.
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "app/console/text_file.h"
#include "app/device_dialog.h"

namespace kr35 {
namespace {

namespace fs = std::filesystem;

// The string literals of a C++ source, with their escapes resolved.
std::vector<std::string> Literals(const std::string& source) {
  std::vector<std::string> literals;
  for (std::size_t i = 0; i < source.size(); ++i) {
    if (source[i] == '\'' && i + 2 < source.size()) {  // a character literal such as '"'
      i += source[i + 1] == '\\' ? 3 : 2;
      continue;
    }
    if (source[i] != '"') continue;
    std::string literal;
    for (++i; i < source.size() && source[i] != '"'; ++i) {
      if (source[i] == '\\' && i + 1 < source.size()) {
        ++i;
        literal += source[i] == 'n' ? '\n' : source[i];
      } else {
        literal += source[i];
      }
    }
    literals.push_back(literal);
  }
  return literals;
}

// A text as a pattern: each printf conversion ("%d", "%04x", "%%") matches any run.
std::string PatternOf(const std::string& text) {
  std::string pattern;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '%') {
      pattern += text[i];
      continue;
    }
    while (i + 1 < text.size() && !std::isalpha(static_cast<unsigned char>(text[i + 1])) &&
           text[i + 1] != '%') {
      ++i;
    }
    while (i + 1 < text.size() && (text[i + 1] == 'z' || text[i + 1] == 'l')) ++i;
    ++i;
    pattern += '*';
  }
  return pattern;
}

bool Matches(const std::string& pattern, const std::string& text) {
  std::size_t p = 0, t = 0, star = std::string::npos, resume = 0;
  while (t < text.size()) {
    if (p < pattern.size() && pattern[p] == '*') {
      star = p++;
      resume = t;
    } else if (p < pattern.size() && pattern[p] == text[t]) {
      ++p;
      ++t;
    } else if (star != std::string::npos) {
      p = star + 1;
      t = ++resume;
    } else {
      return false;
    }
  }
  while (p < pattern.size() && pattern[p] == '*') ++p;
  return p == pattern.size();
}

std::vector<std::string> DialogTexts() {
  std::vector<std::string> texts{kPlugInPrompt};
  for (const std::string& literal :
       Literals(ReadText(fs::path(KR35_SOURCE_DIR) / "src/adapter/transfer_texts.cpp"))) {
    if (literal.find(' ') != std::string::npos || literal.ends_with('!')) texts.push_back(literal);
  }
  const auto ui = nlohmann::json::parse(ReadText(fs::path(KR35_SOURCE_DIR) / "resources/ui.json"));
  for (const auto& [id, text] : ui.at("strings").items()) texts.push_back(text.get<std::string>());
  return texts;
}

TEST(NoDialogTextsTest, Kr35ctlAndTheExplorerSpellNoDialogText) {
  const std::vector<std::string> texts = DialogTexts();
  ASSERT_GT(texts.size(), 10u);
  EXPECT_TRUE(
      Matches(PatternOf("Download Completion: %s %d %%."), "Download Completion: DSP %d %%."));
  for (const char* folder : {"src/app/console", "src/explore"}) {
    for (const auto& entry : fs::directory_iterator(fs::path(KR35_SOURCE_DIR) / folder)) {
      const auto extension = entry.path().extension();
      if (extension != ".cpp" && extension != ".h") continue;
      for (const std::string& literal : Literals(ReadText(entry.path()))) {
        for (const std::string& text : texts) {
          EXPECT_FALSE(Matches(PatternOf(text), literal))
              << entry.path() << " spells the dialog text \"" << text << "\"";
        }
      }
    }
  }
}

}  // namespace
}  // namespace kr35
