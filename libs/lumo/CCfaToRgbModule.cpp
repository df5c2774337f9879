#include "libs/lumo/CCfaToRgbModule.h"

#include "external/LumoResult.h"
#include "settings/IniFile.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <type_traits>

namespace lumo {

namespace {

constexpr const char* GAIN_KEYS[3] = {"GainRed", "GainGreen", "GainBlue"};

// Index i mirrored about the edges of 0 .. n - 1 (the edge pixel itself is not repeated).
inline int64_t Mirror(int64_t i, int64_t n) {
    if (n == 1)
        return 0;
    if (i < 0)
        i = -i;
    if (i >= n)
        i = 2 * n - 2 - i;
    return std::clamp<int64_t>(i, 0, n - 1);
}

template <typename T, uint32_t N>
inline void Put(T* dst, uint32_t x, uint32_t r, uint32_t g, uint32_t b) {
    T* p = dst + size_t(x) * N;
    p[0] = T(r);
    p[1] = T(g);
    p[2] = T(b);
    if constexpr (N == 4)
        p[3] = 0;
}

template <typename T>
using WideOf = std::conditional_t<sizeof(T) == 1, uint16_t, uint32_t>;

// The interior of a row, x from 1 to w - 2, as one contiguous loop without branches: every
// pixel computes all four interpolations and `mask` (all ones at the row's colour sites, zero at
// its green sites) selects among them, so the compiler can vectorise the whole row.
// `redRow`: the row's colour sites are red (else blue).
template <typename T, uint32_t N, bool redRow>
[[gnu::always_inline]] inline void
BilinearInterior(const T* __restrict a, const T* __restrict c, const T* __restrict b,
                 const WideOf<T>* __restrict mask, T* __restrict dst, uint32_t w) {
    using W = WideOf<T>; // sums of four samples fit; 8-bit data works in 16-bit lanes
    for (uint32_t x = 1; x + 1 < w; ++x) {
        const W m = mask[x];
        const W own = c[x];
        const W side = W(c[x - 1] + c[x + 1]);
        const W vert = W(a[x] + b[x]);
        const W h = W((side + 1) >> 1);
        const W v = W((vert + 1) >> 1);
        const W cross = W((side + vert + 2) >> 2);
        const W diag = W((W(a[x - 1] + a[x + 1]) + W(b[x - 1] + b[x + 1]) + 2) >> 2);
        const W colour = W((own & m) | (h & W(~m)));
        const W green = W((cross & m) | (own & W(~m)));
        const W other = W((diag & m) | (v & W(~m)));
        const W r = redRow ? colour : other;
        const W bl = redRow ? other : colour;
        if constexpr (sizeof(T) == 1 && N == 4) {
            reinterpret_cast<uint32_t*>(dst)[x] =
                uint32_t(r) | (uint32_t(green) << 8) | (uint32_t(bl) << 16);
        } else {
            Put<T, N>(dst, x, r, green, bl);
        }
    }
}

// Any pixel, with mirrored neighbours; used for the borders and for the high-quality method.
template <typename T>
struct Mosaic {
    const T* data;
    int64_t w;
    int64_t h;
    uint32_t ox;
    uint32_t oy;
    int32_t At(int64_t x, int64_t y) const { return data[Mirror(y, h) * w + Mirror(x, w)]; }
    uint32_t Phase(int64_t x, int64_t y) const {
        return 2 * uint32_t((oy + uint64_t(y)) & 1) + uint32_t((ox + uint64_t(x)) & 1);
    }
};

template <typename T>
void BilinearPixel(const Mosaic<T>& m, int64_t x, int64_t y, uint32_t rgb[3]) {
    const uint32_t p = m.Phase(x, y);
    const int32_t own = m.At(x, y);
    const int32_t cross = m.At(x - 1, y) + m.At(x + 1, y) + m.At(x, y - 1) + m.At(x, y + 1);
    const int32_t diag =
        m.At(x - 1, y - 1) + m.At(x + 1, y - 1) + m.At(x - 1, y + 1) + m.At(x + 1, y + 1);
    const int32_t side = m.At(x - 1, y) + m.At(x + 1, y);
    const int32_t vert = m.At(x, y - 1) + m.At(x, y + 1);
    if (p == 1 || p == 2) {
        const uint32_t g = uint32_t(cross + 2) >> 2;
        const uint32_t other = uint32_t(diag + 2) >> 2;
        rgb[0] = p == 1 ? own : other;
        rgb[1] = g;
        rgb[2] = p == 1 ? other : own;
    } else { // green: p 0 on a red row, p 3 on a blue row
        const uint32_t s = uint32_t(side + 1) >> 1;
        const uint32_t v = uint32_t(vert + 1) >> 1;
        rgb[0] = p == 0 ? s : v;
        rgb[1] = own;
        rgb[2] = p == 0 ? v : s;
    }
}

// Gradient-corrected bilinear interpolation (5 x 5 kernels, weights in sixteenths).
template <typename T>
void HighQualityPixel(const Mosaic<T>& m, int64_t x, int64_t y, int32_t maxValue, uint32_t rgb[3]) {
    auto v = [&](int64_t dx, int64_t dy) { return m.At(x + dx, y + dy); };
    const uint32_t p = m.Phase(x, y);
    const int32_t c = v(0, 0);
    const int32_t cross1 = v(-1, 0) + v(1, 0) + v(0, -1) + v(0, 1);
    const int32_t cross2 = v(-2, 0) + v(2, 0) + v(0, -2) + v(0, 2);
    const int32_t diag = v(-1, -1) + v(1, -1) + v(-1, 1) + v(1, 1);
    const int32_t side1 = v(-1, 0) + v(1, 0);
    const int32_t side2 = v(-2, 0) + v(2, 0);
    const int32_t vert1 = v(0, -1) + v(0, 1);
    const int32_t vert2 = v(0, -2) + v(0, 2);
    auto clip = [maxValue](int32_t sixteenths) {
        return uint32_t(std::clamp((sixteenths + 8) >> 4, 0, maxValue));
    };
    if (p == 1 || p == 2) {
        const uint32_t g = clip(8 * c + 4 * cross1 - 2 * cross2);
        const uint32_t other = clip(12 * c + 4 * diag - 3 * cross2);
        rgb[0] = p == 1 ? uint32_t(c) : other;
        rgb[1] = g;
        rgb[2] = p == 1 ? other : uint32_t(c);
    } else {
        // Colour whose neighbours lie in the row, then the one whose neighbours lie in the column.
        const uint32_t inRow = clip(10 * c + 8 * side1 - 2 * side2 - 2 * diag + vert2);
        const uint32_t inColumn = clip(10 * c + 8 * vert1 - 2 * vert2 - 2 * diag + side2);
        rgb[0] = p == 0 ? inRow : inColumn;
        rgb[1] = uint32_t(c);
        rgb[2] = p == 0 ? inColumn : inRow;
    }
}

// White balance: the first three samples of every pixel through their channel's table.
template <typename T>
void ScaleChannels(T* __restrict data, uint32_t channels, size_t pixels,
                   const uint16_t* const* tables) {
    const uint16_t* __restrict red = tables[0];
    const uint16_t* __restrict green = tables[1];
    const uint16_t* __restrict blue = tables[2];
    for (size_t p = 0; p < pixels; ++p) {
        T* s = data + p * channels;
        s[0] = T(red[s[0]]);
        s[1] = T(green[s[1]]);
        s[2] = T(blue[s[2]]);
    }
}

// What the demosaicing of a band of rows needs besides the rows: the method, the column masks
// and the white-balance tables (null when the gains are all 1).
struct DemosaicJob {
    const PixelView* in;
    PixelView* out;
    uint32_t method;
    const void* masks[2]; // WideOf<T>[width] each: all ones where sensor column parity is p
    const uint16_t* const* balance;
};

// Rows rowBegin .. rowEnd - 1 of the output; each row is white-balanced while it is in the cache.
template <typename T, uint32_t N>
[[gnu::always_inline]] inline void DemosaicRows(const DemosaicJob& job, uint32_t rowBegin,
                                                uint32_t rowEnd) {
    const PixelView& in = *job.in;
    const Mosaic<T> m{reinterpret_cast<const T*>(in.data), in.width, in.height, in.originX,
                      in.originY};
    const int32_t maxValue = int32_t(in.MaxValue());
    const uint32_t w = in.width;
    const uint32_t h = in.height;
    uint32_t rgb[3];
    for (uint32_t y = rowBegin; y < rowEnd; ++y) {
        T* dst = job.out->Row<T>(y);
        if (job.method == CCfaToRgbModule::METHOD_HIGH_QUALITY) {
            for (uint32_t x = 0; x < w; ++x) {
                HighQualityPixel(m, x, y, maxValue, rgb);
                Put<T, N>(dst, x, rgb[0], rgb[1], rgb[2]);
            }
        } else if (w >= 3 && h >= 2) {
            const T* a = m.data + size_t(Mirror(int64_t(y) - 1, h)) * w;
            const T* c = m.data + size_t(y) * w;
            const T* b = m.data + size_t(Mirror(int64_t(y) + 1, h)) * w;
            const bool redRow = ((in.originY + y) & 1) == 0;
            // Colour sites sit at odd sensor columns in red rows, at even ones in blue rows.
            const auto* mask = static_cast<const WideOf<T>*>(job.masks[redRow ? 1 : 0]);
            if (redRow)
                BilinearInterior<T, N, true>(a, c, b, mask, dst, w);
            else
                BilinearInterior<T, N, false>(a, c, b, mask, dst, w);
            BilinearPixel(m, 0, y, rgb);
            Put<T, N>(dst, 0, rgb[0], rgb[1], rgb[2]);
            BilinearPixel(m, w - 1, y, rgb);
            Put<T, N>(dst, w - 1, rgb[0], rgb[1], rgb[2]);
        } else {
            for (uint32_t x = 0; x < w; ++x) {
                BilinearPixel(m, x, y, rgb);
                Put<T, N>(dst, x, rgb[0], rgb[1], rgb[2]);
            }
        }
        if (job.balance)
            ScaleChannels(dst, N, w, job.balance);
    }
}

// Each pixel format gets copies for processors with wider vectors (AVX2; AVX-512 with byte and
// word operations), chosen when the library loads (an ifunc). Sanitizer run-times are not ready
// when ifuncs are resolved: no copies there.
#if defined(__SANITIZE_THREAD__) || defined(__SANITIZE_ADDRESS__)
#define KAVRIN_NO_CLONES 1
#elif defined(__has_feature)
#if __has_feature(thread_sanitizer) || __has_feature(address_sanitizer) ||                         \
    __has_feature(memory_sanitizer)
#define KAVRIN_NO_CLONES 1
#endif
#endif
#if defined(KAVRIN_NO_CLONES) || !defined(__x86_64__)
#define KAVRIN_VECTOR_CLONES
#else
#define KAVRIN_VECTOR_CLONES __attribute__((target_clones("arch=x86-64-v4", "avx2", "default")))
#endif
KAVRIN_VECTOR_CLONES void Demosaic8x4(const DemosaicJob& job, uint32_t rowBegin, uint32_t rowEnd) {
    DemosaicRows<uint8_t, 4>(job, rowBegin, rowEnd);
}
KAVRIN_VECTOR_CLONES void Demosaic8x3(const DemosaicJob& job, uint32_t rowBegin, uint32_t rowEnd) {
    DemosaicRows<uint8_t, 3>(job, rowBegin, rowEnd);
}
KAVRIN_VECTOR_CLONES void Demosaic16x4(const DemosaicJob& job, uint32_t rowBegin, uint32_t rowEnd) {
    DemosaicRows<uint16_t, 4>(job, rowBegin, rowEnd);
}
KAVRIN_VECTOR_CLONES void Demosaic16x3(const DemosaicJob& job, uint32_t rowBegin, uint32_t rowEnd) {
    DemosaicRows<uint16_t, 3>(job, rowBegin, rowEnd);
}
#undef KAVRIN_VECTOR_CLONES
#undef KAVRIN_NO_CLONES

// Column masks for one output format: masks[p][x] all ones where sensor column originX + x has
// parity p.
template <typename T>
void BuildMasks(const PixelView& in, std::vector<uint8_t> (&masks)[2]) {
    for (uint32_t p = 0; p < 2; ++p) {
        masks[p].assign(size_t(in.width) * sizeof(WideOf<T>), 0);
        auto* mask = reinterpret_cast<WideOf<T>*>(masks[p].data());
        for (uint32_t x = 0; x < in.width; ++x)
            if (((in.originX + x) & 1) == p)
                mask[x] = WideOf<T>(~WideOf<T>(0));
    }
}

} // namespace

CCfaToRgbModule::CCfaToRgbModule() : CProcessModule(ID, "CFA to RGB") {}

uint32_t CCfaToRgbModule::OutputClass(const CLumoImage&) const {
    return ImageFormat::CLASS_RGB;
}

uint32_t CCfaToRgbModule::Process(const PixelView& in, PixelView& out) {
    if (in.channels != 1 || in.container != out.container ||
        (out.channels != 3 && out.channels != 4))
        return LUMO_E_INVALIDARG;
    ServeGreyPatch(in);
    std::vector<uint8_t> masks[2];
    if (in.container == 8)
        BuildMasks<uint8_t>(in, masks);
    else
        BuildMasks<uint16_t>(in, masks);
    const uint16_t* const* balance = WhiteBalanceTables(out);
    const DemosaicJob job{&in, &out, m_method, {masks[0].data(), masks[1].data()}, balance};
    void (*rows)(const DemosaicJob&, uint32_t, uint32_t) =
        in.container == 8 ? (out.channels == 4 ? Demosaic8x4 : Demosaic8x3)
                          : (out.channels == 4 ? Demosaic16x4 : Demosaic16x3);
    RunRowBands(RowBands(), in.height,
                [&](uint32_t rowBegin, uint32_t rowEnd) { rows(job, rowBegin, rowEnd); });
    return LUMO_OK;
}

const uint16_t* const* CCfaToRgbModule::WhiteBalanceTables(const PixelView& out) {
    if (m_gains[0] == 1.0 && m_gains[1] == 1.0 && m_gains[2] == 1.0)
        return nullptr;
    const double top = double(out.MaxValue());
    const bool same = m_balanceContainer == out.container && m_balanceTop == top &&
                      std::equal(std::begin(m_gains), std::end(m_gains), m_balanceGains);
    if (!same) {
        const size_t size = size_t(1) << out.container;
        for (size_t c = 0; c < 3; ++c) {
            m_balance[c].resize(size);
            for (size_t v = 0; v < size; ++v)
                m_balance[c][v] = uint16_t(std::min(top, std::floor(double(v) * m_gains[c] + 0.5)));
            m_balanceGains[c] = m_gains[c];
            m_balanceTables[c] = m_balance[c].data();
        }
        m_balanceContainer = out.container;
        m_balanceTop = top;
    }
    return m_balanceTables;
}

void CCfaToRgbModule::ServeGreyPatch(const PixelView& in) {
    if (!m_greyPatchPending)
        return;
    m_greyPatchPending = false;
    uint32_t x = 0;
    uint32_t y = 0;
    double gains[3];
    if (CursorPosition(x, y) && GreyPatchGains(in, x, y, gains))
        std::copy(std::begin(gains), std::end(gains), m_gains);
}

namespace {

// The first of `size` places of a line of `length` for a patch centred on `at`.
uint32_t PatchStart(uint32_t at, uint32_t length, uint32_t size) {
    const uint32_t start = at >= size / 2 ? at - size / 2 : 0;
    return length > size ? std::min(start, length - size) : 0;
}

template <typename T>
void SumPatch(const PixelView& in, uint32_t x0, uint32_t y0, uint32_t x1, uint32_t y1,
              double sums[3], uint64_t counts[3]) {
    constexpr int COLOUR[4] = {1, 0, 2, 1}; // phase 0 green, 1 red, 2 blue, 3 green
    for (uint32_t y = y0; y < y1; ++y) {
        const T* row = in.Row<T>(y);
        const uint32_t rowPhase = 2 * ((in.originY + y) & 1);
        for (uint32_t x = x0; x < x1; ++x) {
            const int c = COLOUR[rowPhase + ((in.originX + x) & 1)];
            sums[c] += row[x];
            ++counts[c];
        }
    }
}

} // namespace

bool CCfaToRgbModule::GreyPatchGains(const PixelView& in, uint32_t x, uint32_t y, double gains[3]) {
    if (x >= in.width || y >= in.height || in.channels != 1)
        return false;
    const uint32_t x0 = PatchStart(x, in.width, PATCH_SIZE);
    const uint32_t y0 = PatchStart(y, in.height, PATCH_SIZE);
    const uint32_t x1 = std::min(in.width, x0 + PATCH_SIZE);
    const uint32_t y1 = std::min(in.height, y0 + PATCH_SIZE);
    double sums[3] = {};
    uint64_t counts[3] = {};
    if (in.container == 8)
        SumPatch<uint8_t>(in, x0, y0, x1, y1, sums, counts);
    else
        SumPatch<uint16_t>(in, x0, y0, x1, y1, sums, counts);
    if (!counts[0] || !counts[1] || !counts[2] || sums[0] <= 0.0 || sums[2] <= 0.0)
        return false;
    const double green = sums[1] / double(counts[1]);
    const double result[3] = {green / (sums[0] / double(counts[0])), 1.0,
                              green / (sums[2] / double(counts[2]))};
    if (result[0] > 64.0 || result[2] > 64.0)
        return false;
    std::copy(std::begin(result), std::end(result), gains);
    return true;
}

uint32_t CCfaToRgbModule::SetOwnParam(uint32_t id, uintptr_t a, uintptr_t b) {
    if (id != PARAM_GREY_PATCH)
        return CProcessModule::SetOwnParam(id, a, b);
    if (a > 1)
        return LUMO_E_INVALIDARG;
    m_greyPatchPending = a == 1;
    return LUMO_OK;
}

uint32_t CCfaToRgbModule::GetOwnParam(uint32_t id, uintptr_t a, uintptr_t b) {
    if (id != PARAM_GREY_PATCH)
        return CProcessModule::GetOwnParam(id, a, b);
    if (!a)
        return LUMO_E_INVALIDARG;
    *reinterpret_cast<uint32_t*>(a) = m_greyPatchPending ? 1 : 0;
    return LUMO_OK;
}

uint32_t CCfaToRgbModule::ReadBlock(uint32_t id, uint8_t* block, size_t size) {
    if (id != LUMO_PARAM_BLOCK12)
        return LUMO_E_NOTSUPPORTED;
    LumoCfaBlock data{};
    data.method = m_method;
    std::copy(std::begin(m_gains), std::end(m_gains), data.gains);
    LumoPutBlock(data, block, size);
    return LUMO_OK;
}

uint32_t CCfaToRgbModule::WriteBlock(uint32_t id, const uint8_t* block, size_t size) {
    if (id != LUMO_PARAM_BLOCK12)
        return LUMO_E_NOTSUPPORTED;
    if (size < sizeof(LumoCfaBlock))
        return LUMO_E_INVALIDARG;
    const auto data = LumoTakeBlock<LumoCfaBlock>(block, size);
    for (double g : data.gains)
        if (!std::isfinite(g) || g < 0.0 || g > 64.0)
            return LUMO_E_INVALIDARG;
    if (data.method > METHOD_HIGH_QUALITY)
        return LUMO_E_INVALIDARG;
    m_method = data.method;
    std::copy(std::begin(data.gains), std::end(data.gains), m_gains);
    return LUMO_OK;
}

uint32_t CCfaToRgbModule::LoadPart(CIniFile_0& store, uint32_t part) {
    if (part == 0) {
        const uint32_t method = store.GetUInt32(Section(), "Method", m_method);
        m_method = method <= METHOD_HIGH_QUALITY ? method : m_method;
        return LUMO_OK;
    }
    if (part == 1) {
        for (size_t c = 0; c < 3; ++c) {
            const double g = store.GetDouble(Section(), GAIN_KEYS[c], m_gains[c]);
            if (std::isfinite(g) && g >= 0.0 && g <= 64.0)
                m_gains[c] = g;
        }
        return LUMO_OK;
    }
    return CProcessModule::LoadPart(store, part);
}

uint32_t CCfaToRgbModule::SavePart(CIniFile_0& store, uint32_t part, uint64_t index) {
    if (part == 0) {
        store.SetUInt32(Section(), "Method", m_method);
        return LUMO_OK;
    }
    if (part == 1) {
        for (size_t c = 0; c < 3; ++c)
            store.SetDouble(Section(), GAIN_KEYS[c], m_gains[c]);
        return LUMO_OK;
    }
    return CProcessModule::SavePart(store, part, index);
}

} // namespace lumo
