// kavrin info and convert on files that are damaged, crafted or oddly named, and convert's
// account of what it wrote.
#include "acquisition/CFileSequence.h"
#include "external/LumoFileModules.h"
#include "tests/acquisition/SaveLoadTestSupport.h"
#include "tests/cli/KavrinRun.h"
#include "tests/lumo/CraftedTiff.h"

#include <fstream>
#include <iterator>

namespace {

class KavrinFileFaults : public SequenceTest {
protected:
    // Saves `frames` 16-bit frames (12 significant bits) of 30 x 20 as a multi-page TIFF.
    std::string Recording(const std::string& name, uint64_t frames) {
        TestSequence source;
        EXPECT_EQ(Frames(source)->Allocate(30, 20, ImageFormat::Make(16, 12, 1, 0, 1), 0, frames),
                  0u);
        FillFrames(*Frames(source));
        const std::string path = m_folder / name;
        EXPECT_TRUE(source.SaveSequenceToFile(path.c_str(), 0, UINT64_MAX));
        EXPECT_TRUE(WaitUntilEnded(source));
        return path;
    }
    static std::string Quoted(const std::string& path) { return "'" + path + "'"; }

    SaveLoadFolder m_folder;
};

// Whether `text` is well-formed UTF-8 (no overlong forms, surrogates or values past U+10FFFF).
bool IsUtf8(const std::string& text) {
    for (size_t i = 0; i < text.size();) {
        const auto c = static_cast<unsigned char>(text[i]);
        const size_t length = c < 0x80         ? 1
                              : (c >> 5) == 6  ? 2
                              : (c >> 4) == 14 ? 3
                              : (c >> 3) == 30 ? 4
                                               : 0;
        if (length == 0 || i + length > text.size())
            return false;
        uint32_t value = length == 1 ? c : c & (0x7F >> length);
        for (size_t k = 1; k < length; ++k) {
            const auto next = static_cast<unsigned char>(text[i + k]);
            if ((next & 0xC0) != 0x80)
                return false;
            value = value << 6 | (next & 0x3F);
        }
        static const uint32_t LEAST[5] = {0, 0, 0x80, 0x800, 0x10000};
        if (value < LEAST[length] || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF))
            return false;
        i += length;
    }
    return true;
}

} // namespace

TEST_F(KavrinFileFaults, ADamagedRecordingGivesItsWholeFramesAndFails) {
    const std::string in = Recording("cut.tif", 5);
    std::ifstream file(in, std::ios::binary);
    std::vector<char> bytes((std::istreambuf_iterator<char>(file)), {});
    file.close();
    bytes.resize(bytes.size() / 2); // inside the third page's data
    StoreBytes(in, bytes);

    CliRun info = Kavrin("info " + Quoted(in));
    EXPECT_EQ(info.status, 1);
    EXPECT_NE(info.out.find("frames:      2 (file damaged after frame 2: page 3: "),
              std::string::npos)
        << info.out;
    CliRun json = Kavrin("info --json " + Quoted(in));
    EXPECT_EQ(json.status, 1);
    EXPECT_NE(json.out.find("\"frames\": 2, "), std::string::npos) << json.out;
    EXPECT_NE(json.out.find(", \"damaged\": \"page 3: "), std::string::npos) << json.out;

    const std::string out = m_folder / "rescued.tif";
    CliRun convert = Kavrin("convert " + Quoted(in) + " " + Quoted(out) + " --count 3", true);
    EXPECT_EQ(convert.status, 1);
    EXPECT_NE(convert.out.find("2 frame(s) could be read"), std::string::npos) << convert.out;
    EXPECT_NE(convert.out.find("2 image(s) written to " + out), std::string::npos) << convert.out;
    EXPECT_NE(Kavrin("info " + Quoted(out)).out.find("frames:      2\n"), std::string::npos);
}

TEST_F(KavrinFileFaults, ConvertNamesWhatItWroteAndRefusesWhatWritesNothing) {
    const std::string in = Recording("in.tif", 4);
    CliRun multi = Kavrin("convert " + Quoted(in) + " " + Quoted(m_folder / "all.tiff"));
    EXPECT_EQ(multi.status, 0);
    EXPECT_EQ(multi.out, "4 image(s) written to " + (m_folder / "all.tiff") + "\n");
    CliRun series =
        Kavrin("convert " + Quoted(in) + " " + Quoted(m_folder / "o.png") + " --first 1");
    EXPECT_EQ(series.status, 0);
    EXPECT_EQ(series.out, "3 image(s) written to " + (m_folder / "o_00000000.png") + " \u2026 " +
                              (m_folder / "o_00000002.png") + "\n");
    CliRun one =
        Kavrin("convert " + Quoted(in) + " " + Quoted(m_folder / "p.png") + " --first 3 --type 3");
    EXPECT_EQ(one.out, "1 image(s) written to " + (m_folder / "p_00000000.png") + "\n");
    EXPECT_TRUE(Exists(m_folder / "p_00000000.png"));

    // An extension naming another type, and a count of nothing, are refused before loading.
    CliRun contradiction =
        Kavrin("convert " + Quoted(in) + " " + Quoted(m_folder / "m.png") + " --type 2", true);
    EXPECT_EQ(contradiction.status, 2);
    EXPECT_NE(contradiction.out.find("does not fit --type 2"), std::string::npos)
        << contradiction.out;
    EXPECT_FALSE(Exists(m_folder / "m_00000000.png"));
    EXPECT_EQ(
        Kavrin("convert " + Quoted(in) + " " + Quoted(m_folder / "t.tif") + " --type 2").status, 0);
    EXPECT_EQ(
        Kavrin("convert " + Quoted(in) + " " + Quoted(m_folder / "plain") + " --type 3").status, 0);
    EXPECT_TRUE(Exists(m_folder / "plain_00000003"));
    CliRun nothing =
        Kavrin("convert " + Quoted(in) + " " + Quoted(m_folder / "z.tif") + " --count 0", true);
    EXPECT_EQ(nothing.status, 2);
    EXPECT_NE(nothing.out.find("--count 0"), std::string::npos) << nothing.out;
    EXPECT_FALSE(Exists(m_folder / "z.tif"));
}

TEST_F(KavrinFileFaults, FramesBeyondTheMemoryShareAreRefusedWithTheSizes) {
    // 6000 pages claiming one shared 64 KiB strip: the reader keeps the one whole page.
    const std::string crafted = m_folder / "crafted.tif";
    StoreBytes(crafted, SharedStripTiff(256, 256, 6000));
    CliRun info = Kavrin("info " + Quoted(crafted));
    EXPECT_EQ(info.status, 1);
    EXPECT_NE(info.out.find("frames:      1 (file damaged after frame 1: page 2: "),
              std::string::npos)
        << info.out;
    const std::string out = m_folder / "crafted_out.tif";
    CliRun convert = Kavrin("convert " + Quoted(crafted) + " " + Quoted(out), true);
    EXPECT_EQ(convert.status, 1);
    EXPECT_NE(convert.out.find("1 image(s) written to"), std::string::npos) << convert.out;
    EXPECT_LT(std::filesystem::file_size(out), 70000u);

    // 5 frames of 1200 bytes take five 4 KiB pages: 20 KiB, more than 75 % of 16 KiB.
    const std::string in = Recording("five.tif", 5);
    CliRun refused = RunKavrin("KAVRIN_MEM_AVAILABLE=16384",
                               "convert " + Quoted(in) + " " + Quoted(m_folder / "r.tif"), true);
    EXPECT_EQ(refused.status, 1);
    EXPECT_NE(refused.out.find("the 5 frames need 20.0 KiB; a sequence may take at most 75 % of "
                               "the 16.0 KiB of available memory"),
              std::string::npos)
        << refused.out;
    EXPECT_FALSE(Exists(m_folder / "r.tif"));
    EXPECT_EQ(RunKavrin("KAVRIN_MEM_AVAILABLE=28000",
                        "convert " + Quoted(in) + " " + Quoted(m_folder / "r.tif"))
                  .status,
              0);
}

TEST_F(KavrinFileFaults, InfoJsonIsUtf8WhateverBytesNamesAndTextsHold) {
    const LumoImagePtr image = MakeLumoImage(m_pLumo);
    ASSERT_EQ(image->Allocate(8, 4, ImageFormat::GREY8, 0, 1), 0u);
    ASSERT_EQ(image->SetAttribute(2, "Mak\xff"), 0u);
    ASSERT_EQ(image->SetAttribute(3, "\xc3(\xe2\x82"), 0u);
    ASSERT_EQ(image->SetAttribute(4, "ok \xed\xa0\x80 \xc0\xaf"), 0u);
    const LumoModulePtr writer = MakeLumoModule(m_pLumo, LUMO_ID_FILE_WRITER);
    const std::string path = m_folder / "bad\xfe\xff name.tif";
    CLumoImage* input = image.get();
    ASSERT_EQ(writer->SetParam(LUMO_PARAM_FILE_TYPE, LUMO_FILE_TIFF, 0), 0u);
    ASSERT_EQ(writer->SetParam(LUMO_PARAM_FILE_NAME, LumoArg(path.c_str()), 0), 0u);
    ASSERT_EQ(writer->SetImages(1, &input), 0u);
    ASSERT_EQ(writer->Execute(0), 0u);
    ASSERT_EQ(writer->SetImages(1, nullptr), 0u);

    CliRun json = Kavrin("info --json " + Quoted(path));
    EXPECT_EQ(json.status, 0);
    EXPECT_TRUE(IsUtf8(json.out)) << json.out;
    EXPECT_NE(json.out.find("\"2\": \"Mak\ufffd\""), std::string::npos) << json.out;
    EXPECT_NE(json.out.find(" name.tif\""), std::string::npos) << json.out;
}
