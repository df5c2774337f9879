// A look-up table as CSV text: "input,red,green,blue", then one line per input 0 .. 255.
// Import takes that, or the same lines without the header, or lines of one value (the same for
// all three channels) or three values (red, green, blue); every value an integer 0 .. 65535.
// Anything else is refused with a message that names the line ("line 17: value 70000 out of
// range"). No Qt and no exceptions: the import is fed arbitrary bytes by a fuzzer.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace lumodialog {

inline constexpr size_t LUT_POINTS = 256;
// Red, then green, then blue, 256 points each: the layout of the module's table parameter.
using LutChannels = std::array<uint16_t, 3 * LUT_POINTS>;

// The largest text Import looks at; a table file is under 8 KiB.
inline constexpr size_t LUT_CSV_MAX_BYTES = 1 << 20;

std::string ExportLutCsv(const LutChannels& table);

// Fills `table` and returns true, or leaves it alone, sets `error` and returns false.
[[nodiscard]] bool ImportLutCsv(std::string_view text, LutChannels& table, std::string& error);

} // namespace lumodialog
