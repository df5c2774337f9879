// The 8-byte header a tagged camera writes at the start of every frame: the magic "TL2", the
// channel letter ('L' or 'R' on dual-channel cameras) and the 32-bit little-endian tag, a frame
// counter one higher for each frame the camera sends.
#pragma once

#include <cstdint>

struct FrameHeader {
    static constexpr uint64_t SIZE = 8;

    uint8_t bytes[4] = {0, 0, 0, 0}; // magic and channel letter, as they stand in the frame
    uint32_t tag = 0;

    // The low 24 bits of the first little-endian word are "TL2"; the channel letter is not
    // part of the check.
    bool HasMagic() const { return bytes[0] == 'T' && bytes[1] == 'L' && bytes[2] == '2'; }
    char Channel() const { return static_cast<char>(bytes[3]); }
};

// Reads the header at the start of a frame of `frameBytes` bytes. False when there is no data
// or the frame is too small to hold a header.
bool ReadFrameHeader(const void* frame, uint64_t frameBytes, FrameHeader& header);
