#include "external/LumoResult.h"
#include "tests/lumo/CraftedTiff.h"
#include "tests/lumo/FileTestSupport.h"
#include "tests/lumo/FuzzRegressionInputs.h"

#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

namespace {

std::vector<char> Bytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<char>(std::istreambuf_iterator<char>(in), {});
}

void Store(const std::string& path, const std::vector<char>& bytes) {
    std::ofstream(path, std::ios::binary)
        .write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

bool IsDocumented(uint32_t rc) {
    return rc == 0 || rc == LUMO_E_FILEDAMAGED || rc == LUMO_E_FILEFORMAT ||
           rc == LUMO_E_OUTOFMEMORY || rc == LUMO_E_INVALIDARG;
}

} // namespace

TEST_F(FileModuleTest, TruncatedFilesKeepTheirCompletePagesAndReportDamage) {
    ImagePtr source = NewImage();
    ASSERT_EQ(source->Allocate(40, 30, ImageFormat::GREY8, 0, 3), 0u);
    FillPattern(*source, 7);
    const std::string tif = m_folder / "t.tif";
    ASSERT_EQ(WriteFrames(*source, LUMO_FILE_MULTI_TIFF, tif), 0u);
    std::vector<char> bytes = Bytes(tif);
    bytes.resize(bytes.size() - 600); // into the third page
    Store(tif, bytes);
    ASSERT_EQ(FrameCountOf(tif), 3u); // two pages, then the broken link
    ImagePtr loaded = NewImage();
    for (int64_t f = 0; f < 2; ++f) {
        ASSERT_EQ(ReadFrame(tif, static_cast<uint64_t>(f), *loaded), 0u);
        EXPECT_TRUE(SameFrame(*source, f, *loaded, -1));
    }
    EXPECT_EQ(ReadFrame(tif, 2, *loaded), LUMO_E_FILEDAMAGED);

    for (uint32_t type : {LUMO_FILE_PNG, LUMO_FILE_BMP}) {
        ImagePtr one = NewImage();
        ASSERT_EQ(one->Allocate(40, 30, ImageFormat::Make(8, 8, 3, 0, 4), 0, 1), 0u);
        FillPattern(*one, 3);
        const std::string path = m_folder / (type == LUMO_FILE_PNG ? "t.png" : "t.bmp");
        ASSERT_EQ(WriteFrames(*one, type, path), 0u);
        std::vector<char> data = Bytes(path);
        data.resize(data.size() / 2);
        Store(path, data);
        EXPECT_EQ(ReadFrame(path, 0, *loaded), LUMO_E_FILEDAMAGED) << path;
        data.resize(10); // not even a whole header
        Store(path, data);
        EXPECT_EQ(ReadFrame(path, 0, *loaded), LUMO_E_FILEDAMAGED) << path;
    }
}

TEST_F(FileModuleTest, FlippedBitsEndInDocumentedCodes) {
    ImagePtr source = NewImage();
    ASSERT_EQ(source->Allocate(16, 8, ImageFormat::Make(16, 12, 1, 0, 1), 0, 2), 0u);
    FillPattern(*source, 5);
    const std::string tif = m_folder / "f.tif";
    ASSERT_EQ(WriteFrames(*source, LUMO_FILE_MULTI_TIFF, tif), 0u);
    const std::vector<char> good = Bytes(tif);
    // Every byte of the header and of the last page's directory, inverted in turn.
    const size_t directory = 16 + 2 * 16 * 8 * 2;
    std::vector<size_t> places = {0, 1, 2, 3, 4, 5, 6, 7};
    for (size_t i = directory; i < good.size(); ++i)
        places.push_back(i);
    int failures = 0;
    const std::string bad = m_folder / "bad.tif";
    ImagePtr loaded = NewImage();
    for (size_t at : places) {
        std::vector<char> bytes = good;
        bytes[at] = static_cast<char>(~bytes[at]);
        Store(bad, bytes);
        const uint64_t frames = FrameCountOf(bad);
        for (uint64_t f = 0; f < std::max<uint64_t>(frames, 1) && f < 4; ++f) {
            const uint32_t rc = ReadFrame(bad, f, *loaded);
            EXPECT_TRUE(IsDocumented(rc)) << "byte " << at << " code " << std::hex << rc;
            failures += rc != 0;
        }
    }
    EXPECT_GT(failures, 10);

    // PNG: any flipped bit inside a chunk fails its checksum.
    ImagePtr one = NewImage();
    ASSERT_EQ(one->Allocate(16, 8, ImageFormat::GREY8, 0, 1), 0u);
    FillPattern(*one, 2);
    const std::string png = m_folder / "f.png";
    ASSERT_EQ(WriteFrames(*one, LUMO_FILE_PNG, png), 0u);
    std::vector<char> bytes = Bytes(png);
    bytes[bytes.size() / 2] ^= 0x10;
    Store(png, bytes);
    EXPECT_EQ(ReadFrame(png, 0, *loaded), LUMO_E_FILEDAMAGED);

    // BMP: bits per pixel 8 -> 9 is no layout the reader knows; a huge height has no data.
    const std::string bmp = m_folder / "f.bmp";
    ASSERT_EQ(WriteFrames(*one, LUMO_FILE_BMP, bmp), 0u);
    bytes = Bytes(bmp);
    bytes[28] ^= 0x01;
    Store(bmp, bytes);
    EXPECT_EQ(ReadFrame(bmp, 0, *loaded), LUMO_E_FILEFORMAT);
    bytes[28] ^= 0x01;
    bytes[24] ^= 0x40;
    Store(bmp, bytes);
    EXPECT_EQ(ReadFrame(bmp, 0, *loaded), LUMO_E_FILEDAMAGED);
}

TEST_F(FileModuleTest, InputsFoundByFuzzingEndInCodes) {
    const std::string path = m_folder / "fuzz.tif";
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(FUZZ_MANY_SAMPLES_TIFF),
               sizeof FUZZ_MANY_SAMPLES_TIFF);
    ImagePtr loaded = NewImage();
    const uint64_t frames = FrameCountOf(path);
    for (uint64_t f = 0; f < std::max<uint64_t>(frames, 1) && f < 4; ++f)
        EXPECT_TRUE(IsDocumented(ReadFrame(path, f, *loaded)));
}

TEST_F(FileModuleTest, PagesClaimingMoreDataThanTheFileHoldsAreDamage) {
    // 3000 pages of 64 x 64 share one 4 KiB strip: the file holds one page's data.
    const std::string shared = m_folder / "shared.tif";
    StoreBytes(shared, SharedStripTiff(64, 64, 3000));
    EXPECT_EQ(FrameCountOf(shared), 2u); // the whole page, then the damaged one
    ImagePtr loaded = NewImage();
    EXPECT_EQ(ReadFrame(shared, 0, *loaded), 0u);
    EXPECT_EQ(ReadFrame(shared, 1, *loaded), LUMO_E_FILEDAMAGED);
    ModulePtr reader = NewReader();
    ASSERT_EQ(reader->SetParam(LUMO_PARAM_FILE_NAME, LumoArg(shared.c_str()), 0), 0u);
    char damage[256] = {};
    ASSERT_EQ(reader->GetParam(LUMO_PARAM_DAMAGE, LumoArg(damage), sizeof damage), 0u);
    EXPECT_EQ(std::string(damage).rfind("page 2: ", 0), 0u) << damage;

    // A file cut inside the data of its third page: two whole pages, whatever libtiff makes of
    // the directories; a whole file reports no damage.
    ImagePtr source = NewImage();
    ASSERT_EQ(source->Allocate(64, 48, ImageFormat::GREY8, 0, 5), 0u);
    FillPattern(*source, 4);
    const std::string cut = m_folder / "cut.tif";
    ASSERT_EQ(WriteFrames(*source, LUMO_FILE_MULTI_TIFF, cut), 0u);
    ASSERT_EQ(reader->SetParam(LUMO_PARAM_FILE_NAME, LumoArg(cut.c_str()), 0), 0u);
    ASSERT_EQ(reader->GetParam(LUMO_PARAM_DAMAGE, LumoArg(damage), sizeof damage), 0u);
    EXPECT_STREQ(damage, "");
    std::vector<char> bytes = Bytes(cut);
    bytes.resize(bytes.size() / 2);
    Store(cut, bytes);
    EXPECT_EQ(FrameCountOf(cut), 3u);
    ASSERT_EQ(reader->SetParam(LUMO_PARAM_FILE_NAME, LumoArg(cut.c_str()), 0), 0u);
    ASSERT_EQ(reader->GetParam(LUMO_PARAM_DAMAGE, LumoArg(damage), sizeof damage), 0u);
    EXPECT_EQ(std::string(damage).rfind("page 3: ", 0), 0u) << damage;
    EXPECT_EQ(ReadFrame(cut, 2, *loaded), LUMO_E_FILEDAMAGED);
}
