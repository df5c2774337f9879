#include "libs/lumo/SampleMapper.h"

#include "libs/lumo/CpuFeatures.h"

#include <algorithm>
#include <cstring>

#if defined(__x86_64__)
#include <immintrin.h>
#endif

namespace lumo {

namespace {

template <typename TIn, typename TOut>
void MapFlat(const TIn* __restrict in, TOut* __restrict out, size_t n,
             const TOut* __restrict table) {
    for (size_t i = 0; i < n; ++i)
        out[i] = table[in[i]];
}

// 8-bit samples through an 8-bit table, eight at a time: one load and one store per eight
// samples, and one look-up per two through `pairs` (the table applied to both bytes of a 16-bit
// index).
void MapBytesPairs(const uint8_t* __restrict in, uint8_t* __restrict out, size_t n,
                   const uint8_t* __restrict table, const uint16_t* __restrict pairs) {
    size_t i = 0;
    for (; i + 8 <= n; i += 8) {
        uint64_t word;
        std::memcpy(&word, in + i, 8);
        const uint64_t mapped =
            uint64_t(pairs[word & 0xFFFF]) | uint64_t(pairs[(word >> 16) & 0xFFFF]) << 16 |
            uint64_t(pairs[(word >> 32) & 0xFFFF]) << 32 | uint64_t(pairs[word >> 48]) << 48;
        std::memcpy(out + i, &mapped, 8);
    }
    for (; i < n; ++i)
        out[i] = table[in[i]];
}

#if defined(__x86_64__)
// 64 samples at a time with AVX-512 VBMI's byte permutes: the table lives in four registers,
// two two-register permutes look up the lower and the upper half and the index's top bit picks
// between them. Returns the samples done (a multiple of 64).
__attribute__((target("avx512f,avx512bw,avx512vbmi"))) size_t
MapBytesVbmi(const uint8_t* __restrict in, uint8_t* __restrict out, size_t n,
             const uint8_t* __restrict table) {
    const __m512i t0 = _mm512_loadu_si512(table);
    const __m512i t1 = _mm512_loadu_si512(table + 64);
    const __m512i t2 = _mm512_loadu_si512(table + 128);
    const __m512i t3 = _mm512_loadu_si512(table + 192);
    size_t i = 0;
    for (; i + 64 <= n; i += 64) {
        const __m512i v = _mm512_loadu_si512(in + i);
        const __m512i lower = _mm512_permutex2var_epi8(t0, v, t1);
        const __m512i upper = _mm512_permutex2var_epi8(t2, v, t3);
        _mm512_storeu_si512(out + i, _mm512_mask_blend_epi8(_mm512_movepi8_mask(v), lower, upper));
    }
    return i;
}
#endif

void MapBytes(const uint8_t* __restrict in, uint8_t* __restrict out, size_t n,
              const uint8_t* __restrict table, const uint16_t* __restrict pairs) {
    size_t done = 0;
#if defined(__x86_64__)
    if (HasAvx512Vbmi())
        done = MapBytesVbmi(in, out, n, table);
#endif
    MapBytesPairs(in + done, out + done, n - done, table, pairs);
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

// Rows rowBegin .. rowEnd - 1 of `in` mapped into the same rows of `out`.
template <typename TIn, typename TOut>
void ApplyTyped(const PixelView& in, PixelView& out, const std::vector<const TOut*>& tables,
                bool sameForAll, const uint16_t* pairs, uint32_t rowBegin, uint32_t rowEnd) {
    const size_t pixels = size_t(in.width) * (rowEnd - rowBegin);
    const TIn* src = in.Row<TIn>(rowBegin);
    TOut* dst = out.Row<TOut>(rowBegin);
    if (in.channels == out.channels && (sameForAll || in.channels == 1)) {
        if constexpr (sizeof(TIn) == 1 && sizeof(TOut) == 1) {
            if (pairs) {
                MapBytes(src, dst, pixels * in.channels, tables[0], pairs);
                return;
            }
        }
        MapFlat(src, dst, pixels * in.channels, tables[0]);
        return;
    }
    // Tables are indexed by input channel; pad with the last one for outputs beyond them.
    MapPixels(src, in.channels, dst, out.channels, pixels, tables.data());
}

template <typename TIn, typename TOut>
void ApplyBands(const PixelView& in, PixelView& out, const std::vector<const TOut*>& tables,
                bool sameForAll, const uint16_t* pairs, CRowBands* bands) {
    RunRowBands(bands, in.height, [&](uint32_t rowBegin, uint32_t rowEnd) {
        ApplyTyped<TIn, TOut>(in, out, tables, sameForAll, pairs, rowBegin, rowEnd);
    });
}

} // namespace

void SampleMapper::Finish() {
    // Identity over the input's significant range: samples above it do not occur in data of
    // that format, so 12-bit data whose table is the identity up to 4095 counts as unchanged.
    m_identity = m_key.inContainer == m_key.outContainer && m_key.inBits <= m_key.outBits;
    const size_t significant = m_key.inBits >= m_key.inContainer ? size_t(1) << m_key.inContainer
                                                                 : size_t(1) << m_key.inBits;
    for (const auto& table : m_tables)
        for (size_t v = 0; v < significant && m_identity; ++v)
            m_identity = table[v] == v;
    m_sameForAll = true;
    for (size_t c = 1; c < m_tables.size(); ++c)
        m_sameForAll = m_sameForAll && m_tables[c] == m_tables[0];
    m_tables8.clear();
    m_pairs.clear();
    if (m_key.outContainer == 8)
        for (const auto& table : m_tables)
            m_tables8.emplace_back(table.begin(), table.end());
    if (m_key.outContainer == 8 && m_key.inContainer == 8 && m_sameForAll) {
        m_pairs.resize(65536);
        for (uint32_t v = 0; v < 65536; ++v)
            m_pairs[v] = uint16_t(m_tables8[0][v & 0xFF] | m_tables8[0][v >> 8] << 8);
    }
}

void SampleMapper::Apply(const PixelView& in, PixelView& out, CRowBands* bands) const {
    if (m_tables.empty())
        return;
    if (IsIdentityFor(in, out)) {
        const size_t rowBytes = in.RowSamples() * (in.container / 8);
        RunRowBands(bands, in.height, [&](uint32_t rowBegin, uint32_t rowEnd) {
            std::memcpy(out.data + rowBytes * rowBegin, in.data + rowBytes * rowBegin,
                        rowBytes * (rowEnd - rowBegin));
        });
        return;
    }
    const uint32_t channels = std::max(in.channels, out.channels);
    if (out.container == 8) {
        std::vector<const uint8_t*> tables;
        for (uint32_t c = 0; c < channels; ++c)
            tables.push_back(m_tables8[std::min<size_t>(c, m_tables8.size() - 1)].data());
        if (in.container == 8)
            ApplyBands<uint8_t, uint8_t>(in, out, tables, m_sameForAll,
                                         m_pairs.empty() ? nullptr : m_pairs.data(), bands);
        else
            ApplyBands<uint16_t, uint8_t>(in, out, tables, m_sameForAll, nullptr, bands);
    } else {
        std::vector<const uint16_t*> tables;
        for (uint32_t c = 0; c < channels; ++c)
            tables.push_back(m_tables[std::min<size_t>(c, m_tables.size() - 1)].data());
        if (in.container == 8)
            ApplyBands<uint8_t, uint16_t>(in, out, tables, m_sameForAll, nullptr, bands);
        else
            ApplyBands<uint16_t, uint16_t>(in, out, tables, m_sameForAll, nullptr, bands);
    }
}

} // namespace lumo
