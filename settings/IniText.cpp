#include "settings/IniText.h"

#include <algorithm>
#include <cstring>

namespace {

unsigned char FoldAscii(unsigned char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<unsigned char>(c - 'A' + 'a') : c;
}

} // namespace

bool IniEqualNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (FoldAscii(static_cast<unsigned char>(a[i])) !=
            FoldAscii(static_cast<unsigned char>(b[i])))
            return false;
    }
    return true;
}

uint32_t IniCopyOut(std::string_view src, char* dst, uint64_t len) {
    const uint64_t room = std::min<uint64_t>(len - 1, 0xFFFFFFFEu);
    const size_t n = static_cast<size_t>(std::min<uint64_t>(src.size(), room));
    if (n)
        std::memcpy(dst, src.data(), n);
    dst[n] = '\0';
    return static_cast<uint32_t>(n);
}
