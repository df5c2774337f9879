// 16-bit PNG samples with fewer significant bits: stored scaled to 16 bits, read back exactly;
// files other programs write read scaled down, files this program wrote before read as they
// were.
#include "tests/lumo/FileTestSupport.h"
#include "tests/support/ShellCommand.h"

#include <csetjmp>
#include <cstdio>
#include <png.h>
#include <utility>
#include <vector>

namespace {

using Texts = std::vector<std::pair<const char*, const char*>>;

// Writes a width x height 16-bit grey PNG of `samples` with sBIT `significant` and `texts`
// through libpng itself, as another program (or this one before) would.
bool WriteGreyPng(const std::string& path, uint32_t width, uint32_t height,
                  std::vector<uint16_t> samples, int significant, const Texts& texts) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file)
        return false;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    std::vector<png_bytep> rows(height);
    for (uint32_t y = 0; y < height; ++y)
        rows[y] = reinterpret_cast<png_bytep>(samples.data() + y * width);
    std::vector<png_text> chunks(texts.size());
    for (size_t i = 0; i < texts.size(); ++i) {
        chunks[i].compression = PNG_TEXT_COMPRESSION_NONE;
        chunks[i].key = const_cast<png_charp>(texts[i].first);
        chunks[i].text = const_cast<png_charp>(texts[i].second);
    }
    const bool ok = [&] {
        if (setjmp(png_jmpbuf(png)))
            return false;
        png_init_io(png, file);
        png_set_IHDR(png, info, width, height, 16, PNG_COLOR_TYPE_GRAY, PNG_INTERLACE_NONE,
                     PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
        png_color_8 sbit{};
        sbit.gray = static_cast<png_byte>(significant);
        png_set_sBIT(png, info, &sbit);
        if (!chunks.empty())
            png_set_text(png, info, chunks.data(), static_cast<int>(chunks.size()));
        png_write_info(png, info);
        png_set_swap(png);
        png_write_image(png, rows.data());
        png_write_end(png, info);
        return true;
    }();
    png_destroy_write_struct(&png, &info);
    return std::fclose(file) == 0 && ok;
}

// The samples of a 16-bit PNG as stored (no scaling), and its sBIT (grey or red); empty when
// it cannot be read.
std::vector<uint16_t> StoredSamples(const std::string& path, int& significant) {
    std::vector<uint16_t> samples;
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file)
        return samples;
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    std::vector<png_bytep> rows;
    const bool ok = [&] {
        if (setjmp(png_jmpbuf(png)))
            return false;
        png_init_io(png, file);
        png_read_info(png, info);
        png_color_8p sbit = nullptr;
        significant = png_get_sBIT(png, info, &sbit) && sbit ? std::max(sbit->gray, sbit->red) : 16;
        png_set_swap(png);
        png_read_update_info(png, info);
        const size_t rowBytes = png_get_rowbytes(png, info);
        const uint32_t height = png_get_image_height(png, info);
        samples.resize(rowBytes / 2 * height);
        for (uint32_t y = 0; y < height; ++y)
            rows.push_back(reinterpret_cast<png_bytep>(samples.data() + y * rowBytes / 2));
        png_read_image(png, rows.data());
        return true;
    }();
    png_destroy_read_struct(&png, &info, nullptr);
    std::fclose(file);
    if (!ok)
        samples.clear();
    return samples;
}

std::vector<uint16_t> FrameSamples(CLumoImage& image) {
    std::vector<uint16_t> samples(image.GetFrameSize() / 2);
    std::memcpy(samples.data(), image.GetFrameData(0, -1, 0), image.GetFrameSize());
    return samples;
}

} // namespace

TEST_F(FileModuleTest, PngSamplesWithFewerSignificantBitsAreStoredScaledAndReadExactly) {
    struct Case {
        uint32_t bits;
        uint32_t channels;
        uint32_t imageClass;
    };
    for (const Case& c :
         {Case{10, 1, 1}, Case{12, 1, 1}, Case{14, 1, 1}, Case{12, 3, 4}, Case{12, 1, 2}}) {
        SCOPED_TRACE(c.bits);
        const uint64_t format = ImageFormat::Make(16, c.bits, c.channels, 0, c.imageClass);
        ImagePtr source = NewImage();
        ASSERT_EQ(source->Allocate(37, 21, format, 0, 1), 0u);
        FillPattern(*source, c.bits);
        const uint16_t largest = static_cast<uint16_t>((1u << c.bits) - 1);
        auto* data = static_cast<uint8_t*>(source->GetFrameData(0, 0, 0));
        std::memcpy(data, &largest, 2); // the brightest sample there is
        std::memset(data + 2, 0, 2);    // and the darkest
        const std::string path = m_folder / ("s" + std::to_string(c.bits) + ".png");
        ASSERT_EQ(WriteFrames(*source, LUMO_FILE_PNG, path), 0u);

        int significant = 0;
        const std::vector<uint16_t> stored = StoredSamples(path, significant);
        ASSERT_EQ(stored.size(), source->GetFrameSize() / 2);
        EXPECT_EQ(significant, static_cast<int>(c.bits));
        EXPECT_EQ(stored[0], 0xFFFF); // full range, as other programs show it
        EXPECT_EQ(stored[1], 0);
        const std::vector<uint16_t> original = FrameSamples(*source);
        for (size_t i = 0; i < stored.size(); ++i)
            ASSERT_EQ(stored[i] >> (16 - c.bits), original[i]) << "sample " << i;

        ImagePtr loaded = NewImage();
        ASSERT_EQ(ReadFrame(path, 0, *loaded), 0u);
        EXPECT_EQ(loaded->GetFormat(nullptr), source->GetFormat(nullptr));
        EXPECT_TRUE(SameFrame(*source, 0, *loaded, -1));
    }
}

TEST_F(FileModuleTest, UnmarkedPngSamplesAreScaledUnlessTheFileIsAnOldOneOfOurs) {
    const uint32_t w = 16, h = 4;
    std::vector<uint16_t> values(w * h), scaled(w * h);
    for (size_t i = 0; i < values.size(); ++i) {
        values[i] = static_cast<uint16_t>((i * 263 + 5) & 0x0FFF);
        scaled[i] = static_cast<uint16_t>(values[i] << 4 | values[i] >> 8);
    }
    struct Case {
        const char* name;
        const std::vector<uint16_t>* samples;
        Texts texts;
    };
    const Case cases[] = {
        {"standard.png", &scaled, {}},
        {"labelled.png", &scaled, {{"Software", "KavrinDemo"}}}, // ours, but samples past 12 bits
        {"old.png", &values, {{"Software", "KavrinDemo"}, {"Make", "Hadrell Optics GmbH"}}},
        {"oldcfa.png", &values, {{"KavrinFormat", "class=2 origin=1,0"}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = m_folder / c.name;
        ASSERT_TRUE(WriteGreyPng(path, w, h, *c.samples, 12, c.texts));
        ImagePtr loaded = NewImage();
        ASSERT_EQ(ReadFrame(path, 0, *loaded), 0u);
        EXPECT_EQ(loaded->GetSignificantBits(), 12u);
        EXPECT_EQ(FrameSamples(*loaded), values);
    }
}

TEST_F(FileModuleTest, ImageMagickSeesOurTwelveBitPngAtFullRange) {
    const std::string identify = "/usr/bin/identify";
    if (access(identify.c_str(), X_OK) != 0)
        GTEST_SKIP() << "identify missing (Debian imagemagick)";
    ImagePtr source = NewImage();
    ASSERT_EQ(source->Allocate(8, 2, ImageFormat::Make(16, 12, 1, 0, 1), 0, 1), 0u);
    auto* data = static_cast<uint16_t*>(source->GetFrameData(0, 0, 0));
    for (int i = 0; i < 16; ++i)
        data[i] = static_cast<uint16_t>(i * 273); // 0 .. 4095
    const std::string path = m_folder / "im.png";
    ASSERT_EQ(WriteFrames(*source, LUMO_FILE_PNG, path), 0u);
    std::string out;
    ASSERT_EQ(RunShellCommand(identify + " -format %[max] '" + path + "' 2>&1", out), 0) << out;
    EXPECT_EQ(out, "65535");
}
