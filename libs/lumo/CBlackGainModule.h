// Object ID 514, "Black Level / Gain": out = clamp((in - black) * gain), identity by default.
// Block 12 (16 bytes): double black level at byte 0, double gain at byte 8 (input units).
#pragma once

#include "libs/lumo/CProcessModule.h"
#include "libs/lumo/SampleMapper.h"

namespace lumo {

class CBlackGainModule final : public CProcessModule {
public:
    static constexpr uint32_t ID = 514;
    CBlackGainModule();

protected:
    uint32_t Process(const PixelView& in, PixelView& out) override;
    uint32_t ReadBlock(uint32_t id, uint8_t* block, size_t size) override;
    uint32_t WriteBlock(uint32_t id, const uint8_t* block, size_t size) override;
    uint32_t LoadPart(CIniFile_0& store, uint32_t part) override;
    uint32_t SavePart(CIniFile_0& store, uint32_t part, uint64_t index) override;

private:
    double m_black = 0.0;
    double m_gain = 1.0;
    uint64_t m_generation = 0;
    SampleMapper m_mapper;
};

} // namespace lumo
