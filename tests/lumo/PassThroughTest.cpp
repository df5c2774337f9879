// Modules left at identity settings hand their input on without copying it. What must hold: the
// output shows the input, nothing written into the output reaches the input, the shown frame
// outlives its source, and a module that starts to change the image writes its own frame again.
#include "external/ImageFormat.h"
#include "external/LumoResult.h"
#include "libs/lumo/CBlackGainModule.h"
#include "libs/lumo/CContrastWindowModule.h"
#include "libs/lumo/CImageObject.h"
#include "libs/lumo/CLookUpTableModule.h"
#include "libs/lumo/COrientationModule.h"
#include "tests/lumo/ModuleStage.h"

#include <cstring>
#include <gtest/gtest.h>
#include <memory>
#include <vector>

namespace {

using lumo::CImageObject;

uint8_t* Bytes(CImageObject& image, int64_t frame = 0) {
    return static_cast<uint8_t*>(image.GetFrameData(0, frame, 0));
}

std::vector<uint8_t> Contents(CImageObject& image) {
    const uint8_t* p = Bytes(image);
    return std::vector<uint8_t>(p, p + image.GetFrameSize());
}

void FillRamp(CImageObject& image, uint8_t start) {
    uint8_t* p = Bytes(image);
    for (uint64_t i = 0; i < image.GetFrameSize(); ++i)
        p[i] = uint8_t(start + i);
}

TEST(ImagePassThrough, ShowsTheSourceAndCopiesItBeforeAnyWriteOfItsOwn) {
    CImageObject source;
    CImageObject shown;
    ASSERT_EQ(source.Allocate(16, 4, ImageFormat::GREY8, 0, 1), LUMO_OK);
    ASSERT_EQ(shown.Allocate(16, 4, ImageFormat::GREY8, 0, 2), LUMO_OK);
    FillRamp(source, 1);
    uint8_t* own = Bytes(shown);

    ASSERT_TRUE(shown.PassThrough(source));
    EXPECT_EQ(Bytes(shown), Bytes(source));    // no copy
    EXPECT_NE(Bytes(shown, 1), Bytes(source)); // only frame 0 is shown
    Bytes(source)[5] = 99;                     // later writes into the source are seen
    EXPECT_EQ(Bytes(shown)[5], 99);

    // A pixel written into the image lands in its own frame, which first takes what was shown.
    const uint32_t white = 255;
    ASSERT_EQ(shown.SetPixel(0, 0, 1, &white, 1, 0, 0, 0), LUMO_OK);
    EXPECT_FALSE(shown.IsPassingThrough());
    EXPECT_EQ(Bytes(shown), own);
    EXPECT_EQ(Bytes(source)[0], 1);
    EXPECT_EQ(Bytes(shown)[0], 255);
    EXPECT_EQ(Bytes(shown)[5], 99);
    EXPECT_EQ(Bytes(shown)[63], Bytes(source)[63]);

    // A frame copied into it, and frames inserted before frame 0, leave the source as it was.
    const std::vector<uint8_t> before = Contents(source);
    ASSERT_TRUE(shown.PassThrough(source));
    CImageObject other;
    ASSERT_EQ(other.Allocate(16, 4, ImageFormat::GREY8, 0, 1), LUMO_OK);
    ASSERT_EQ(shown.CopyFrame(&other, 0, 0, 0, nullptr, 0, 0), LUMO_OK);
    EXPECT_EQ(Contents(source), before);
    EXPECT_EQ(Contents(shown), Contents(other));
    ASSERT_TRUE(shown.PassThrough(source));
    ASSERT_EQ(shown.EditFrames(CLumoImage::EDIT_INSERT, 0, 1), LUMO_OK);
    EXPECT_FALSE(shown.IsPassingThrough());
    EXPECT_EQ(std::vector<uint8_t>(Bytes(shown, 1), Bytes(shown, 1) + 64), before);
    EXPECT_NE(Bytes(shown, 1), Bytes(source));

    // Ending the pass-through gives back the image's own frame as it was.
    ASSERT_EQ(shown.Allocate(16, 4, ImageFormat::GREY8, 0, 1), LUMO_OK);
    FillRamp(shown, 50);
    const std::vector<uint8_t> mine = Contents(shown);
    ASSERT_TRUE(shown.PassThrough(source));
    shown.EndPassThrough();
    EXPECT_EQ(Contents(shown), mine);
}

TEST(ImagePassThrough, RefusesOtherGeometryAndOutlivesItsSource) {
    CImageObject shown;
    ASSERT_EQ(shown.Allocate(8, 2, ImageFormat::GREY8, 0, 1), LUMO_OK);
    CImageObject wider;
    ASSERT_EQ(wider.Allocate(9, 2, ImageFormat::GREY8, 0, 1), LUMO_OK);
    CImageObject deeper;
    ASSERT_EQ(deeper.Allocate(8, 2, ImageFormat::Make(16, 12, 1, 0, 1), 0, 1), LUMO_OK);
    CImageObject empty;
    EXPECT_FALSE(shown.PassThrough(wider));
    EXPECT_FALSE(shown.PassThrough(deeper));
    EXPECT_FALSE(shown.PassThrough(empty));
    EXPECT_FALSE(shown.PassThrough(shown));
    EXPECT_FALSE(empty.PassThrough(shown));
    EXPECT_FALSE(shown.IsPassingThrough());

    // Handed on twice, the last image shows the first one's frame.
    auto first = std::make_unique<CImageObject>();
    ASSERT_EQ(first->Allocate(8, 2, ImageFormat::GREY8, 0, 1), LUMO_OK);
    FillRamp(*first, 7);
    CImageObject middle;
    ASSERT_EQ(middle.Allocate(8, 2, ImageFormat::GREY8, 0, 1), LUMO_OK);
    ASSERT_TRUE(middle.PassThrough(*first));
    ASSERT_TRUE(shown.PassThrough(middle));
    EXPECT_EQ(Bytes(shown), Bytes(*first));
    const std::vector<uint8_t> expected = Contents(*first);

    // The source reallocated to the same size clears a fresh frame, not the one shown; the
    // source destroyed leaves the shown frame alive (the sanitizers check the reads).
    ASSERT_EQ(first->Allocate(8, 2, ImageFormat::GREY8, 0, 1), LUMO_OK);
    EXPECT_EQ(Contents(shown), expected);
    first.reset();
    EXPECT_EQ(Contents(shown), expected);
    EXPECT_EQ(Contents(middle), expected);
}

using lumotest::Stage;

TEST(ModulePassThrough, IdentitySettingsHandTheInputOnAndWorkingOnesNeverWriteIntoIt) {
    CImageObject raw;
    ASSERT_EQ(raw.Allocate(32, 3, ImageFormat::GREY8, 0, 1), LUMO_OK);
    FillRamp(raw, 0);
    const std::vector<uint8_t> original = Contents(raw);

    lumo::CBlackGainModule gain;
    lumo::COrientationModule orientation;
    lumo::CContrastWindowModule window;
    Stage first{gain, {}};
    Stage second{orientation, {}};
    Stage third{window, {}};
    ASSERT_TRUE(first.Prepare(raw));
    ASSERT_TRUE(second.Prepare(first.output));
    ASSERT_TRUE(third.Prepare(second.output));
    ASSERT_EQ(window.SetParam(lumo::CContrastWindowModule::PARAM_RESET_WINDOW, 1, 0), LUMO_OK);
    auto runAll = [&] {
        ASSERT_EQ(gain.Execute(0), LUMO_OK);
        ASSERT_EQ(orientation.Execute(0), LUMO_OK);
        ASSERT_EQ(window.Execute(0), LUMO_OK);
    };

    runAll(); // all three at identity: the last output is the raw frame itself
    EXPECT_EQ(Bytes(third.output), Bytes(raw));
    EXPECT_EQ(Contents(third.output), original);

    // The middle module mirrors: it writes its own frame; the first still shows the raw frame,
    // which must come through unchanged.
    const uint32_t mirror[2] = {1, 0};
    ASSERT_EQ(orientation.SetParam(12, LumoArg(mirror), 8), LUMO_OK);
    runAll();
    EXPECT_EQ(Contents(raw), original);
    EXPECT_NE(Bytes(second.output), Bytes(raw));
    EXPECT_EQ(Bytes(third.output), Bytes(second.output));
    for (uint32_t x = 0; x < 32; ++x)
        ASSERT_EQ(Bytes(third.output)[x], original[31 - x]) << x;

    // Gain on, mirror off: the first module writes its own frame, the rest show it.
    const double blackGain[2] = {0.0, 2.0};
    ASSERT_EQ(gain.SetParam(12, LumoArg(blackGain), sizeof(blackGain)), LUMO_OK);
    const uint32_t straight[2] = {0, 0};
    ASSERT_EQ(orientation.SetParam(12, LumoArg(straight), 8), LUMO_OK);
    runAll();
    EXPECT_EQ(Contents(raw), original);
    EXPECT_EQ(Bytes(third.output), Bytes(first.output));
    for (uint32_t i = 0; i < 96; ++i)
        ASSERT_EQ(Bytes(third.output)[i], std::min(255u, 2 * uint32_t(original[i]))) << i;

    // Back at identity, a new raw frame comes through at once.
    const double identity[2] = {0.0, 1.0};
    ASSERT_EQ(gain.SetParam(12, LumoArg(identity), sizeof(identity)), LUMO_OK);
    FillRamp(raw, 100);
    runAll();
    EXPECT_EQ(Contents(third.output), Contents(raw));
}

TEST(ModulePassThrough, TwelveBitDataThroughTheIdentityTableIsHandedOn) {
    CImageObject raw;
    ASSERT_EQ(raw.Allocate(8, 2, ImageFormat::Make(16, 12, 1, 0, ImageFormat::CLASS_GREY), 0, 1),
              LUMO_OK);
    uint16_t* samples = reinterpret_cast<uint16_t*>(Bytes(raw));
    for (uint32_t i = 0; i < 16; ++i)
        samples[i] = uint16_t(i * 273); // 0 .. 4095
    const std::vector<uint8_t> original = Contents(raw);
    lumo::CLookUpTableModule table;
    Stage stage{table, {}};
    ASSERT_TRUE(stage.Prepare(raw));
    ASSERT_EQ(table.Execute(0), LUMO_OK);
    EXPECT_EQ(Bytes(stage.output), Bytes(raw));

    ASSERT_EQ(table.SetParam(lumo::CLookUpTableModule::PARAM_SELECT, 1, 3), LUMO_OK); // inverted
    ASSERT_EQ(table.Execute(0), LUMO_OK);
    EXPECT_NE(Bytes(stage.output), Bytes(raw));
    EXPECT_EQ(Contents(raw), original);
    const uint16_t* out = reinterpret_cast<const uint16_t*>(Bytes(stage.output));
    for (uint32_t i = 0; i < 16; ++i)
        ASSERT_EQ(out[i], 4095 - samples[i]) << i;
}

} // namespace
