#include "libs/lumo/CHistogramModule.h"

#include "external/LumoResult.h"

#include <algorithm>
#include <cstring>

namespace lumo {

namespace {

// Pixels of rows rowBegin .. rowEnd - 1 counted into `counts` (bins per channel).
template <typename T>
void Count(const PixelView& in, uint32_t channels, uint64_t bins, uint32_t rowBegin,
           uint32_t rowEnd, uint64_t* counts) {
    const T* src = in.Row<T>(rowBegin);
    const size_t pixels = size_t(in.width) * (rowEnd - rowBegin);
    const uint64_t top = bins - 1;
    for (size_t p = 0; p < pixels; ++p)
        for (uint32_t c = 0; c < channels; ++c)
            ++counts[c * bins + std::min<uint64_t>(src[p * in.channels + c], top)];
}

// One 8-bit channel: eight partial histograms fed from 8-byte loads, so that runs of equal
// values (flat image areas) do not all wait on one counter; added up at the end.
void Count8(const PixelView& in, uint32_t rowBegin, uint32_t rowEnd, uint64_t* counts) {
    const uint8_t* __restrict src = in.Row<uint8_t>(rowBegin);
    const size_t n = size_t(in.width) * (rowEnd - rowBegin);
    constexpr size_t PARTS = 8;
    alignas(64) uint32_t part[PARTS][256];
    size_t i = 0;
    // Partial counters are 32-bit; flush them before they could overflow.
    constexpr size_t FLUSH = size_t(1) << 30;
    while (i < n) {
        std::memset(part, 0, sizeof part);
        const size_t end = std::min(n, i + FLUSH);
        for (; i + 8 <= end; i += 8) {
            uint64_t word;
            std::memcpy(&word, src + i, 8);
            ++part[0][uint8_t(word)];
            ++part[1][uint8_t(word >> 8)];
            ++part[2][uint8_t(word >> 16)];
            ++part[3][uint8_t(word >> 24)];
            ++part[4][uint8_t(word >> 32)];
            ++part[5][uint8_t(word >> 40)];
            ++part[6][uint8_t(word >> 48)];
            ++part[7][uint8_t(word >> 56)];
        }
        for (; i < end; ++i)
            ++part[0][src[i]];
        for (size_t v = 0; v < 256; ++v)
            for (size_t p = 0; p < PARTS; ++p)
                counts[v] += part[p][v];
    }
}

} // namespace

uint32_t CHistogramModule::Analyse(const PixelView& in) {
    const uint32_t channels = AnalysedChannels(in);
    const uint32_t bits = std::min(in.bits, 16u);
    m_bins = uint64_t(1) << bits;
    m_counts.assign(m_bins * channels, 0);
    // Each band counts into its own histogram and adds it to the result when done.
    platform::Mutex merge;
    RunRowBands(RowBands(), in.height, [&](uint32_t rowBegin, uint32_t rowEnd) {
        std::vector<uint64_t> counts(m_counts.size(), 0);
        if (in.container == 8 && in.channels == 1 && m_bins == 256)
            Count8(in, rowBegin, rowEnd, counts.data());
        else if (in.container == 8)
            Count<uint8_t>(in, channels, m_bins, rowBegin, rowEnd, counts.data());
        else
            Count<uint16_t>(in, channels, m_bins, rowBegin, rowEnd, counts.data());
        platform::MutexLock lock(merge);
        for (size_t i = 0; i < counts.size(); ++i)
            m_counts[i] += counts[i];
    });
    m_channels = channels;
    return LUMO_OK;
}

void CHistogramModule::CopyResult(uint32_t channel, void* out) const {
    std::memcpy(out, m_counts.data() + channel * m_bins, m_bins * 8);
}

} // namespace lumo
