#include "acquisition/FrameHeader.h"

bool ReadFrameHeader(const void* frame, uint64_t frameBytes, FrameHeader& header) {
    if (!frame || frameBytes < FrameHeader::SIZE)
        return false;
    const auto* data = static_cast<const uint8_t*>(frame);
    for (int i = 0; i < 4; ++i)
        header.bytes[i] = data[i];
    header.tag = static_cast<uint32_t>(data[4]) | static_cast<uint32_t>(data[5]) << 8 |
                 static_cast<uint32_t>(data[6]) << 16 | static_cast<uint32_t>(data[7]) << 24;
    return true;
}
