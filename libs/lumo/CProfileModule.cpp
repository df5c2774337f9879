#include "libs/lumo/CProfileModule.h"

#include "external/LumoResult.h"
#include "settings/IniFile.h"

#include <algorithm>
#include <cstring>

namespace lumo {

namespace {

template <typename T>
void Collect(const PixelView& in, uint32_t channels, bool column, uint32_t index, uint64_t length,
             uint32_t* values) {
    const T* src = reinterpret_cast<const T*>(in.data);
    for (uint64_t i = 0; i < length; ++i) {
        const size_t pixel = column ? size_t(i) * in.width + index : size_t(index) * in.width + i;
        for (uint32_t c = 0; c < channels; ++c)
            values[c * length + i] = src[pixel * in.channels + c];
    }
}

} // namespace

CProfileModule::CProfileModule(bool column)
    : CAnalyzeModule(column ? COLUMN_ID : LINE_ID, column ? "Column Profile" : "Line Profile"),
      m_bColumn(column) {}

uint32_t CProfileModule::Analyse(const PixelView& in) {
    const uint32_t channels = AnalysedChannels(in);
    const uint32_t extent = m_bColumn ? in.width : in.height;
    const uint32_t index = m_index == MIDDLE ? extent / 2 : std::min(m_index, extent - 1);
    m_length = m_bColumn ? in.height : in.width;
    m_values.assign(m_length * channels, 0);
    if (in.container == 8)
        Collect<uint8_t>(in, channels, m_bColumn, index, m_length, m_values.data());
    else
        Collect<uint16_t>(in, channels, m_bColumn, index, m_length, m_values.data());
    m_channels = channels;
    return LUMO_OK;
}

uint32_t CProfileModule::SetOwnParam(uint32_t id, uintptr_t a, uintptr_t b) {
    if (id != PARAM_INDEX)
        return CAnalyzeModule::SetOwnParam(id, a, b);
    m_index = uint32_t(std::min<uintptr_t>(a, MIDDLE));
    return LUMO_OK;
}

void CProfileModule::CopyResult(uint32_t channel, void* out) const {
    std::memcpy(out, m_values.data() + channel * m_length, m_length * 4);
}

uint32_t CProfileModule::LoadPart(CIniFile_0& store, uint32_t part) {
    if (part == 0) {
        m_index = store.GetUInt32(Section(), m_bColumn ? "Column" : "Row", m_index);
        return LUMO_OK;
    }
    return CAnalyzeModule::LoadPart(store, part);
}

uint32_t CProfileModule::SavePart(CIniFile_0& store, uint32_t part, uint64_t index) {
    if (part == 0) {
        store.SetUInt32(Section(), m_bColumn ? "Column" : "Row", m_index);
        return LUMO_OK;
    }
    return CAnalyzeModule::SavePart(store, part, index);
}

} // namespace lumo
