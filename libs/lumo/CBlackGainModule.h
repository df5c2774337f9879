// Object ID 514, "Black Level / Gain": out = clamp((in - black) * gain), identity by default.
// Block 12 (LumoBlackGainBlock): black level and gain, in input units.
#pragma once

#include "libs/lumo/CProcessModule.h"
#include "libs/lumo/SampleMapper.h"

namespace lumo {

class CBlackGainModule final : public CProcessModule {
public:
    static constexpr uint32_t ID = LUMO_ID_BLACK_GAIN;
    CBlackGainModule();

protected:
    [[nodiscard]] uint32_t Process(const PixelView& in, PixelView& out) override;
    [[nodiscard]] uint32_t ReadBlock(uint32_t id, uint8_t* block, size_t size) override;
    [[nodiscard]] uint32_t WriteBlock(uint32_t id, const uint8_t* block, size_t size) override;
    [[nodiscard]] uint32_t LoadPart(CIniFile_0& store, uint32_t part) override;
    [[nodiscard]] uint32_t SavePart(CIniFile_0& store, uint32_t part, uint64_t index) override;

private:
    double m_black = 0.0;
    double m_gain = 1.0;
    uint64_t m_generation = 0;
    SampleMapper m_mapper;
};

} // namespace lumo
