// What the module dialogs ask of their modules: parameters that wait for a running Execute, the
// cursor position every process module keeps,
// white-balance gains from the grey patch under the cursor (CFA to RGB) and the contrast window
// from the histogram's percentiles, both served by the next Execute.
#include "external/ImageFormat.h"
#include "external/LumoResult.h"
#include "libs/lumo/CCfaToRgbModule.h"
#include "libs/lumo/CContrastWindowModule.h"
#include "libs/lumo/CImageObject.h"
#include "tests/lumo/ModuleStage.h"

#include <atomic>
#include <chrono>
#include <future>
#include <gtest/gtest.h>
#include <thread>
#include <vector>

namespace {

using lumo::CCfaToRgbModule;
using lumo::CContrastWindowModule;
using lumo::CImageObject;
using lumo::PixelView;
using lumotest::Stage;

// A view of `data` as one frame of the given geometry and sample layout.
PixelView ViewOf(void* data, uint32_t width, uint32_t height, uint32_t container, uint32_t channels,
                 uint32_t bits, uint32_t imageClass) {
    PixelView view;
    view.data = static_cast<uint8_t*>(data);
    view.width = width;
    view.height = height;
    view.container = container;
    view.channels = channels;
    view.bits = bits;
    view.imageClass = imageClass;
    return view;
}

// Red, green and blue at the filter sites of `image` (its origin sets the phase): columns
// below `split` take (r, g, b), the others grey 100.
void FillMosaic(CImageObject& image, uint32_t split, uint32_t r, uint32_t g, uint32_t b) {
    uint32_t ox = 0;
    uint32_t oy = 0;
    image.GetOrigin(&ox, &oy);
    auto* data = static_cast<uint8_t*>(image.GetFrameData(0, -1, 0));
    for (uint32_t y = 0; y < image.GetHeight(); ++y)
        for (uint32_t x = 0; x < image.GetWidth(); ++x) {
            const uint32_t phase = 2 * ((oy + y) & 1) + ((ox + x) & 1);
            const uint32_t colour[4] = {g, r, b, g};
            data[size_t(y) * image.GetWidth() + x] = uint8_t(x < split ? colour[phase] : 100);
        }
}

LumoCfaBlock CfaBlock(CCfaToRgbModule& module) {
    LumoCfaBlock block{};
    EXPECT_EQ(module.GetParam(LUMO_PARAM_BLOCK12, LumoArg(&block), sizeof block), LUMO_OK);
    return block;
}

uint32_t Pending(lumo::CProcessModule& module, uint32_t param) {
    uint32_t pending = 7;
    EXPECT_EQ(module.GetParam(param, LumoArg(&pending), 0), LUMO_OK);
    return pending;
}

// A module whose run waits until the test lets it go.
class HeldModule final : public lumo::CProcessModule {
public:
    HeldModule() : CProcessModule(0x7F, "Held") {}
    std::promise<void> entered;
    std::shared_future<void> release;

protected:
    uint32_t Process(const PixelView&, PixelView&) override {
        entered.set_value();
        release.wait();
        return SAME_AS_INPUT;
    }
};

TEST(DialogRequests, ParametersWaitForARunningExecute) {
    HeldModule module;
    std::promise<void> release;
    module.release = release.get_future().share();
    Stage stage{module, {}};
    CImageObject in;
    ASSERT_EQ(in.Allocate(4, 4, ImageFormat::GREY8, 0, 1), LUMO_OK);
    ASSERT_TRUE(stage.Prepare(in));
    std::future<void> entered = module.entered.get_future();
    std::thread update([&] { EXPECT_EQ(module.Execute(0), LUMO_OK); });
    entered.wait();
    std::atomic<bool> set{false};
    std::thread dialog([&] {
        EXPECT_EQ(module.SetParam(LUMO_PARAM_CURSOR, 1, 2), LUMO_OK);
        set = true;
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_FALSE(set.load()); // still waiting for the run
    release.set_value();
    update.join();
    dialog.join();
    EXPECT_TRUE(set.load());
}

TEST(DialogRequests, CursorIsKeptAndOutsideByDefault) {
    CContrastWindowModule module;
    uint32_t cursor[2] = {};
    ASSERT_EQ(module.GetParam(LUMO_PARAM_CURSOR, LumoArg(cursor), 0), LUMO_OK);
    EXPECT_EQ(cursor[0], LUMO_CURSOR_OUTSIDE);
    EXPECT_EQ(cursor[1], LUMO_CURSOR_OUTSIDE);
    ASSERT_EQ(module.SetParam(LUMO_PARAM_CURSOR, 12, 34), LUMO_OK);
    ASSERT_EQ(module.GetParam(LUMO_PARAM_CURSOR, LumoArg(cursor), 0), LUMO_OK);
    EXPECT_EQ(cursor[0], 12u);
    EXPECT_EQ(cursor[1], 34u);
    EXPECT_EQ(module.GetParam(LUMO_PARAM_CURSOR, 0, 0), LUMO_E_INVALIDARG);
}

TEST(DialogRequests, GreyPatchGainsFollowTheCursorOnTheNextExecute) {
    CCfaToRgbModule module;
    Stage stage{module, {}};
    CImageObject in;
    ASSERT_EQ(in.Allocate(40, 30, ImageFormat::CFA8, 0, 1), LUMO_OK);
    in.SetOrigin(1, 0); // red first
    // Left of x = 24 a grey object seen with red at half and blue at a quarter of green.
    FillMosaic(in, 24, 50, 100, 25);
    ASSERT_TRUE(stage.Prepare(in));

    // The patch of a cursor near the corner moves inside the image: columns 0 .. 15.
    ASSERT_EQ(module.SetParam(LUMO_PARAM_CURSOR, 3, 2), LUMO_OK);
    ASSERT_EQ(module.SetParam(CCfaToRgbModule::PARAM_GREY_PATCH, 1, 0), LUMO_OK);
    EXPECT_EQ(Pending(module, CCfaToRgbModule::PARAM_GREY_PATCH), 1u);
    EXPECT_DOUBLE_EQ(CfaBlock(module).gains[0], 1.0); // nothing before the run
    ASSERT_EQ(module.Execute(0), LUMO_OK);
    EXPECT_EQ(Pending(module, CCfaToRgbModule::PARAM_GREY_PATCH), 0u);
    LumoCfaBlock block = CfaBlock(module);
    EXPECT_DOUBLE_EQ(block.gains[0], 2.0);
    EXPECT_DOUBLE_EQ(block.gains[1], 1.0);
    EXPECT_DOUBLE_EQ(block.gains[2], 4.0);
    // That run already used the new gains: the object comes out grey.
    const auto* rgb = static_cast<const uint8_t*>(stage.output.GetFrameData(0, -1, 0));
    const size_t px = (size_t(10) * 40 + 10) * (stage.output.GetFrameSize() / (40 * 30));
    EXPECT_EQ(rgb[px], rgb[px + 1]);
    EXPECT_EQ(rgb[px + 2], rgb[px + 1]);

    // Near the right edge the patch covers columns 24 .. 39 only, where everything is grey.
    ASSERT_EQ(module.SetParam(LUMO_PARAM_CURSOR, 39, 29), LUMO_OK);
    ASSERT_EQ(module.SetParam(CCfaToRgbModule::PARAM_GREY_PATCH, 1, 0), LUMO_OK);
    ASSERT_EQ(module.Execute(0), LUMO_OK);
    block = CfaBlock(module);
    EXPECT_DOUBLE_EQ(block.gains[0], 1.0);
    EXPECT_DOUBLE_EQ(block.gains[2], 1.0);

    // A cursor outside the image serves the request without touching the gains; a run without a
    // request leaves them too.
    ASSERT_EQ(module.SetParam(LUMO_PARAM_CURSOR, 3, 2), LUMO_OK);
    ASSERT_EQ(module.Execute(0), LUMO_OK);
    EXPECT_DOUBLE_EQ(CfaBlock(module).gains[0], 1.0);
    ASSERT_EQ(module.SetParam(LUMO_PARAM_CURSOR, LUMO_CURSOR_OUTSIDE, LUMO_CURSOR_OUTSIDE),
              LUMO_OK);
    ASSERT_EQ(module.SetParam(CCfaToRgbModule::PARAM_GREY_PATCH, 1, 0), LUMO_OK);
    ASSERT_EQ(module.Execute(0), LUMO_OK);
    EXPECT_EQ(Pending(module, CCfaToRgbModule::PARAM_GREY_PATCH), 0u);
    EXPECT_DOUBLE_EQ(CfaBlock(module).gains[0], 1.0);
    EXPECT_EQ(module.SetParam(CCfaToRgbModule::PARAM_GREY_PATCH, 2, 0), LUMO_E_INVALIDARG);
}

TEST(DialogRequests, GreyPatchOfSmallAndSixteenBitImagesAndPatchesWithoutColour) {
    // 16-bit samples, an image smaller than the patch: all of it counts. Phase 0 is green.
    std::vector<uint16_t> samples(6 * 4);
    for (uint32_t y = 0; y < 4; ++y)
        for (uint32_t x = 0; x < 6; ++x) {
            const uint32_t phase = 2 * (y & 1) + (x & 1);
            const uint16_t colour[4] = {3000, 1000, 2000, 3000};
            samples[y * 6 + x] = colour[phase];
        }
    PixelView view = ViewOf(samples.data(), 6, 4, 16, 1, 12, ImageFormat::CLASS_CFA);
    double gains[3] = {};
    ASSERT_TRUE(CCfaToRgbModule::GreyPatchGains(view, 5, 3, gains));
    EXPECT_DOUBLE_EQ(gains[0], 3.0);
    EXPECT_DOUBLE_EQ(gains[1], 1.0);
    EXPECT_DOUBLE_EQ(gains[2], 1.5);
    EXPECT_FALSE(CCfaToRgbModule::GreyPatchGains(view, 6, 0, gains)); // outside
    // A one-row image has no blue sites; a black red channel gives no gain.
    view.height = 1;
    EXPECT_FALSE(CCfaToRgbModule::GreyPatchGains(view, 0, 0, gains));
    view.height = 4;
    for (uint32_t y = 0; y < 4; y += 2)
        for (uint32_t x = 1; x < 6; x += 2)
            samples[y * 6 + x] = 0;
    EXPECT_FALSE(CCfaToRgbModule::GreyPatchGains(view, 0, 0, gains));
}

TEST(DialogRequests, AutoWindowCutsHalfAPercentAtEachEnd) {
    CContrastWindowModule module;
    Stage stage{module, {}};
    CImageObject in;
    ASSERT_EQ(in.Allocate(100, 10, ImageFormat::GREY8, 0, 1), LUMO_OK);
    auto* data = static_cast<uint8_t*>(in.GetFrameData(0, -1, 0));
    // 1000 samples: 4 dark and 4 bright outliers (under 0.5 % each), the rest 50 .. 149.
    for (size_t i = 0; i < 1000; ++i)
        data[i] = uint8_t(i < 4 ? 0 : i >= 996 ? 255 : 50 + i % 100);
    ASSERT_TRUE(stage.Prepare(in));
    ASSERT_EQ(module.SetParam(CContrastWindowModule::PARAM_AUTO_WINDOW, 1, 0), LUMO_OK);
    EXPECT_EQ(Pending(module, CContrastWindowModule::PARAM_AUTO_WINDOW), 1u);
    ASSERT_EQ(module.Execute(0), LUMO_OK);
    EXPECT_EQ(Pending(module, CContrastWindowModule::PARAM_AUTO_WINDOW), 0u);
    LumoWindowBlock block{};
    ASSERT_EQ(module.GetParam(LUMO_PARAM_BLOCK12, LumoArg(&block), sizeof block), LUMO_OK);
    EXPECT_DOUBLE_EQ(block.minimum, 50.0);
    EXPECT_DOUBLE_EQ(block.maximum, 149.0);
    EXPECT_STREQ(block.label, "#");
    // The run mapped with the new window.
    const auto* out = static_cast<const uint8_t*>(stage.output.GetFrameData(0, -1, 0));
    EXPECT_EQ(out[0], 0);
    EXPECT_EQ(out[999], 255);
    EXPECT_EQ(out[100], 0);  // 50
    EXPECT_EQ(out[99], 255); // 149
    EXPECT_EQ(module.SetParam(CContrastWindowModule::PARAM_AUTO_WINDOW, 5, 0), LUMO_E_INVALIDARG);
}

TEST(DialogRequests, AutoWindowOfColourSkipsTheFillerAndOfAFlatImageStaysOpen) {
    // R, G, B, X with X at 255 everywhere: only the colours count.
    std::vector<uint8_t> samples(50 * 4);
    for (size_t p = 0; p < 50; ++p) {
        samples[p * 4] = uint8_t(10 + p % 11);
        samples[p * 4 + 1] = 15;
        samples[p * 4 + 2] = uint8_t(20 - p % 11);
        samples[p * 4 + 3] = 255;
    }
    PixelView view = ViewOf(samples.data(), 50, 1, 8, 4, 8, ImageFormat::CLASS_RGB);
    double lo = 0;
    double hi = 0;
    ASSERT_TRUE(CContrastWindowModule::AutoWindow(view, lo, hi));
    EXPECT_DOUBLE_EQ(lo, 10.0);
    EXPECT_DOUBLE_EQ(hi, 20.0);

    std::vector<uint16_t> flat(64, 700);
    view = ViewOf(flat.data(), 8, 8, 16, 1, 12, ImageFormat::CLASS_GREY);
    ASSERT_TRUE(CContrastWindowModule::AutoWindow(view, lo, hi));
    EXPECT_DOUBLE_EQ(lo, 700.0);
    EXPECT_DOUBLE_EQ(hi, 701.0);
}

} // namespace
