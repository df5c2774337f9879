#include "libs/pemdebug/LogFormat.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

namespace pemdebug {

namespace {

bool IsSpecChar(char c) {
    // Flags, field width, precision and positional argument markers before the size prefix.
    return std::strchr("-+ #0123456789.*$'", c) != nullptr && c != '\0';
}

void MakeSingleLine(std::string& text) {
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r'))
        text.pop_back();
    for (char& c : text) {
        if (c == '\n' || c == '\r')
            c = ' ';
    }
}

} // namespace

std::string ToPlatformFormat(const char* format) {
    std::string out;
    const size_t len = std::strlen(format);
    out.reserve(len + 8);
    size_t i = 0;
    while (i < len) {
        const char c = format[i++];
        out += c;
        if (c != '%')
            continue;
        if (i < len && format[i] == '%') {
            out += format[i++];
            continue;
        }
        while (i < len && IsSpecChar(format[i]))
            out += format[i++];
        if (std::strncmp(format + i, "I64", 3) == 0) {
            out += "ll";
            i += 3;
        } else if (std::strncmp(format + i, "I32", 3) == 0) {
            i += 3;
        }
    }
    return out;
}

std::string FormatLogText(const char* format, va_list args) {
    const std::string platformFormat = ToPlatformFormat(format);
    char small[512];
    va_list first;
    va_copy(first, args);
    const int needed = std::vsnprintf(small, sizeof small, platformFormat.c_str(), first);
    va_end(first);
    if (needed < 0)
        return "(log text could not be formatted)";

    std::string text;
    if (static_cast<size_t>(needed) < sizeof small) {
        text.assign(small, static_cast<size_t>(needed));
    } else {
        const size_t size = std::min(static_cast<size_t>(needed), MAX_LOG_TEXT);
        std::vector<char> big(size + 1);
        va_list second;
        va_copy(second, args);
        std::vsnprintf(big.data(), big.size(), platformFormat.c_str(), second);
        va_end(second);
        text.assign(big.data(), size);
    }
    MakeSingleLine(text);
    return text;
}

} // namespace pemdebug
