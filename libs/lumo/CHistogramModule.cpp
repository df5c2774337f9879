#include "libs/lumo/CHistogramModule.h"

#include "external/LumoResult.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace lumo {

namespace {

template <typename T>
void Count(const PixelView& in, uint32_t channels, uint64_t bins, uint64_t* counts) {
    const T* src = reinterpret_cast<const T*>(in.data);
    const size_t pixels = size_t(in.width) * in.height;
    const uint64_t top = bins - 1;
    for (size_t p = 0; p < pixels; ++p)
        for (uint32_t c = 0; c < channels; ++c)
            ++counts[c * bins + std::min<uint64_t>(src[p * in.channels + c], top)];
}

// One 8-bit channel: four partial histograms, so that runs of equal values do not wait on one
// counter, added up at the end.
void Count8(const PixelView& in, uint64_t* counts) {
    const uint8_t* src = in.data;
    const size_t n = size_t(in.width) * in.height;
    std::vector<uint32_t> part(4 * 256, 0);
    size_t i = 0;
    // Partial counters are 32-bit; flush them before they could overflow.
    constexpr size_t FLUSH = size_t(1) << 30;
    while (i < n) {
        const size_t end = std::min(n, i + FLUSH);
        for (; i + 4 <= end; i += 4) {
            ++part[src[i]];
            ++part[256 + src[i + 1]];
            ++part[512 + src[i + 2]];
            ++part[768 + src[i + 3]];
        }
        for (; i < end; ++i)
            ++part[src[i]];
        for (size_t v = 0; v < 256; ++v) {
            counts[v] += uint64_t(part[v]) + part[256 + v] + part[512 + v] + part[768 + v];
            part[v] = part[256 + v] = part[512 + v] = part[768 + v] = 0;
        }
    }
}

} // namespace

uint32_t CHistogramModule::Analyse(const PixelView& in) {
    const uint32_t channels = AnalysedChannels(in);
    const uint32_t bits = std::min(in.bits, 16u);
    m_bins = uint64_t(1) << bits;
    m_counts.assign(m_bins * channels, 0);
    if (in.container == 8 && in.channels == 1 && m_bins == 256)
        Count8(in, m_counts.data());
    else if (in.container == 8)
        Count<uint8_t>(in, channels, m_bins, m_counts.data());
    else
        Count<uint16_t>(in, channels, m_bins, m_counts.data());
    m_channels = channels;
    return LUMO_OK;
}

uint32_t CHistogramModule::GetOwnParam(uint32_t id, uintptr_t a, uintptr_t b) {
    if (id != PARAM_RESULT)
        return CAnalyzeModule::GetOwnParam(id, a, b);
    if (a >= m_channels || !b)
        return LUMO_E_INVALIDARG;
    std::memcpy(reinterpret_cast<uint64_t*>(b), m_counts.data() + a * m_bins, m_bins * 8);
    return LUMO_OK;
}

} // namespace lumo
