// Text as a JSON string literal, quotes included.
#pragma once

#include <string>

namespace cli {

std::string JsonString(const std::string& text);

} // namespace cli
