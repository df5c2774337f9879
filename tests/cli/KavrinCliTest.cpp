// The kavrin tool as a user runs it: the built program, its output and exit status.
#include "external/LumoFileModules.h"
#include "tests/acquisition/SaveLoadTestSupport.h"
#include "tests/acquisition/SequenceTestSeam.h"
#include "tests/cli/KavrinRun.h"

#include <array>
#include <cstdio>
#include <fstream>
#include <sys/wait.h>

namespace {

class KavrinCli : public SequenceTest {
protected:
    SaveLoadFolder m_folder;
};

} // namespace

TEST_F(KavrinCli, HelpVersionAndWrongCommandLines) {
    CliRun help = Kavrin("--help");
    EXPECT_EQ(help.status, 0);
    for (const char* word : {"info FILE [--json]", "convert IN OUT", "\"frames\"", "\"format\"",
                             "\"image_class\"", "\"bits\"", "\"attributes\""})
        EXPECT_NE(help.out.find(word), std::string::npos) << word;
    EXPECT_EQ(Kavrin("--version").out, "kavrin 1.0.0\n");
    EXPECT_EQ(Kavrin("convert --help").status, 0);
    CliRun unknown = Kavrin("frobnicate", true);
    EXPECT_EQ(unknown.status, 2);
    EXPECT_NE(unknown.out.find("unknown command"), std::string::npos);
    EXPECT_EQ(Kavrin("info").status, 2);
    EXPECT_EQ(Kavrin("convert a").status, 2);
    EXPECT_EQ(Kavrin("convert a b.xyz").status, 2);
    EXPECT_EQ(Kavrin("convert a b.tif --count x").status, 2);
    CliRun missing = Kavrin("info '" + (m_folder / "none.tif") + "'", true);
    EXPECT_EQ(missing.status, 1);
    EXPECT_NE(missing.out.find("file not found (0xA0010008)"), std::string::npos) << missing.out;
}

TEST_F(KavrinCli, ConvertsASequenceAndDescribesTheResult) {
    TestSequence source;
    ASSERT_EQ(Frames(source)->Allocate(30, 20, ImageFormat::Make(16, 12, 1, 0, 1), 0, 5), 0u);
    FillFrames(*Frames(source));
    const std::string in = m_folder / "in.tif";
    ASSERT_TRUE(source.SaveSequenceToFile(in.c_str(), 0, UINT64_MAX));
    ASSERT_TRUE(WaitUntilEnded(source));

    CliRun info = Kavrin("info --json '" + in + "'");
    EXPECT_EQ(info.status, 0);
    EXPECT_EQ(info.out, "{\"file\": \"" + in +
                            "\", \"frames\": 5, \"width\": 30, \"height\": 20, \"format\": "
                            "\"0x01001310\", \"image_class\": 1, \"bits\": 16, "
                            "\"significant_bits\": 12, \"channels\": 1, \"attributes\": {\"2\": "
                            "\"Hadrell Optics GmbH\", \"3\": \"Sequence base class\", \"4\": "
                            "\"KavrinDemo\"}}\n");

    const std::string out = m_folder / "part.png";
    CliRun convert = Kavrin("convert '" + in + "' '" + out + "' --first 1 --count 3");
    EXPECT_EQ(convert.status, 0);
    EXPECT_TRUE(Exists(m_folder / "part_00000002.png"));
    EXPECT_FALSE(Exists(m_folder / "part_00000003.png"));
    // The PNG series loads back as a series and becomes one multi-page file again.
    const std::string again = m_folder / "again.tiff";
    EXPECT_EQ(Kavrin("convert '" + (m_folder / "part_00000000.png") + "' '" + again + "'").status,
              0);
    CliRun back = Kavrin("info '" + again + "'");
    EXPECT_NE(back.out.find("frames:      3"), std::string::npos) << back.out;
    EXPECT_NE(back.out.find("attribute 3: File Sequence"), std::string::npos) << back.out;

    EXPECT_EQ(Kavrin("convert '" + in + "' '" + (m_folder / "x.tif") + "' --first 5").status, 2);
    EXPECT_EQ(Kavrin("convert '" + in + "' '" + (m_folder / "no/x.tif") + "'").status, 1);
    EXPECT_EQ(Kavrin("convert '" + in + "' '" + (m_folder / "d") + "' --type 4").status, 1);
}

TEST_F(KavrinCli, AFailedSaveNamesTheFileAndTheReason) {
    TestSequence source;
    ASSERT_EQ(Frames(source)->Allocate(30, 20, ImageFormat::Make(16, 16, 1, 0, 1), 0, 2), 0u);
    FillFrames(*Frames(source));
    const std::string in = m_folder / "in.tif";
    ASSERT_TRUE(source.SaveSequenceToFile(in.c_str(), 0, UINT64_MAX));
    ASSERT_TRUE(WaitUntilEnded(source));
    { std::ofstream(m_folder / "plain") << "a file, not a folder"; }
    const std::string tif = m_folder / "plain/x.tif";
    CliRun convert = Kavrin("convert '" + in + "' '" + tif + "'", true);
    EXPECT_EQ(convert.status, 1);
    EXPECT_EQ(convert.out, "kavrin: cannot write " + tif + ": Not a directory\n");
    // Per-image files: the name of the file that failed.
    convert = Kavrin("convert '" + in + "' '" + (m_folder / "plain/x.png") + "'", true);
    EXPECT_EQ(convert.out, "kavrin: cannot write " + (m_folder / "plain/x_00000000.png") +
                               ": Not a directory\n");
    // Without a text from the writer the result code speaks.
    const std::string bmp = m_folder / "deep.bmp";
    convert = Kavrin("convert '" + in + "' '" + bmp + "'", true);
    EXPECT_EQ(convert.out, "kavrin: cannot save " + bmp +
                               ": not an image file or layout that can be read or written here "
                               "(0xA0010009)\n");
}

TEST_F(KavrinCli, AnImageLibraryThatMakesNoReaderIsNamedAsTheCause) {
    const std::string library = std::string("KAVRIN_LUMOINST='") + LUMO_WITHOUT_MODULES + "'";
    const std::string file = "'" + (m_folder / "any.tif") + "'";
    CliRun info = RunKavrin(library, "info " + file, true);
    EXPECT_EQ(info.status, 1);
    EXPECT_EQ(info.out, "kavrin: info: the image library did not make a file reader\n");
    CliRun convert =
        RunKavrin(library, "convert " + file + " '" + (m_folder / "b.tif") + "'", true);
    EXPECT_EQ(convert.status, 1);
    EXPECT_EQ(convert.out, "kavrin: convert: the image library did not make a file reader\n");
}
