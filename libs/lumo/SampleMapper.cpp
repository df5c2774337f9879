#include "libs/lumo/SampleMapper.h"

#include <algorithm>
#include <cstring>

namespace lumo {

namespace {

template <typename TIn, typename TOut>
void MapFlat(const TIn* __restrict in, TOut* __restrict out, size_t n,
             const TOut* __restrict table) {
    for (size_t i = 0; i < n; ++i)
        out[i] = table[in[i]];
}

template <typename TIn, typename TOut>
void MapPixels(const TIn* __restrict in, uint32_t inChannels, TOut* __restrict out,
               uint32_t outChannels, size_t pixels, const TOut* const* tables) {
    const uint32_t common = std::min(inChannels, outChannels);
    for (size_t p = 0; p < pixels; ++p) {
        const TIn* src = in + p * inChannels;
        TOut* dst = out + p * outChannels;
        for (uint32_t c = 0; c < common; ++c)
            dst[c] = tables[c][src[c]];
        for (uint32_t c = common; c < outChannels; ++c)
            dst[c] = 0;
    }
}

template <typename TIn, typename TOut>
void ApplyTyped(const PixelView& in, PixelView& out, const std::vector<const TOut*>& tables,
                bool sameForAll) {
    const size_t pixels = size_t(in.width) * in.height;
    const TIn* src = reinterpret_cast<const TIn*>(in.data);
    TOut* dst = reinterpret_cast<TOut*>(out.data);
    if (in.channels == out.channels && (sameForAll || in.channels == 1)) {
        MapFlat(src, dst, pixels * in.channels, tables[0]);
        return;
    }
    // Tables are indexed by input channel; pad with the last one for outputs beyond them.
    MapPixels(src, in.channels, dst, out.channels, pixels, tables.data());
}

} // namespace

void SampleMapper::Finish() {
    m_identity = m_key.inContainer == m_key.outContainer;
    for (const auto& table : m_tables)
        for (size_t v = 0; v < table.size() && m_identity; ++v)
            m_identity = table[v] == v;
    m_sameForAll = true;
    for (size_t c = 1; c < m_tables.size(); ++c)
        m_sameForAll = m_sameForAll && m_tables[c] == m_tables[0];
    m_tables8.clear();
    if (m_key.outContainer == 8)
        for (const auto& table : m_tables)
            m_tables8.emplace_back(table.begin(), table.end());
}

void SampleMapper::Apply(const PixelView& in, PixelView& out) const {
    if (m_tables.empty())
        return;
    if (m_identity && in.container == out.container && in.channels == out.channels) {
        std::memcpy(out.data, in.data, in.Samples() * (in.container / 8));
        return;
    }
    const uint32_t channels = std::max(in.channels, out.channels);
    if (out.container == 8) {
        std::vector<const uint8_t*> tables;
        for (uint32_t c = 0; c < channels; ++c)
            tables.push_back(m_tables8[std::min<size_t>(c, m_tables8.size() - 1)].data());
        if (in.container == 8)
            ApplyTyped<uint8_t, uint8_t>(in, out, tables, m_sameForAll);
        else
            ApplyTyped<uint16_t, uint8_t>(in, out, tables, m_sameForAll);
    } else {
        std::vector<const uint16_t*> tables;
        for (uint32_t c = 0; c < channels; ++c)
            tables.push_back(m_tables[std::min<size_t>(c, m_tables.size() - 1)].data());
        if (in.container == 8)
            ApplyTyped<uint8_t, uint16_t>(in, out, tables, m_sameForAll);
        else
            ApplyTyped<uint16_t, uint16_t>(in, out, tables, m_sameForAll);
    }
}

} // namespace lumo
