// The processing modules against simple references: black level and gain, orientation with the
// origin, demosaicing for all four filter phases, look-up tables, the contrast window, display.
#include "external/ImageFormat.h"
#include "external/LumoResult.h"
#include "libs/lumo/CBlackGainModule.h"
#include "libs/lumo/CCfaToRgbModule.h"
#include "libs/lumo/CContrastWindowModule.h"
#include "libs/lumo/CDisplayModule.h"
#include "libs/lumo/CImageObject.h"
#include "libs/lumo/CLookUpTableModule.h"
#include "libs/lumo/COrientationModule.h"
#include "tests/lumo/ModuleStage.h"

#include <cmath>
#include <cstring>
#include <gtest/gtest.h>
#include <vector>

namespace {

using lumo::CImageObject;

using lumotest::Stage;

template <typename T>
T* Data(CImageObject& image) {
    return static_cast<T*>(image.GetFrameData(0, -1, 0));
}

template <typename T>
void Fill(CImageObject& image, const std::vector<T>& values) {
    ASSERT_EQ(image.GetFrameSize(), values.size() * sizeof(T));
    std::memcpy(Data<T>(image), values.data(), image.GetFrameSize());
}

// A mosaic of one colour (r, g, b) with the filter phase of `image`'s origin.
template <typename T>
void Mosaic(CImageObject& image, uint32_t r, uint32_t g, uint32_t b) {
    uint32_t ox = 0;
    uint32_t oy = 0;
    image.GetOrigin(&ox, &oy);
    T* p = Data<T>(image);
    for (uint32_t y = 0; y < image.GetHeight(); ++y)
        for (uint32_t x = 0; x < image.GetWidth(); ++x) {
            const uint32_t phase = 2 * ((oy + y) & 1) + ((ox + x) & 1);
            p[y * image.GetWidth() + x] = T(phase == 1 ? r : phase == 2 ? b : g);
        }
}

TEST(BlackGainModule, IdentityByDefaultThenClampedLinear) {
    lumo::CBlackGainModule module;
    Stage stage{module, {}};
    CImageObject in;
    ASSERT_EQ(in.Allocate(4, 1, ImageFormat::GREY8, 0, 1), LUMO_OK);
    Fill<uint8_t>(in, {0, 9, 100, 255});
    ASSERT_TRUE(stage.Prepare(in));
    ASSERT_EQ(module.Execute(0), LUMO_OK);
    EXPECT_EQ(std::vector<uint8_t>(Data<uint8_t>(stage.output), Data<uint8_t>(stage.output) + 4),
              (std::vector<uint8_t>{0, 9, 100, 255}));

    double block[2] = {10.0, 2.0};
    ASSERT_EQ(module.SetParam(12, LumoArg(block), sizeof(block)), LUMO_OK);
    ASSERT_EQ(module.Execute(0), LUMO_OK);
    EXPECT_EQ(std::vector<uint8_t>(Data<uint8_t>(stage.output), Data<uint8_t>(stage.output) + 4),
              (std::vector<uint8_t>{0, 0, 180, 255}));

    CImageObject in12; // 12 significant bits: clipped at 4095, not at 65535
    ASSERT_EQ(in12.Allocate(3, 1, ImageFormat::Make(16, 12, 1, 0, 1), 0, 1), LUMO_OK);
    Fill<uint16_t>(in12, {5, 1000, 3000});
    ASSERT_TRUE(stage.Prepare(in12));
    ASSERT_EQ(module.Execute(0), LUMO_OK);
    const uint16_t* out = Data<uint16_t>(stage.output);
    EXPECT_EQ(out[0], 0);
    EXPECT_EQ(out[1], 1980);
    EXPECT_EQ(out[2], 4095);
    double bad[2] = {NAN, 1.0};
    EXPECT_NE(module.SetParam(12, LumoArg(bad), sizeof(bad)), LUMO_OK);
}

TEST(OrientationModule, MirrorsAndMovesTheOriginWithTheFilterPhase) {
    lumo::COrientationModule module;
    Stage stage{module, {}};
    CImageObject in;
    ASSERT_EQ(in.Allocate(3, 2, ImageFormat::CFA8, 0, 1), LUMO_OK);
    Fill<uint8_t>(in, {1, 2, 3, 4, 5, 6});
    ASSERT_TRUE(stage.Prepare(in));
    const uint32_t flips[4][2] = {{0, 0}, {1, 0}, {0, 1}, {1, 1}};
    const std::vector<uint8_t> expected[4] = {
        {1, 2, 3, 4, 5, 6}, {3, 2, 1, 6, 5, 4}, {4, 5, 6, 1, 2, 3}, {6, 5, 4, 3, 2, 1}};
    for (int k = 0; k < 4; ++k) {
        ASSERT_EQ(module.SetParam(12, LumoArg(flips[k]), 8), LUMO_OK);
        ASSERT_EQ(module.Execute(0), LUMO_OK);
        const uint8_t* out = Data<uint8_t>(stage.output);
        EXPECT_EQ(std::vector<uint8_t>(out, out + 6), expected[k]) << k;
        // The sensor phase of output pixel (0, 0) is that of the input pixel it came from.
        uint32_t ox = 0;
        uint32_t oy = 0;
        stage.output.GetOrigin(&ox, &oy);
        EXPECT_EQ(ox & 1, (flips[k][0] ? 2u : 0u) & 1) << k;
        EXPECT_EQ(oy & 1, (flips[k][1] ? 1u : 0u) & 1) << k;
    }

    // Mirrored raw data still demosaics to the colour it shows.
    lumo::CCfaToRgbModule cfa;
    Stage rgb{cfa, {}};
    CImageObject bayer;
    ASSERT_EQ(bayer.Allocate(7, 5, ImageFormat::CFA8, 0, 1), LUMO_OK);
    Mosaic<uint8_t>(bayer, 200, 100, 30);
    ASSERT_TRUE(stage.Prepare(bayer));
    ASSERT_EQ(module.Execute(0), LUMO_OK);
    ASSERT_TRUE(rgb.Prepare(stage.output));
    ASSERT_EQ(cfa.Execute(0), LUMO_OK);
    const uint8_t* px = Data<uint8_t>(rgb.output);
    for (size_t i = 0; i < 7 * 5; ++i)
        ASSERT_EQ(px[4 * i] * 65536 + px[4 * i + 1] * 256 + px[4 * i + 2], 200 * 65536 + 25630)
            << i;
}

TEST(OrientationModule, MirrorsLongRowsOfEveryPixelSizeLikeAReference) {
    // Widths that leave pixels over after the eight-byte steps, and rows of several 64-byte
    // blocks with bytes over.
    const struct {
        uint64_t format;
        uint32_t width;
    } cases[] = {
        {ImageFormat::GREY8, 21},
        {ImageFormat::Make(16, 12, 1, 0, ImageFormat::CLASS_GREY), 13},
        {ImageFormat::Make(8, 8, 4, 58, ImageFormat::CLASS_RGB), 11},
        {ImageFormat::Make(16, 16, 3, 26, ImageFormat::CLASS_RGB), 5},
        {ImageFormat::GREY8, 150},
        {ImageFormat::Make(16, 12, 1, 0, ImageFormat::CLASS_GREY), 77},
        {ImageFormat::Make(8, 8, 4, 58, ImageFormat::CLASS_RGB), 41},
    };
    lumo::COrientationModule module;
    const uint32_t mirror[2] = {1, 1};
    ASSERT_EQ(module.SetParam(12, LumoArg(mirror), 8), LUMO_OK);
    for (const auto& c : cases) {
        CImageObject in;
        ASSERT_EQ(in.Allocate(c.width, 3, c.format, 0, 1), LUMO_OK);
        const size_t pixelBytes = ImageFormat::BytesPerPixel(c.format);
        std::vector<uint8_t> bytes(in.GetFrameSize());
        for (size_t i = 0; i < bytes.size(); ++i)
            bytes[i] = uint8_t(i * 7 + 3);
        Fill<uint8_t>(in, bytes);
        Stage stage{module, {}};
        ASSERT_TRUE(stage.Prepare(in));
        ASSERT_EQ(module.Execute(0), LUMO_OK);
        const uint8_t* out = Data<uint8_t>(stage.output);
        for (uint32_t y = 0; y < 3; ++y)
            for (uint32_t x = 0; x < c.width; ++x)
                ASSERT_EQ(
                    std::memcmp(out + (y * c.width + x) * pixelBytes,
                                bytes.data() + ((2 - y) * c.width + (c.width - 1 - x)) * pixelBytes,
                                pixelBytes),
                    0)
                    << c.width << " " << x << "," << y;
    }
}

TEST(CfaToRgbModule, UniformColourForAllFourPhasesAndBothMethods) {
    for (uint32_t method : {0u, 1u})
        for (uint32_t phase = 0; phase < 4; ++phase)
            for (uint32_t container : {8u, 16u}) {
                lumo::CCfaToRgbModule module;
                uint8_t block[32] = {};
                std::memcpy(block, &method, 4);
                const double ones[3] = {1, 1, 1};
                std::memcpy(block + 8, ones, 24);
                ASSERT_EQ(module.SetParam(12, LumoArg(block), sizeof(block)), LUMO_OK);
                Stage stage{module, {}};
                CImageObject in;
                const uint32_t bits = container == 8 ? 8 : 12;
                ASSERT_EQ(in.Allocate(9, 6, ImageFormat::Make(container, bits, 1, 0, 2), 0, 1),
                          LUMO_OK);
                in.SetOrigin(phase & 1, phase >> 1);
                const uint32_t r = container == 8 ? 210 : 3000;
                const uint32_t g = container == 8 ? 120 : 2000;
                const uint32_t b = container == 8 ? 40 : 500;
                if (container == 8)
                    Mosaic<uint8_t>(in, r, g, b);
                else
                    Mosaic<uint16_t>(in, r, g, b);
                ASSERT_TRUE(stage.Prepare(in));
                ASSERT_EQ(stage.output.GetFormat(nullptr) >> 24, 4u);
                ASSERT_EQ(module.Execute(0), LUMO_OK);
                const uint32_t n = ImageFormat::Channels(stage.output.GetFormat(nullptr));
                EXPECT_EQ(n, container == 8 ? 4u : 3u);
                for (uint32_t i = 0; i < 9 * 6; ++i) {
                    uint32_t v[3];
                    for (uint32_t c = 0; c < 3; ++c)
                        v[c] = container == 8 ? Data<uint8_t>(stage.output)[i * n + c]
                                              : Data<uint16_t>(stage.output)[i * n + c];
                    ASSERT_EQ(v[0], r) << method << " " << phase << " " << container << " " << i;
                    ASSERT_EQ(v[1], g) << method << " " << phase << " " << container << " " << i;
                    ASSERT_EQ(v[2], b) << method << " " << phase << " " << container << " " << i;
                }
            }
}

TEST(CfaToRgbModule, BilinearFollowsARampAndWhiteBalanceScales) {
    lumo::CCfaToRgbModule module;
    Stage stage{module, {}};
    CImageObject in;
    ASSERT_EQ(in.Allocate(10, 4, ImageFormat::CFA8, 0, 1), LUMO_OK);
    // Red grows by 10 per column, green 5 per column, blue constant: every interior pixel's
    // missing values are exact averages of the ramp.
    uint8_t* p = Data<uint8_t>(in);
    for (uint32_t y = 0; y < 4; ++y)
        for (uint32_t x = 0; x < 10; ++x) {
            const uint32_t phase = 2 * (y & 1) + (x & 1);
            p[y * 10 + x] = uint8_t(phase == 1 ? 10 * x : phase == 2 ? 77 : 5 * x);
        }
    ASSERT_TRUE(stage.Prepare(in));
    ASSERT_EQ(module.Execute(0), LUMO_OK);
    const uint8_t* out = Data<uint8_t>(stage.output);
    for (uint32_t y = 0; y < 4; ++y)
        for (uint32_t x = 1; x < 9; ++x) {
            const uint8_t* px = out + 4 * (y * 10 + x);
            EXPECT_EQ(px[0], 10 * x) << x << "," << y;
            EXPECT_EQ(px[1], 5 * x) << x << "," << y;
            EXPECT_EQ(px[2], 77) << x << "," << y;
        }

    uint8_t block[32] = {};
    const double gains[3] = {2.0, 1.0, 0.5};
    std::memcpy(block + 8, gains, 24);
    ASSERT_EQ(module.SetParam(12, LumoArg(block), sizeof(block)), LUMO_OK);
    ASSERT_EQ(module.Execute(0), LUMO_OK);
    const uint8_t* px = out + 4 * (1 * 10 + 8);
    EXPECT_EQ(px[0], 160);
    EXPECT_EQ(px[1], 40);
    EXPECT_EQ(px[2], 39); // 38.5 rounds up
    CImageObject grey;    // not colour-filter-array data: refused at preparation or execution
    ASSERT_EQ(grey.Allocate(4, 4, ImageFormat::Make(8, 8, 3, 0, 4), 0, 1), LUMO_OK);
    EXPECT_FALSE(stage.Prepare(grey) && module.Execute(0) == LUMO_OK);
}

TEST(LookUpTableModule, FactoryTablesMatchTheirCurvesFor8And16Bits) {
    const std::vector<lumo::LutTable> factory = lumo::CLookUpTableModule::FactoryTables();
    ASSERT_EQ(factory.size(), 6u);
    double (*curves[6])(double) = {[](double x) { return x; },
                                   [](double x) { return std::pow(x, 0.45); },
                                   [](double x) { return std::pow(x, 2.2); },
                                   [](double x) { return 1.0 - x; },
                                   [](double x) { return std::log1p(255.0 * x) / std::log(256.0); },
                                   [](double x) { return 0.5 - 0.5 * std::cos(M_PI * x); }};
    lumo::CLookUpTableModule module;
    Stage stage{module, {}};
    CImageObject in8;
    ASSERT_EQ(in8.Allocate(256, 1, ImageFormat::GREY8, 0, 1), LUMO_OK);
    for (uint32_t v = 0; v < 256; ++v)
        Data<uint8_t>(in8)[v] = uint8_t(v);
    CImageObject in12;
    ASSERT_EQ(in12.Allocate(4096, 1, ImageFormat::Make(16, 12, 1, 0, 1), 0, 1), LUMO_OK);
    for (uint32_t v = 0; v < 4096; ++v)
        Data<uint16_t>(in12)[v] = uint16_t(v);
    for (uint32_t k = 0; k < 6; ++k) {
        ASSERT_EQ(module.SetParam(lumo::CLookUpTableModule::PARAM_SELECT, 1, k), LUMO_OK);
        ASSERT_TRUE(stage.Prepare(in8));
        ASSERT_EQ(module.Execute(0), LUMO_OK);
        for (uint32_t v = 0; v < 256; ++v)
            ASSERT_NEAR(Data<uint8_t>(stage.output)[v], curves[k](v / 255.0) * 255.0, 0.51)
                << factory[k].name << " " << v;
        ASSERT_TRUE(stage.Prepare(in12));
        ASSERT_EQ(module.Execute(0), LUMO_OK);
        const double tolerance = 0.51;
        for (uint32_t v = 0; v < 4096; v += 7)
            ASSERT_NEAR(Data<uint16_t>(stage.output)[v], curves[k](v / 4095.0) * 4095.0, tolerance)
                << factory[k].name << " " << v;
    }
    EXPECT_NE(module.SetParam(lumo::CLookUpTableModule::PARAM_SELECT, 1, 6), LUMO_OK);
    EXPECT_NE(module.SetParam(lumo::CLookUpTableModule::PARAM_SELECT, 2, 0), LUMO_OK);

    // Per channel on RGB data: a table whose channels differ.
    std::vector<uint16_t> points(768);
    for (uint32_t i = 0; i < 256; ++i) {
        points[i] = uint16_t(i * 257);               // red: identity
        points[256 + i] = uint16_t(65535 - i * 257); // green: inverted
        points[512 + i] = 0;                         // blue: black
    }
    ASSERT_EQ(module.SetParam(lumo::CLookUpTableModule::PARAM_POINTS, LumoArg(points.data()), 0),
              LUMO_OK);
    CImageObject rgb;
    ASSERT_EQ(rgb.Allocate(2, 1, ImageFormat::Make(8, 8, 4, 58, 4), 0, 1), LUMO_OK);
    Fill<uint8_t>(rgb, {10, 20, 30, 0, 200, 100, 50, 0});
    ASSERT_TRUE(stage.Prepare(rgb));
    uint8_t block12[184] = {};
    uint32_t mode = 3;
    std::memcpy(block12 + 8, &mode, 4);
    ASSERT_EQ(module.SetParam(12, LumoArg(block12), sizeof(block12)), LUMO_OK);
    ASSERT_EQ(module.Execute(0), LUMO_OK);
    const uint8_t* out = Data<uint8_t>(stage.output);
    EXPECT_EQ(std::vector<uint8_t>(out, out + 3), (std::vector<uint8_t>{10, 235, 0}));
    EXPECT_EQ(std::vector<uint8_t>(out + 4, out + 7), (std::vector<uint8_t>{200, 155, 0}));
}

TEST(ContrastWindowModule, MapsTheWindowOntoTheFullOutputRange) {
    lumo::CContrastWindowModule module;
    Stage stage{module, {}};
    CImageObject in;
    ASSERT_EQ(in.Allocate(5, 1, ImageFormat::GREY8, 0, 1), LUMO_OK);
    Fill<uint8_t>(in, {0, 50, 100, 150, 255});
    ASSERT_TRUE(stage.Prepare(in));
    uint8_t block[128] = {};
    const double lo = 50.0;
    const double hi = 150.0;
    std::memcpy(block + 16, &lo, 8);
    std::memcpy(block + 24, &hi, 8);
    ASSERT_EQ(module.SetParam(12, LumoArg(block), sizeof(block)), LUMO_OK);
    ASSERT_EQ(module.Execute(0), LUMO_OK);
    const uint8_t* out = Data<uint8_t>(stage.output);
    EXPECT_EQ(std::vector<uint8_t>(out, out + 5), (std::vector<uint8_t>{0, 0, 128, 255, 255}));

    CImageObject in12; // reset to the input's range: 12 bits onto 8
    ASSERT_EQ(in12.Allocate(4, 1, ImageFormat::Make(16, 12, 1, 0, 1), 0, 1), LUMO_OK);
    Fill<uint16_t>(in12, {0, 1000, 2048, 4095});
    ASSERT_TRUE(stage.Prepare(in12));
    EXPECT_EQ(stage.output.GetFormat(nullptr), ImageFormat::GREY8);
    ASSERT_EQ(module.SetParam(lumo::CContrastWindowModule::PARAM_RESET_WINDOW, 1, 0), LUMO_OK);
    ASSERT_EQ(module.Execute(0), LUMO_OK);
    out = Data<uint8_t>(stage.output);
    EXPECT_EQ(std::vector<uint8_t>(out, out + 4), (std::vector<uint8_t>{0, 62, 128, 255}));
    uint8_t back[128] = {};
    ASSERT_EQ(module.GetParam(12, LumoArg(back), sizeof(back)), LUMO_OK);
    double max = 0;
    std::memcpy(&max, back + 24, 8);
    EXPECT_EQ(max, 4095.0);
}

TEST(DisplayModule, TakesGreyAndRgbImagesIntoDisplayBuffers) {
    lumo::CDisplayModule display;
    const LumoDisplayFrame* frame = nullptr;
    ASSERT_EQ(display.GetParam(lumo::CDisplayModule::PARAM_FRAME, LumoArg(&frame), 0), LUMO_OK);
    EXPECT_EQ(frame, nullptr);
    CImageObject grey;
    ASSERT_EQ(grey.Allocate(3, 1, ImageFormat::Make(16, 12, 1, 0, 1), 0, 1), LUMO_OK);
    Fill<uint16_t>(grey, {0, 0x123, 0xFFF});
    CLumoImage* one[1] = {&grey};
    ASSERT_EQ(display.SetImages(1, one), LUMO_OK);
    ASSERT_EQ(display.Execute(CLumoModule::EXECUTE_TAKE_IMAGE), LUMO_OK);
    ASSERT_EQ(display.GetParam(lumo::CDisplayModule::PARAM_FRAME, LumoArg(&frame), 0), LUMO_OK);
    ASSERT_NE(frame, nullptr);
    EXPECT_EQ(frame->bytesPerPixel, 1u);
    EXPECT_EQ(std::vector<uint8_t>(frame->pixels, frame->pixels + 3),
              (std::vector<uint8_t>{0, 0x12, 0xFF}));

    CImageObject rgb;
    ASSERT_EQ(rgb.Allocate(2, 1, ImageFormat::Make(8, 8, 4, 58, 4), 0, 1), LUMO_OK);
    Fill<uint8_t>(rgb, {1, 2, 3, 0, 4, 5, 6, 0});
    one[0] = &rgb;
    ASSERT_EQ(display.SetImages(1, one), LUMO_OK);
    ASSERT_EQ(display.Execute(CLumoModule::EXECUTE_TAKE_IMAGE), LUMO_OK);
    ASSERT_EQ(display.GetParam(lumo::CDisplayModule::PARAM_FRAME, LumoArg(&frame), 0), LUMO_OK);
    EXPECT_EQ(frame->width, 2u);
    EXPECT_EQ(frame->bytesPerPixel, 4u);
    EXPECT_EQ(std::vector<uint8_t>(frame->pixels, frame->pixels + 8),
              (std::vector<uint8_t>{3, 2, 1, 0xFF, 6, 5, 4, 0xFF})); // B, G, R, 0xFF
    EXPECT_EQ(display.Execute(CLumoModule::EXECUTE_PAINT), LUMO_OK); // no surface: nothing to do
    uint32_t method = 0;
    uint32_t inUse = 0;
    EXPECT_EQ(display.SetParam(lumo::CDisplayModule::PARAM_METHOD, 2, 0), LUMO_OK);
    EXPECT_NE(display.SetParam(lumo::CDisplayModule::PARAM_METHOD, 7, 0), LUMO_OK);
    ASSERT_EQ(
        display.GetParam(lumo::CDisplayModule::PARAM_METHOD, LumoArg(&method), LumoArg(&inUse)),
        LUMO_OK);
    EXPECT_EQ(method, 2u);
    EXPECT_EQ(inUse, 2u);
}

TEST(ProcessModules, OfferOneTitledDialogRefuseToOpenItAndRefuseChangedInputs) {
    lumo::CBlackGainModule gain;
    lumo::COrientationModule orientation;
    lumo::CCfaToRgbModule cfa;
    lumo::CLookUpTableModule lut;
    lumo::CContrastWindowModule window;
    lumo::CProcessModule* modules[] = {&gain, &orientation, &cfa, &lut, &window};
    const char* titles[] = {"Black Level / Gain", "Orientation", "CFA to RGB", "Look-up Table",
                            "Contrast Window"};
    for (int k = 0; k < 5; ++k) {
        lumo::CProcessModule& m = *modules[k];
        uint64_t count = 0;
        ASSERT_EQ(m.QueryParam(LUMO_PARAM_DIALOGS, 0, LumoArg(&count), 0, 0), LUMO_OK);
        ASSERT_EQ(count, 1u);
        LumoDialogInfo info{};
        ASSERT_EQ(m.GetParam(LUMO_PARAM_DIALOGS, 0, LumoArg(&info)), LUMO_OK);
        const char* title = nullptr;
        ASSERT_EQ(m.GetParam(LUMO_PARAM_TITLE, info.dialogId, LumoArg(&title)), LUMO_OK);
        EXPECT_STREQ(title, titles[k]);
        EXPECT_NE(m.GetParam(LUMO_PARAM_TITLE, info.dialogId + 1, LumoArg(&title)), LUMO_OK);
        EXPECT_NE(m.OpenDialog(info.dialogId, nullptr), LUMO_OK);
        EXPECT_EQ(m.IsDialogOpen(info.dialogId), 0u);
        EXPECT_EQ(m.GetOutputInfo(0), nullptr); // no input yet
        EXPECT_NE(m.Execute(0), LUMO_OK);

        Stage stage{m, {}};
        CImageObject in;
        ASSERT_EQ(in.Allocate(6, 4, ImageFormat::CFA8, 0, 1), LUMO_OK);
        ASSERT_TRUE(stage.Prepare(in)) << k;
        EXPECT_EQ(m.Execute(0), LUMO_OK) << k;
        // Larger than the prepared output.
        ASSERT_EQ(in.Allocate(12, 8, ImageFormat::CFA8, 0, 1), LUMO_OK);
        EXPECT_NE(m.Execute(0), LUMO_OK) << k;
    }
}

} // namespace
