// The modules' kernels split over row bands give the same bytes as on one thread: random
// images of every bit depth a module takes, all four filter phases, heights that do not divide
// into the bands and single rows. The pool runs bands of a single row so that every band
// boundary is crossed.
#include "external/ImageFormat.h"
#include "external/LumoParamBlocks.h"
#include "external/LumoResult.h"
#include "libs/lumo/CBlackGainModule.h"
#include "libs/lumo/CCfaToRgbModule.h"
#include "libs/lumo/CContrastWindowModule.h"
#include "libs/lumo/CDisplayModule.h"
#include "libs/lumo/CHistogramModule.h"
#include "libs/lumo/CImageObject.h"
#include "libs/lumo/CLookUpTableModule.h"
#include "libs/lumo/COrientationModule.h"
#include "libs/lumo/CStatisticsModule.h"
#include "libs/lumo/SampleMapper.h"
#include "platform/RowBandPool.h"
#include "tests/lumo/ModuleStage.h"

#include <cstring>
#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <random>
#include <string>
#include <vector>

namespace {

using lumo::CImageObject;
using lumotest::Stage;

constexpr uint32_t HEIGHTS[] = {1, 2, 3, 7, 37};
constexpr uint32_t WIDTH = 29; // odd: rows end on either filter colour

platform::RowBandPool& Pool() {
    static platform::RowBandPool pool(3, 1);
    return pool;
}

// Random samples within `bits` significant bits.
void FillRandom(CImageObject& image, uint32_t bits, uint32_t seed) {
    std::mt19937 random(seed);
    const uint64_t format = image.GetFormat(nullptr);
    const uint32_t mask = bits >= 16 ? 0xFFFF : (1u << bits) - 1;
    void* data = image.GetFrameData(0, -1, 0);
    const size_t samples = image.GetFrameSize() / (ImageFormat::ContainerBits(format) / 8);
    for (size_t i = 0; i < samples; ++i) {
        if (ImageFormat::ContainerBits(format) == 8)
            static_cast<uint8_t*>(data)[i] = uint8_t(random() & mask);
        else
            static_cast<uint16_t*>(data)[i] = uint16_t(random() & mask);
    }
}

std::vector<uint8_t> Bytes(CImageObject& image) {
    const auto* p = static_cast<const uint8_t*>(image.GetFrameData(0, -1, 0));
    return std::vector<uint8_t>(p, p + image.GetFrameSize());
}

using MakeModule = std::function<std::unique_ptr<lumo::CProcessModule>()>;

// Runs a module made by `make` on one thread and a second one on the pool over the same input;
// both must write the same output bytes and the same origin.
void ExpectSameOnBands(const MakeModule& make, uint64_t format, uint32_t bits, uint32_t phase,
                       const std::string& what) {
    for (uint32_t height : HEIGHTS) {
        SCOPED_TRACE(what + " height " + std::to_string(height) + " phase " +
                     std::to_string(phase));
        CImageObject in;
        ASSERT_EQ(in.Allocate(WIDTH, height, format, 0, 1), LUMO_OK);
        in.SetOrigin(phase & 1, phase >> 1);
        FillRandom(in, bits, height * 4 + phase);
        std::unique_ptr<lumo::CProcessModule> single = make();
        std::unique_ptr<lumo::CProcessModule> banded = make();
        ASSERT_EQ(banded->SetParam(LUMO_PARAM_ROW_BANDS, LumoArg<CRowBands>(&Pool()), 0), LUMO_OK);
        Stage one{*single, {}};
        Stage many{*banded, {}};
        ASSERT_TRUE(one.Prepare(in));
        ASSERT_TRUE(many.Prepare(in));
        ASSERT_EQ(single->Execute(0), LUMO_OK);
        ASSERT_EQ(banded->Execute(0), LUMO_OK);
        EXPECT_EQ(Bytes(one.output), Bytes(many.output));
        uint32_t origin[2][2] = {};
        one.output.GetOrigin(&origin[0][0], &origin[0][1]);
        many.output.GetOrigin(&origin[1][0], &origin[1][1]);
        EXPECT_EQ(origin[0][0], origin[1][0]);
        EXPECT_EQ(origin[0][1], origin[1][1]);
    }
}

template <typename Block>
MakeModule WithBlock(std::function<std::unique_ptr<lumo::CProcessModule>()> make, Block block) {
    return [make, block] {
        std::unique_ptr<lumo::CProcessModule> module = make();
        EXPECT_EQ(module->SetParam(LUMO_PARAM_BLOCK12, LumoArg(&block), sizeof block), LUMO_OK);
        return module;
    };
}

uint64_t Grey(uint32_t container, uint32_t bits) {
    return ImageFormat::Make(container, bits, 1, 0, ImageFormat::CLASS_GREY);
}

uint64_t Cfa(uint32_t container, uint32_t bits) {
    return ImageFormat::Make(container, bits, 1, 0, ImageFormat::CLASS_CFA);
}

constexpr uint32_t BITS[] = {8, 10, 12, 16};

uint32_t ContainerOf(uint32_t bits) {
    return bits <= 8 ? 8 : 16;
}

TEST(RowBandKernels, BlackGainAndContrastWindowOfEveryDepth) {
    const auto blackGain = WithBlock([] { return std::make_unique<lumo::CBlackGainModule>(); },
                                     LumoBlackGainBlock{5.0, 1.7});
    LumoWindowBlock window{};
    window.minimum = 3.0;
    window.maximum = 200.0;
    const auto contrast =
        WithBlock([] { return std::make_unique<lumo::CContrastWindowModule>(); }, window);
    for (uint32_t bits : BITS) {
        ExpectSameOnBands(blackGain, Grey(ContainerOf(bits), bits), bits, 0, "black/gain");
        ExpectSameOnBands(contrast, Grey(ContainerOf(bits), bits), bits, 0, "window");
    }
    // Several channels take the per-pixel path of the tables.
    ExpectSameOnBands(blackGain, ImageFormat::Make(16, 12, 3, 26, ImageFormat::CLASS_RGB), 12, 0,
                      "black/gain rgb");
}

TEST(RowBandKernels, LookUpTablesOfGreyAndRgbImages) {
    const MakeModule gamma = [] {
        auto module = std::make_unique<lumo::CLookUpTableModule>();
        EXPECT_EQ(module->SetParam(lumo::CLookUpTableModule::PARAM_SELECT, 1, 1), LUMO_OK);
        return module;
    };
    for (uint32_t bits : BITS)
        ExpectSameOnBands(gamma, Grey(ContainerOf(bits), bits), bits, 0, "gamma grey");
    ExpectSameOnBands(gamma, ImageFormat::Make(8, 8, 4, 58, ImageFormat::CLASS_RGB), 8, 0,
                      "gamma rgbx");
    ExpectSameOnBands(gamma, ImageFormat::Make(16, 12, 3, 26, ImageFormat::CLASS_RGB), 12, 0,
                      "gamma rgb16");
}

TEST(RowBandKernels, OrientationInEveryDirectionAndPixelSize) {
    const uint64_t formats[] = {Grey(8, 8), Grey(16, 12),
                                ImageFormat::Make(8, 8, 4, 58, ImageFormat::CLASS_RGB),
                                ImageFormat::Make(16, 16, 3, 26, ImageFormat::CLASS_RGB)};
    for (uint32_t mirror = 1; mirror < 4; ++mirror) {
        const auto orientation =
            WithBlock([] { return std::make_unique<lumo::COrientationModule>(); },
                      LumoOrientationBlock{mirror & 1, mirror >> 1});
        for (uint64_t format : formats)
            ExpectSameOnBands(orientation, format, ImageFormat::SignificantBits(format), 1,
                              "mirror " + std::to_string(mirror));
    }
}

TEST(RowBandKernels, DemosaicOfEveryPhaseDepthAndMethodWithWhiteBalance) {
    for (uint32_t method : {0u, 1u})
        for (bool balanced : {false, true}) {
            LumoCfaBlock block{};
            block.method = method;
            block.gains[0] = balanced ? 1.8 : 1.0;
            block.gains[1] = 1.0;
            block.gains[2] = balanced ? 2.3 : 1.0;
            const auto demosaic =
                WithBlock([] { return std::make_unique<lumo::CCfaToRgbModule>(); }, block);
            for (uint32_t bits : BITS)
                for (uint32_t phase = 0; phase < 4; ++phase)
                    ExpectSameOnBands(demosaic, Cfa(ContainerOf(bits), bits), bits, phase,
                                      "method " + std::to_string(method) + " bits " +
                                          std::to_string(bits) + (balanced ? " balanced" : ""));
        }
}

// The results of an analyze module (8-byte values: counts or doubles) on one thread and on
// the pool.
template <typename Module>
void ExpectSameAnalysisOnBands(uint64_t format, uint32_t height) {
    SCOPED_TRACE("height " + std::to_string(height));
    CImageObject in;
    ASSERT_EQ(in.Allocate(WIDTH, height, format, 0, 1), LUMO_OK);
    FillRandom(in, ImageFormat::SignificantBits(format), height);
    Module single;
    Module banded;
    ASSERT_EQ(banded.SetParam(LUMO_PARAM_ROW_BANDS, LumoArg<CRowBands>(&Pool()), 0), LUMO_OK);
    CLumoImage* images[1] = {&in};
    ASSERT_EQ(single.SetImages(1, images), LUMO_OK);
    ASSERT_EQ(banded.SetImages(1, images), LUMO_OK);
    ASSERT_EQ(single.Execute(CLumoModule::EXECUTE_ANALYSE), LUMO_OK);
    ASSERT_EQ(banded.Execute(CLumoModule::EXECUTE_ANALYSE), LUMO_OK);
    uint64_t channels[2] = {};
    uint64_t values[2] = {};
    ASSERT_EQ(single.QueryParam(30, 0, LumoArg(&channels[0]), LumoArg(&values[0]), 0), LUMO_OK);
    ASSERT_EQ(banded.QueryParam(30, 0, LumoArg(&channels[1]), LumoArg(&values[1]), 0), LUMO_OK);
    ASSERT_EQ(channels[0], channels[1]);
    ASSERT_EQ(values[0], values[1]);
    for (uint64_t c = 0; c < channels[0]; ++c) {
        std::vector<uint64_t> results[2] = {std::vector<uint64_t>(values[0]),
                                            std::vector<uint64_t>(values[0])};
        ASSERT_EQ(single.GetParam(30, c, LumoArg(results[0].data())), LUMO_OK);
        ASSERT_EQ(banded.GetParam(30, c, LumoArg(results[1].data())), LUMO_OK);
        EXPECT_EQ(results[0], results[1]) << "channel " << c;
    }
}

TEST(RowBandKernels, HistogramAndStatisticsCountEveryBandOnce) {
    const uint64_t formats[] = {Grey(8, 8), Grey(16, 12), Grey(16, 16),
                                ImageFormat::Make(8, 8, 4, 58, ImageFormat::CLASS_RGB)};
    for (uint64_t format : formats)
        for (uint32_t height : HEIGHTS) {
            ExpectSameAnalysisOnBands<lumo::CHistogramModule>(format, height);
            ExpectSameAnalysisOnBands<lumo::CStatisticsModule>(format, height);
        }
}

// The display conversion of every input the display takes, banded and on one thread.
TEST(RowBandKernels, DisplayConversionOfEveryInput) {
    const uint64_t formats[] = {
        ImageFormat::GREY8,
        ImageFormat::Make(16, 12, 1, 0, ImageFormat::CLASS_GREY),
        ImageFormat::Make(8, 8, 4, 58, ImageFormat::CLASS_RGB),
        ImageFormat::Make(8, 8, 3, 26, ImageFormat::CLASS_RGB),
        ImageFormat::Make(8, 6, 3, 26, ImageFormat::CLASS_RGB),
        ImageFormat::Make(16, 12, 3, 26, ImageFormat::CLASS_RGB),
    };
    for (uint64_t format : formats)
        for (uint32_t height : HEIGHTS) {
            SCOPED_TRACE("format " + std::to_string(format) + " height " + std::to_string(height));
            CImageObject in;
            ASSERT_EQ(in.Allocate(WIDTH, height, format, 0, 1), LUMO_OK);
            FillRandom(in, ImageFormat::SignificantBits(format), height);
            std::vector<uint8_t> shown[2];
            for (int banded = 0; banded < 2; ++banded) {
                lumo::CDisplayModule display;
                if (banded) {
                    ASSERT_EQ(
                        display.SetParam(LUMO_PARAM_ROW_BANDS, LumoArg<CRowBands>(&Pool()), 0),
                        LUMO_OK);
                }
                CLumoImage* images[1] = {&in};
                ASSERT_EQ(display.SetImages(1, images), LUMO_OK);
                ASSERT_EQ(display.Execute(CLumoModule::EXECUTE_TAKE_IMAGE), LUMO_OK);
                const LumoDisplayFrame* frame = nullptr;
                ASSERT_EQ(display.GetParam(lumo::CDisplayModule::PARAM_FRAME, LumoArg(&frame), 0),
                          LUMO_OK);
                ASSERT_NE(frame, nullptr);
                shown[banded].assign(frame->pixels, frame->pixels + size_t(frame->width) *
                                                                        frame->height *
                                                                        frame->bytesPerPixel);
            }
            EXPECT_EQ(shown[0], shown[1]);
        }
}

// 8-bit samples through one 8-bit table take the widest path the processor has, in blocks of
// 64 with the rest one by one: every sample must still be its table entry.
TEST(SampleMapperBytes, EverySampleIsItsTableEntryAtAnyLength) {
    lumo::SampleMapper mapper;
    mapper.Build({8, 8, 8, 8, 1, 1},
                 [](uint32_t, uint32_t v) { return double((v * 7 + 3) % 256); });
    for (uint32_t width : {1u, 63u, 64u, 65u, 200u, 1000u}) {
        CImageObject in;
        CImageObject out;
        ASSERT_EQ(in.Allocate(width, 3, Grey(8, 8), 0, 1), LUMO_OK);
        ASSERT_EQ(out.Allocate(width, 3, Grey(8, 8), 0, 1), LUMO_OK);
        FillRandom(in, 8, width);
        lumo::PixelView from;
        lumo::PixelView to;
        ASSERT_TRUE(lumo::PixelView::Of(&in, from));
        ASSERT_TRUE(lumo::PixelView::Of(&out, to));
        mapper.Apply(from, to, &Pool());
        for (size_t i = 0; i < from.Samples(); ++i)
            ASSERT_EQ(to.data[i], mapper.At(0, from.data[i])) << "width " << width << " at " << i;
    }
}

} // namespace
