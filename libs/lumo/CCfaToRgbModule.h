// Object ID 3, "CFA to RGB": demosaics colour-filter-array data (classes 2 and 3, one sample
// per pixel) to RGB (class 4; 8-bit output as R, G, B, X; 16-bit as R, G, B).
// The filter colour of input pixel (x, y) follows from the image origin (ox, oy):
// p = 2 * ((oy + y) & 1) + ((ox + x) & 1) gives 0 green, 1 red, 2 blue, 3 green.
// Borders are mirrored about the edge pixel, which keeps the filter phase.
// Block 12 (LumoCfaBlock): the method (0 bilinear, 1 gradient-corrected high quality) and the
// white-balance gains red, green, blue (1.0 by default).
// Parameter 0x300000: Set (1) asks the next Execute to take the gains from the grey patch around
// the cursor (parameter 22) before it demosaics; Get (uint32_t* out) 1 while the request waits.
// A request without a usable patch (cursor outside, no red or blue in it, a gain above 64)
// leaves the gains as they are.
#pragma once

#include "libs/lumo/CProcessModule.h"

#include <vector>

namespace lumo {

class CCfaToRgbModule final : public CProcessModule {
public:
    static constexpr uint32_t ID = LUMO_ID_CFA_TO_RGB;
    static constexpr uint32_t METHOD_BILINEAR = 0;
    static constexpr uint32_t METHOD_HIGH_QUALITY = 1;
    static constexpr uint32_t PARAM_GREY_PATCH = LUMO_PARAM_GREY_PATCH;
    static constexpr uint32_t PATCH_SIZE = 16;
    CCfaToRgbModule();

    // White-balance gains from the PATCH_SIZE x PATCH_SIZE square of CFA samples `in` centred on
    // (x, y) and moved inside the image: green mean / red mean, 1, green mean / blue mean. False
    // when (x, y) lies outside, a mean of red or blue is zero or a gain would exceed 64.
    [[nodiscard]] static bool GreyPatchGains(const PixelView& in, uint32_t x, uint32_t y,
                                             double gains[3]);

protected:
    uint32_t OutputClass(const CLumoImage& input) const override;
    [[nodiscard]] uint32_t Process(const PixelView& in, PixelView& out) override;
    [[nodiscard]] uint32_t ReadBlock(uint32_t id, uint8_t* block, size_t size) override;
    [[nodiscard]] uint32_t WriteBlock(uint32_t id, const uint8_t* block, size_t size) override;
    [[nodiscard]] uint32_t LoadPart(CIniFile_0& store, uint32_t part) override;
    [[nodiscard]] uint32_t SavePart(CIniFile_0& store, uint32_t part, uint64_t index) override;
    [[nodiscard]] uint32_t SetOwnParam(uint32_t id, uintptr_t a, uintptr_t b) override;
    [[nodiscard]] uint32_t GetOwnParam(uint32_t id, uintptr_t a, uintptr_t b) override;

private:
    // The white-balance tables for `out` (kept while the gains and the format stay); null when
    // every gain is 1.
    const uint16_t* const* WhiteBalanceTables(const PixelView& out);
    void ServeGreyPatch(const PixelView& in);

    uint32_t m_method = METHOD_BILINEAR;
    double m_gains[3] = {1.0, 1.0, 1.0};
    bool m_greyPatchPending = false;
    std::vector<uint16_t> m_balance[3];
    const uint16_t* m_balanceTables[3] = {};
    double m_balanceGains[3] = {};
    uint32_t m_balanceContainer = 0;
    double m_balanceTop = 0.0;
};

} // namespace lumo
