#include "acquisition/SeriesName.h"

#include <charconv>

namespace seriesname {

namespace {

// Position of the extension's dot, or npos.
size_t ExtensionDot(const std::string& name) {
    const size_t slash = name.rfind('/');
    const size_t fileStart = slash == std::string::npos ? 0 : slash + 1;
    const size_t dot = name.rfind('.');
    if (dot == std::string::npos || dot <= fileStart)
        return std::string::npos;
    return dot;
}

} // namespace

void Split(const std::string& name, std::string& base, std::string& extension) {
    const size_t dot = ExtensionDot(name);
    if (dot == std::string::npos) {
        base = name;
        extension.clear();
        return;
    }
    base = name.substr(0, dot);
    extension = name.substr(dot);
}

std::string ZeroPadded(uint64_t value, size_t width) {
    char digits[24];
    const auto result = std::to_chars(digits, digits + sizeof digits, value);
    const size_t length = static_cast<size_t>(result.ptr - digits);
    std::string text;
    if (length < width)
        text.assign(width - length, '0');
    text.append(digits, length);
    return text;
}

std::string NumberedName(const std::string& base, uint64_t index, const std::string& extension) {
    return base + "_" + ZeroPadded(index, 8) + extension;
}

CounterField FindCounter(const std::string& name) {
    CounterField field;
    const size_t dot = ExtensionDot(name);
    if (dot == std::string::npos)
        return field;
    size_t start = dot;
    while (start > 0 && name[start - 1] >= '0' && name[start - 1] <= '9')
        --start;
    field.start = start;
    field.width = dot - start;
    return field;
}

} // namespace seriesname
