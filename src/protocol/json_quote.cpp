#include "protocol/json_quote.h"

#include <nlohmann/json.hpp>

namespace kr35 {

std::string JsonQuote(std::string_view text) {
  return nlohmann::json(std::string(text))
      .dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

}  // namespace kr35
