// Numbers and byte blocks as settings text, both ways.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// Readers: true when the text holds a number. Leading spaces are skipped; text that starts with
// "0x" or "0X" is read as hexadecimal, otherwise as decimal; trailing text is ignored ("12abc"
// reads as 12). Out-of-range decimal text wraps as the C library's conversions do ("-1" reads as
// 4294967295 unsigned).
bool IniParseUInt32(const std::string& text, uint32_t& value);
bool IniParseInt32(const std::string& text, int32_t& value);
bool IniParseUInt64(const std::string& text, uint64_t& value);
bool IniParseInt64(const std::string& text, int64_t& value);
// Any C floating-point text; no hexadecimal rule.
bool IniParseDouble(const std::string& text, double& value);

// Writers.
std::string IniFormatUInt32(uint32_t value); // "4294967295"
std::string IniFormatInt32(int32_t value);   // "-1"
std::string IniFormatHex32(uint32_t value);  // "0x000000FF"
std::string IniFormatUInt64(uint64_t value);
std::string IniFormatInt64(int64_t value);
std::string IniFormatHex64(uint64_t value); // "0x00000000000000FF"
std::string IniFormatDouble(double value);  // six significant digits, "%G"
// Two upper-case hexadecimal digits a byte; empty for null data or length 0.
std::string IniFormatBinary(const void* data, uint64_t len);

// Reads hexadecimal byte pairs of `text` into dst (at most dstLen bytes; longer text is cut).
// Returns false on an invalid digit or an odd number of digits; `stored` is then meaningless.
bool IniParseBinary(std::string_view text, uint8_t* dst, uint64_t dstLen, uint64_t& stored);
