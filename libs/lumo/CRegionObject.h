// The library's region object: one rectangle inside an image.
#pragma once

#include "external/LumoImage.h"

namespace lumo {

class CRegionObject final : public CLumoRegion {
public:
    CRegionObject() = default;
    ~CRegionObject() override = default;

    uint32_t GetKind() const override { return KIND_REGION; }
    [[nodiscard]] uint32_t GetRect(uint32_t index, uint32_t* pX, uint32_t* pY, uint32_t* pWidth,
                                   uint32_t* pHeight, uint32_t flags) const override;
    [[nodiscard]] uint32_t SetRect(uint32_t index, uint32_t x, uint32_t y, uint32_t width,
                                   uint32_t height, uint32_t flags) override;

private:
    uint32_t m_x = 0;
    uint32_t m_y = 0;
    uint32_t m_width = 0;
    uint32_t m_height = 0;
};

} // namespace lumo
