#include "cli/JsonText.h"

#include <cmath>
#include <cstdio>
#include <nlohmann/json.hpp>

namespace cli {

std::string JsonText(const nlohmann::ordered_json& value) {
    std::string out;
    if (value.is_object()) {
        out = "{";
        for (auto it = value.begin(); it != value.end(); ++it) {
            out += it == value.begin() ? "" : ", ";
            out += JsonText(it.key()) + ": " + JsonText(it.value());
        }
        return out + "}";
    }
    if (value.is_array()) {
        out = "[";
        for (auto it = value.begin(); it != value.end(); ++it)
            out += (it == value.begin() ? "" : ", ") + JsonText(*it);
        return out + "]";
    }
    if (value.is_number_float()) {
        const double number = value.get<double>();
        if (!std::isfinite(number))
            return "null";
        char text[400]; // "%.2f" of the largest double fits
        std::snprintf(text, sizeof text, "%.2f", number);
        return text;
    }
    return value.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace);
}

} // namespace cli
