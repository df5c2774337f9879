// The display module (object ID 256) and the window it paints into. The module turns each
// processed image into a display buffer on the update thread (Execute (2)); the desktop shell
// paints that buffer (Execute (1)) on its user-interface thread through the surface it handed
// over as the window handle (parameter 1025). The buffer is the module's: a surface reads it
// in place, during the call, and never keeps a pointer to it.
#pragma once

#include <cstdint>

// The display module's parameters, beside the log sink (4) every module takes:
inline constexpr uint32_t LUMO_DISPLAY_PARAM_METHOD = 1024;    // 1 Direct Draw, 2 DIB, 3 automatic
inline constexpr uint32_t LUMO_DISPLAY_PARAM_WINDOW = 1025;    // the CLumoPaintSurface*
inline constexpr uint32_t LUMO_DISPLAY_PARAM_ZOOM = 1027;      // (x, y), signed
inline constexpr uint32_t LUMO_DISPLAY_PARAM_HARD_ZOOM = 1029; // 1 nearest neighbour, 0 smoothed
inline constexpr uint32_t LUMO_DISPLAY_PARAM_FRAME = 1030;     // Get: const LumoDisplayFrame**
inline constexpr uint32_t LUMO_DISPLAY_METHOD_DIB = 2;

// One display buffer. Rows are packed, top row first.
struct LumoDisplayFrame {
    static constexpr uint32_t GREY8 = 1;  // one byte per pixel
    static constexpr uint32_t BGRX32 = 4; // bytes B, G, R, 0xFF per pixel (a little-endian
                                          // 0xFFRRGGBB word)
    const uint8_t* pixels;
    uint32_t width;
    uint32_t height;
    uint32_t bytesPerPixel; // GREY8 or BGRX32
};

class CLumoPaintSurface {
public:
    // Paints `frame` with zoom (x, y) (n >= 2: n screen pixels per image pixel; n <= -2: one
    // screen pixel per |n| image pixels; otherwise 1:1), nearest-neighbour when `hardZoom`,
    // smoothed otherwise. Called from the display module's Execute (1), on the thread that
    // called it, while the caller holds whatever keeps the buffer alive (the chain lock).
    virtual void PaintDisplayFrame(const LumoDisplayFrame& frame, int32_t zoomX, int32_t zoomY,
                                   bool hardZoom) = 0;

protected:
    ~CLumoPaintSurface() = default;
};
