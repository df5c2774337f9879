#include "settings/IniWritable.h"

namespace {

bool Holds(std::string_view text, std::string_view chars) {
    return text.find_first_of(chars) != std::string_view::npos;
}

} // namespace

bool IniIsWritableSection(std::string_view section) {
    return !section.empty() && section.front() != ' ' && section.back() != ' ' &&
           !Holds(section, "[]=#\r\n");
}

bool IniIsWritableKey(std::string_view key) {
    return !key.empty() && key.front() != ';' && key.substr(0, 2) != "//" &&
           !Holds(key, " []=#\r\n");
}

bool IniIsWritableValue(std::string_view value) {
    return !Holds(value, "\r\n");
}
