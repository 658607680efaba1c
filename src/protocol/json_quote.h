// A text as a JSON string literal, for the programs' JSON-lines output.
#pragma once

#include <string>
#include <string_view>

namespace kr35 {

// Quoted and escaped; bytes that are not UTF-8 become U+FFFD.
std::string JsonQuote(std::string_view text);

}  // namespace kr35
