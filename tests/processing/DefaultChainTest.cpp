// The default chains with the library's own modules, run by the update thread, handed to the
// display module as the view does.
#include "external/ImageFormat.h"
#include "external/LumoResult.h"
#include "libs/lumo/CDisplayModule.h"
#include "libs/lumo/CImageObject.h"
#include "libs/lumo/CLumoInstanceImpl.h"
#include "processing/CImgProcessChain.h"
#include "tests/processing/ChainViewStub.h"

#include <condition_variable>
#include <cstring>
#include <gtest/gtest.h>
#include <mutex>
#include <vector>

namespace {

TEST(DefaultChains, GreyscaleAndColourChainsReachTheDisplay) {
    lumo::CLumoInstanceImpl library;
    ASSERT_EQ(library.Init(".", "Pem*.dll", 1), LUMO_OK);
    ChainViewStub view;
    view.keepShown = true;
    CImgProcessChain chain(&library, nullptr);
    ASSERT_TRUE(chain.SetBaseImageProvider(&ChainViewStub::Provide, &view));
    ASSERT_TRUE(chain.SetReadyCallback(&ChainViewStub::Ready, &view));

    // Greyscale, 12 significant bits: the window spreads the full range onto 8 bits.
    ASSERT_EQ(view.raw.Allocate(4, 2, ImageFormat::Make(16, 12, 1, 0, 1), 0, 1), LUMO_OK);
    const uint16_t grey[8] = {0, 1000, 2048, 4095, 4095, 2048, 1000, 0};
    std::memcpy(view.raw.GetFrameData(0, -1, 0), grey, sizeof(grey));
    const uint32_t greyIds[] = {514, 515, 96};
    {
        platform::RecursiveLock lock(chain.ChainLock());
        ASSERT_TRUE(chain.BuildDefault(1, greyIds, 3, 67, {}, &view.raw));
    }
    ASSERT_TRUE(chain.RequestUpdate(false));
    ASSERT_TRUE(view.WaitRuns(1));
    {
        std::lock_guard<std::mutex> lock(view.mutex);
        EXPECT_EQ(view.failures, 0u);
        EXPECT_EQ(view.shown, (std::vector<uint8_t>{0, 62, 128, 255, 255, 128, 62, 0}));
    }

    // Raw colour data of one colour, origin (1, 0): the colour chain shows that colour. The raw
    // image changes under the chain lock, as the view changes it: the analysis may still read it.
    {
        platform::RecursiveLock lock(chain.ChainLock());
        ASSERT_EQ(view.raw.Allocate(6, 4, ImageFormat::CFA8, 0, 1), LUMO_OK);
        view.raw.SetOrigin(1, 0);
        uint8_t* p = static_cast<uint8_t*>(view.raw.GetFrameData(0, -1, 0));
        for (uint32_t y = 0; y < 4; ++y)
            for (uint32_t x = 0; x < 6; ++x) {
                const uint32_t phase = 2 * (y & 1) + ((1 + x) & 1);
                p[y * 6 + x] = phase == 1 ? 200 : phase == 2 ? 50 : 100;
            }
        const uint32_t colourIds[] = {514, 515, 3, 32};
        ASSERT_TRUE(chain.BuildDefault(2, colourIds, 4, 67, {}, &view.raw));
        EXPECT_EQ(chain.GetImage(3)->GetFormat(nullptr), ImageFormat::Make(8, 8, 4, 58, 4));
    }
    ASSERT_TRUE(chain.RequestUpdate(false));
    ASSERT_TRUE(view.WaitRuns(2));
    std::lock_guard<std::mutex> lock(view.mutex);
    EXPECT_EQ(view.failures, 0u);
    ASSERT_EQ(view.shown.size(), 6u * 4u * 4u);
    for (size_t i = 0; i < 24; ++i) { // B, G, R, 0xFF
        ASSERT_EQ(view.shown[4 * i + 0], 50) << i;
        ASSERT_EQ(view.shown[4 * i + 1], 100) << i;
        ASSERT_EQ(view.shown[4 * i + 2], 200) << i;
        ASSERT_EQ(view.shown[4 * i + 3], 0xFF) << i;
    }
}

template <typename T>
T At(const uint8_t* block, size_t offset) {
    T value;
    std::memcpy(&value, block + offset, sizeof(T));
    return value;
}

// What the chain writes into the parameter blocks of the library's modules is what they read:
// the table's ranges and colour mode, the window's range, the histogram's colours per view.
TEST(DefaultChains, LibraryModulesReadTheBlocksTheChainWrites) {
    lumo::CLumoInstanceImpl library;
    ASSERT_EQ(library.Init(".", "Pem*.dll", 1), LUMO_OK);
    lumo::CImageObject rgb;
    ASSERT_EQ(rgb.Allocate(4, 4, ImageFormat::Make(16, 10, 3, 26, 4), 0, 1), LUMO_OK);
    CImgProcessChain chain(&library, nullptr);
    const uint32_t ids[] = {32, 96};
    platform::RecursiveLock lock(chain.ChainLock());
    ASSERT_TRUE(chain.BuildDefault(4, ids, 2, 67, {}, &rgb));

    uint8_t setup[184] = {};
    uint8_t ranges[152] = {};
    ASSERT_EQ(chain.GetModule(0)->GetParam(12, LumoArg(setup), sizeof(setup)), LUMO_OK);
    ASSERT_EQ(chain.GetModule(0)->GetParam(13, LumoArg(ranges), sizeof(ranges)), LUMO_OK);
    EXPECT_EQ(At<uint32_t>(setup, 8), 3u);
    EXPECT_EQ(At<uint32_t>(setup, 12), 4u);
    EXPECT_EQ(At<double>(ranges, 24), 1024.0);
    EXPECT_EQ(At<double>(ranges, 56), 1.0 / 1024.0);
    EXPECT_EQ(At<double>(ranges, 88), 1024.0);

    uint8_t window[128] = {};
    ASSERT_EQ(chain.GetModule(1)->GetParam(12, LumoArg(window), sizeof(window)), LUMO_OK);
    EXPECT_EQ(At<double>(window, 16), 0.0);
    EXPECT_EQ(At<double>(window, 24), 1023.0);
    EXPECT_STREQ(reinterpret_cast<const char*>(window + 96), "#");

    CLumoModule* histogram = chain.GetAnalyzeModule(0);
    uint8_t plot[56] = {};
    uint8_t cumulative[48] = {};
    ASSERT_EQ(histogram->SetParam(16, 0, 0), LUMO_OK);
    ASSERT_EQ(histogram->GetParam(13, LumoArg(plot), sizeof(plot)), LUMO_OK);
    ASSERT_EQ(histogram->SetParam(16, 1, 0), LUMO_OK);
    ASSERT_EQ(histogram->GetParam(13, LumoArg(cumulative), sizeof(cumulative)), LUMO_OK);
    const uint32_t second[3] = {0x0000FF, 0x00FF00, 0xFF0000};
    for (size_t c = 0; c < 3; ++c) {
        EXPECT_EQ(At<uint32_t>(plot, 20 + 4 * c), 0xFFFFFFu) << c;
        EXPECT_EQ(At<uint32_t>(plot, 36 + 4 * c), c == 1 ? 0x00AF00u : second[c]) << c;
        EXPECT_EQ(At<uint32_t>(cumulative, 16 + 4 * c), 0xFFFFFFu) << c;
        EXPECT_EQ(At<uint32_t>(cumulative, 32 + 4 * c), second[c]) << c;
    }
}

} // namespace
