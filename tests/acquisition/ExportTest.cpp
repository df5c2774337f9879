#include "acquisition/BlackOut.h"
#include "acquisition/ExportStage.h"
#include "acquisition/SeriesName.h"
#include "external/LumoResult.h"
#include "tests/acquisition/SaveLoadTestSupport.h"
#include "tests/support/FileSizeLimitedChild.h"

#include <algorithm>
#include <array>
#include <fstream>
#include <iterator>

namespace {

using Entry = NotificationLog::Entry;

class ExportTest : public SequenceTest {
protected:
    // A sequence of `frames` 24 x 10 greyscale frames with varied contents.
    void Fill(CSequenceBase& sequence, uint64_t frames, uint64_t format = ImageFormat::GREY8) {
        ASSERT_EQ(Frames(sequence)->Allocate(24, 10, format, 0, frames), 0u);
        FillFrames(*Frames(sequence));
    }
    void SetType(CSequenceBase& sequence, uint32_t type) {
        ASSERT_EQ(sequence.GetFileModule()->SetParam(LUMO_PARAM_FILE_TYPE, type, 0), 0u);
    }
    // Reads frame `frame` of `path` back through a reader module.
    bool ReadBack(const std::string& path, uint64_t frame, CLumoImage* into,
                  uint64_t* frames = nullptr) {
        CLumoModule* reader = m_pLumo->CreateModule(LUMO_ID_FILE_READER);
        const bool chosen =
            reader->SetParam(LUMO_PARAM_FILE_NAME, LumoArg(path.c_str()), 0) == LUMO_OK &&
            reader->SetParam(LUMO_PARAM_FRAME, frame, 0) == LUMO_OK &&
            reader->SetImages(1, &into) == LUMO_OK;
        if (frames) {
            const LumoOutputInfo* info = reader->GetOutputInfo(0);
            *frames = info ? info->frameCount : 0;
        }
        const bool ok = chosen && reader->Execute(0) == 0;
        m_pLumo->DeleteModule(reader);
        return ok;
    }
    bool SameAs(CSequenceBase& sequence, uint64_t index, CLumoImage* image) {
        return image->GetFrameSize() == Frames(sequence)->GetFrameSize() &&
               std::memcmp(image->GetFrameData(0, -1, 0),
                           Frames(sequence)->GetFrameData(0, static_cast<int64_t>(index), 0),
                           static_cast<size_t>(image->GetFrameSize())) == 0;
    }

    SaveLoadFolder m_folder;
};

// A sequence that keeps a frame record, as a camera does: tag 100 + logical index. Frame
// `lostIndex` (none by default) is lost: its copy comes out black, and its record says so.
class RecordingSequence final : public CSequenceBase {
public:
    ~RecordingSequence() override { Stop(); }
    uint32_t GetSequenceType() override { return 1; }
    bool GetRecordingInfo(framerecord::RecordingInfo& out) override {
        out.camera = "test camera";
        out.frames = GetImageCount();
        return true;
    }
    bool GetFrameRecord(uint64_t index, framerecord::FrameEntry& out) override {
        out.tag = static_cast<uint32_t>(100 + index);
        out.lost = index == lostIndex;
        return true;
    }
    bool CopyValidToImage(uint64_t index, CLumoImage* destination, uint32_t initImage,
                          uint32_t blackOut) override {
        if (index != lostIndex)
            return CSequenceBase::CopyValidToImage(index, destination, initImage, blackOut);
        if (!InitImage(destination))
            return false;
        BlackOut(*destination);
        return true;
    }
    uint64_t lostIndex = UINT64_MAX;
};

// A stage as the view is one: it turns each 8-bit grey frame into packed 8-bit RGB (red the
// inverted sample, green the sample, blue 7), so a black frame comes out red. It fails at call
// `failAt` (counted from 0).
class RgbStage final : public CExportStage {
public:
    explicit RgbStage(CLumoInstance* lumo) : m_image(MakeLumoImage(lumo)) {}
    CLumoImage* Process(CLumoImage& raw) override {
        if (m_calls++ == failAt || !m_image ||
            m_image->Allocate(raw.GetWidth(), raw.GetHeight(), RGB8, 0, 1) != 0)
            return nullptr;
        for (uint32_t y = 0; y < raw.GetHeight(); ++y)
            for (uint32_t x = 0; x < raw.GetWidth(); ++x) {
                uint32_t v = 0;
                if (raw.GetPixel(x, y, &v, 1, -1, 0, 0) != 0 ||
                    m_image->SetPixel(y, x, x, Rendered(v).data(), 3, -1, 0, 0) != 0)
                    return nullptr;
            }
        return m_image.get();
    }
    static std::array<uint32_t, 3> Rendered(uint32_t grey) { return {255 - grey, grey, 7}; }

    static constexpr uint64_t RGB8 = ImageFormat::Make(8, 8, 3, 0, ImageFormat::CLASS_RGB);
    int failAt = -1;

private:
    int m_calls = 0;
    LumoImagePtr m_image;
};

// Flips one byte of `frame`'s pixels where they lie in `path`; false when they are not found.
bool FlipPixelByte(const std::string& path, CLumoImage& frames, int64_t frame) {
    std::fstream file(path, std::ios::in | std::ios::out | std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    const auto* pixels = static_cast<const char*>(frames.GetFrameData(0, frame, 0));
    const size_t at = bytes.find(std::string(pixels, static_cast<size_t>(frames.GetFrameSize())));
    if (at == std::string::npos)
        return false;
    file.clear();
    file.seekp(static_cast<std::streamoff>(at + 7));
    file.put(static_cast<char>(bytes[at + 7] ^ 0x20));
    return static_cast<bool>(file);
}

} // namespace

TEST(SeriesName, SplitsOnlyTheFileNameAndPadsWithoutFormats) {
    std::string base, ext;
    seriesname::Split("/out/run.tif", base, ext);
    EXPECT_EQ(base, "/out/run");
    EXPECT_EQ(ext, ".tif");
    seriesname::Split("/data/run.2/take", base, ext); // the dot belongs to a folder
    EXPECT_EQ(base, "/data/run.2/take");
    EXPECT_EQ(ext, "");
    seriesname::Split(".hidden", base, ext);
    EXPECT_EQ(base, ".hidden");
    EXPECT_EQ(ext, "");
    seriesname::Split("/a/.b", base, ext);
    EXPECT_EQ(base, "/a/.b");
    seriesname::Split("a.b.c", base, ext);
    EXPECT_EQ(base, "a.b");
    EXPECT_EQ(ext, ".c");
    EXPECT_EQ(seriesname::NumberedName("/out/run", 1, ".tif"), "/out/run_00000001.tif");
    EXPECT_EQ(seriesname::NumberedName("x", 123456789, ""), "x_123456789");
    EXPECT_EQ(seriesname::ZeroPadded(99, 4), "0099");
    EXPECT_EQ(seriesname::ZeroPadded(1000, 3), "1000");
    EXPECT_EQ(seriesname::ZeroPadded(UINT64_MAX, 1), "18446744073709551615");

    auto counter = seriesname::FindCounter("/d/seq_0098.bmp");
    EXPECT_EQ(counter.start, 7u);
    EXPECT_EQ(counter.width, 4u);
    EXPECT_EQ(seriesname::FindCounter("/d/image.bmp").width, 0u);
    EXPECT_EQ(seriesname::FindCounter("/d/noext").width, 0u);
    EXPECT_EQ(seriesname::FindCounter("/d7.x/take").width, 0u); // digits before a folder's dot
    EXPECT_EQ(seriesname::FindCounter("42.png").width, 2u);
    EXPECT_EQ(seriesname::FindCounter(".5").width, 0u);
}

TEST_F(ExportTest, PerImageFilesAreNumberedFromTheRangeAndCountIsCut) {
    TestSequence sequence;
    Fill(sequence, 8);
    NotificationLog log;
    log.Attach(sequence);
    SetType(sequence, LUMO_FILE_BMP);
    ASSERT_TRUE(sequence.SaveSequenceToFile((m_folder / "x.bmp").c_str(), 5, 3));
    ASSERT_TRUE(WaitUntilEnded(sequence));
    EXPECT_FALSE(SequenceTestSeam::SaveBusy(sequence));
    EXPECT_EQ(log.Seen(),
              (std::vector<Entry>{
                  {3, 3, false}, {4, 0, false}, {4, 1, false}, {4, 2, false}, {5, 0, false}}));
    const LumoImagePtr image = MakeLumoImage(m_pLumo);
    for (uint64_t k = 0; k < 3; ++k) {
        const std::string name = m_folder / ("x_0000000" + std::to_string(k) + ".bmp");
        ASSERT_TRUE(ReadBack(name, 0, image.get())) << name;
        EXPECT_TRUE(SameAs(sequence, 5 + k, image.get())) << name;
    }
    EXPECT_FALSE(Exists(m_folder / "x_00000003.bmp"));

    // No extension, and more images asked for than there are; a folder with a dot keeps them.
    std::filesystem::create_directory(m_folder / "run.2");
    SetType(sequence, LUMO_FILE_PNG);
    ASSERT_TRUE(sequence.SaveSequenceToFile((m_folder / "run.2/frames").c_str(), 6, 100));
    ASSERT_TRUE(WaitUntilEnded(sequence));
    EXPECT_TRUE(Exists(m_folder / "run.2/frames_00000000"));
    EXPECT_TRUE(Exists(m_folder / "run.2/frames_00000001"));
    EXPECT_FALSE(Exists(m_folder / "run.2/frames_00000002"));
    EXPECT_FALSE(Exists(m_folder / "run_00000000.2/frames"));
    const auto seen = log.Seen();
    ASSERT_GE(seen.size(), 6u);
    EXPECT_EQ(seen[5], (Entry{3, 2, false}));
    EXPECT_EQ(seen.back(), (Entry{5, 0, false}));
}

TEST_F(ExportTest, OneMultiPageFileCarriesTheAttributesAndIsFinished) {
    TestSequence sequence;
    Fill(sequence, 4, ImageFormat::CFA8);
    Frames(sequence)->SetOrigin(1, 1);
    NotificationLog log;
    log.Attach(sequence);
    const std::string path = m_folder / "all.tif";
    ASSERT_TRUE(sequence.SaveSequenceToFile(path.c_str(), 0, UINT64_MAX));
    ASSERT_TRUE(WaitUntilEnded(sequence));
    EXPECT_EQ(log.Seen().back(), (Entry{5, 0, false}));
    uint32_t mode = 0;
    ASSERT_EQ(sequence.GetFileModule()->GetParam(LUMO_PARAM_WRITE_MODE, LumoArg(&mode), 0),
              LUMO_OK);
    EXPECT_EQ(mode, 1u);
    const LumoImagePtr image = MakeLumoImage(m_pLumo);
    uint64_t frames = 0;
    for (uint64_t k = 0; k < 4; ++k) {
        ASSERT_TRUE(ReadBack(path, k, image.get(), &frames));
        EXPECT_EQ(frames, 4u);
        EXPECT_TRUE(SameAs(sequence, k, image.get()));
    }
    EXPECT_EQ(image->GetFormat(nullptr), ImageFormat::CFA8);
    EXPECT_STREQ(image->GetAttribute(2), "Hadrell Optics GmbH");
    EXPECT_STREQ(image->GetAttribute(3), "Sequence base class");
    EXPECT_STREQ(image->GetAttribute(4), "KavrinDemo");
}

TEST_F(ExportTest, AbortAfterTheSecondImageKeepsWhatWasWritten) {
    for (uint32_t type : {LUMO_FILE_MULTI_TIFF, LUMO_FILE_TIFF}) {
        SCOPED_TRACE(type);
        TestSequence sequence;
        Fill(sequence, 6);
        SetType(sequence, type);
        NotificationLog log;
        log.Attach(sequence);
        log.HoldAt(sequence.StopEvent(), 4, 1);
        const std::string path = m_folder / ("abort" + std::to_string(type) + ".tif");
        ASSERT_TRUE(sequence.SaveSequenceToFile(path.c_str(), 0, UINT64_MAX));
        ASSERT_TRUE(log.held.Wait(10000));
        sequence.Stop();
        EXPECT_EQ(log.Seen(), (std::vector<Entry>{{3, 6, false},
                                                  {4, 0, false},
                                                  {4, 1, false},
                                                  {5, static_cast<int32_t>(0xA001000D), false}}));
        EXPECT_LT(log.Seen().back().value, 0); // sign-extended
        const LumoImagePtr image = MakeLumoImage(m_pLumo);
        if (type == LUMO_FILE_MULTI_TIFF) {
            uint64_t frames = 0;
            ASSERT_TRUE(ReadBack(path, 1, image.get(), &frames));
            EXPECT_EQ(frames, 2u);
            uint32_t mode = 0;
            ASSERT_EQ(sequence.GetFileModule()->GetParam(LUMO_PARAM_WRITE_MODE, LumoArg(&mode), 0),
                      LUMO_OK);
            EXPECT_EQ(mode, 1u);
        } else {
            const std::string base = m_folder / ("abort" + std::to_string(type) + "_0000000");
            EXPECT_TRUE(Exists(base + "0.tif"));
            EXPECT_TRUE(Exists(base + "1.tif"));
            EXPECT_FALSE(Exists(base + "2.tif"));
        }
    }
}

TEST_F(ExportTest, RefusalsEmptyRangesAndWriterErrors) {
    TestSequence sequence;
    Fill(sequence, 3);
    NotificationLog log;
    log.Attach(sequence);
    platform::Event started;
    sequence.m_body = [&](TestSequence& self) {
        started.Set();
        self.StopEvent().Wait(-1);
        return 0u;
    };
    ASSERT_TRUE(sequence.StartThread(&CSequenceBase::WorkerThreadProc));
    ASSERT_TRUE(started.Wait(10000));
    EXPECT_FALSE(sequence.SaveSequenceToFile((m_folder / "r.tif").c_str(), 0, 1));
    EXPECT_FALSE(sequence.SaveSequence(nullptr, 0, UINT64_MAX));
    EXPECT_FALSE(sequence.SaveImage(nullptr, 0));
    sequence.Stop();
    EXPECT_FALSE(SequenceTestSeam::SaveBusy(sequence));
    EXPECT_FALSE(Exists(m_folder / "r.tif"));

    // The dialog needs a running application: without one nothing starts.
    EXPECT_FALSE(sequence.SaveSequence(nullptr, 0, UINT64_MAX));
    EXPECT_FALSE(sequence.SaveImage(nullptr, 0));
    EXPECT_FALSE(sequence.IsThreadRunning());

    // A range that starts past the end writes nothing and succeeds.
    ASSERT_TRUE(sequence.SaveSequenceToFile((m_folder / "e.tif").c_str(), 3, 5));
    ASSERT_TRUE(WaitUntilEnded(sequence));
    EXPECT_EQ(log.Seen(), (std::vector<Entry>{{5, 0, false}}));
    EXPECT_FALSE(Exists(m_folder / "e.tif"));

    // A file that cannot be created ends the save with the writer's code.
    ASSERT_TRUE(sequence.SaveSequenceToFile((m_folder / "no/such.tif").c_str(), 0, 2));
    ASSERT_TRUE(WaitUntilEnded(sequence));
    EXPECT_EQ(log.Seen().back(), (Entry{5, static_cast<int32_t>(LUMO_E_FILEWRITE), false}));

    // 16-bit samples do not fit into a bitmap: the writer's code again, nothing left behind.
    TestSequence deep;
    Fill(deep, 1, ImageFormat::Make(16, 16, 1, 0, 1));
    NotificationLog deepLog;
    deepLog.Attach(deep);
    SetType(deep, LUMO_FILE_BMP);
    ASSERT_TRUE(deep.SaveSequenceToFile((m_folder / "d.bmp").c_str(), 0, 1));
    ASSERT_TRUE(WaitUntilEnded(deep));
    EXPECT_EQ(deepLog.Seen().back(), (Entry{5, static_cast<int32_t>(LUMO_E_FILEFORMAT), false}));

    TestSequence without(nullptr);
    EXPECT_FALSE(without.SaveSequenceToFile((m_folder / "w.tif").c_str(), 0, 1));
}

// An abort keeps the frames written so far only when finishing the file works; when it fails
// the save reports the failure, not the abort, for there is no file to keep.
TEST_F(ExportTest, AnAbortWhoseFileCannotBeFinishedReportsTheFailure) {
    TestSequence sequence;
    Fill(sequence, 6);
    SetType(sequence, LUMO_FILE_MULTI_TIFF);
    NotificationLog log;
    log.Attach(sequence);
    log.HoldAt(sequence.StopEvent(), 4, 1);
    const std::string path = m_folder / "gone.tif";
    ASSERT_TRUE(sequence.SaveSequenceToFile(path.c_str(), 0, UINT64_MAX));
    ASSERT_TRUE(log.held.Wait(10000));
    // The hidden temporary goes away under the writer: it cannot take the target's name.
    for (const auto& entry : std::filesystem::directory_iterator(m_folder.Path()))
        std::filesystem::remove(entry.path());
    sequence.Stop();
    ASSERT_FALSE(log.Seen().empty());
    EXPECT_EQ(log.Seen().back(), (Entry{5, static_cast<int32_t>(LUMO_E_FILEWRITE), false}));
    EXPECT_FALSE(Exists(path));
}

TEST_F(ExportTest, AFailedMultiPageSaveKeepsTheFileItWouldReplaceAndLogsTheCause) {
    const std::string path = m_folder / "keep.tif";
    auto contents = [&] {
        std::ifstream in(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    };
    {
        TestSequence sequence;
        Fill(sequence, 5);
        ASSERT_TRUE(sequence.SaveSequenceToFile(path.c_str(), 0, UINT64_MAX));
        ASSERT_TRUE(WaitUntilEnded(sequence));
    }
    const std::string before = contents();
    ASSERT_GT(before.size(), 1000u);
    // The disk fills about half way through the new file.
    const int outcome = RunWithFileSizeLimit(before.size() / 2, [&] {
        TestSequence sequence;
        Fill(sequence, 5);
        RecordingSink sink;
        sequence.SetLog(&sink);
        NotificationLog log;
        log.Attach(sequence);
        if (!sequence.SaveSequenceToFile(path.c_str(), 0, UINT64_MAX) || !WaitUntilEnded(sequence))
            return 10;
        if (log.Seen().back() != Entry{5, static_cast<int32_t>(LUMO_E_FILEWRITE), false})
            return 11;
        const std::vector<std::string> lines = sink.Lines();
        for (const std::string& expected :
             {std::string("0 CSequenceBase::SaveSequenceThread: saving ended with 0xA001000B"),
              "0 CSequenceBase::SaveSequenceThread: cannot write " + path + ": File too large"})
            if (std::find(lines.begin(), lines.end(), expected) == lines.end())
                return 12;
        sequence.SetLog(nullptr);
        return 0;
    });
    EXPECT_EQ(outcome, 0);
    EXPECT_TRUE(contents() == before);
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(m_folder.Path()))
        names.push_back(entry.path().filename().string());
    EXPECT_EQ(names, std::vector<std::string>{"keep.tif"}); // no temporary left behind
}

TEST_F(ExportTest, VerifyAfterSavingReadsTheFilesBackAndReportsADamagedFrame) {
    RecordingSequence sequence;
    ASSERT_EQ(Frames(sequence)->Allocate(24, 10, ImageFormat::GREY8, 0, 3), 0u);
    FillFrames(*Frames(sequence));
    RecordingSink sink;
    sequence.SetLog(&sink);
    NotificationLog log;
    log.Attach(sequence);
    CLumoModule& writer = *sequence.GetFileModule();
    EXPECT_EQ(writer.SetParam(LUMO_PARAM_VERIFY, 2, 0), LUMO_E_INVALIDARG);
    ASSERT_EQ(writer.SetParam(LUMO_PARAM_VERIFY, 1, 0), LUMO_OK);
    uint32_t verify = 0;
    ASSERT_EQ(writer.GetParam(LUMO_PARAM_VERIFY, LumoArg(&verify), 0), LUMO_OK);
    EXPECT_EQ(verify, 1u);

    // A good multi-page save is read back: a second progress run over the frames, result 0.
    ASSERT_TRUE(sequence.SaveSequenceToFile((m_folder / "good.tif").c_str(), 0, UINT64_MAX));
    ASSERT_TRUE(WaitUntilEnded(sequence));
    EXPECT_EQ(log.Seen(), (std::vector<Entry>{{3, 3, false},
                                              {4, 0, false},
                                              {4, 1, false},
                                              {4, 2, false},
                                              {3, 3, false},
                                              {4, 0, false},
                                              {4, 1, false},
                                              {4, 2, false},
                                              {5, 0, false}}));
    EXPECT_EQ(sequence.GetVerifyFailure(), "");

    // One file of a series is damaged after it was written, before it is read back.
    SetType(sequence, LUMO_FILE_TIFF);
    platform::Event written;
    log.HoldAt(written, 4, 2); // the last file is written; the check has not started
    const std::string path = m_folder / "bad.tif";
    ASSERT_TRUE(sequence.SaveSequenceToFile(path.c_str(), 0, UINT64_MAX));
    ASSERT_TRUE(log.held.Wait(10000));
    EXPECT_TRUE(FlipPixelByte(m_folder / "bad_00000001.tif", *Frames(sequence), 1));
    written.Set();
    ASSERT_TRUE(WaitUntilEnded(sequence));
    EXPECT_EQ(log.Seen().back(), (Entry{5, static_cast<int32_t>(SEQ_RESULT_VERIFY_FAILED), false}));
    const std::string failure = sequence.GetVerifyFailure();
    EXPECT_EQ(failure.rfind("frame 1 does not match its record (CRC-32 ", 0), 0u) << failure;
    EXPECT_NE(failure.find("; 1 of 3 frame(s) bad"), std::string::npos) << failure;
    const std::vector<std::string> lines = sink.Lines();
    EXPECT_NE(std::find(lines.begin(), lines.end(),
                        "0 CSequenceBase::SaveSequenceThread: verification failed: " + failure),
              lines.end());

    // A sequence without a record fails the check of what it saved.
    TestSequence plain;
    Fill(plain, 1);
    ASSERT_EQ(plain.GetFileModule()->SetParam(LUMO_PARAM_VERIFY, 1, 0), LUMO_OK);
    const std::string unrecorded = m_folder / "plain.tif";
    ASSERT_TRUE(plain.SaveSequenceToFile(unrecorded.c_str(), 0, UINT64_MAX));
    ASSERT_TRUE(WaitUntilEnded(plain));
    EXPECT_EQ(plain.GetVerifyFailure(), unrecorded + " has no frame record");
    sequence.SetLog(nullptr);
}

// The pixels of frame 0 of `image`, one vector of channel values per pixel, row by row.
std::vector<std::vector<uint32_t>> Pixels(CLumoImage& image) {
    const uint32_t channels = ImageFormat::Channels(image.GetFormat(nullptr));
    std::vector<std::vector<uint32_t>> pixels;
    for (uint32_t y = 0; y < image.GetHeight(); ++y)
        for (uint32_t x = 0; x < image.GetWidth(); ++x) {
            std::vector<uint32_t> values(std::max<uint32_t>(channels, 1));
            EXPECT_EQ(image.GetPixel(x, y, values.data(), values.size(), -1, 0, 0), 0u);
            pixels.push_back(values);
        }
    return pixels;
}

TEST_F(ExportTest, FramesAsDisplayedGoThroughTheStageAndALostFrameStaysBlack) {
    RecordingSequence sequence;
    Fill(sequence, 4);
    sequence.lostIndex = 2;
    RgbStage stage(m_pLumo);
    sequence.SetExportStage(&stage);
    CLumoModule& writer = *sequence.GetFileModule();
    ASSERT_EQ(writer.SetParam(LUMO_PARAM_PROCESSED, 1, 0), LUMO_OK);
    ASSERT_EQ(writer.SetParam(LUMO_PARAM_VERIFY, 1, 0), LUMO_OK); // the records hold the CRCs
    NotificationLog log;
    log.Attach(sequence);
    const std::string path = m_folder / "shown.tif";
    ASSERT_TRUE(sequence.SaveSequenceToFile(path.c_str(), 0, UINT64_MAX));
    ASSERT_TRUE(WaitUntilEnded(sequence));
    EXPECT_EQ(log.Seen().back(), (Entry{5, 0, false})) << sequence.GetVerifyFailure();
    const LumoImagePtr raw = MakeLumoImage(m_pLumo);
    const LumoImagePtr image = MakeLumoImage(m_pLumo);
    for (uint64_t k = 0; k < 4; ++k) {
        SCOPED_TRACE(k);
        ASSERT_TRUE(ReadBack(path, k, image.get()));
        EXPECT_EQ(ImageFormat::ImageClass(image->GetFormat(nullptr)), ImageFormat::CLASS_RGB);
        ASSERT_EQ(raw->Allocate(24, 10, ImageFormat::GREY8, 0, 1), 0u);
        ASSERT_EQ(raw->CopyFrame(Frames(sequence), k, -1, 0, nullptr, 0, 0), 0u);
        std::vector<std::vector<uint32_t>> expected;
        for (const std::vector<uint32_t>& grey : Pixels(*raw)) {
            const std::array<uint32_t, 3> rgb = RgbStage::Rendered(grey[0]);
            expected.push_back(k == 2 ? std::vector<uint32_t>(3, 0)
                                      : std::vector<uint32_t>(rgb.begin(), rgb.end()));
        }
        EXPECT_EQ(Pixels(*image), expected);
        EXPECT_STREQ(image->GetAttribute(2), "Hadrell Optics GmbH");
        EXPECT_STREQ(image->GetAttribute(4), "KavrinDemo");
        framerecord::FrameRecord record;
        ASSERT_TRUE(framerecord::Parse(image->GetAttribute(LUMO_ATTR_RECORD), record));
        EXPECT_EQ(record.frame.index, k);
        EXPECT_EQ(record.frame.lost, k == 2);
    }

    // One image (the first; the save dialog is not needed here) as displayed, the same way.
    ASSERT_EQ(writer.SetParam(LUMO_PARAM_VERIFY, 0, 0), LUMO_OK);
    ASSERT_EQ(writer.SetParam(LUMO_PARAM_FILE_TYPE, LUMO_FILE_PNG, 0), LUMO_OK);
    const std::string single = m_folder / "one.png";
    ASSERT_EQ(writer.SetParam(LUMO_PARAM_FILE_NAME, LumoArg(single.c_str()), 0), LUMO_OK);
    (void)CSequenceBase::SaveImageThreadProc(&sequence); // the result goes out as notification 5
    EXPECT_EQ(log.Seen().back(), (Entry{5, 0, false}));
    ASSERT_TRUE(ReadBack(single, 0, image.get()));
    uint32_t rgb[4] = {};
    ASSERT_EQ(image->GetPixel(0, 0, rgb, 4, -1, 0, 0), 0u);
    const auto* first = static_cast<const uint8_t*>(Frames(sequence)->GetFrameData(0, 0, 0));
    EXPECT_EQ(rgb[0], 255u - first[0]);
    EXPECT_EQ(rgb[2], 7u);
    sequence.SetExportStage(nullptr);
}

TEST_F(ExportTest, FramesAsRecordedOrWithoutAStageAreRawAndAFailingStageEndsTheSave) {
    TestSequence sequence;
    Fill(sequence, 3);
    RgbStage stage(m_pLumo);
    sequence.SetExportStage(&stage);
    NotificationLog log;
    log.Attach(sequence);
    const LumoImagePtr image = MakeLumoImage(m_pLumo);
    // 346 = 0 (the default) leaves the stage alone.
    ASSERT_TRUE(sequence.SaveSequenceToFile((m_folder / "raw.tif").c_str(), 0, UINT64_MAX));
    ASSERT_TRUE(WaitUntilEnded(sequence));
    EXPECT_EQ(log.Seen().back(), (Entry{5, 0, false}));
    for (uint64_t k = 0; k < 3; ++k) {
        ASSERT_TRUE(ReadBack(m_folder / "raw.tif", k, image.get()));
        EXPECT_TRUE(SameAs(sequence, k, image.get())) << k;
    }

    // As displayed, but without a stage (the command-line tool): raw again.
    ASSERT_EQ(sequence.GetFileModule()->SetParam(LUMO_PARAM_PROCESSED, 1, 0), LUMO_OK);
    sequence.SetExportStage(nullptr);
    ASSERT_TRUE(sequence.SaveSequenceToFile((m_folder / "plain.tif").c_str(), 0, UINT64_MAX));
    ASSERT_TRUE(WaitUntilEnded(sequence));
    ASSERT_TRUE(ReadBack(m_folder / "plain.tif", 2, image.get()));
    EXPECT_TRUE(SameAs(sequence, 2, image.get()));

    // The stage fails on the second frame: the save ends as after a failed copy, and the file
    // it would have replaced stays as it was.
    sequence.SetExportStage(&stage);
    stage.failAt = 1;
    const std::string path = m_folder / "raw.tif";
    ASSERT_TRUE(sequence.SaveSequenceToFile(path.c_str(), 0, UINT64_MAX));
    ASSERT_TRUE(WaitUntilEnded(sequence));
    EXPECT_EQ(log.Seen().back(), (Entry{5, static_cast<int32_t>(SEQ_RESULT_COPY_FAILED), false}));
    uint64_t frames = 0;
    ASSERT_TRUE(ReadBack(path, 0, image.get(), &frames));
    EXPECT_EQ(frames, 3u);
    EXPECT_TRUE(SameAs(sequence, 0, image.get()));
    sequence.SetExportStage(nullptr);
}
