#include "libs/lumo/CDisplayModule.h"

#include "external/LumoResult.h"
#include "libs/lumo/PixelView.h"

#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
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

template <typename T, uint32_t N>
void ToRgbx(const PixelView& in, uint8_t* __restrict dst, int down, int up) {
    const T* __restrict src = reinterpret_cast<const T*>(in.data);
    const size_t n = size_t(in.width) * in.height;
    for (size_t i = 0; i < n; ++i) {
        dst[4 * i + 0] = To8(src[N * i + 0], down, up);
        dst[4 * i + 1] = To8(src[N * i + 1], down, up);
        dst[4 * i + 2] = To8(src[N * i + 2], down, up);
        dst[4 * i + 3] = 0xFF;
    }
}

// 8-bit R, G, B, X pixels as they are, with the fourth byte set. The display buffer is read
// again only when it is painted, so where the processor has streaming stores it is written
// past the caches: a whole frame no longer evicts the chain's images, and no cache line of it
// is read before it is overwritten.
void OpaqueRgbx(const uint8_t* src, uint8_t* dst, size_t pixels) {
    const uint32_t* __restrict from = reinterpret_cast<const uint32_t*>(src);
    uint32_t* __restrict to = reinterpret_cast<uint32_t*>(dst);
    size_t i = 0;
#if defined(__SSE2__)
    for (; i < pixels && reinterpret_cast<uintptr_t>(to + i) % 16 != 0; ++i)
        to[i] = from[i] | 0xFF000000u;
    const __m128i opaque = _mm_set1_epi32(int(0xFF000000u));
    for (; i + 4 <= pixels; i += 4) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(from + i));
        _mm_stream_si128(reinterpret_cast<__m128i*>(to + i), _mm_or_si128(v, opaque));
    }
    _mm_sfence();
#endif
    for (; i < pixels; ++i)
        to[i] = from[i] | 0xFF000000u;
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
        m_pWindow = reinterpret_cast<void*>(a);
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
    return LUMO_E_NOTSUPPORTED;
}

uint32_t CDisplayModule::TakeImage() {
    PixelView in;
    if (!PixelView::Of(Input(), in)) {
        m_frame = LumoDisplayFrame{};
        return Input() ? LUMO_E_NOIMAGE : LUMO_OK; // no image: nothing to show
    }
    const bool rgb =
        in.imageClass == ImageFormat::CLASS_RGB && (in.channels == 3 || in.channels == 4);
    const uint32_t bytes = rgb ? 4 : 1;
    m_pixels.resize(size_t(in.width) * in.height * bytes);
    const int bits = int(in.bits);
    const int down = bits > 8 ? bits - 8 : 0;
    const int up = bits < 8 ? 8 - bits : 0;
    uint8_t* dst = m_pixels.data();
    if (!rgb && in.container == 8 && in.channels == 1 && bits == 8)
        std::memcpy(dst, in.data, m_pixels.size());
    else if (!rgb && in.container == 8)
        ToGrey<uint8_t>(in, dst, down, up);
    else if (!rgb)
        ToGrey<uint16_t>(in, dst, down, up);
    else if (in.container == 8 && in.channels == 4 && bits == 8)
        OpaqueRgbx(in.data, dst, size_t(in.width) * in.height);
    else if (in.container == 8 && in.channels == 4)
        ToRgbx<uint8_t, 4>(in, dst, down, up);
    else if (in.container == 8)
        ToRgbx<uint8_t, 3>(in, dst, down, up);
    else if (in.channels == 4)
        ToRgbx<uint16_t, 4>(in, dst, down, up);
    else
        ToRgbx<uint16_t, 3>(in, dst, down, up);
    m_frame = LumoDisplayFrame{m_pixels.data(), in.width, in.height, bytes};
    m_methodInUse = 2;
    return LUMO_OK;
}

} // namespace lumo
