// The analyze modules: histogram counts, line and column profiles, statistics, colour blocks.
#include "external/ImageFormat.h"
#include "external/LumoResult.h"
#include "libs/lumo/CHistogramModule.h"
#include "libs/lumo/CImageObject.h"
#include "libs/lumo/CProfileModule.h"
#include "libs/lumo/CStatisticsModule.h"

#include <cmath>
#include <cstring>
#include <gtest/gtest.h>
#include <vector>

namespace {

using lumo::CImageObject;

// A 4 x 3 RGB image (R, G, B, X): red = x, green = 10 * y, blue = 7.
void MakeRgb(CImageObject& image) {
    ASSERT_EQ(image.Allocate(4, 3, ImageFormat::Make(8, 8, 4, 58, 4), 0, 1), LUMO_OK);
    uint8_t* p = static_cast<uint8_t*>(image.GetFrameData(0, -1, 0));
    for (uint32_t y = 0; y < 3; ++y)
        for (uint32_t x = 0; x < 4; ++x) {
            uint8_t* px = p + 4 * (y * 4 + x);
            px[0] = uint8_t(x);
            px[1] = uint8_t(10 * y);
            px[2] = 7;
            px[3] = 99; // padding: never analysed
        }
}

void Attach(lumo::CAnalyzeModule& module, CImageObject& image) {
    CLumoImage* images[1] = {&image};
    ASSERT_EQ(module.SetImages(1, images), LUMO_OK);
}

TEST(HistogramModule, CountsEveryColourChannelOfTheSource) {
    lumo::CHistogramModule module;
    uint64_t channels = 9;
    uint64_t bins = 9;
    ASSERT_EQ(module.QueryParam(30, 0, LumoArg(&channels), LumoArg(&bins), 0), LUMO_OK);
    EXPECT_EQ(channels, 0u);                                          // nothing analysed yet
    EXPECT_NE(module.Execute(CLumoModule::EXECUTE_ANALYSE), LUMO_OK); // no source
    CImageObject rgb;
    MakeRgb(rgb);
    Attach(module, rgb);
    EXPECT_EQ(module.Execute(CLumoModule::EXECUTE_PROCESS), LUMO_E_NOTSUPPORTED);
    ASSERT_EQ(module.Execute(CLumoModule::EXECUTE_ANALYSE), LUMO_OK);
    ASSERT_EQ(module.QueryParam(30, 0, LumoArg(&channels), LumoArg(&bins), 0), LUMO_OK);
    ASSERT_EQ(channels, 3u);
    ASSERT_EQ(bins, 256u);
    std::vector<uint64_t> h(256);
    ASSERT_EQ(module.GetParam(30, 0, LumoArg(h.data())), LUMO_OK);
    EXPECT_EQ(h[0] + h[1] + h[2] + h[3], 12u);
    EXPECT_EQ(h[1], 3u);
    ASSERT_EQ(module.GetParam(30, 1, LumoArg(h.data())), LUMO_OK);
    EXPECT_EQ(h[0], 4u);
    EXPECT_EQ(h[10], 4u);
    EXPECT_EQ(h[20], 4u);
    ASSERT_EQ(module.GetParam(30, 2, LumoArg(h.data())), LUMO_OK);
    EXPECT_EQ(h[7], 12u);
    EXPECT_EQ(h[99], 0u);
    EXPECT_NE(module.GetParam(30, 3, LumoArg(h.data())), LUMO_OK);

    CImageObject grey12; // 12 significant bits: 4096 bins, values above them in the last
    ASSERT_EQ(grey12.Allocate(3, 1, ImageFormat::Make(16, 12, 1, 0, 1), 0, 1), LUMO_OK);
    const uint16_t values[3] = {5, 4095, 65535};
    std::memcpy(grey12.GetFrameData(0, -1, 0), values, sizeof(values));
    Attach(module, grey12);
    ASSERT_EQ(module.Execute(CLumoModule::EXECUTE_ANALYSE), LUMO_OK);
    ASSERT_EQ(module.QueryParam(30, 0, LumoArg(&channels), LumoArg(&bins), 0), LUMO_OK);
    ASSERT_EQ(bins, 4096u);
    std::vector<uint64_t> g(4096);
    ASSERT_EQ(module.GetParam(30, 0, LumoArg(g.data())), LUMO_OK);
    EXPECT_EQ(g[5], 1u);
    EXPECT_EQ(g[4095], 2u);
}

TEST(HistogramModule, KeepsOneColourBlockPerView) {
    lumo::CHistogramModule module;
    uint8_t plot[56] = {};
    uint8_t cumulative[48] = {};
    plot[20] = 0x11;
    cumulative[16] = 0x22;
    ASSERT_EQ(module.SetParam(16, 0, 0), LUMO_OK);
    ASSERT_EQ(module.SetParam(13, LumoArg(plot), sizeof(plot)), LUMO_OK);
    ASSERT_EQ(module.SetParam(16, 1, 0), LUMO_OK);
    ASSERT_EQ(module.SetParam(13, LumoArg(cumulative), sizeof(cumulative)), LUMO_OK);
    uint8_t back[56] = {};
    ASSERT_EQ(module.SetParam(16, 0, 0), LUMO_OK);
    ASSERT_EQ(module.GetParam(13, LumoArg(back), sizeof(back)), LUMO_OK);
    EXPECT_EQ(back[20], 0x11);
    ASSERT_EQ(module.SetParam(16, 1, 0), LUMO_OK);
    ASSERT_EQ(module.GetParam(13, LumoArg(back), sizeof(back)), LUMO_OK);
    EXPECT_EQ(back[16], 0x22);
    EXPECT_EQ(back[20], 0);
    EXPECT_EQ(module.SetParam(18, 0, LumoArg("Options")), LUMO_OK);
}

TEST(ProfileModules, ReadOneRowOrOneColumn) {
    CImageObject rgb;
    MakeRgb(rgb);
    lumo::CProfileModule line(false);
    lumo::CProfileModule column(true);
    EXPECT_EQ(line.GetObjectId(), 72u);
    EXPECT_EQ(column.GetObjectId(), 73u);
    Attach(line, rgb);
    Attach(column, rgb);
    ASSERT_EQ(line.SetParam(lumo::CProfileModule::PARAM_INDEX, 2, 0), LUMO_OK);
    ASSERT_EQ(column.SetParam(lumo::CProfileModule::PARAM_INDEX, 1000, 0),
              LUMO_OK); // beyond: the last column
    ASSERT_EQ(line.Execute(CLumoModule::EXECUTE_ANALYSE), LUMO_OK);
    ASSERT_EQ(column.Execute(CLumoModule::EXECUTE_ANALYSE), LUMO_OK);
    std::vector<uint32_t> v(4);
    ASSERT_EQ(line.GetParam(30, 0, LumoArg(v.data())), LUMO_OK);
    EXPECT_EQ(v, (std::vector<uint32_t>{0, 1, 2, 3}));
    ASSERT_EQ(line.GetParam(30, 1, LumoArg(v.data())), LUMO_OK);
    EXPECT_EQ(v, (std::vector<uint32_t>{20, 20, 20, 20}));
    std::vector<uint32_t> c(3);
    ASSERT_EQ(column.GetParam(30, 0, LumoArg(c.data())), LUMO_OK);
    EXPECT_EQ(c, (std::vector<uint32_t>{3, 3, 3}));
    ASSERT_EQ(column.GetParam(30, 1, LumoArg(c.data())), LUMO_OK);
    EXPECT_EQ(c, (std::vector<uint32_t>{0, 10, 20}));
}

TEST(StatisticsModule, MinimumMaximumMeanAndDeviationPerChannel) {
    CImageObject rgb;
    MakeRgb(rgb);
    lumo::CStatisticsModule module;
    Attach(module, rgb);
    ASSERT_EQ(module.Execute(CLumoModule::EXECUTE_ANALYSE), LUMO_OK);
    double s[4];
    ASSERT_EQ(module.GetParam(30, 0, LumoArg(s)), LUMO_OK);
    EXPECT_EQ(s[0], 0.0);
    EXPECT_EQ(s[1], 3.0);
    EXPECT_DOUBLE_EQ(s[2], 1.5);
    EXPECT_DOUBLE_EQ(s[3], std::sqrt(1.25));
    ASSERT_EQ(module.GetParam(30, 1, LumoArg(s)), LUMO_OK);
    EXPECT_DOUBLE_EQ(s[2], 10.0);
    EXPECT_DOUBLE_EQ(s[3], std::sqrt(200.0 / 3.0));
    ASSERT_EQ(module.GetParam(30, 2, LumoArg(s)), LUMO_OK);
    EXPECT_EQ(s[0], 7.0);
    EXPECT_EQ(s[3], 0.0);
    EXPECT_NE(module.GetParam(30, 3, LumoArg(s)), LUMO_OK);
}

} // namespace
