// The program's arguments from its raw Windows command line (GetCommandLineW, in UTF-8).
#pragma once

#include <string_view>

namespace kr35 {

// The part of a raw command line after the program name. The name is the
// first word, or, when the line starts with a double quote, everything up to
// the closing quote (blanks included); the blanks after it are skipped.
std::string_view ArgumentsAfterProgramName(std::string_view commandLine);

}  // namespace kr35
