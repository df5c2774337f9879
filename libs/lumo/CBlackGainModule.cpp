#include "libs/lumo/CBlackGainModule.h"

#include "external/LumoResult.h"
#include "settings/IniFile.h"

#include <cmath>
#include <cstring>

namespace lumo {

CBlackGainModule::CBlackGainModule() : CProcessModule(ID, "Black Level / Gain") {}

uint32_t CBlackGainModule::Process(const PixelView& in, PixelView& out) {
    if (m_black == 0.0 && m_gain == 1.0 && in.container == out.container &&
        in.channels == out.channels && in.bits <= out.bits)
        return SAME_AS_INPUT;
    const MapperKey key{in.container, in.bits, out.container, out.bits, in.channels, m_generation};
    if (!m_mapper.IsFor(key)) {
        const double black = m_black;
        const double gain = m_gain;
        m_mapper.Build(key, [black, gain](uint32_t, uint32_t v) { return (v - black) * gain; });
    }
    if (m_mapper.IsIdentityFor(in, out))
        return SAME_AS_INPUT;
    m_mapper.Apply(in, out, RowBands());
    return LUMO_OK;
}

uint32_t CBlackGainModule::ReadBlock(uint32_t id, uint8_t* block, size_t size) {
    if (id != LUMO_PARAM_BLOCK12)
        return LUMO_E_NOTSUPPORTED;
    LumoPutBlock(LumoBlackGainBlock{m_black, m_gain}, block, size);
    return LUMO_OK;
}

uint32_t CBlackGainModule::WriteBlock(uint32_t id, const uint8_t* block, size_t size) {
    if (id != LUMO_PARAM_BLOCK12)
        return LUMO_E_NOTSUPPORTED;
    if (size < sizeof(LumoBlackGainBlock))
        return LUMO_E_INVALIDARG;
    const auto data = LumoTakeBlock<LumoBlackGainBlock>(block, size);
    if (!std::isfinite(data.black) || !std::isfinite(data.gain))
        return LUMO_E_INVALIDARG;
    m_black = data.black;
    m_gain = data.gain;
    ++m_generation;
    return LUMO_OK;
}

uint32_t CBlackGainModule::LoadPart(CIniFile_0& store, uint32_t part) {
    if (part == 0) {
        const double black = store.GetDouble(Section(), "Black", m_black);
        const double gain = store.GetDouble(Section(), "Gain", m_gain);
        if (std::isfinite(black) && std::isfinite(gain)) {
            m_black = black;
            m_gain = gain;
            ++m_generation;
        }
        return LUMO_OK;
    }
    return CProcessModule::LoadPart(store, part);
}

uint32_t CBlackGainModule::SavePart(CIniFile_0& store, uint32_t part, uint64_t index) {
    if (part == 0) {
        store.SetDouble(Section(), "Black", m_black);
        store.SetDouble(Section(), "Gain", m_gain);
        return LUMO_OK;
    }
    return CProcessModule::SavePart(store, part, index);
}

} // namespace lumo
