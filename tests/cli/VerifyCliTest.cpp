// kavrin verify, info --frames and --verify as a user runs them: a recording from the simulated
// grabber verifies, one flipped pixel byte is found and named, a file without a record says so,
// and other programs (tifffile) read the record from the TIFF ImageDescription.
#include "tests/acquisition/SaveLoadTestSupport.h"
#include "tests/cli/KavrinRun.h"

#include <nlohmann/json.hpp>

namespace {

// Flips one bit of the byte `fromEnd` bytes before the end of `path`.
void FlipByte(const std::string& path, std::streamoff fromEnd) {
    std::fstream file(path, std::ios::in | std::ios::out | std::ios::binary);
    file.seekg(-fromEnd, std::ios::end);
    char byte = 0;
    file.read(&byte, 1);
    byte = static_cast<char>(byte ^ 1);
    file.seekp(-fromEnd, std::ios::end);
    file.write(&byte, 1);
    ASSERT_TRUE(file.good()) << path;
}

// Flips one bit of the byte at `offset` of `path`.
void FlipByteAt(const std::string& path, std::streamoff offset) {
    std::fstream file(path, std::ios::in | std::ios::out | std::ios::binary);
    file.seekg(offset);
    char byte = 0;
    file.read(&byte, 1);
    byte = static_cast<char>(byte ^ 1);
    file.seekp(offset);
    file.write(&byte, 1);
    ASSERT_TRUE(file.good()) << path;
}

std::string Quoted(const std::string& path) {
    return "'" + path + "'";
}

class VerifyCli : public ::testing::Test {
protected:
    SaveLoadFolder m_folder;
};

} // namespace

TEST_F(VerifyCli, ARecordingVerifiesAndAFlippedPixelByteNamesItsFrame) {
    const std::string tif = m_folder / "run.tif";
    // Tag 2 dropped: the recording has a black gap at index 2.
    CliRun run = RunKavrin(
        "FGSIM_DROP=list:2",
        "grab --camera 0 --buffers 6 --height 4 --single --verify -o " + Quoted(tif), true);
    ASSERT_EQ(run.status, 0) << run.out;
    EXPECT_NE(run.out.find("7 frames verified"), std::string::npos) << run.out;

    run = Kavrin("info " + Quoted(tif) + " --frames --json");
    ASSERT_EQ(run.status, 0) << run.out;
    const nlohmann::json list = nlohmann::json::parse(run.out, nullptr, false);
    ASSERT_TRUE(list.is_object()) << run.out;
    ASSERT_EQ(list["frames"].size(), 7u);
    EXPECT_EQ(list["recording"]["buffers"], 6);
    EXPECT_EQ(list["recording"]["lost"], nlohmann::json::array({1}));
    EXPECT_EQ(list["recording"]["start_utc"].get<std::string>().back(), 'Z');
    for (size_t i = 0; i < 7; ++i) {
        EXPECT_EQ(list["frames"][i]["index"], i);
        EXPECT_EQ(list["frames"][i]["lost"], i == 2) << i;
        EXPECT_EQ(list["frames"][i]["tag"], i == 2 ? nlohmann::json() : nlohmann::json(i)) << i;
    }

    // A BMP series carries the record in its sidecar; the copy verifies as it is written.
    const std::string bmp = m_folder / "s.bmp";
    run = Kavrin("convert " + Quoted(tif) + " " + Quoted(bmp) + " --verify", true);
    ASSERT_EQ(run.status, 0) << run.out;
    EXPECT_NE(run.out.find("7 frames verified"), std::string::npos) << run.out;
    EXPECT_TRUE(Exists(m_folder / "s_00000000.bmp.kavrin.json"));

    // A PNG series carries a record per file and verifies from any of them on.
    ASSERT_EQ(Kavrin("convert " + Quoted(tif) + " " + Quoted(m_folder / "p.png")).status, 0);
    run = Kavrin("verify " + Quoted(m_folder / "p_00000002.png"), true);
    EXPECT_EQ(run.status, 0) << run.out;
    EXPECT_EQ(run.out, "5 frames verified\n");
    std::filesystem::remove(m_folder / "p_00000006.png");
    run = Kavrin("verify " + Quoted(m_folder / "p_00000002.png"), true);
    EXPECT_NE(run.out.find("p_00000002.png: frame 6 is missing; 1 of 5 frame(s) bad"),
              std::string::npos)
        << run.out;

    FlipByte(m_folder / "s_00000003.bmp", 1);
    run = Kavrin("verify " + Quoted(m_folder / "s_00000000.bmp"), true);
    EXPECT_EQ(run.status, 1) << run.out;
    EXPECT_NE(run.out.find(": frame 3 does not match its record"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("1 of 7 frame(s) bad"), std::string::npos) << run.out;

    // The first page's pixels start right after the 16-byte header.
    FlipByteAt(tif, 16 + 5);
    run = Kavrin("verify " + Quoted(tif), true);
    EXPECT_EQ(run.status, 1) << run.out;
    EXPECT_NE(run.out.find(": frame 0 does not match its record"), std::string::npos) << run.out;

    // A file that lost its last frames has them missing.
    std::filesystem::remove(m_folder / "s_00000006.bmp");
    FlipByte(m_folder / "s_00000003.bmp", 1); // back as it was
    run = Kavrin("verify " + Quoted(m_folder / "s_00000000.bmp"), true);
    EXPECT_EQ(run.status, 1) << run.out;
    EXPECT_NE(run.out.find("frame 6 is missing; 1 of 7"), std::string::npos) << run.out;

    EXPECT_EQ(Kavrin("verify").status, 2);
    EXPECT_EQ(Kavrin("verify a.tif b.tif").status, 2);
    EXPECT_EQ(Kavrin("grab --camera 0 --buffers 6 --single --verify").status, 2);
}

TEST_F(VerifyCli, AFileWithoutARecordReadsAsBeforeAndHasNothingToVerify) {
    const std::string pgm = m_folder / "plain.pgm";
    {
        std::ofstream out(pgm, std::ios::binary);
        out << "P5\n4 2\n255\n" << std::string("\x01\x02\x03\x04\x05\x06\x07\x08", 8);
    }
    CliRun run = Kavrin("info " + Quoted(pgm), true);
    EXPECT_EQ(run.status, 0) << run.out;
    EXPECT_NE(run.out.find("width:       4"), std::string::npos) << run.out;
    run = Kavrin("info " + Quoted(pgm) + " --frames", true);
    EXPECT_EQ(run.status, 0) << run.out;
    EXPECT_NE(run.out.find("record:       none"), std::string::npos) << run.out;
    run = Kavrin("verify " + Quoted(pgm), true);
    EXPECT_EQ(run.status, 1) << run.out;
    EXPECT_NE(run.out.find("plain.pgm has no frame record"), std::string::npos) << run.out;
}

TEST_F(VerifyCli, TifffileReadsTheRecordFromTheImageDescription) {
    std::string ignored;
    if (RunShellCommand("/usr/bin/python3 -c 'import tifffile' 2>/dev/null", ignored) != 0)
        GTEST_SKIP() << "/usr/bin/python3 with tifffile is not installed "
                        "(scripts/install-deps.sh installs python3-tifffile)";
    const std::string tif = m_folder / "run.tif";
    ASSERT_EQ(Kavrin("grab --camera 0 --buffers 4 --height 4 --single -o " + Quoted(tif)).status,
              0);
    std::string out;
    const int status = RunShellCommand(
        "/usr/bin/python3 -c 'import sys, json, tifffile\n"
        "pages = tifffile.TiffFile(sys.argv[1]).pages\n"
        "r = json.loads(pages[2].description)\n"
        "print(len(pages), r[\"kavrin_record\"], r[\"frame\"][\"index\"], r[\"frame\"][\"tag\"], "
        "r[\"recording\"][\"frames\"])' " +
            Quoted(tif),
        out);
    EXPECT_EQ(status, 0);
    EXPECT_EQ(out, "4 1 2 2 4\n");
}
