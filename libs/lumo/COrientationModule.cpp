#include "libs/lumo/COrientationModule.h"

#include "external/LumoResult.h"
#include "libs/lumo/CpuFeatures.h"
#include "settings/IniFile.h"

#include <algorithm>
#include <cstring>

#if defined(__x86_64__)
#include <immintrin.h>
#endif

namespace lumo {

namespace {

template <typename T, uint32_t N>
void ReverseRow(const T* __restrict src, T* __restrict dst, uint32_t width) {
    for (uint32_t x = 0; x < width; ++x)
        for (uint32_t c = 0; c < N; ++c)
            dst[size_t(width - 1 - x) * N + c] = src[size_t(x) * N + c];
}

// Eight bytes hold eight 1-byte, four 2-byte or two 4-byte pixels: their order reversed, each
// pixel's bytes stay as they are.
template <size_t PixelBytes>
inline uint64_t ReverseWord(uint64_t w) {
    if constexpr (PixelBytes == 4)
        return w >> 32 | w << 32;
    w = __builtin_bswap64(w);
    if constexpr (PixelBytes == 2)
        w = (w >> 8 & 0x00FF00FF00FF00FFull) | (w & 0x00FF00FF00FF00FFull) << 8;
    return w;
}

#if defined(__x86_64__)
// The first 64-byte blocks of a row of pixels of `PixelBytes` (1, 2 or 4) mirrored one block at
// a time with AVX-512's permutes (VBMI's for single bytes). Returns the bytes done. The masked
// forms with all lanes set keep the compiler from warning about an undefined pass-through.
template <size_t PixelBytes>
__attribute__((target("avx512f,avx512bw,avx512vbmi"))) size_t
ReverseBlocksAvx512(const uint8_t* __restrict src, uint8_t* __restrict dst, size_t bytes) {
    __m512i order;
    if constexpr (PixelBytes == 1)
        order = _mm512_set_epi8(0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18,
                                19, 20, 21, 22, 23, 24, 25, 26, 27, 28, 29, 30, 31, 32, 33, 34, 35,
                                36, 37, 38, 39, 40, 41, 42, 43, 44, 45, 46, 47, 48, 49, 50, 51, 52,
                                53, 54, 55, 56, 57, 58, 59, 60, 61, 62, 63);
    else if constexpr (PixelBytes == 2)
        order = _mm512_set_epi16(0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18,
                                 19, 20, 21, 22, 23, 24, 25, 26, 27, 28, 29, 30, 31);
    else
        order = _mm512_set_epi32(0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15);
    size_t i = 0;
    for (; i + 64 <= bytes; i += 64) {
        const __m512i v = _mm512_loadu_si512(src + i);
        __m512i r;
        if constexpr (PixelBytes == 1)
            r = _mm512_maskz_permutexvar_epi8(~__mmask64(0), order, v);
        else if constexpr (PixelBytes == 2)
            r = _mm512_maskz_permutexvar_epi16(~__mmask32(0), order, v);
        else
            r = _mm512_maskz_permutexvar_epi32(~__mmask16(0), order, v);
        _mm512_storeu_si512(dst + bytes - 64 - i, r);
    }
    return i;
}
#endif

// A row of pixels of `PixelBytes` (1, 2 or 4) mirrored 64 or eight bytes at a time.
template <size_t PixelBytes>
void ReverseRowWords(const uint8_t* __restrict src, uint8_t* __restrict dst, uint32_t width) {
    const size_t bytes = size_t(width) * PixelBytes;
    size_t i = 0;
#if defined(__x86_64__)
    if (HasAvx512Vbmi())
        i = ReverseBlocksAvx512<PixelBytes>(src, dst, bytes);
#endif
    for (; i + 8 <= bytes; i += 8) {
        uint64_t w;
        std::memcpy(&w, src + i, 8);
        w = ReverseWord<PixelBytes>(w);
        std::memcpy(dst + bytes - 8 - i, &w, 8);
    }
    for (; i < bytes; i += PixelBytes) // the last pixels of a row whose length is not a multiple
        std::memcpy(dst + bytes - PixelBytes - i, src + i, PixelBytes);
}

template <typename T>
void ReverseRowAny(const T* src, T* dst, uint32_t width, uint32_t channels) {
    const auto* from = reinterpret_cast<const uint8_t*>(src);
    auto* to = reinterpret_cast<uint8_t*>(dst);
    switch (channels * sizeof(T)) {
    case 1:
        ReverseRowWords<1>(from, to, width);
        return;
    case 2:
        ReverseRowWords<2>(from, to, width);
        return;
    case 4:
        ReverseRowWords<4>(from, to, width);
        return;
    default:
        break;
    }
    switch (channels) {
    case 3:
        ReverseRow<T, 3>(src, dst, width);
        break;
    default:
        for (uint32_t x = 0; x < width; ++x)
            for (uint32_t c = 0; c < channels; ++c)
                dst[size_t(width - 1 - x) * channels + c] = src[size_t(x) * channels + c];
    }
}

} // namespace

COrientationModule::COrientationModule() : CProcessModule(ID, "Orientation") {}

uint32_t COrientationModule::Process(const PixelView& in, PixelView& out) {
    if (in.container != out.container || in.channels != out.channels)
        return LUMO_E_INVALIDARG;
    if (!m_mirrorH && !m_mirrorV)
        return SAME_AS_INPUT;
    const size_t rowBytes = in.RowSamples() * (in.container / 8);
    const bool mirrorH = m_mirrorH != 0;
    const bool mirrorV = m_mirrorV != 0;
    RunRowBands(RowBands(), in.height, [&](uint32_t rowBegin, uint32_t rowEnd) {
        for (uint32_t y = rowBegin; y < rowEnd; ++y) {
            const uint32_t ySrc = mirrorV ? in.height - 1 - y : y;
            const uint8_t* src = in.data + rowBytes * ySrc;
            uint8_t* dst = out.data + rowBytes * y;
            if (!mirrorH)
                std::memcpy(dst, src, rowBytes);
            else if (in.container == 8)
                ReverseRowAny(src, dst, in.width, in.channels);
            else
                ReverseRowAny(reinterpret_cast<const uint16_t*>(src),
                              reinterpret_cast<uint16_t*>(dst), in.width, in.channels);
        }
    });
    // Output pixel (0, 0) is input pixel (w - 1, 0) when mirrored horizontally: it carries the
    // phase of sensor column originX + w - 1.
    const uint32_t ox = in.originX + (m_mirrorH ? in.width - 1 : 0);
    const uint32_t oy = in.originY + (m_mirrorV ? in.height - 1 : 0);
    Output()->SetOrigin(ox, oy);
    return LUMO_OK;
}

uint32_t COrientationModule::ReadBlock(uint32_t id, uint8_t* block, size_t size) {
    if (id != LUMO_PARAM_BLOCK12)
        return LUMO_E_NOTSUPPORTED;
    LumoPutBlock(LumoOrientationBlock{m_mirrorH, m_mirrorV}, block, size);
    return LUMO_OK;
}

uint32_t COrientationModule::WriteBlock(uint32_t id, const uint8_t* block, size_t size) {
    if (id != LUMO_PARAM_BLOCK12)
        return LUMO_E_NOTSUPPORTED;
    if (size < sizeof(LumoOrientationBlock))
        return LUMO_E_INVALIDARG;
    const auto data = LumoTakeBlock<LumoOrientationBlock>(block, size);
    m_mirrorH = data.mirrorHorizontally ? 1 : 0;
    m_mirrorV = data.mirrorVertically ? 1 : 0;
    return LUMO_OK;
}

uint32_t COrientationModule::LoadPart(CIniFile_0& store, uint32_t part) {
    if (part == 0) {
        m_mirrorH = store.GetUInt32(Section(), "MirrorHorizontal", m_mirrorH) ? 1 : 0;
        m_mirrorV = store.GetUInt32(Section(), "MirrorVertical", m_mirrorV) ? 1 : 0;
        return LUMO_OK;
    }
    return CProcessModule::LoadPart(store, part);
}

uint32_t COrientationModule::SavePart(CIniFile_0& store, uint32_t part, uint64_t index) {
    if (part == 0) {
        store.SetUInt32(Section(), "MirrorHorizontal", m_mirrorH);
        store.SetUInt32(Section(), "MirrorVertical", m_mirrorV);
        return LUMO_OK;
    }
    return CProcessModule::SavePart(store, part, index);
}

} // namespace lumo
