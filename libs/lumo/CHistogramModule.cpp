#include "libs/lumo/CHistogramModule.h"

#include "external/LumoResult.h"

#include <algorithm>
#include <cstring>

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

} // namespace

uint32_t CHistogramModule::Analyse(const PixelView& in) {
    const uint32_t channels = AnalysedChannels(in);
    const uint32_t bits = std::min(in.bits, 16u);
    m_bins = uint64_t(1) << bits;
    m_counts.assign(m_bins * channels, 0);
    if (in.container == 8)
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
