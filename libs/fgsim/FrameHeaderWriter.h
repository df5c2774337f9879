// The 8-byte header the simulated camera writes at the start of a frame: "TL2", the channel
// letter and the 32-bit little-endian tag. Tests and benchmarks stage tagged frames with it.
#pragma once

#include <cstdint>
#include <cstring>

namespace fgsim {

inline constexpr uint32_t FRAME_HEADER_BYTES = 8;

// Writes the header into the first FRAME_HEADER_BYTES bytes at `buffer`.
inline void WriteFrameHeader(uint8_t* buffer, char channel, uint32_t tag) {
    const uint8_t header[FRAME_HEADER_BYTES] = {'T',
                                                'L',
                                                '2',
                                                static_cast<uint8_t>(channel),
                                                static_cast<uint8_t>(tag),
                                                static_cast<uint8_t>(tag >> 8),
                                                static_cast<uint8_t>(tag >> 16),
                                                static_cast<uint8_t>(tag >> 24)};
    std::memcpy(buffer, header, sizeof header);
}

} // namespace fgsim
