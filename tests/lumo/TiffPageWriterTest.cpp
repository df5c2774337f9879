#include "external/ImageFormat.h"
#include "external/LumoResult.h"
#include "libs/lumo/CTiffFileReader.h"
#include "libs/lumo/CTiffPageWriter.h"
#include "libs/lumo/FramePages.h"
#include "tests/support/FileSizeLimitedChild.h"
#include "tests/support/TempFolder.h"

#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
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

namespace {

std::vector<char> FileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Writes `count` pages of `frames` (page-aligned memory) into `path`; the classic limit is set
// so that the file turns into BigTIFF after the second page.
void WritePages(const std::string& path, bool direct, std::vector<lumo::FramePages>& frames,
                lumo::ImageFileFrame frame, bool& wentDirect) {
    const uint64_t bytes = lumo::FrameBytes(frame);
    lumo::CTiffPageWriter writer(5 * bytes / 2);
    writer.SetDirectIo(direct);
    ASSERT_EQ(writer.Open(path), 0u) << writer.LastError();
    wentDirect = writer.WritesDirect();
    for (size_t p = 0; p < frames.size(); ++p) {
        frame.pixels = frames[p].Data();
        ASSERT_EQ(writer.AppendPage(frame), 0u) << writer.LastError();
    }
    frame.pixels = frames[0].Data() + 1; // memory off the page boundary goes buffered
    ASSERT_EQ(writer.AppendPage(frame), 0u) << writer.LastError();
    EXPECT_TRUE(writer.IsBig());
    ASSERT_EQ(writer.Close(), 0u) << writer.LastError();
}

} // namespace

TEST(TiffPageWriter, DirectAndBufferedWritesGiveTheSameFileWithAlignedPixels) {
    lumo::ImageFileFrame frame;
    frame.width = 641; // odd: a partial last block and a pad byte
    frame.height = 479;
    frame.format = ImageFormat::GREY8;
    frame.attributes[2] = "KavrinDemo";
    const uint64_t bytes = lumo::FrameBytes(frame);
    ASSERT_GE(bytes, lumo::CTiffPageWriter::DIRECT_MIN_BYTES);
    std::vector<lumo::FramePages> frames;
    ASSERT_EQ(lumo::AllocateFramePages(bytes + 1, 4, frames), 0u);
    for (size_t p = 0; p < frames.size(); ++p)
        for (uint64_t i = 0; i <= bytes; ++i)
            frames[p].Data()[i] = static_cast<uint8_t>(i * 13 + p * 101 + (i >> 9));

    TempFolder folder; // a disk folder, where the file system normally takes O_DIRECT
    const std::string direct = folder.File("direct.tif");
    const std::string buffered = folder.File("buffered.tif");
    bool wentDirect = false, unused = false;
    WritePages(direct, true, frames, frame, wentDirect);
    WritePages(buffered, false, frames, frame, unused);
    EXPECT_FALSE(unused);
    // The writer must use O_DIRECT wherever a plain open with it works.
    const int probe = ::open(folder.File("probe").c_str(), O_WRONLY | O_CREAT | O_DIRECT, 0644);
    if (probe >= 0) {
        ::close(probe);
        EXPECT_TRUE(wentDirect);
    }
    const std::vector<char> written = FileBytes(direct);
    EXPECT_TRUE(written == FileBytes(buffered));

    // The first page's pixels start on the first aligned block after the header.
    ASSERT_GT(written.size(), 4096 + bytes);
    EXPECT_EQ(std::memcmp(written.data() + 4096, frames[0].Data(), bytes), 0);
    lumo::CTiffFileReader reader;
    ASSERT_EQ(reader.Open(direct, 1 << 30), 0u) << reader.LastMessage();
    ASSERT_EQ(reader.PageCount(), 5u);
    for (uint64_t p = 0; p < 5; ++p) {
        VectorTarget target;
        ASSERT_EQ(reader.ReadPage(p, target), 0u) << reader.LastMessage();
        const uint8_t* expected = p < 4 ? frames[p].Data() : frames[0].Data() + 1;
        EXPECT_EQ(std::memcmp(target.m_pixels.data(), expected, bytes), 0) << "page " << p;
    }

    // A memory file system (it may refuse O_DIRECT) still gets the same file.
    if (std::filesystem::is_directory("/dev/shm")) {
        const std::string shm = "/dev/shm/kavrin-direct-" + std::to_string(getpid()) + ".tif";
        WritePages(shm, true, frames, frame, unused);
        EXPECT_TRUE(FileBytes(shm) == written);
        std::filesystem::remove(shm);
    }
}
