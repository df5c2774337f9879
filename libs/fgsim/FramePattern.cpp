#include "libs/fgsim/FramePattern.h"

#include <algorithm>
#include <cstring>

namespace fgsim {

FramePattern::FramePattern(uint64_t rowBytes) : m_rowBytes(rowBytes) {
    if (m_rowBytes != 0) {
        m_ramp.resize(m_rowBytes + 256);
        for (size_t i = 0; i < m_ramp.size(); ++i)
            m_ramp[i] = static_cast<uint8_t>(i);
    }
}

void FramePattern::Write(uint8_t* buffer, uint64_t bytes, uint64_t frame, char channel,
                         uint32_t tag, bool withHeader) const {
    if (!buffer || bytes == 0)
        return;
    // The right half starts half a ramp further on, so the halves differ visibly.
    const uint64_t shift = 4 * frame + (channel == 'R' ? 128 : 0);
    if (m_rowBytes == 0) {
        std::memset(buffer, static_cast<int>(shift & 0xFF), bytes);
    } else {
        uint64_t row = 0;
        for (uint64_t offset = 0; offset < bytes; offset += m_rowBytes, ++row) {
            const uint64_t length = std::min(m_rowBytes, bytes - offset);
            std::memcpy(buffer + offset, m_ramp.data() + ((row + shift) & 0xFF), length);
        }
    }
    if (withHeader && bytes >= FRAME_HEADER_BYTES)
        WriteFrameHeader(buffer, channel, tag);
}

} // namespace fgsim
