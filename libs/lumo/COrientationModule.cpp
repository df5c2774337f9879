#include "libs/lumo/COrientationModule.h"

#include "external/LumoResult.h"
#include "settings/IniFile.h"

#include <algorithm>
#include <cstring>

namespace lumo {

namespace {

template <typename T, uint32_t N>
void ReverseRow(const T* __restrict src, T* __restrict dst, uint32_t width) {
    for (uint32_t x = 0; x < width; ++x)
        for (uint32_t c = 0; c < N; ++c)
            dst[size_t(width - 1 - x) * N + c] = src[size_t(x) * N + c];
}

template <typename T>
void ReverseRowAny(const T* src, T* dst, uint32_t width, uint32_t channels) {
    switch (channels) {
    case 1:
        ReverseRow<T, 1>(src, dst, width);
        break;
    case 3:
        ReverseRow<T, 3>(src, dst, width);
        break;
    case 4:
        ReverseRow<T, 4>(src, dst, width);
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
    const size_t rowBytes = in.RowSamples() * (in.container / 8);
    for (uint32_t y = 0; y < in.height; ++y) {
        const uint32_t ySrc = m_mirrorV ? in.height - 1 - y : y;
        const uint8_t* src = in.data + rowBytes * ySrc;
        uint8_t* dst = out.data + rowBytes * y;
        if (!m_mirrorH)
            std::memcpy(dst, src, rowBytes);
        else if (in.container == 8)
            ReverseRowAny(src, dst, in.width, in.channels);
        else
            ReverseRowAny(reinterpret_cast<const uint16_t*>(src), reinterpret_cast<uint16_t*>(dst),
                          in.width, in.channels);
    }
    // Output pixel (0, 0) is input pixel (w - 1, 0) when mirrored horizontally: it carries the
    // phase of sensor column originX + w - 1.
    const uint32_t ox = in.originX + (m_mirrorH ? in.width - 1 : 0);
    const uint32_t oy = in.originY + (m_mirrorV ? in.height - 1 : 0);
    Output()->SetOrigin(ox, oy);
    return LUMO_OK;
}

uint32_t COrientationModule::ReadBlock(uint32_t id, uint8_t* block, size_t size) {
    if (id != 12)
        return LUMO_E_NOTSUPPORTED;
    uint8_t data[8];
    std::memcpy(data, &m_mirrorH, 4);
    std::memcpy(data + 4, &m_mirrorV, 4);
    std::memset(block, 0, size);
    std::memcpy(block, data, std::min<size_t>(size, 8));
    return LUMO_OK;
}

uint32_t COrientationModule::WriteBlock(uint32_t id, const uint8_t* block, size_t size) {
    if (id != 12)
        return LUMO_E_NOTSUPPORTED;
    if (size < 8)
        return LUMO_E_INVALIDARG;
    std::memcpy(&m_mirrorH, block, 4);
    std::memcpy(&m_mirrorV, block + 4, 4);
    m_mirrorH = m_mirrorH ? 1 : 0;
    m_mirrorV = m_mirrorV ? 1 : 0;
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
