// Object ID 256, "Display": turns the processed image into a display-ready buffer off the UI
// thread (Execute (2)): 8-bit grey for one-sample images, 32-bit pixels in memory order
// B, G, R, 0xFF for RGB images (class 4), the layout a little-endian 0xFFRRGGBB word has.
// Execute (1) paints that buffer through the paint surface handed over as the window.
// Parameters: 4 log sink; 1024 display method (Set: 1 Direct Draw, 2 DIB, 3 automatic; Get:
// a = uint32_t* method, b = uint32_t* method in use); 1025 window (a = CLumoPaintSurface*, may
// be null); 1027 zoom (x, y, signed); 1029 hard/soft zoom flag (Set: a; Get: a = uint32_t*;
// 1 = hard, nearest neighbour); 1030 Get: a = const LumoDisplayFrame**.
#pragma once

#include "external/LumoPaintSurface.h"
#include "libs/lumo/CModuleBase.h"

#include <cstdint>
#include <vector>

namespace lumo {

class CDisplayModule final : public CModuleBase {
public:
    static constexpr uint32_t ID = LUMO_ID_DISPLAY;
    static constexpr uint32_t PARAM_METHOD = LUMO_DISPLAY_PARAM_METHOD;
    static constexpr uint32_t PARAM_WINDOW = LUMO_DISPLAY_PARAM_WINDOW;
    static constexpr uint32_t PARAM_ZOOM = LUMO_DISPLAY_PARAM_ZOOM;
    static constexpr uint32_t PARAM_HARD_ZOOM = LUMO_DISPLAY_PARAM_HARD_ZOOM;
    static constexpr uint32_t PARAM_FRAME = LUMO_DISPLAY_PARAM_FRAME;
    CDisplayModule() : CModuleBase(ID) {}

    [[nodiscard]] uint32_t SetParam(uint32_t id, uintptr_t a, uintptr_t b) override;
    [[nodiscard]] uint32_t GetParam(uint32_t id, uintptr_t a, uintptr_t b) override;
    [[nodiscard]] uint32_t Execute(uint32_t mode) override;

private:
    [[nodiscard]] uint32_t TakeImage();
    void Paint();

    uint32_t m_method = 2;
    uint32_t m_methodInUse = 0;
    CLumoPaintSurface* m_pWindow = nullptr;
    int32_t m_zoomX = 1;
    int32_t m_zoomY = 1;
    uint32_t m_hardZoom = 0;
    std::vector<uint8_t> m_pixels;
    LumoDisplayFrame m_frame{};
};

} // namespace lumo
