// The file names of numbered image series: the names the export gives to one file per image,
// and the counter field the file sequence counts up. Both look only at the file-name part of a
// path (after the last '/'), so a dot or digits in a folder name never move a file elsewhere.
#pragma once

#include <cstdint>
#include <string>

namespace seriesname {

// Splits `name` at the last '.' of its file-name part: base and extension (with the dot). No
// dot there, or a dot only as the file name's first character: base = name, extension empty.
void Split(const std::string& name, std::string& base, std::string& extension);

// base + "_" + `index` as 8 zero-padded digits (more when it needs more) + extension.
std::string NumberedName(const std::string& base, uint64_t index, const std::string& extension);

// `value` in decimal, padded with leading zeros to `width` digits (longer when it needs more).
std::string ZeroPadded(uint64_t value, size_t width);

// The run of decimal digits just before the extension's dot: its start and width (0 when there
// is none, or no extension).
struct CounterField {
    size_t start = 0;
    size_t width = 0;
};
CounterField FindCounter(const std::string& name);

} // namespace seriesname
