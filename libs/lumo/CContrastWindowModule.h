// Object ID 96, "Contrast Window": maps the window minimum .. maximum linearly onto the full
// 8-bit output range (values outside are clipped).
// Block 12 (LumoWindowBlock): minimum, maximum and a zero-terminated label of the window's units
// (31 characters at most; "#" means sample values).
// Parameter 0x600000 (1): the window becomes the input's full range, 0 .. 2^bits - 1.
// Parameter 0x600001: Set (1) asks the next Execute to set the window from the input's histogram
// (AutoWindow) before it maps; Get (uint32_t* out) 1 while the request waits.
#pragma once

#include "libs/lumo/CProcessModule.h"
#include "libs/lumo/SampleMapper.h"

#include <string>

namespace lumo {

class CContrastWindowModule final : public CProcessModule {
public:
    static constexpr uint32_t ID = LUMO_ID_CONTRAST_WINDOW;
    static constexpr uint32_t PARAM_RESET_WINDOW = LUMO_PARAM_RESET_WINDOW;
    static constexpr uint32_t PARAM_AUTO_WINDOW = LUMO_PARAM_AUTO_WINDOW;
    static constexpr double AUTO_TAIL_FRACTION = 0.005; // 0.5 % beyond each end
    CContrastWindowModule();

    // The window from the histogram of `in` (the colour channels of RGB images, every channel
    // otherwise): minimum is the lowest value with more than 0.5 % of the samples at or below it,
    // maximum the highest with more than 0.5 % at or above it; maximum stays above minimum.
    // False when `in` holds no samples.
    [[nodiscard]] static bool AutoWindow(const PixelView& in, double& minimum, double& maximum);

protected:
    uint32_t OutputMaxBits(const CLumoImage& input) const override;
    [[nodiscard]] uint32_t Process(const PixelView& in, PixelView& out) override;
    [[nodiscard]] uint32_t ReadBlock(uint32_t id, uint8_t* block, size_t size) override;
    [[nodiscard]] uint32_t WriteBlock(uint32_t id, const uint8_t* block, size_t size) override;
    [[nodiscard]] uint32_t SetOwnParam(uint32_t id, uintptr_t a, uintptr_t b) override;
    [[nodiscard]] uint32_t GetOwnParam(uint32_t id, uintptr_t a, uintptr_t b) override;
    [[nodiscard]] uint32_t LoadPart(CIniFile_0& store, uint32_t part) override;
    [[nodiscard]] uint32_t SavePart(CIniFile_0& store, uint32_t part, uint64_t index) override;

private:
    double m_min = 0.0;
    double m_max = 255.0;
    std::string m_label = "#";
    uint64_t m_generation = 0;
    bool m_autoPending = false;
    SampleMapper m_mapper;
};

} // namespace lumo
