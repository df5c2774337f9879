// Turning one Log call into the text of one log line.
#pragma once

#include <cstdarg>
#include <string>

namespace pemdebug {

// Longest text one Log call produces; longer texts are cut.
constexpr size_t MAX_LOG_TEXT = 16 * 1024;

// The format with every "I64" size prefix of a conversion ("%I64u", "%08I64X") replaced by "ll"
// and every "I32" prefix removed; "%%" and all other text stay as they are.
std::string ToPlatformFormat(const char* format);

// printf-style formatting of `format` (after ToPlatformFormat) with `args`, cut to MAX_LOG_TEXT.
// Line breaks at the end are removed and those inside become spaces, so one call gives one line.
std::string FormatLogText(const char* format, va_list args);

} // namespace pemdebug
