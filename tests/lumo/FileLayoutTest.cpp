// Layouts the reader converts on the way in, from files built byte by byte: TIFF palette,
// min-is-white, extra samples in strips and tiles; BMP bit fields, top-down rows, run-length
// codes and the OS/2 header.
#include "external/LumoResult.h"
#include "tests/lumo/FileTestSupport.h"

#include <algorithm>
#include <fstream>
#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;

void Put(Bytes& out, uint32_t value, unsigned bytes) {
    for (unsigned i = 0; i < bytes; ++i)
        out.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

void Store(const std::string& path, const Bytes& bytes) {
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
}

struct Tag {
    uint16_t tag;
    uint16_t type; // 3 SHORT, 4 LONG
    std::vector<uint32_t> values;
};

// A little-endian classic TIFF of one page: the blocks (strips, or tiles with `tiled`) first,
// then the directory with `tags` and the blocks' offsets and byte counts.
Bytes OnePageTiff(std::vector<Tag> tags, const std::vector<Bytes>& blocks, bool tiled) {
    Bytes file = {'I', 'I', 42, 0, 0, 0, 0, 0};
    Tag offsets{static_cast<uint16_t>(tiled ? 324 : 273), 4, {}};
    Tag counts{static_cast<uint16_t>(tiled ? 325 : 279), 4, {}};
    for (const Bytes& block : blocks) {
        offsets.values.push_back(static_cast<uint32_t>(file.size()));
        counts.values.push_back(static_cast<uint32_t>(block.size()));
        file.insert(file.end(), block.begin(), block.end());
    }
    if (file.size() & 1)
        file.push_back(0);
    tags.push_back(offsets);
    tags.push_back(counts);
    std::sort(tags.begin(), tags.end(), [](const Tag& a, const Tag& b) { return a.tag < b.tag; });
    const uint32_t directory = static_cast<uint32_t>(file.size());
    file[4] = static_cast<uint8_t>(directory);
    file[5] = static_cast<uint8_t>(directory >> 8);
    Bytes extra;
    uint32_t extraAt = directory + 2 + 12 * static_cast<uint32_t>(tags.size()) + 4;
    Put(file, static_cast<uint32_t>(tags.size()), 2);
    for (const Tag& t : tags) {
        const unsigned size = t.type == 3 ? 2 : 4;
        Bytes value;
        for (uint32_t v : t.values)
            Put(value, v, size);
        Put(file, t.tag, 2);
        Put(file, t.type, 2);
        Put(file, static_cast<uint32_t>(t.values.size()), 4);
        if (value.size() <= 4) {
            value.resize(4, 0);
            file.insert(file.end(), value.begin(), value.end());
        } else {
            Put(file, extraAt + static_cast<uint32_t>(extra.size()), 4);
            extra.insert(extra.end(), value.begin(), value.end());
        }
    }
    Put(file, 0, 4);
    file.insert(file.end(), extra.begin(), extra.end());
    return file;
}

// Width, height, bits per sample (one value per sample), photometric interpretation.
std::vector<Tag> Basics(uint32_t width, uint32_t height, std::vector<uint32_t> bits,
                        uint32_t photometric) {
    const uint32_t samples = static_cast<uint32_t>(bits.size());
    return {{256, 4, {width}}, {257, 4, {height}},      {258, 3, bits},
            {259, 3, {1}},     {262, 3, {photometric}}, {277, 3, {samples}}};
}

// A bitmap: 14-byte file header, 40-byte info header (`height` negative for top-down), the
// palette entries (blue, green, red, 0 each) and the pixel data.
Bytes Bitmap(int32_t width, int32_t height, uint32_t bits, uint32_t compression,
             const Bytes& extraHeader, const std::vector<uint32_t>& palette, const Bytes& data) {
    Bytes file = {'B', 'M'};
    const uint32_t dataOffset =
        14 + 40 + static_cast<uint32_t>(extraHeader.size() + palette.size() * 4);
    Put(file, dataOffset + static_cast<uint32_t>(data.size()), 4);
    Put(file, 0, 4);
    Put(file, dataOffset, 4);
    Put(file, 40, 4);
    Put(file, static_cast<uint32_t>(width), 4);
    Put(file, static_cast<uint32_t>(height), 4);
    Put(file, 1, 2);
    Put(file, bits, 2);
    Put(file, compression, 4);
    Put(file, static_cast<uint32_t>(data.size()), 4);
    Put(file, 2835, 4);
    Put(file, 2835, 4);
    Put(file, static_cast<uint32_t>(palette.size()), 4);
    Put(file, 0, 4);
    file.insert(file.end(), extraHeader.begin(), extraHeader.end());
    for (uint32_t rgb : palette)
        Put(file, rgb, 4); // 0x00RRGGBB is stored blue, green, red, 0
    file.insert(file.end(), data.begin(), data.end());
    return file;
}

} // namespace

class FileLayoutTest : public FileModuleTest {
protected:
    // Stores `bytes` as `name`, reads it and expects `format` and `pixels`.
    void ExpectRead(const char* name, const Bytes& bytes, uint64_t format, const Bytes& pixels) {
        SCOPED_TRACE(name);
        const std::string path = m_folder / name;
        Store(path, bytes);
        ImagePtr loaded = NewImage();
        ASSERT_EQ(ReadFrame(path, 0, *loaded), 0u);
        EXPECT_EQ(loaded->GetFormat(nullptr), format);
        ASSERT_EQ(loaded->GetFrameSize(), pixels.size());
        const auto* data = static_cast<const uint8_t*>(loaded->GetFrameData(0, -1, 0));
        EXPECT_EQ(Bytes(data, data + pixels.size()), pixels);
    }
    uint32_t Read(const char* name, const Bytes& bytes) {
        const std::string path = m_folder / name;
        Store(path, bytes);
        ImagePtr loaded = NewImage();
        return ReadFrame(path, 0, *loaded);
    }
};

TEST_F(FileLayoutTest, TiffSamplesAreConvertedToTheFramesLayout) {
    const uint64_t rgb8 = ImageFormat::Make(8, 8, 3, 0, ImageFormat::CLASS_RGB);
    // Palette: 16-bit map entries, their high bytes become 8-bit RGB.
    std::vector<uint32_t> map(3 * 256, 0);
    for (uint32_t i = 0; i < 256; ++i) {
        map[i] = i << 8 | 0x7F;
        map[256 + i] = (255 - i) << 8;
        map[512 + i] = ((i * 2) & 0xFF) << 8;
    }
    std::vector<Tag> palette = Basics(3, 1, {8}, 3);
    palette.push_back({278, 4, {1}});
    palette.push_back({320, 3, map});
    ExpectRead("palette.tif", OnePageTiff(palette, {{0, 1, 200}}, false), rgb8,
               {0, 255, 0, 1, 254, 2, 200, 55, 144});

    // Min-is-white 16-bit samples are inverted; MaxSampleValue gives the significant bits.
    std::vector<Tag> white = Basics(2, 2, {16}, 0);
    white.push_back({278, 4, {2}});
    white.push_back({281, 3, {4095}});
    Bytes samples;
    for (uint32_t v : {0u, 1u, 0x1234u, 0xFFFFu})
        Put(samples, v, 2);
    ExpectRead("white.tif", OnePageTiff(white, {samples}, false),
               ImageFormat::Make(16, 12, 1, 0, ImageFormat::CLASS_GREY),
               {0xFF, 0xFF, 0xFE, 0xFF, 0xCB, 0xED, 0x00, 0x00});

    // RGBA in strips of one row: the alpha samples are dropped strip by strip.
    std::vector<Tag> rgba = Basics(2, 3, {8, 8, 8, 8}, 2);
    rgba.push_back({278, 4, {1}});
    rgba.push_back({338, 3, {2}});
    std::vector<Bytes> strips;
    Bytes expected;
    for (uint8_t row = 0; row < 3; ++row) {
        strips.push_back({});
        for (uint8_t x = 0; x < 2; ++x) {
            const uint8_t base = static_cast<uint8_t>(row * 40 + x * 10);
            strips.back().insert(strips.back().end(),
                                 {base, uint8_t(base + 1), uint8_t(base + 2), 0xAA});
            expected.insert(expected.end(), {base, uint8_t(base + 1), uint8_t(base + 2)});
        }
    }
    ExpectRead("rgba.tif", OnePageTiff(rgba, strips, false), rgb8, expected);

    // Grey with an extra sample keeps the grey one.
    std::vector<Tag> greyAlpha = Basics(2, 1, {8, 8}, 1);
    greyAlpha.push_back({338, 3, {2}});
    ExpectRead("grey-alpha.tif", OnePageTiff(greyAlpha, {{7, 0xAA, 9, 0xAA}}, false),
               ImageFormat::GREY8, {7, 9});
}

TEST_F(FileLayoutTest, TiffTilesCoverTheFrameAndAreCutAtItsEdges) {
    // 20 x 18 RGBA pixels in four tiles of 16 x 16: the right and bottom tiles stick out.
    const uint32_t width = 20, height = 18, tile = 16;
    auto sample = [](uint32_t x, uint32_t y, uint32_t c) {
        return static_cast<uint8_t>(x * 7 + y * 13 + c * 61);
    };
    std::vector<Bytes> tiles;
    for (uint32_t ty = 0; ty < height; ty += tile)
        for (uint32_t tx = 0; tx < width; tx += tile) {
            Bytes block;
            for (uint32_t y = ty; y < ty + tile; ++y)
                for (uint32_t x = tx; x < tx + tile; ++x)
                    for (uint32_t c = 0; c < 4; ++c)
                        block.push_back(x < width && y < height ? sample(x, y, c) : 0xEE);
            tiles.push_back(block);
        }
    Bytes expected;
    for (uint32_t y = 0; y < height; ++y)
        for (uint32_t x = 0; x < width; ++x)
            for (uint32_t c = 0; c < 3; ++c)
                expected.push_back(sample(x, y, c));
    std::vector<Tag> tags = Basics(width, height, {8, 8, 8, 8}, 2);
    tags.push_back({322, 3, {tile}});
    tags.push_back({323, 3, {tile}});
    tags.push_back({338, 3, {2}});
    ExpectRead("tiles.tif", OnePageTiff(tags, tiles, true),
               ImageFormat::Make(8, 8, 3, 0, ImageFormat::CLASS_RGB), expected);

    // A strip that ends early is damage.
    std::vector<Tag> grey = Basics(4, 4, {8}, 1);
    grey.push_back({278, 4, {2}});
    EXPECT_EQ(Read("short.tif", OnePageTiff(grey, {Bytes(8, 1), Bytes(5, 2)}, false)),
              LUMO_E_FILEDAMAGED);
}

TEST_F(FileLayoutTest, BitmapRowsOfEveryStorageBecomeTopDownFrames) {
    const uint64_t rgb8 = ImageFormat::Make(8, 8, 3, 0, ImageFormat::CLASS_RGB);
    // 32-bit bit fields in the usual order, bottom-up: blue, green, red, unused.
    Bytes masks;
    Put(masks, 0x00FF0000, 4);
    Put(masks, 0x0000FF00, 4);
    Put(masks, 0x000000FF, 4);
    ExpectRead("fields.bmp",
               Bitmap(2, 2, 32, 3, masks, {}, {1, 2, 3, 0, 4, 5, 6, 0, 7, 8, 9, 0, 10, 11, 12, 0}),
               rgb8, {9, 8, 7, 12, 11, 10, 3, 2, 1, 6, 5, 4});

    // 24-bit top-down rows, padded to four bytes.
    ExpectRead("topdown.bmp",
               Bitmap(3, -2, 24, 0, {}, {}, {1,  2,  3,  4,  5,  6,  7,  8,  9,  0, 0, 0,
                                             10, 11, 12, 13, 14, 15, 16, 17, 18, 0, 0, 0}),
               rgb8, {3, 2, 1, 6, 5, 4, 9, 8, 7, 12, 11, 10, 15, 14, 13, 18, 17, 16});

    // Run-length codes, bottom row first: a run, an odd literal group (padded), a move, line
    // ends and the end of the bitmap. The palette is coloured, so the frame is RGB.
    const std::vector<uint32_t> colours = {0x000000, 0x102030, 0x405060, 0x708090};
    const Bytes codes = {
        2, 1,             // bottom row: two pixels of 1
        0, 3, 2, 3, 1, 0, // the literal 2 3 1 (the 1 falls past the width) and its pad byte
        0, 0,             // end of line
        0, 2, 3, 0,       // middle row: move right by 3 (pixels 0-2 stay 0)
        1, 3,             // one pixel of 3
        0, 0,             // end of line
        4, 2,             // top row: four pixels of 2
        0, 1,             // end of bitmap
    };
    Bytes rle;
    for (int index : {2, 2, 2, 2, 0, 0, 0, 3, 1, 1, 2, 3})
        for (int c = 2; c >= 0; --c)
            rle.push_back(static_cast<uint8_t>(colours[static_cast<size_t>(index)] >> (8 * c)));
    ExpectRead("rle.bmp", Bitmap(4, 3, 8, 1, {}, colours, codes), rgb8, rle);
    EXPECT_EQ(Read("rle-topdown.bmp", Bitmap(4, -3, 8, 1, {}, colours, codes)), LUMO_E_FILEDAMAGED)
        << "run-length coded bitmaps are bottom-up";

    // An index past the palette's entries is damage.
    EXPECT_EQ(Read("index.bmp", Bitmap(4, 1, 8, 0, {}, {0x000000, 0x010101}, {0, 1, 5, 0})),
              LUMO_E_FILEDAMAGED);
}

TEST_F(FileLayoutTest, Os2BitmapsHaveShortHeadersAndThreeBytePalettes) {
    Bytes file = {'B', 'M'};
    const uint32_t dataOffset = 14 + 12 + 256 * 3;
    Put(file, dataOffset + 4, 4);
    Put(file, 0, 4);
    Put(file, dataOffset, 4);
    Put(file, 12, 4);
    Put(file, 3, 2); // width
    Put(file, 1, 2); // height
    Put(file, 1, 2);
    Put(file, 8, 2);
    for (uint32_t i = 0; i < 256; ++i)
        file.insert(file.end(), {uint8_t(255 - i), uint8_t(255 - i), uint8_t(255 - i)});
    file.insert(file.end(), {0, 1, 200, 0});
    ExpectRead("os2.bmp", file, ImageFormat::GREY8, {255, 254, 55});
}
