// Small text helpers shared by the settings stores.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// Compares two texts without regard to ASCII letter case (bytes above 127 compare as they are).
bool IniEqualNoCase(std::string_view a, std::string_view b);

// Copies at most len-1 characters of `src` and a terminating zero into dst; returns the number
// of characters copied. The caller has checked dst != null and len >= 1.
uint32_t IniCopyOut(std::string_view src, char* dst, uint64_t len);

// Sets *found when the caller asked for it.
inline void IniSetFound(int* found, int value) {
    if (found)
        *found = value;
}

// A borrowed text argument as a view; null reads as the empty text.
inline std::string_view IniArg(const char* text) {
    return text ? std::string_view(text) : std::string_view();
}
