// Object ID 3, "CFA to RGB": demosaics colour-filter-array data (classes 2 and 3, one sample
// per pixel) to RGB (class 4; 8-bit output as R, G, B, X; 16-bit as R, G, B).
// The filter colour of input pixel (x, y) follows from the image origin (ox, oy):
// p = 2 * ((oy + y) & 1) + ((ox + x) & 1) gives 0 green, 1 red, 2 blue, 3 green.
// Borders are mirrored about the edge pixel, which keeps the filter phase.
// Block 12 (LumoCfaBlock): the method (0 bilinear, 1 gradient-corrected high quality) and the
// white-balance gains red, green, blue (1.0 by default).
#pragma once

#include "libs/lumo/CProcessModule.h"

#include <vector>

namespace lumo {

class CCfaToRgbModule final : public CProcessModule {
public:
    static constexpr uint32_t ID = LUMO_ID_CFA_TO_RGB;
    static constexpr uint32_t METHOD_BILINEAR = 0;
    static constexpr uint32_t METHOD_HIGH_QUALITY = 1;
    CCfaToRgbModule();

protected:
    uint32_t OutputClass(const CLumoImage& input) const override;
    [[nodiscard]] uint32_t Process(const PixelView& in, PixelView& out) override;
    [[nodiscard]] uint32_t ReadBlock(uint32_t id, uint8_t* block, size_t size) override;
    [[nodiscard]] uint32_t WriteBlock(uint32_t id, const uint8_t* block, size_t size) override;
    [[nodiscard]] uint32_t LoadPart(CIniFile_0& store, uint32_t part) override;
    [[nodiscard]] uint32_t SavePart(CIniFile_0& store, uint32_t part, uint64_t index) override;

private:
    void ApplyWhiteBalance(PixelView& out);

    uint32_t m_method = METHOD_BILINEAR;
    double m_gains[3] = {1.0, 1.0, 1.0};
};

} // namespace lumo
