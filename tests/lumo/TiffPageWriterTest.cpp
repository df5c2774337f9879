#include "external/ImageFormat.h"
#include "external/LumoResult.h"
#include "libs/lumo/CTiffFileReader.h"
#include "libs/lumo/CTiffPageWriter.h"
#include "tests/support/FileSizeLimitedChild.h"

#include <cstring>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <unistd.h>
#include <vector>

namespace {

class VectorTarget final : public lumo::CImageFileTarget {
public:
    uint8_t* Prepare(const lumo::ImageFileFrame& frame, uint32_t& result) override {
        m_frame = frame;
        m_pixels.assign(static_cast<size_t>(lumo::FrameBytes(frame)), 0);
        result = 0;
        return m_pixels.data();
    }
    lumo::ImageFileFrame m_frame;
    std::vector<uint8_t> m_pixels;
};

} // namespace

TEST(TiffPageWriter, TurnsIntoBigTiffWhenTheClassicLimitIsReachedAndKeepsEveryPage) {
    const std::string path = (std::filesystem::temp_directory_path() /
                              ("kavrin-big-" + std::to_string(getpid()) + ".tif"))
                                 .string();
    std::vector<std::vector<uint8_t>> pages;
    lumo::ImageFileFrame frame;
    frame.width = 101; // odd: pages need padding to stay word aligned
    frame.height = 33;
    frame.format = ImageFormat::Make(8, 8, 3, 0, ImageFormat::CLASS_RGB);
    frame.attributes[0] = "Hadrell Optics GmbH";
    {
        // Room for about two and a half pages in classic form.
        lumo::CTiffPageWriter writer(16 + 5 * lumo::FrameBytes(frame) / 2);
        ASSERT_EQ(writer.Open(path), 0u);
        for (int p = 0; p < 5; ++p) {
            pages.emplace_back(static_cast<size_t>(lumo::FrameBytes(frame)));
            for (size_t i = 0; i < pages.back().size(); ++i)
                pages.back()[i] = static_cast<uint8_t>(i * 7 + p * 31);
            frame.pixels = pages.back().data();
            ASSERT_EQ(writer.AppendPage(frame), 0u);
            EXPECT_EQ(writer.IsBig(), p >= 2) << "page " << p;
            // The file is complete after every page (under its temporary name until closed).
            lumo::CTiffFileReader reader;
            ASSERT_EQ(reader.Open(writer.TemporaryPath(), 1 << 30), 0u) << reader.LastMessage();
            EXPECT_EQ(reader.PageCount(), static_cast<uint64_t>(p + 1));
        }
        ASSERT_EQ(writer.Close(), 0u);
    }
    std::ifstream in(path, std::ios::binary);
    char head[4] = {};
    in.read(head, 4);
    EXPECT_EQ(head[2], 43); // BigTIFF
    lumo::CTiffFileReader reader;
    ASSERT_EQ(reader.Open(path, 1 << 30), 0u) << reader.LastMessage();
    ASSERT_EQ(reader.PageCount(), 5u);
    for (uint64_t p = 0; p < 5; ++p) {
        VectorTarget target;
        ASSERT_EQ(reader.ReadPage(p, target), 0u) << reader.LastMessage();
        EXPECT_EQ(target.m_pixels, pages[p]) << "page " << p;
        EXPECT_EQ(target.m_frame.attributes[0], "Hadrell Optics GmbH");
    }
    // Out of order as well.
    VectorTarget target;
    ASSERT_EQ(reader.ReadPage(1, target), 0u);
    EXPECT_EQ(target.m_pixels, pages[1]);
    std::filesystem::remove(path);

    lumo::CTiffPageWriter writer;
    EXPECT_EQ(writer.Open("/nonexistent-folder/x.tif"), LUMO_E_FILEWRITE);
    frame.format = ImageFormat::Make(32, 32, 1, 0, 1);
    ASSERT_EQ(writer.Open(path), 0u);
    EXPECT_EQ(writer.AppendPage(frame), LUMO_E_FILEFORMAT);
    EXPECT_EQ(writer.Close(), 0u);
    std::filesystem::remove(path);
}

TEST(TiffPageWriter, AFullDiskLeavesAValidFileWithTheCompletePages) {
    const std::string path = (std::filesystem::temp_directory_path() /
                              ("kavrin-full-" + std::to_string(getpid()) + ".tif"))
                                 .string();
    lumo::ImageFileFrame frame;
    frame.width = 64;
    frame.height = 32;
    frame.format = ImageFormat::GREY8;
    std::vector<uint8_t> pixels(static_cast<size_t>(lumo::FrameBytes(frame)), 0x33);
    frame.pixels = pixels.data();
    // Room for three and a half pages: the fourth write fails in the child.
    const int pagesWritten = RunWithFileSizeLimit(16 + 7 * pixels.size() / 2, [&] {
        lumo::CTiffPageWriter writer;
        if (writer.Open(path) != 0)
            return 100;
        int pages = 0;
        while (pages < 10 && writer.AppendPage(frame) == 0)
            ++pages;
        if (writer.AppendPage(frame) != LUMO_E_FILEWRITE)
            return 101;
        return pages; // ended without closing, like a killed process
    });
    EXPECT_EQ(pagesWritten, 3);
    lumo::CTiffFileReader reader;
    ASSERT_EQ(reader.Open(path, 1 << 30), 0u) << reader.LastMessage();
    EXPECT_EQ(reader.PageCount(), 3u);
    for (uint64_t p = 0; p < 3; ++p) {
        VectorTarget target;
        ASSERT_EQ(reader.ReadPage(p, target), 0u);
        EXPECT_EQ(target.m_pixels, pixels);
    }
    std::filesystem::remove(path);
}
