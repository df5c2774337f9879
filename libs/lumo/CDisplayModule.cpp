#include "libs/lumo/CDisplayModule.h"

#include "external/LumoResult.h"
#include "libs/lumo/PixelView.h"

#include <cstring>

#if defined(__SSE2__)
#include <tmmintrin.h>
#endif

namespace lumo {

namespace {

// Samples of `bits` significant bits brought to 8 bits.
template <typename T>
inline uint8_t To8(T v, int shiftDown, int shiftUp) {
    return uint8_t(((uint32_t(v) >> shiftDown) << shiftUp) & 0xFF);
}

template <typename T>
void ToGrey(const PixelView& in, uint8_t* __restrict dst, int down, int up) {
    const T* __restrict src = reinterpret_cast<const T*>(in.data);
    const size_t n = size_t(in.width) * in.height;
    const uint32_t step = in.channels;
    for (size_t i = 0; i < n; ++i)
        dst[i] = To8(src[i * step], down, up);
}

// Samples R, G, B (and a fourth ignored) into B, G, R, 0xFF pixels.
template <typename T, uint32_t N>
void ToBgrx(const PixelView& in, uint8_t* __restrict dst, int down, int up) {
    const T* __restrict src = reinterpret_cast<const T*>(in.data);
    const size_t n = size_t(in.width) * in.height;
    for (size_t i = 0; i < n; ++i) {
        dst[4 * i + 0] = To8(src[N * i + 2], down, up);
        dst[4 * i + 1] = To8(src[N * i + 1], down, up);
        dst[4 * i + 2] = To8(src[N * i + 0], down, up);
        dst[4 * i + 3] = 0xFF;
    }
}

// 8-bit R, G, B pixels of 8 significant bits into B, G, R, 0xFF words.
void PackedBgrx(const uint8_t* __restrict src, uint8_t* __restrict dst, size_t pixels) {
    uint32_t* __restrict to = reinterpret_cast<uint32_t*>(dst);
    for (size_t i = 0; i < pixels; ++i)
        to[i] = uint32_t(src[3 * i + 0]) << 16 | uint32_t(src[3 * i + 1]) << 8 |
                uint32_t(src[3 * i + 2]) | 0xFF000000u;
}

// One little-endian R, G, B, X word as B, G, R, 0xFF: R and B change places.
inline uint32_t SwapToBgrx(uint32_t v) {
    return ((v & 0xFFu) << 16) | ((v >> 16) & 0xFFu) | (v & 0x0000FF00u) | 0xFF000000u;
}

#if defined(__SSE2__)
// Blocks of four pixels with SSSE3's byte shuffle: one shuffle and one OR per block, as fast as
// the plain copy that R, G, B, X buffers used to get. Chosen when the processor has SSSE3 (the
// x86-64 baseline does not promise it); without it the word swap below does the whole row.
__attribute__((target("ssse3"))) void SwapBlocksSsse3(const uint32_t* __restrict from,
                                                      uint32_t* __restrict to, size_t blocks) {
    const __m128i order = _mm_setr_epi8(2, 1, 0, 3, 6, 5, 4, 7, 10, 9, 8, 11, 14, 13, 12, 15);
    const __m128i opaque = _mm_set1_epi32(int(0xFF000000u));
    for (size_t k = 0; k < blocks; ++k) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(from) + k);
        _mm_stream_si128(reinterpret_cast<__m128i*>(to) + k,
                         _mm_or_si128(_mm_shuffle_epi8(v, order), opaque));
    }
}

bool HasSsse3() {
    static const bool has = __builtin_cpu_supports("ssse3");
    return has;
}
#endif

// 8-bit R, G, B, X pixels into B, G, R, 0xFF. The display buffer is read again only when it is
// painted, so where the processor has streaming stores it is written past the caches: a whole
// frame no longer evicts the chain's images, and no cache line of it is read before it is
// overwritten.
void OpaqueBgrx(const uint8_t* src, uint8_t* dst, size_t pixels) {
    const uint32_t* __restrict from = reinterpret_cast<const uint32_t*>(src);
    uint32_t* __restrict to = reinterpret_cast<uint32_t*>(dst);
    size_t i = 0;
#if defined(__SSE2__)
    if (HasSsse3()) {
        for (; i < pixels && reinterpret_cast<uintptr_t>(to + i) % 16 != 0; ++i)
            to[i] = SwapToBgrx(from[i]);
        const size_t blocks = (pixels - i) / 4;
        SwapBlocksSsse3(from + i, to + i, blocks);
        i += 4 * blocks;
        _mm_sfence();
    }
#endif
    for (; i < pixels; ++i)
        to[i] = SwapToBgrx(from[i]);
}

// Rows of `in` (a band of the frame) into the display buffer at `dst`: grey bytes, or B, G, R,
// 0xFF pixels when `rgb`.
void ConvertRows(const PixelView& in, uint8_t* dst, bool rgb, int down, int up) {
    const int bits = int(in.bits);
    const size_t pixels = size_t(in.width) * in.height;
    if (!rgb && in.container == 8 && in.channels == 1 && bits == 8)
        std::memcpy(dst, in.data, pixels);
    else if (!rgb && in.container == 8)
        ToGrey<uint8_t>(in, dst, down, up);
    else if (!rgb)
        ToGrey<uint16_t>(in, dst, down, up);
    else if (in.container == 8 && in.channels == 4 && bits == 8)
        OpaqueBgrx(in.data, dst, pixels);
    else if (in.container == 8 && in.channels == 4)
        ToBgrx<uint8_t, 4>(in, dst, down, up);
    else if (in.container == 8 && bits == 8)
        PackedBgrx(in.data, dst, pixels);
    else if (in.container == 8)
        ToBgrx<uint8_t, 3>(in, dst, down, up);
    else if (in.channels == 4)
        ToBgrx<uint16_t, 4>(in, dst, down, up);
    else
        ToBgrx<uint16_t, 3>(in, dst, down, up);
}

} // namespace

uint32_t CDisplayModule::SetParam(uint32_t id, uintptr_t a, uintptr_t b) {
    switch (id) {
    case PARAM_METHOD:
        if (a < 1 || a > 3)
            return LUMO_E_INVALIDARG;
        m_method = uint32_t(a);
        return LUMO_OK;
    case PARAM_WINDOW:
        m_pWindow = reinterpret_cast<CLumoPaintSurface*>(a);
        return LUMO_OK;
    case PARAM_ZOOM:
        m_zoomX = int32_t(intptr_t(a));
        m_zoomY = int32_t(intptr_t(b));
        return LUMO_OK;
    case PARAM_HARD_ZOOM:
        m_hardZoom = a ? 1 : 0;
        return LUMO_OK;
    default:
        return CModuleBase::SetParam(id, a, b);
    }
}

uint32_t CDisplayModule::GetParam(uint32_t id, uintptr_t a, uintptr_t b) {
    switch (id) {
    case PARAM_METHOD:
        if (!a)
            return LUMO_E_INVALIDARG;
        *reinterpret_cast<uint32_t*>(a) = m_method;
        if (b)
            *reinterpret_cast<uint32_t*>(b) = m_methodInUse;
        return LUMO_OK;
    case PARAM_HARD_ZOOM:
        if (!a)
            return LUMO_E_INVALIDARG;
        *reinterpret_cast<uint32_t*>(a) = m_hardZoom;
        return LUMO_OK;
    case PARAM_FRAME:
        if (!a)
            return LUMO_E_INVALIDARG;
        *reinterpret_cast<const LumoDisplayFrame**>(a) = m_frame.pixels ? &m_frame : nullptr;
        return LUMO_OK;
    default:
        return CModuleBase::GetParam(id, a, b);
    }
}

uint32_t CDisplayModule::Execute(uint32_t mode) {
    if (mode == EXECUTE_TAKE_IMAGE)
        return TakeImage();
    if (mode == EXECUTE_PAINT) {
        Paint();
        return LUMO_OK;
    }
    return LUMO_E_NOTSUPPORTED;
}

// Nothing to paint without a surface or a frame; that is no failure.
void CDisplayModule::Paint() {
    if (m_pWindow && m_frame.pixels)
        m_pWindow->PaintDisplayFrame(m_frame, m_zoomX, m_zoomY, m_hardZoom != 0);
}

uint32_t CDisplayModule::TakeImage() {
    PixelView in;
    if (!PixelView::Of(Input(), in)) {
        m_frame = LumoDisplayFrame{};
        return Input() ? LUMO_E_NOIMAGE : LUMO_OK; // no image: nothing to show
    }
    const bool rgb =
        in.imageClass == ImageFormat::CLASS_RGB && (in.channels == 3 || in.channels == 4);
    const uint32_t bytes = rgb ? LumoDisplayFrame::BGRX32 : LumoDisplayFrame::GREY8;
    m_pixels.resize(size_t(in.width) * in.height * bytes);
    const int bits = int(in.bits);
    const int down = bits > 8 ? bits - 8 : 0;
    const int up = bits < 8 ? 8 - bits : 0;
    uint8_t* dst = m_pixels.data();
    const size_t inRowBytes = in.RowSamples() * (in.container / 8);
    const size_t outRowBytes = size_t(in.width) * bytes;
    RunRowBands(RowBands(), in.height, [&](uint32_t rowBegin, uint32_t rowEnd) {
        PixelView rows = in;
        rows.data = in.data + rowBegin * inRowBytes;
        rows.height = rowEnd - rowBegin;
        ConvertRows(rows, dst + rowBegin * outRowBytes, rgb, down, up);
    });
    m_frame = LumoDisplayFrame{m_pixels.data(), in.width, in.height, bytes};
    m_methodInUse = 2;
    return LUMO_OK;
}

} // namespace lumo
