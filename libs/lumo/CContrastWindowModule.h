// Object ID 96, "Contrast Window": maps the window minimum .. maximum linearly onto the full
// 8-bit output range (values outside are clipped).
// Block 12 (LumoWindowBlock): minimum, maximum and a zero-terminated label of the window's units
// (31 characters at most; "#" means sample values).
// Parameter 0x600000 (1): the window becomes the input's full range, 0 .. 2^bits - 1.
#pragma once

#include "libs/lumo/CProcessModule.h"
#include "libs/lumo/SampleMapper.h"

#include <string>

namespace lumo {

class CContrastWindowModule final : public CProcessModule {
public:
    static constexpr uint32_t ID = LUMO_ID_CONTRAST_WINDOW;
    static constexpr uint32_t PARAM_RESET_WINDOW = LUMO_PARAM_RESET_WINDOW;
    CContrastWindowModule();

protected:
    uint32_t OutputMaxBits(const CLumoImage& input) const override;
    [[nodiscard]] uint32_t Process(const PixelView& in, PixelView& out) override;
    [[nodiscard]] uint32_t ReadBlock(uint32_t id, uint8_t* block, size_t size) override;
    [[nodiscard]] uint32_t WriteBlock(uint32_t id, const uint8_t* block, size_t size) override;
    [[nodiscard]] uint32_t SetOwnParam(uint32_t id, uintptr_t a, uintptr_t b) override;
    [[nodiscard]] uint32_t LoadPart(CIniFile_0& store, uint32_t part) override;
    [[nodiscard]] uint32_t SavePart(CIniFile_0& store, uint32_t part, uint64_t index) override;

private:
    double m_min = 0.0;
    double m_max = 255.0;
    std::string m_label = "#";
    uint64_t m_generation = 0;
    SampleMapper m_mapper;
};

} // namespace lumo
