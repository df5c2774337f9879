#include "libs/lumo/CRegionObject.h"

#include "external/LumoResult.h"

namespace lumo {

uint32_t CRegionObject::GetRect(uint32_t index, uint32_t* pX, uint32_t* pY, uint32_t* pWidth,
                                uint32_t* pHeight, uint32_t flags) const {
    if (index != 0 || flags != 0)
        return LUMO_E_INVALIDARG;
    if (pX)
        *pX = m_x;
    if (pY)
        *pY = m_y;
    if (pWidth)
        *pWidth = m_width;
    if (pHeight)
        *pHeight = m_height;
    return LUMO_OK;
}

uint32_t CRegionObject::SetRect(uint32_t index, uint32_t x, uint32_t y, uint32_t width,
                                uint32_t height, uint32_t flags) {
    if (index != 0 || flags != 0)
        return LUMO_E_INVALIDARG;
    m_x = x;
    m_y = y;
    m_width = width;
    m_height = height;
    return LUMO_OK;
}

} // namespace lumo
