// The display module's buffers in the layout the desktop shell paints without conversion
// (grey bytes; B, G, R, 0xFF pixels) on every path, and its painting through a paint surface.
#include "external/ImageFormat.h"
#include "external/LumoPaintSurface.h"
#include "external/LumoResult.h"
#include "libs/lumo/CDisplayModule.h"
#include "libs/lumo/CImageObject.h"

#include <cstring>
#include <gtest/gtest.h>
#include <vector>

namespace {

using lumo::CDisplayModule;
using lumo::CImageObject;

// The display buffer after the module took `image`; empty when it refused.
std::vector<uint8_t> Take(CDisplayModule& display, CImageObject& image) {
    CLumoImage* input[1] = {&image};
    const LumoDisplayFrame* frame = nullptr;
    if (display.SetImages(1, input) != LUMO_OK ||
        display.Execute(CLumoModule::EXECUTE_TAKE_IMAGE) != LUMO_OK ||
        display.GetParam(CDisplayModule::PARAM_FRAME, LumoArg(&frame), 0) != LUMO_OK || !frame)
        return {};
    return {frame->pixels,
            frame->pixels + size_t(frame->width) * frame->height * frame->bytesPerPixel};
}

// Pixel i of n: R = i, G = 100 + i, B = 200 - i (in the image's own sample scale).
template <typename T>
void FillColour(CImageObject& image, uint32_t channels, uint32_t scale) {
    T* p = static_cast<T*>(image.GetFrameData(0, -1, 0));
    const uint32_t n = image.GetWidth() * image.GetHeight();
    for (uint32_t i = 0; i < n; ++i) {
        p[channels * i + 0] = T(i * scale);
        p[channels * i + 1] = T((100 + i) * scale);
        p[channels * i + 2] = T((200 - i) * scale);
        if (channels == 4)
            p[channels * i + 3] = T(0x55 * scale); // whatever the fourth sample holds
    }
}

void ExpectBgrx(const std::vector<uint8_t>& shown, uint32_t n, const char* what) {
    ASSERT_EQ(shown.size(), size_t(n) * 4) << what;
    for (uint32_t i = 0; i < n; ++i) {
        ASSERT_EQ(shown[4 * i + 0], 200 - i) << what << " pixel " << i;
        ASSERT_EQ(shown[4 * i + 1], 100 + i) << what << " pixel " << i;
        ASSERT_EQ(shown[4 * i + 2], i) << what << " pixel " << i;
        ASSERT_EQ(shown[4 * i + 3], 0xFF) << what << " pixel " << i;
    }
}

TEST(DisplayModule, ColourImagesBecomeBgrxOnEveryPath) {
    // 37 pixels: the vector path of 8-bit R, G, B, X images meets an unaligned start, whole
    // blocks and a tail, whichever alignment the buffer gets.
    constexpr uint32_t W = 37;
    CDisplayModule display;
    CImageObject rgbx8;
    ASSERT_EQ(rgbx8.Allocate(W, 1, ImageFormat::Make(8, 8, 4, 58, 4), 0, 1), LUMO_OK);
    FillColour<uint8_t>(rgbx8, 4, 1);
    ExpectBgrx(Take(display, rgbx8), W, "8-bit RGBX");

    CImageObject rgbx7; // fewer significant bits: the converting path
    ASSERT_EQ(rgbx7.Allocate(W, 1, ImageFormat::Make(8, 7, 4, 58, 4), 0, 1), LUMO_OK);
    FillColour<uint8_t>(rgbx7, 4, 1);
    std::vector<uint8_t> shown = Take(display, rgbx7);
    ASSERT_EQ(shown.size(), size_t(W) * 4);
    EXPECT_EQ(shown[4 * 5 + 0], uint8_t((195 << 1) & 0xFF)); // B of pixel 5, brought to 8 bits
    EXPECT_EQ(shown[4 * 5 + 2], 10);                         // R of pixel 5

    CImageObject rgb8;
    ASSERT_EQ(rgb8.Allocate(W, 2, ImageFormat::Make(8, 8, 3, 26, 4), 0, 1), LUMO_OK);
    FillColour<uint8_t>(rgb8, 3, 1);
    ExpectBgrx(Take(display, rgb8), 2 * W, "8-bit RGB");

    CImageObject rgb12;
    ASSERT_EQ(rgb12.Allocate(W, 1, ImageFormat::Make(16, 12, 3, 26, 4), 0, 1), LUMO_OK);
    FillColour<uint16_t>(rgb12, 3, 16);
    ExpectBgrx(Take(display, rgb12), W, "12-bit RGB");

    CImageObject rgbx16;
    ASSERT_EQ(rgbx16.Allocate(W, 1, ImageFormat::Make(16, 16, 4, 58, 4), 0, 1), LUMO_OK);
    FillColour<uint16_t>(rgbx16, 4, 256);
    ExpectBgrx(Take(display, rgbx16), W, "16-bit RGBX");

    const LumoDisplayFrame* frame = nullptr;
    ASSERT_EQ(display.GetParam(CDisplayModule::PARAM_FRAME, LumoArg(&frame), 0), LUMO_OK);
    ASSERT_NE(frame, nullptr);
    EXPECT_EQ(frame->bytesPerPixel, LumoDisplayFrame::BGRX32);
}

TEST(DisplayModule, GreyImagesStayOneBytePerPixel) {
    CDisplayModule display;
    CImageObject grey;
    ASSERT_EQ(grey.Allocate(3, 1, ImageFormat::GREY8, 0, 1), LUMO_OK);
    const uint8_t values[3] = {0, 77, 255};
    std::memcpy(grey.GetFrameData(0, -1, 0), values, 3);
    EXPECT_EQ(Take(display, grey), (std::vector<uint8_t>{0, 77, 255}));
    const LumoDisplayFrame* frame = nullptr;
    ASSERT_EQ(display.GetParam(CDisplayModule::PARAM_FRAME, LumoArg(&frame), 0), LUMO_OK);
    ASSERT_NE(frame, nullptr);
    EXPECT_EQ(frame->bytesPerPixel, LumoDisplayFrame::GREY8);
}

struct FakeSurface final : CLumoPaintSurface {
    int calls = 0;
    LumoDisplayFrame frame{};
    int32_t zoomX = 0;
    int32_t zoomY = 0;
    bool hardZoom = false;
    void PaintDisplayFrame(const LumoDisplayFrame& f, int32_t zx, int32_t zy, bool hard) override {
        ++calls;
        frame = f;
        zoomX = zx;
        zoomY = zy;
        hardZoom = hard;
    }
};

TEST(DisplayModule, PaintsItsBufferThroughTheSurfaceWithZoomAndFlag) {
    CDisplayModule display;
    FakeSurface surface;
    // Without a surface, and with a surface but no frame yet, painting succeeds doing nothing.
    EXPECT_EQ(display.Execute(CLumoModule::EXECUTE_PAINT), LUMO_OK);
    ASSERT_EQ(display.SetParam(CDisplayModule::PARAM_WINDOW,
                               LumoArg(static_cast<CLumoPaintSurface*>(&surface)), 0),
              LUMO_OK);
    EXPECT_EQ(display.Execute(CLumoModule::EXECUTE_PAINT), LUMO_OK);
    EXPECT_EQ(surface.calls, 0);

    CImageObject grey;
    ASSERT_EQ(grey.Allocate(4, 2, ImageFormat::GREY8, 0, 1), LUMO_OK);
    ASSERT_EQ(Take(display, grey).size(), 8u);
    ASSERT_EQ(display.SetParam(CDisplayModule::PARAM_ZOOM, uintptr_t(intptr_t(-3)), 4), LUMO_OK);
    ASSERT_EQ(display.SetParam(CDisplayModule::PARAM_HARD_ZOOM, 1, 0), LUMO_OK);
    EXPECT_EQ(display.Execute(CLumoModule::EXECUTE_PAINT), LUMO_OK);
    ASSERT_EQ(surface.calls, 1);
    const LumoDisplayFrame* frame = nullptr;
    ASSERT_EQ(display.GetParam(CDisplayModule::PARAM_FRAME, LumoArg(&frame), 0), LUMO_OK);
    EXPECT_EQ(surface.frame.pixels, frame->pixels); // the module's own buffer, not a copy
    EXPECT_EQ(surface.frame.width, 4u);
    EXPECT_EQ(surface.frame.height, 2u);
    EXPECT_EQ(surface.zoomX, -3);
    EXPECT_EQ(surface.zoomY, 4);
    EXPECT_TRUE(surface.hardZoom);

    ASSERT_EQ(display.SetParam(CDisplayModule::PARAM_HARD_ZOOM, 0, 0), LUMO_OK);
    EXPECT_EQ(display.Execute(CLumoModule::EXECUTE_PAINT), LUMO_OK);
    EXPECT_EQ(surface.calls, 2);
    EXPECT_FALSE(surface.hardZoom);

    // Window taken away: painting stops.
    ASSERT_EQ(display.SetParam(CDisplayModule::PARAM_WINDOW, 0, 0), LUMO_OK);
    EXPECT_EQ(display.Execute(CLumoModule::EXECUTE_PAINT), LUMO_OK);
    EXPECT_EQ(surface.calls, 2);
}

} // namespace
