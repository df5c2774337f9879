// A hand-made little-endian TIFF whose pages all point at the same strip: a small file that
// claims far more frames than it holds.
#pragma once

#include <cstdint>
#include <fstream>
#include <string>
#include <vector>

inline void PutLe(std::vector<char>& out, uint64_t value, int bytes) {
    for (int i = 0; i < bytes; ++i)
        out.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
}

// `pages` 8-bit grey pages of width x height, one uncompressed strip each, every strip at the
// same offset.
inline std::vector<char> SharedStripTiff(uint32_t width, uint32_t height, uint32_t pages) {
    std::vector<char> out = {'I', 'I', 42, 0};
    const uint64_t strip = static_cast<uint64_t>(width) * height;
    PutLe(out, 8 + strip, 4); // the first directory follows the strip
    for (uint64_t i = 0; i < strip; ++i)
        out.push_back(static_cast<char>(i * 7));
    const uint16_t tags[9][2] = {{256, 4}, {257, 4}, {258, 3}, {259, 3}, {262, 3},
                                 {273, 4}, {277, 3}, {278, 4}, {279, 4}};
    const uint64_t values[9] = {width, height, 8, 1, 1, 8, 1, height, strip};
    for (uint32_t p = 0; p < pages; ++p) {
        PutLe(out, 9, 2);
        for (int t = 0; t < 9; ++t) {
            PutLe(out, tags[t][0], 2);
            PutLe(out, tags[t][1], 2);
            PutLe(out, 1, 4);
            PutLe(out, values[t], 4);
        }
        PutLe(out, p + 1 < pages ? out.size() + 4 : 0, 4); // the next directory, or none
    }
    return out;
}

inline void StoreBytes(const std::string& path, const std::vector<char>& bytes) {
    std::ofstream(path, std::ios::binary)
        .write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}
