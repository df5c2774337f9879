#include "external/LumoResult.h"
#include "tests/lumo/FileTestSupport.h"

#include <fstream>
#include <vector>

namespace {

struct Layout {
    const char* name;
    uint64_t format;
    uint32_t originX;
    uint32_t originY;
};

const Layout LAYOUTS[] = {
    {"grey8", ImageFormat::Make(8, 8, 1, 0, ImageFormat::CLASS_GREY), 0, 0},
    {"grey16/12", ImageFormat::Make(16, 12, 1, 0, ImageFormat::CLASS_GREY), 0, 0},
    {"cfa8", ImageFormat::Make(8, 8, 1, 0, ImageFormat::CLASS_CFA), 1, 0},
    {"cfa16", ImageFormat::Make(16, 16, 1, 0, ImageFormat::CLASS_CFA), 0, 1},
    {"rgb8", ImageFormat::Make(8, 8, 3, 0, ImageFormat::CLASS_RGB), 0, 0},
    {"rgb16", ImageFormat::Make(16, 16, 3, 0, ImageFormat::CLASS_RGB), 0, 0},
};

const char* const EXTENSIONS[] = {"", ".tif", ".tif", ".png", ".bmp", ".mp4", ".mkv", ".avi"};

} // namespace

TEST_F(FileModuleTest, EveryTypeAndLayoutReloadsWithContentsAndAttributes) {
    for (uint32_t type = 1; type <= LUMO_FILE_TYPE_COUNT; ++type) {
        for (const Layout& layout : LAYOUTS) {
            SCOPED_TRACE(std::string(layout.name) + " type " + std::to_string(type));
            const bool oneFile = type == LUMO_FILE_MULTI_TIFF || LumoFileTypeIsVideo(type);
            const uint64_t frames = oneFile ? 3 : 1;
            // H.264 and Motion JPEG are lossy and 8-bit: grey and CFA come back from luma.
            const bool lossy = type == LUMO_FILE_MP4 || type == LUMO_FILE_AVI;
            ImagePtr source = NewImage();
            ASSERT_EQ(source->Allocate(37, 21, layout.format, 0, frames), 0u); // odd sizes
            source->SetOrigin(layout.originX, layout.originY);
            ASSERT_EQ(source->SetAttribute(2, "Hadrell Optics GmbH"), LUMO_OK);
            ASSERT_EQ(source->SetAttribute(3, "File Sequence"), LUMO_OK);
            ASSERT_EQ(source->SetAttribute(4, "KavrinDemo"), LUMO_OK);
            FillPattern(*source, type * 10 + static_cast<uint32_t>(layout.format & 0xFF));
            const std::string path = m_folder / (std::string("f") + layout.name[0] +
                                                 std::to_string(layout.format) + EXTENSIONS[type]);
            const uint32_t rc = WriteFrames(*source, type, path);
            const bool bmp = type == LUMO_FILE_BMP;
            if (bmp && ImageFormat::ContainerBits(layout.format) == 16) {
                EXPECT_EQ(rc, LUMO_E_FILEFORMAT); // BMP holds no 16-bit samples
                continue;
            }
            ASSERT_EQ(rc, 0u);
            ASSERT_EQ(FrameCountOf(path), frames);
            for (uint64_t f = 0; f < frames; ++f) {
                ImagePtr loaded = NewImage();
                ASSERT_EQ(ReadFrame(path, f, *loaded), 0u);
                EXPECT_EQ(loaded->GetWidth(), 37u);
                EXPECT_EQ(loaded->GetHeight(), 21u);
                if (!lossy) {
                    EXPECT_TRUE(SameFrame(*source, static_cast<int64_t>(f), *loaded, -1));
                }
                const bool cfa = ImageFormat::ImageClass(layout.format) == ImageFormat::CLASS_CFA;
                if (bmp) {
                    // BMP keeps the pixels only: colour-filter-array data comes back as grey
                    EXPECT_EQ(ImageFormat::ImageClass(loaded->GetFormat(nullptr)),
                              cfa ? ImageFormat::CLASS_GREY
                                  : ImageFormat::ImageClass(layout.format));
                    EXPECT_EQ(loaded->GetAttribute(2), nullptr);
                    continue;
                }
                const bool rgb = ImageFormat::ImageClass(layout.format) == ImageFormat::CLASS_RGB;
                EXPECT_EQ(loaded->GetFormat(nullptr),
                          !lossy ? layout.format
                                 : ImageFormat::Make(8, 8, rgb ? 3 : 1, 0,
                                                     ImageFormat::ImageClass(layout.format)));
                uint32_t x = 9, y = 9;
                loaded->GetOrigin(&x, &y);
                EXPECT_EQ(x, layout.originX);
                EXPECT_EQ(y, layout.originY);
                ASSERT_NE(loaded->GetAttribute(2), nullptr);
                EXPECT_STREQ(loaded->GetAttribute(2), "Hadrell Optics GmbH");
                ASSERT_NE(loaded->GetAttribute(3), nullptr);
                EXPECT_STREQ(loaded->GetAttribute(3), "File Sequence");
                ASSERT_NE(loaded->GetAttribute(4), nullptr);
                EXPECT_STREQ(loaded->GetAttribute(4), "KavrinDemo");
            }
        }
    }
}

TEST_F(FileModuleTest, ColourFilterPhaseOfEveryOriginSurvivesTiff) {
    for (uint32_t origin = 0; origin < 4; ++origin) {
        ImagePtr source = NewImage();
        ASSERT_EQ(source->Allocate(8, 6, ImageFormat::CFA8, 0, 1), 0u);
        source->SetOrigin(origin & 1, origin >> 1);
        FillPattern(*source, origin);
        const std::string path = m_folder / ("phase" + std::to_string(origin) + ".tif");
        ASSERT_EQ(WriteFrames(*source, LUMO_FILE_TIFF, path), 0u);
        ImagePtr loaded = NewImage();
        ASSERT_EQ(ReadFrame(path, 0, *loaded), 0u);
        uint32_t x = 9, y = 9;
        loaded->GetOrigin(&x, &y);
        EXPECT_EQ(x, origin & 1);
        EXPECT_EQ(y, origin >> 1);
        EXPECT_EQ(loaded->GetFormat(nullptr), ImageFormat::CFA8);
    }
}

TEST_F(FileModuleTest, WriterParametersChooseTheLayoutAndTheModeFollowsTheOpenFile) {
    ModulePtr writer = NewWriter();
    for (uint32_t type = 1; type <= LUMO_FILE_TYPE_COUNT; ++type) {
        uint32_t single = 9, multi = 9;
        ASSERT_EQ(writer->GetParam(LUMO_PARAM_TYPE_SINGLE, LumoArg(&single), type), 0u);
        ASSERT_EQ(writer->GetParam(LUMO_PARAM_TYPE_MULTI, LumoArg(&multi), type), 0u);
        const bool oneFile = type == 1 || LumoFileTypeIsVideo(type); // one file, every image
        EXPECT_EQ(single, oneFile ? 0u : 1u);
        EXPECT_EQ(multi, oneFile ? 1u : 0u);
    }
    uint32_t out = 0;
    EXPECT_EQ(writer->GetParam(LUMO_PARAM_TYPE_SINGLE, LumoArg(&out), LUMO_FILE_TYPE_COUNT + 1),
              LUMO_E_INVALIDARG);
    EXPECT_EQ(writer->SetParam(LUMO_PARAM_FILE_TYPE, 0, 0), LUMO_E_INVALIDARG);
    EXPECT_EQ(writer->SetParam(LUMO_PARAM_WRITE_MODE, 0, 0), LUMO_E_INVALIDARG);
    EXPECT_EQ(writer->SetParam(LUMO_PARAM_DIALOG_OPTIONS, 55, 0), 0u);
    EXPECT_EQ(writer->GetParam(LUMO_PARAM_DIALOG_OPTIONS, LumoArg(&out), 0), 0u);
    EXPECT_EQ(out, 55u);

    ImagePtr work = NewImage();
    ASSERT_EQ(work->Allocate(4, 4, ImageFormat::GREY8, 0, 1), 0u);
    CLumoImage* input = work.get();
    ASSERT_EQ(writer->SetImages(1, &input), LUMO_OK);
    const std::string path = m_folder / "mode.tif";
    EXPECT_EQ(writer->Execute(0), LUMO_E_INVALIDARG); // no name yet
    ASSERT_EQ(writer->SetParam(LUMO_PARAM_FILE_NAME, LumoArg(path.c_str()), 0), LUMO_OK);
    ASSERT_EQ(writer->GetParam(LUMO_PARAM_WRITE_MODE, LumoArg(&out), 0), LUMO_OK);
    EXPECT_EQ(out, 1u);
    ASSERT_EQ(writer->Execute(0), 0u);
    ASSERT_EQ(writer->GetParam(LUMO_PARAM_WRITE_MODE, LumoArg(&out), 0), LUMO_OK);
    EXPECT_EQ(out, 0u); // a multi-page file is open
    // Readable after every completed page, before it is finished (under a temporary name).
    for (uint64_t pages = 1; pages <= 3; ++pages) {
        EXPECT_EQ(FrameCountOf(TemporaryOf(path)), pages);
        if (pages < 3) {
            ASSERT_EQ(writer->Execute(0), 0u);
        }
    }
    EXPECT_EQ(writer->SetParam(LUMO_PARAM_WRITE_MODE, 1, 1), 0u);
    ASSERT_EQ(writer->GetParam(LUMO_PARAM_WRITE_MODE, LumoArg(&out), 0), LUMO_OK);
    EXPECT_EQ(out, 1u);
    // The next Execute starts the file again.
    ASSERT_EQ(writer->Execute(0), 0u);
    ASSERT_EQ(writer->SetParam(LUMO_PARAM_WRITE_MODE, 1, 1), LUMO_OK);
    EXPECT_EQ(FrameCountOf(path), 1u);

    // The name comes back whole or not at all.
    char small[8];
    EXPECT_EQ(writer->GetParam(LUMO_PARAM_FILE_NAME, LumoArg(small), sizeof small),
              LUMO_E_INVALIDARG);
    std::vector<char> room(path.size() + 1);
    ASSERT_EQ(writer->GetParam(LUMO_PARAM_FILE_NAME, LumoArg(room.data()), room.size()), 0u);
    EXPECT_EQ(std::string(room.data()), path);

    // A folder that does not exist cannot be written.
    const std::string bad = m_folder / "missing/x.png";
    ASSERT_EQ(writer->SetParam(LUMO_PARAM_FILE_TYPE, LUMO_FILE_PNG, 0), LUMO_OK);
    ASSERT_EQ(writer->SetParam(LUMO_PARAM_FILE_NAME, LumoArg(bad.c_str()), 0), LUMO_OK);
    EXPECT_EQ(writer->Execute(0), LUMO_E_FILEWRITE);
}

TEST_F(FileModuleTest, DialogsFailCleanlyWithoutAnApplication) {
    ModulePtr modules[2] = {NewWriter(), NewReader()};
    for (ModulePtr& module : modules) {
        uint32_t cancelled = 0;
        EXPECT_NE(module->RunDialog(0, nullptr, &cancelled), 0u);
        EXPECT_EQ(cancelled, 1u);
    }
}

TEST_F(FileModuleTest, ReaderReportsMissingUnknownAndForeignFiles) {
    ImagePtr image = NewImage();
    EXPECT_EQ(ReadFrame(m_folder / "none.tif", 0, *image), LUMO_E_FILENOTFOUND);
    EXPECT_EQ(FrameCountOf(m_folder / "none.tif"), 0u);
    EXPECT_EQ(ReadFrame(m_folder.Path(), 0, *image), LUMO_E_FILEREAD); // a folder
    { std::ofstream(m_folder / "text.txt") << "not an image at all"; }
    EXPECT_EQ(ReadFrame(m_folder / "text.txt", 0, *image), LUMO_E_FILEFORMAT);

    // Binary PGM (16-bit, big-endian in the file) and PPM.
    {
        std::ofstream pgm(m_folder / "a.pgm", std::ios::binary);
        pgm << "P5\n# comment\n2 1\n4095\n";
        pgm.write("\x01\x02\x0f\xff", 4);
        std::ofstream ppm(m_folder / "b.ppm", std::ios::binary);
        ppm << "P6 1 1 255\n";
        ppm.write("\x0a\x14\x1e", 3);
    }
    ASSERT_EQ(ReadFrame(m_folder / "a.pgm", 0, *image), 0u);
    EXPECT_EQ(image->GetFormat(nullptr), ImageFormat::Make(16, 12, 1, 0, ImageFormat::CLASS_GREY));
    uint32_t v[4] = {};
    ASSERT_EQ(image->GetPixel(1, 0, v, 4, -1, 0, 0), LUMO_OK);
    EXPECT_EQ(v[0], 0x0FFFu);
    ASSERT_EQ(ReadFrame(m_folder / "b.ppm", 0, *image), 0u);
    ASSERT_EQ(image->GetPixel(0, 0, v, 4, -1, 0, 0), LUMO_OK);
    EXPECT_EQ(v[0], 10u);
    EXPECT_EQ(v[2], 30u);
    EXPECT_EQ(ReadFrame(m_folder / "b.ppm", 1, *image), LUMO_E_INVALIDARG); // one frame only
}
