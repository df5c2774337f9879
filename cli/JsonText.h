// kavrin's JSON output: a value built with nlohmann's ordered_json (fields stay in the order
// they were set) printed on one line the way kavrin always printed it: ", " between items,
// ": " after a key, numbers with a fraction with two decimals (the rates), and null for a
// number that is not finite. Text that is not valid UTF-8 is printed with U+FFFD in place of
// the bad bytes, so the output is always valid JSON.
#pragma once

#include <nlohmann/json_fwd.hpp>
#include <string>

namespace cli {

std::string JsonText(const nlohmann::ordered_json& value);

} // namespace cli
