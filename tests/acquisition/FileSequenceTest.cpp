#include "acquisition/CFileSequence.h"
#include "acquisition/SeriesName.h"
#include "external/LumoResult.h"
#include "tests/acquisition/SaveLoadTestSupport.h"
#include "tests/support/ScopedEnv.h"

#include <algorithm>

namespace {

using Entry = NotificationLog::Entry;

class FileSequenceTest : public SequenceTest {
protected:
    // Writes `frames` frames of width x height, frame k filled from `seed` + k, as `type`.
    void Write(const std::string& path, uint32_t type, uint64_t frames, uint32_t width = 20,
               uint32_t height = 6) {
        TestSequence source;
        ASSERT_EQ(Frames(source)->Allocate(width, height, ImageFormat::GREY8, 0, frames), 0u);
        FillFrames(*Frames(source));
        ASSERT_EQ(source.GetFileModule()->SetParam(LUMO_PARAM_FILE_TYPE, type, 0), LUMO_OK);
        // One file per image is named by the export; write single files through the module.
        if (type != LUMO_FILE_MULTI_TIFF) {
            CLumoModule* writer = source.GetFileModule();
            const LumoImagePtr work = MakeLumoImage(m_pLumo);
            ASSERT_TRUE(source.CopyValidToImage(0, work.get(), 1, 0));
            CLumoImage* input = work.get();
            ASSERT_EQ(writer->SetImages(1, &input), LUMO_OK);
            ASSERT_EQ(writer->SetParam(LUMO_PARAM_FILE_NAME, LumoArg(path.c_str()), 0), LUMO_OK);
            ASSERT_EQ(writer->Execute(0), 0u);
            ASSERT_EQ(writer->SetImages(1, nullptr), LUMO_OK);
            return;
        }
        ASSERT_TRUE(source.SaveSequenceToFile(path.c_str(), 0, frames));
        ASSERT_TRUE(WaitUntilEnded(source));
    }
    // Loads `path`; returns the final result (notification 2) and leaves the log.
    int64_t Load(CFileSequence& sequence, NotificationLog& log, const std::string& path) {
        log.Attach(sequence);
        EXPECT_TRUE(sequence.LoadSequence(path.c_str()));
        EXPECT_TRUE(WaitUntilEnded(sequence));
        const auto seen = log.Seen();
        return !seen.empty() && seen.back().code == 2 ? seen.back().value : -1;
    }
    uint64_t Loaded(const std::string& path) {
        CFileSequence sequence;
        NotificationLog log;
        EXPECT_EQ(Load(sequence, log, path), 0) << path;
        return sequence.GetImageCount();
    }

    SaveLoadFolder m_folder;
};

} // namespace

TEST_F(FileSequenceTest, MultiFrameFileLoadsWithProgressNotifications) {
    const std::string path = m_folder / "many.tif";
    Write(path, LUMO_FILE_MULTI_TIFF, 25);
    CFileSequence sequence;
    EXPECT_EQ(sequence.GetSequenceType(), 1u);
    EXPECT_STREQ(sequence.GetName(), "File Sequence");
    NotificationLog log;
    EXPECT_EQ(Load(sequence, log, path), 0);
    EXPECT_EQ(log.Seen(),
              (std::vector<Entry>{
                  {0, 1, false}, {1, 1, false}, {1, 10, false}, {1, 20, false}, {2, 0, false}}));
    ASSERT_EQ(sequence.GetImageCount(), 25u);
    TestSequence source;
    ASSERT_EQ(Frames(source)->Allocate(20, 6, ImageFormat::GREY8, 0, 25), 0u);
    FillFrames(*Frames(source));
    for (int64_t f = 0; f < 25; ++f)
        EXPECT_EQ(std::memcmp(Frames(sequence)->GetFrameData(0, f, 0),
                              Frames(source)->GetFrameData(0, f, 0), 120),
                  0)
            << f;
    EXPECT_STREQ(Frames(sequence)->GetAttribute(2), nullptr); // attributes stay in the file
}

TEST_F(FileSequenceTest, NumberedSeriesFollowTheCounterUntilAGapOrMoreDigits) {
    for (int n : {98, 99, 100, 101, 102, 104})
        Write(m_folder / ("seq_" + seriesname::ZeroPadded(static_cast<uint64_t>(n), 4) + ".bmp"),
              LUMO_FILE_BMP, 1);
    EXPECT_EQ(Loaded(m_folder / "seq_0098.bmp"), 5u); // 0103 is missing
    EXPECT_EQ(Loaded(m_folder / "seq_0101.bmp"), 2u);

    Write(m_folder / "frame999.png", LUMO_FILE_PNG, 1);
    Write(m_folder / "frame1000.png", LUMO_FILE_PNG, 1);
    EXPECT_EQ(Loaded(m_folder / "frame999.png"), 1u); // 1000 needs another digit

    Write(m_folder / "image.png", LUMO_FILE_PNG, 1);
    Write(m_folder / "image1.png", LUMO_FILE_PNG, 1);
    EXPECT_EQ(Loaded(m_folder / "image.png"), 1u); // no digits before the dot

    Write(m_folder / "take7", LUMO_FILE_PNG, 1);
    Write(m_folder / "take8", LUMO_FILE_PNG, 1);
    EXPECT_EQ(Loaded(m_folder / "take7"), 1u); // no dot at all

    std::filesystem::create_directory(m_folder / "run.1");
    std::filesystem::create_directory(m_folder / "run.2");
    Write(m_folder / "run.1/take", LUMO_FILE_PNG, 1);
    Write(m_folder / "run.2/take", LUMO_FILE_PNG, 1);
    EXPECT_EQ(Loaded(m_folder / "run.1/take"), 1u); // the dot of a folder is no extension

    // A multi-frame file with one frame is a single file and may start a series.
    Write(m_folder / "one_01.tif", LUMO_FILE_MULTI_TIFF, 1);
    Write(m_folder / "one_02.tif", LUMO_FILE_TIFF, 1);
    EXPECT_EQ(Loaded(m_folder / "one_01.tif"), 2u);
}

TEST_F(FileSequenceTest, StopTrimsTheFramesAndDamageKeepsWhatWasLoaded) {
    const std::string path = m_folder / "long.tif";
    Write(path, LUMO_FILE_MULTI_TIFF, 40);
    {
        CFileSequence sequence;
        NotificationLog log;
        log.Attach(sequence);
        log.HoldAt(SequenceTestSeam::StopEvent(sequence), 1, 10);
        ASSERT_TRUE(sequence.LoadSequence(path.c_str()));
        ASSERT_TRUE(log.held.Wait(10000));
        EXPECT_FALSE(sequence.LoadSequence(path.c_str())); // one load at a time
        sequence.Stop();
        EXPECT_EQ(log.Seen().back(), (Entry{2, 0xA001000D, false}));
        EXPECT_EQ(sequence.GetImageCount(), 10u);
    }
    // A truncated file: the complete pages stay, the load reports the damage.
    std::filesystem::resize_file(path, std::filesystem::file_size(path) - 200);
    {
        CFileSequence sequence;
        NotificationLog log;
        EXPECT_EQ(Load(sequence, log, path), LUMO_E_FILEDAMAGED);
        EXPECT_EQ(sequence.GetImageCount(), 39u);
    }
    // A missing file, and a damaged first file.
    {
        CFileSequence sequence;
        NotificationLog log;
        EXPECT_EQ(Load(sequence, log, m_folder / "none_0001.png"), 0xA0010008);
        EXPECT_EQ(log.Seen(), (std::vector<Entry>{{2, 0xA0010008, false}}));
        EXPECT_EQ(sequence.GetImageCount(), 0u);
    }
    // A later page of another size is reported and not kept.
    {
        TestSequence source;
        CLumoModule* writer = source.GetFileModule();
        const LumoImagePtr work = MakeLumoImage(m_pLumo);
        CLumoImage* input = work.get();
        ASSERT_EQ(writer->SetImages(1, &input), LUMO_OK);
        const std::string mixed = m_folder / "mixed.tif";
        ASSERT_EQ(writer->SetParam(LUMO_PARAM_FILE_NAME, LumoArg(mixed.c_str()), 0), LUMO_OK);
        for (uint32_t width : {8u, 8u, 16u}) {
            ASSERT_EQ(work->Allocate(width, 4, ImageFormat::GREY8, 0, 1), 0u);
            ASSERT_EQ(writer->Execute(0), 0u);
        }
        ASSERT_EQ(writer->SetParam(LUMO_PARAM_WRITE_MODE, 1, 1), LUMO_OK);
        ASSERT_EQ(writer->SetImages(1, nullptr), LUMO_OK);
        CFileSequence sequence;
        NotificationLog log;
        EXPECT_EQ(Load(sequence, log, mixed), 0xA0010006);
        EXPECT_EQ(sequence.GetImageCount(), 2u);
    }
    CFileSequence without(nullptr);
    EXPECT_FALSE(without.LoadSequence(path.c_str()));
    EXPECT_FALSE(without.LoadSequenceWithDialog(nullptr));
    CFileSequence noDialog;
    EXPECT_FALSE(noDialog.LoadSequenceWithDialog(nullptr)); // no application: no dialog
}

TEST_F(FileSequenceTest, FramesBeyondTheMemoryShareAreRefusedBeforeAllocating) {
    const std::string path = m_folder / "big.tif";
    Write(path, LUMO_FILE_MULTI_TIFF, 12, 64, 64); // twelve frames of one 4 KiB page each
    RecordingSink sink;
    {
        ScopedEnv small("KAVRIN_MEM_AVAILABLE", "65535"); // 75 % of it holds eleven pages
        CFileSequence sequence;
        sequence.SetLog(&sink);
        NotificationLog log;
        EXPECT_EQ(Load(sequence, log, path), LUMO_E_OUTOFMEMORY);
        EXPECT_EQ(log.Seen(), (std::vector<Entry>{{2, LUMO_E_OUTOFMEMORY, false}}));
        EXPECT_EQ(sequence.GetImageCount(), 0u);
        const std::string why = "the 12 frames need 48.0 KiB; a sequence may take at most 75 % "
                                "of the 64.0 KiB of available memory";
        EXPECT_EQ(sequence.LoadRefusal(), why);
        const std::vector<std::string> lines = sink.Lines();
        EXPECT_NE(std::find(lines.begin(), lines.end(), "0 CFileSequence::LoadFrames: " + why),
                  lines.end());
        sequence.SetLog(nullptr);
    }
    ScopedEnv enough("KAVRIN_MEM_AVAILABLE", "65536");
    CFileSequence sequence;
    NotificationLog log;
    EXPECT_EQ(Load(sequence, log, path), 0);
    EXPECT_EQ(sequence.GetImageCount(), 12u);
    EXPECT_EQ(sequence.LoadRefusal(), "");
}
