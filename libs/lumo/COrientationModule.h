// Object ID 515, "Orientation": mirrors horizontally and/or vertically (identity by default).
// The output's origin moves with the mirroring so that the colour-filter phase of every output
// pixel stays the phase of the sensor pixel it came from.
// Block 12 (LumoOrientationBlock): mirror horizontally, mirror vertically.
#pragma once

#include "libs/lumo/CProcessModule.h"

namespace lumo {

class COrientationModule final : public CProcessModule {
public:
    static constexpr uint32_t ID = LUMO_ID_ORIENTATION;
    COrientationModule();

protected:
    [[nodiscard]] uint32_t Process(const PixelView& in, PixelView& out) override;
    [[nodiscard]] uint32_t ReadBlock(uint32_t id, uint8_t* block, size_t size) override;
    [[nodiscard]] uint32_t WriteBlock(uint32_t id, const uint8_t* block, size_t size) override;
    [[nodiscard]] uint32_t LoadPart(CIniFile_0& store, uint32_t part) override;
    [[nodiscard]] uint32_t SavePart(CIniFile_0& store, uint32_t part, uint64_t index) override;

private:
    uint32_t m_mirrorH = 0;
    uint32_t m_mirrorV = 0;
};

} // namespace lumo
