#include "platform/MultiSz.h"

#include <cstring>

namespace platform {

uint32_t CopyZString(std::string_view text, char* dst, uint32_t size) {
    if (!dst || size == 0)
        return 0;
    const size_t n = text.size() < size - 1u ? text.size() : size - 1u;
    std::memcpy(dst, text.data(), n);
    dst[n] = '\0';
    return static_cast<uint32_t>(n);
}

uint32_t CopyMultiSz(const std::vector<std::string>& texts, char* dst, uint32_t size) {
    if (!dst || size == 0)
        return 0;
    size_t used = 0;
    for (const std::string& text : texts) {
        // Room still free, the list's final zero not counted.
        const size_t room = size - 1u - used;
        if (text.size() + 1 <= room) {
            std::memcpy(dst + used, text.data(), text.size());
            used += text.size();
            dst[used++] = '\0';
            continue;
        }
        // Cut: keep what leaves room for this string's zero and the final zero.
        if (room >= 1) {
            const size_t keep = room - 1;
            std::memcpy(dst + used, text.data(), keep);
            used += keep;
            dst[used++] = '\0';
        }
        dst[used] = '\0';
        return size >= 2 ? size - 2 : 0;
    }
    dst[used] = '\0';
    return static_cast<uint32_t>(used);
}

std::vector<std::string> SplitMultiSz(const char* src, uint32_t size) {
    std::vector<std::string> texts;
    if (!src)
        return texts;
    size_t pos = 0;
    while (pos < size && src[pos] != '\0') {
        const void* zero = std::memchr(src + pos, '\0', size - pos);
        const size_t end = zero ? static_cast<size_t>(static_cast<const char*>(zero) - src) : size;
        texts.emplace_back(src + pos, end - pos);
        pos = end + 1;
    }
    return texts;
}

} // namespace platform
