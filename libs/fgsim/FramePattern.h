// What the simulated camera writes into a buffer: the 8-byte header ("TL2", the channel letter,
// the 32-bit little-endian tag) and a moving diagonal ramp, one memcpy per row.
#pragma once

#include "libs/fgsim/FrameHeaderWriter.h"

#include <cstdint>
#include <vector>

namespace fgsim {

class FramePattern {
public:
    // Rows of `rowBytes` bytes (0: the whole buffer is one row).
    explicit FramePattern(uint64_t rowBytes);

    // Fills `bytes` bytes at `buffer` with frame number `frame` of channel `channel` ('L' or
    // 'R'); with `withHeader` the first 8 bytes are the header carrying `tag`.
    void Write(uint8_t* buffer, uint64_t bytes, uint64_t frame, char channel, uint32_t tag,
               bool withHeader) const;

private:
    uint64_t m_rowBytes;
    std::vector<uint8_t> m_ramp; // rowBytes + 256 bytes of 0, 1, ..., 255, 0, ...
};

} // namespace fgsim
