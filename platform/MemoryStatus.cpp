#include "platform/MemoryStatus.h"

#include <cstdio>
#include <string_view>

namespace platform {

std::optional<uint64_t> ParseMemAvailable(const char* text, uint64_t length) {
    const std::string_view all(text, static_cast<size_t>(length));
    constexpr std::string_view key = "MemAvailable:";
    size_t pos = 0;
    while (pos < all.size()) {
        size_t end = all.find('\n', pos);
        if (end == std::string_view::npos)
            end = all.size();
        const std::string_view line = all.substr(pos, end - pos);
        pos = end + 1;
        if (line.substr(0, key.size()) != key)
            continue;
        size_t i = key.size();
        while (i < line.size() && line[i] == ' ')
            ++i;
        uint64_t kib = 0;
        size_t digits = 0;
        for (; i < line.size() && line[i] >= '0' && line[i] <= '9'; ++i, ++digits) {
            if (digits >= 15) // no machine has 10^15 KiB; refuse before the value overflows
                return std::nullopt;
            kib = kib * 10 + static_cast<uint64_t>(line[i] - '0');
        }
        if (digits == 0 || line.substr(i) != " kB")
            return std::nullopt;
        return kib * 1024;
    }
    return std::nullopt;
}

std::optional<uint64_t> MemAvailableBytes() {
    std::FILE* file = std::fopen("/proc/meminfo", "r");
    if (!file)
        return std::nullopt;
    char buffer[8192];
    const size_t n = std::fread(buffer, 1, sizeof(buffer), file);
    std::fclose(file);
    return ParseMemAvailable(buffer, n);
}

} // namespace platform
