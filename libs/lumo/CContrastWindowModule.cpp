#include "libs/lumo/CContrastWindowModule.h"

#include "external/LumoResult.h"
#include "settings/IniFile.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

namespace lumo {

namespace {
constexpr size_t LABEL_ROOM = sizeof(LumoWindowBlock::label);
} // namespace

CContrastWindowModule::CContrastWindowModule() : CProcessModule(ID, "Contrast Window") {}

uint32_t CContrastWindowModule::OutputMaxBits(const CLumoImage&) const {
    return 8;
}

uint32_t CContrastWindowModule::Process(const PixelView& in, PixelView& out) {
    if (m_autoPending) {
        m_autoPending = false;
        if (AutoWindow(in, m_min, m_max))
            ++m_generation;
    }
    const MapperKey key{in.container, in.bits, out.container, out.bits, in.channels, m_generation};
    if (!m_mapper.IsFor(key)) {
        const double lo = m_min;
        const double hi = m_max;
        const double top = double(out.MaxValue());
        m_mapper.Build(key, [lo, hi, top](uint32_t, uint32_t v) {
            if (hi <= lo)
                return v >= hi ? top : 0.0;
            return (v - lo) * top / (hi - lo);
        });
    }
    if (m_mapper.IsIdentityFor(in, out))
        return SAME_AS_INPUT;
    m_mapper.Apply(in, out, RowBands());
    return LUMO_OK;
}

namespace {

template <typename T>
void CountSamples(const PixelView& in, uint32_t channels, std::vector<uint64_t>& counts) {
    const size_t pixels = size_t(in.width) * in.height;
    const T* data = reinterpret_cast<const T*>(in.data);
    for (size_t p = 0; p < pixels; ++p)
        for (uint32_t c = 0; c < channels; ++c)
            ++counts[data[p * in.channels + c]];
}

} // namespace

bool CContrastWindowModule::AutoWindow(const PixelView& in, double& minimum, double& maximum) {
    if (!in.data || (in.container != 8 && in.container != 16))
        return false;
    const uint32_t channels =
        in.imageClass == ImageFormat::CLASS_RGB ? std::min(in.channels, 3u) : in.channels;
    std::vector<uint64_t> counts(size_t(1) << in.container, 0);
    if (in.container == 8)
        CountSamples<uint8_t>(in, channels, counts);
    else
        CountSamples<uint16_t>(in, channels, counts);
    const uint64_t total = uint64_t(in.width) * in.height * channels;
    if (total == 0)
        return false;
    // Samples that may lie beyond each end of the window.
    const auto tail = static_cast<uint64_t>(double(total) * AUTO_TAIL_FRACTION);
    size_t lo = 0;
    for (uint64_t below = 0; lo < counts.size(); ++lo)
        if ((below += counts[lo]) > tail)
            break;
    size_t hi = counts.size() - 1;
    for (uint64_t above = 0; hi > 0; --hi)
        if ((above += counts[hi]) > tail)
            break;
    minimum = double(lo);
    maximum = std::max(double(hi), minimum + 1.0);
    return true;
}

uint32_t CContrastWindowModule::ReadBlock(uint32_t id, uint8_t* block, size_t size) {
    if (id != LUMO_PARAM_BLOCK12)
        return LUMO_E_NOTSUPPORTED;
    LumoWindowBlock data{};
    data.minimum = m_min;
    data.maximum = m_max;
    std::memcpy(data.label, m_label.c_str(), std::min(m_label.size(), LABEL_ROOM - 1));
    LumoPutBlock(data, block, size);
    return LUMO_OK;
}

uint32_t CContrastWindowModule::WriteBlock(uint32_t id, const uint8_t* block, size_t size) {
    if (id != LUMO_PARAM_BLOCK12)
        return LUMO_E_NOTSUPPORTED;
    if (size < sizeof(LumoWindowBlock))
        return LUMO_E_INVALIDARG;
    const auto data = LumoTakeBlock<LumoWindowBlock>(block, size);
    if (!std::isfinite(data.minimum) || !std::isfinite(data.maximum))
        return LUMO_E_INVALIDARG;
    m_min = data.minimum;
    m_max = data.maximum;
    // The label ends at its zero or one short of the block's end, whichever comes first.
    m_label.assign(data.label, strnlen(data.label, LABEL_ROOM - 1));
    ++m_generation;
    return LUMO_OK;
}

uint32_t CContrastWindowModule::SetOwnParam(uint32_t id, uintptr_t a, uintptr_t b) {
    if (id == PARAM_AUTO_WINDOW) {
        if (a > 1)
            return LUMO_E_INVALIDARG;
        m_autoPending = a == 1;
        return LUMO_OK;
    }
    if (id != PARAM_RESET_WINDOW)
        return CProcessModule::SetOwnParam(id, a, b);
    if (a == 1) {
        CLumoImage* input = Input();
        if (!input)
            return LUMO_E_NOIMAGE;
        m_min = 0.0;
        m_max = std::ldexp(1.0, int(input->GetSignificantBits())) - 1.0;
        ++m_generation;
    }
    return LUMO_OK;
}

uint32_t CContrastWindowModule::GetOwnParam(uint32_t id, uintptr_t a, uintptr_t b) {
    if (id != PARAM_AUTO_WINDOW)
        return CProcessModule::GetOwnParam(id, a, b);
    if (!a)
        return LUMO_E_INVALIDARG;
    *reinterpret_cast<uint32_t*>(a) = m_autoPending ? 1 : 0;
    return LUMO_OK;
}

uint32_t CContrastWindowModule::LoadPart(CIniFile_0& store, uint32_t part) {
    if (part == 0) {
        const double lo = store.GetDouble(Section(), "Minimum", m_min);
        const double hi = store.GetDouble(Section(), "Maximum", m_max);
        if (std::isfinite(lo) && std::isfinite(hi)) {
            m_min = lo;
            m_max = hi;
            ++m_generation;
        }
        return LUMO_OK;
    }
    return CProcessModule::LoadPart(store, part);
}

uint32_t CContrastWindowModule::SavePart(CIniFile_0& store, uint32_t part, uint64_t index) {
    if (part == 0) {
        store.SetDouble(Section(), "Minimum", m_min);
        store.SetDouble(Section(), "Maximum", m_max);
        return LUMO_OK;
    }
    return CProcessModule::SavePart(store, part, index);
}

} // namespace lumo
