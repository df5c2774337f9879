// Files we write, read by libtiff's tiffinfo and ImageMagick's identify; files ImageMagick
// writes, read by us. The tools come from Debian (libtiff-tools, imagemagick); a test that lacks
// one is skipped with a message.
#include "external/LumoResult.h"
#include "tests/lumo/FileTestSupport.h"
#include "tests/support/ShellCommand.h"

#include <cstdio>
#include <fstream>
#include <vector>

namespace {

// The tool's path: Debian's /usr/bin first, then the search path; empty when missing.
std::string Tool(const char* name) {
    const std::string own = std::string("/usr/bin/") + name;
    if (access(own.c_str(), X_OK) == 0)
        return own;
    FILE* pipe = popen((std::string("command -v ") + name + " 2>/dev/null").c_str(), "r");
    if (!pipe)
        return {};
    char line[512] = {};
    const bool found = std::fgets(line, sizeof line, pipe) != nullptr;
    pclose(pipe);
    std::string path = found ? line : "";
    while (!path.empty() && (path.back() == '\n' || path.back() == '\r'))
        path.pop_back();
    return path;
}

// Standard output of a shell command; false when it fails.
bool Capture(const std::string& command, std::string& out) {
    return RunShellCommand(command, out) == 0;
}

size_t Occurrences(const std::string& text, const std::string& word) {
    size_t count = 0;
    for (size_t at = text.find(word); at != std::string::npos; at = text.find(word, at + 1))
        ++count;
    return count;
}

std::string Quoted(const std::string& path) {
    return "'" + path + "'";
}

} // namespace

TEST_F(FileModuleTest, OurFilesReadRightInTiffinfoAndIdentify) {
    const std::string tiffinfo = Tool("tiffinfo");
    const std::string identify = Tool("identify");
    if (tiffinfo.empty() || identify.empty())
        GTEST_SKIP() << "tiffinfo or identify missing (Debian libtiff-tools, imagemagick)";
    struct Case {
        uint64_t format;
        uint32_t type;
        const char* name;
        uint64_t frames;
        const char* depth;
    };
    const Case cases[] = {
        {ImageFormat::GREY8, LUMO_FILE_MULTI_TIFF, "g8.tif", 3, "8"},
        {ImageFormat::Make(16, 12, 1, 0, 1), LUMO_FILE_MULTI_TIFF, "g16.tif", 2, "16"},
        {ImageFormat::Make(8, 8, 3, 0, 4), LUMO_FILE_MULTI_TIFF, "rgb.tif", 2, "8"},
        {ImageFormat::Make(16, 16, 3, 0, 4), LUMO_FILE_PNG, "rgb16.png", 1, "16"},
        {ImageFormat::GREY8, LUMO_FILE_BMP, "g8.bmp", 1, "8"},
        {ImageFormat::Make(8, 8, 3, 0, 4), LUMO_FILE_BMP, "rgb.bmp", 1, "8"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ImagePtr source = NewImage();
        ASSERT_EQ(source->Allocate(37, 21, c.format, 0, c.frames), 0u);
        FillPattern(*source, 4);
        const std::string path = m_folder / c.name;
        ASSERT_EQ(WriteFrames(*source, c.type, path), 0u);
        std::string out;
        ASSERT_TRUE(
            Capture(identify + " -format '%w %h %z\\n' " + Quoted(path) + " 2>/dev/null", out))
            << out;
        std::string expected;
        for (uint64_t f = 0; f < c.frames; ++f)
            expected += std::string("37 21 ") + c.depth + "\n";
        EXPECT_EQ(out, expected);
        if (c.type == LUMO_FILE_MULTI_TIFF) {
            ASSERT_TRUE(Capture(tiffinfo + " " + Quoted(path) + " 2>&1", out)) << out;
            EXPECT_EQ(Occurrences(out, "TIFF Directory at offset"), c.frames) << out;
            EXPECT_EQ(Occurrences(out, "Image Width: 37 Image Length: 21"), c.frames) << out;
            EXPECT_EQ(Occurrences(out, std::string("Bits/Sample: ") + c.depth), c.frames) << out;
            EXPECT_EQ(Occurrences(out, "Make: Hadrell Optics GmbH"), 0u); // none set here
        }
    }
    // Colour-filter-array pages with attributes, as tiffinfo lists them.
    ImagePtr cfa = NewImage();
    ASSERT_EQ(cfa->Allocate(16, 8, ImageFormat::CFA8, 0, 2), 0u);
    ASSERT_EQ(cfa->SetAttribute(2, "Hadrell Optics GmbH"), LUMO_OK);
    FillPattern(*cfa, 1);
    const std::string path = m_folder / "cfa.tif";
    ASSERT_EQ(WriteFrames(*cfa, LUMO_FILE_MULTI_TIFF, path), 0u);
    std::string out;
    ASSERT_TRUE(Capture(tiffinfo + " " + Quoted(path) + " 2>&1", out)) << out;
    EXPECT_EQ(Occurrences(out, "TIFF Directory at offset"), 2u) << out;
    EXPECT_EQ(Occurrences(out, "Make: Hadrell Optics GmbH"), 2u) << out;
    EXPECT_EQ(Occurrences(out, "CFAPattern: 1,0,2,1"), 2u) << out; // green, red, blue, green
}

TEST_F(FileModuleTest, FilesImageMagickWritesLoadWithTheirPixels) {
    const std::string convert = Tool("convert");
    if (convert.empty())
        GTEST_SKIP() << "convert missing (Debian imagemagick)";
    // Raw pixels with known values, handed to ImageMagick to write in each format.
    const uint32_t w = 7, h = 5;
    std::vector<uint8_t> grey8(w * h), rgb8(w * h * 3), rgba8(w * h * 4), grey16(w * h * 2);
    for (size_t i = 0; i < grey8.size(); ++i)
        grey8[i] = static_cast<uint8_t>(i * 7);
    for (size_t i = 0; i < rgb8.size(); ++i)
        rgb8[i] = static_cast<uint8_t>(i * 5 + 3);
    for (size_t i = 0; i < rgba8.size(); ++i)
        rgba8[i] = static_cast<uint8_t>(i * 3 + 1);
    for (size_t i = 0; i < grey16.size(); ++i)
        grey16[i] = static_cast<uint8_t>(i * 11 + 2); // little-endian 16-bit samples
    auto store = [&](const char* name, const std::vector<uint8_t>& bytes) {
        std::ofstream(m_folder / name, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()),
                   static_cast<std::streamsize>(bytes.size()));
    };
    store("g8.raw", grey8);
    store("rgb8.raw", rgb8);
    store("rgba8.raw", rgba8);
    store("g16.raw", grey16);
    std::vector<uint8_t> rgbOfRgba;
    for (size_t i = 0; i < rgba8.size(); i += 4)
        rgbOfRgba.insert(rgbOfRgba.end(), rgba8.begin() + static_cast<long>(i),
                         rgba8.begin() + static_cast<long>(i) + 3);

    const std::string size = " -size " + std::to_string(w) + "x" + std::to_string(h) + " ";
    struct Case {
        const char* input;  // ImageMagick's raw input
        const char* output; // the file it writes
        uint64_t frames;
        uint64_t format;
        const std::vector<uint8_t>* pixels;
    };
    const uint64_t rgbFormat = ImageFormat::Make(8, 8, 3, 0, 4);
    const Case cases[] = {
        {"-depth 8 gray:g8.raw gray:g8.raw", "multi.tif", 2, ImageFormat::GREY8, &grey8},
        {"-depth 8 gray:g8.raw -compress lzw", "lzw.tif", 1, ImageFormat::GREY8, &grey8},
        {"-depth 8 rgb:rgb8.raw -define tiff:tile-geometry=16x16", "tiled.tif", 1, rgbFormat,
         &rgb8},
        {"-depth 16 -endian LSB gray:g16.raw", "g16.png", 1, ImageFormat::Make(16, 16, 1, 0, 1),
         &grey16},
        {"-depth 8 rgba:rgba8.raw", "rgba.png", 1, rgbFormat, &rgbOfRgba},
        {"-depth 8 rgb:rgb8.raw", "bmp3:rgb.bmp", 1, rgbFormat, &rgb8},
        {"-depth 8 gray:g8.raw -type Palette", "grey.bmp", 1, ImageFormat::GREY8, &grey8},
        {"-depth 16 -endian LSB gray:g16.raw", "g16.pgm", 1, ImageFormat::Make(16, 16, 1, 0, 1),
         &grey16},
        {"-depth 8 rgb:rgb8.raw", "rgb.ppm", 1, rgbFormat, &rgb8},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.output);
        std::string out;
        ASSERT_TRUE(Capture("cd " + Quoted(m_folder.Path()) + " && " + convert + size + c.input +
                                " " + c.output + " 2>&1",
                            out))
            << out;
        std::string file = c.output;
        if (const size_t colon = file.find(':'); colon != std::string::npos)
            file = file.substr(colon + 1);
        const std::string path = m_folder / file;
        ASSERT_EQ(FrameCountOf(path), c.frames);
        for (uint64_t f = 0; f < c.frames; ++f) {
            ImagePtr loaded = NewImage();
            ASSERT_EQ(ReadFrame(path, f, *loaded), 0u);
            EXPECT_EQ(loaded->GetWidth(), w);
            EXPECT_EQ(loaded->GetHeight(), h);
            EXPECT_EQ(loaded->GetFormat(nullptr), c.format);
            ASSERT_EQ(loaded->GetFrameSize(), c.pixels->size());
            EXPECT_EQ(
                std::memcmp(loaded->GetFrameData(0, -1, 0), c.pixels->data(), c.pixels->size()), 0);
        }
    }
}
