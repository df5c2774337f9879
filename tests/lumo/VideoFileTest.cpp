// The video file types: what players and ffprobe see, what comes back, and how failures end.
#include "acquisition/FrameRecord.h"
#include "external/LumoResult.h"
#include "tests/lumo/VideoTestSupport.h"
#include "tests/support/FileSizeLimitedChild.h"

#include <cmath>
#include <fstream>
#include <iterator>
#include <sys/stat.h>
#include <sys/wait.h>

namespace {

const char* const VIDEO_EXTENSIONS[] = {".mp4", ".mkv", ".avi"};
const char* const CODECS[] = {"h264", "ffv1", "mjpeg"};

std::string RecordText(uint64_t index, bool lost) {
    framerecord::FrameRecord record;
    record.frame.index = index;
    record.frame.tag = static_cast<uint32_t>(1000 + index);
    record.frame.lost = lost;
    record.recording.camera = "Hadrell HX-2000";
    record.recording.format = ImageFormat::GREY8;
    record.recording.measuredFps = 199.5;
    record.recording.frames = 6;
    record.recording.lost = {1};
    return framerecord::ToText(record);
}

std::string Contents(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::string Text(CLumoModule& module, uint32_t param) {
    std::vector<char> text(4096, 0);
    if (module.GetParam(param, LumoArg(text.data()), text.size()) != LUMO_OK)
        return "(no text)";
    return text.data();
}

// Peak signal-to-noise ratio of 8-bit frame `f` of `a` against `b`'s first frame, in dB.
double Psnr(CLumoImage& a, int64_t f, CLumoImage& b) {
    const auto* x = static_cast<const uint8_t*>(a.GetFrameData(0, f, 0));
    const auto* y = static_cast<const uint8_t*>(b.GetFrameData(0, -1, 0));
    double sum = 0;
    const uint64_t n = a.GetFrameSize();
    for (uint64_t i = 0; i < n; ++i)
        sum += (x[i] - y[i]) * (x[i] - y[i]);
    return sum == 0 ? 99.0 : 10 * std::log10(255.0 * 255.0 * static_cast<double>(n) / sum);
}

class VideoFileTest : public FileModuleTest {
protected:
    // Writes `frames` camera pictures of `width` x `height` 8-bit grey to `path` at `rate`.
    uint32_t WriteCameraFrames(uint32_t type, const std::string& path, uint32_t width,
                               uint32_t height, uint32_t frames, uint32_t rate = 25000) {
        ImagePtr source = NewImage();
        if (source->Allocate(width, height, ImageFormat::GREY8, 0, frames) != 0)
            return 1;
        for (uint32_t f = 0; f < frames; ++f)
            FillCameraPicture(*source, f);
        m_source = std::move(source);
        ModulePtr writer = NewWriter();
        if (writer->SetParam(LUMO_PARAM_VIDEO_RATE, rate, 0) != 0)
            return 2;
        m_writer = std::move(writer);
        return WriteWith(*m_writer, *m_source, type, path);
    }
    // Frames written one by one through m_writer, each with its own record.
    void StartRecordedVideo(uint32_t type, const std::string& path, CLumoImage& image) {
        m_writer = NewWriter();
        m_work = NewImage();
        CLumoImage* input = m_work.get();
        ASSERT_EQ(m_writer->SetParam(LUMO_PARAM_FILE_TYPE, type, 0), 0u);
        ASSERT_EQ(m_writer->SetParam(LUMO_PARAM_FILE_NAME, LumoArg(path.c_str()), 0), 0u);
        ASSERT_EQ(m_writer->SetImages(1, &input), 0u);
        ASSERT_EQ(
            m_work->Allocate(image.GetWidth(), image.GetHeight(), image.GetFormat(nullptr), 0, 1),
            0u);
        uint32_t x = 0, y = 0;
        image.GetOrigin(&x, &y);
        m_work->SetOrigin(x, y);
        ASSERT_EQ(m_work->SetAttribute(2, "Hadrell Optics GmbH"), 0u);
        ASSERT_EQ(m_work->SetAttribute(3, "Run 7"), 0u);
        ASSERT_EQ(m_work->SetAttribute(4, "KavrinDemo"), 0u);
    }
    uint32_t AppendRecorded(CLumoImage& image, uint64_t f) {
        if (const uint32_t rc = m_work->CopyFrame(&image, f, -1, 0, nullptr, 0, 0))
            return rc;
        if (const uint32_t rc = m_work->SetAttribute(5, RecordText(f, f == 2).c_str()))
            return rc;
        return m_writer->Execute(0);
    }
    // WriteFrames with a writer of the caller's settings.
    uint32_t WriteWith(CLumoModule& writer, CLumoImage& image, uint32_t type,
                       const std::string& path) {
        ImagePtr work = NewImage();
        CLumoImage* input = work.get();
        uint32_t rc = writer.SetParam(LUMO_PARAM_FILE_TYPE, type, 0);
        if (rc == 0)
            rc = writer.SetParam(LUMO_PARAM_FILE_NAME, LumoArg(path.c_str()), 0);
        if (rc == 0)
            rc = writer.SetImages(1, &input);
        for (uint64_t f = 0; rc == 0 && f < image.GetFrameCount(); ++f) {
            rc =
                work->Allocate(image.GetWidth(), image.GetHeight(), image.GetFormat(nullptr), 0, 1);
            if (rc == 0)
                rc = work->CopyFrame(&image, f, -1, 0, nullptr, 0, 0);
            if (rc == 0)
                rc = writer.Execute(0);
        }
        return rc != 0 ? rc : writer.SetParam(LUMO_PARAM_WRITE_MODE, 1, 1);
    }

    ImagePtr m_source;
    ImagePtr m_work;
    ModulePtr m_writer{nullptr, ModuleDeleter{nullptr}};
};

} // namespace

TEST_F(VideoFileTest, FfprobeSeesTheCodecSizeFrameCountAndRateOfEveryType) {
    for (uint32_t type = LUMO_FILE_MP4; type <= LUMO_FILE_AVI; ++type) {
        SCOPED_TRACE(CODECS[type - LUMO_FILE_MP4]);
        const std::string path = m_folder / (std::string("probe") + VIDEO_EXTENSIONS[type - 5]);
        ASSERT_EQ(WriteCameraFrames(type, path, 64, 48, 12, 30000), 0u);
        const std::string json = ProbeVideo(path);
        EXPECT_EQ(ProbeField(json, "codec_name"), CODECS[type - LUMO_FILE_MP4]) << json;
        EXPECT_EQ(ProbeField(json, "width"), "64");
        EXPECT_EQ(ProbeField(json, "height"), "48");
        EXPECT_EQ(ProbeField(json, "nb_read_frames"), "12");
        EXPECT_EQ(ProbeField(json, "avg_frame_rate"), "30/1");
    }
}

TEST_F(VideoFileTest, MatroskaKeepsEveryLayoutExactlyWithEachFramesRecordInAnyReadingOrder) {
    const uint64_t layouts[] = {ImageFormat::GREY8, ImageFormat::Make(16, 12, 1, 0, 1),
                                ImageFormat::CFA8, ImageFormat::Make(8, 8, 3, 0, 4),
                                ImageFormat::Make(16, 16, 3, 0, 4)};
    for (const uint64_t format : layouts) {
        SCOPED_TRACE(format);
        ImagePtr source = NewImage();
        ASSERT_EQ(source->Allocate(30, 17, format, 0, 6), 0u);
        source->SetOrigin(1, 1);
        FillPattern(*source, static_cast<uint32_t>(format));
        const std::string path = m_folder / "records.mkv";
        StartRecordedVideo(LUMO_FILE_MKV, path, *source);
        for (uint64_t f = 0; f < 6; ++f)
            ASSERT_EQ(AppendRecorded(*source, f), 0u);
        ASSERT_EQ(m_writer->SetParam(LUMO_PARAM_WRITE_MODE, 1, 1), 0u);
        ASSERT_EQ(FrameCountOf(path), 6u);
        ModulePtr reader = NewReader();
        ImagePtr loaded = NewImage();
        CLumoImage* input = loaded.get();
        ASSERT_EQ(reader->SetParam(LUMO_PARAM_FILE_NAME, LumoArg(path.c_str()), 0), 0u);
        ASSERT_EQ(reader->SetImages(1, &input), 0u);
        // Backwards, forwards, repeated: seeking and reading on.
        for (const uint64_t f : {4, 1, 2, 3, 0, 5, 5}) {
            SCOPED_TRACE(f);
            ASSERT_EQ(reader->SetParam(LUMO_PARAM_FRAME, f, 0), 0u);
            ASSERT_EQ(reader->Execute(0), 0u);
            EXPECT_EQ(loaded->GetFormat(nullptr), format);
            EXPECT_TRUE(SameFrame(*source, static_cast<int64_t>(f), *loaded, -1));
            uint32_t x = 0, y = 0;
            loaded->GetOrigin(&x, &y);
            const bool cfa = ImageFormat::ImageClass(format) == ImageFormat::CLASS_CFA;
            EXPECT_EQ(x, cfa ? 1u : 0u);
            EXPECT_EQ(y, cfa ? 1u : 0u);
            ASSERT_NE(loaded->GetAttribute(5), nullptr);
            EXPECT_EQ(std::string(loaded->GetAttribute(5)), RecordText(f, f == 2));
            ASSERT_NE(loaded->GetAttribute(3), nullptr);
            EXPECT_STREQ(loaded->GetAttribute(3), "Run 7");
        }
    }
}

TEST_F(VideoFileTest, H264AndMotionJpegStayCloseToTheSourceAndKeepTheFirstRecord) {
    for (const uint32_t type : {LUMO_FILE_MP4, LUMO_FILE_AVI}) {
        for (const uint32_t channels : {1u, 3u}) {
            SCOPED_TRACE(std::string(CODECS[type - 5]) + " channels " + std::to_string(channels));
            ImagePtr source = NewImage();
            ASSERT_EQ(source->Allocate(161, 97,
                                       ImageFormat::Make(8, 8, channels, 0, channels == 1 ? 1 : 4),
                                       0, 5),
                      0u);
            for (uint32_t f = 0; f < 5; ++f)
                FillCameraPicture(*source, f);
            const std::string path = m_folder / (std::string("lossy") + VIDEO_EXTENSIONS[type - 5]);
            StartRecordedVideo(type, path, *source);
            for (uint64_t f = 0; f < 5; ++f)
                ASSERT_EQ(AppendRecorded(*source, f), 0u);
            ASSERT_EQ(m_writer->SetParam(LUMO_PARAM_WRITE_MODE, 1, 1), 0u);
            ASSERT_EQ(FrameCountOf(path), 5u);
            for (const uint64_t f : {3, 0, 1, 4}) {
                ImagePtr loaded = NewImage();
                ASSERT_EQ(ReadFrame(path, f, *loaded), 0u);
                ASSERT_EQ(loaded->GetFormat(nullptr), source->GetFormat(nullptr));
                ASSERT_EQ(loaded->GetWidth(), 161u);
                const double psnr = Psnr(*source, static_cast<int64_t>(f), *loaded);
                // H.264 at CRF 18; Motion JPEG at quantiser 4, colour subsampled.
                EXPECT_GT(psnr, type == LUMO_FILE_MP4 && channels == 1 ? 40.0 : 30.0);
                ASSERT_NE(loaded->GetAttribute(5), nullptr);
                EXPECT_EQ(std::string(loaded->GetAttribute(5)), RecordText(0, false));
                ASSERT_NE(loaded->GetAttribute(2), nullptr);
                EXPECT_STREQ(loaded->GetAttribute(2), "Hadrell Optics GmbH");
            }
        }
    }
}

TEST_F(VideoFileTest, FfprobeShowsTheMetadataKeys) {
    for (uint32_t type = LUMO_FILE_MP4; type <= LUMO_FILE_AVI; ++type) {
        SCOPED_TRACE(CODECS[type - 5]);
        ImagePtr source = NewImage();
        ASSERT_EQ(source->Allocate(16, 8, ImageFormat::CFA8, 0, 1), 0u);
        const std::string path = m_folder / (std::string("tags") + VIDEO_EXTENSIONS[type - 5]);
        StartRecordedVideo(type, path, *source);
        ASSERT_EQ(AppendRecorded(*source, 0), 0u);
        ASSERT_EQ(m_writer->SetParam(LUMO_PARAM_WRITE_MODE, 1, 1), 0u);
        const std::string json =
            CommandOutput("/usr/bin/ffprobe -v error -show_format -of json '" + path + "'");
        EXPECT_EQ(ProbeField(json, "title"), "Run 7") << json;
        if (type == LUMO_FILE_AVI) {
            EXPECT_EQ(ProbeField(json, "artist"), "Hadrell Optics GmbH");
            EXPECT_NE(ProbeField(json, "IKEY").find("kavrin_grab_fps=199.5"), std::string::npos);
            continue;
        }
        const bool mkv = type == LUMO_FILE_MKV;
        EXPECT_EQ(ProbeField(json, mkv ? "KAVRIN_FORMAT" : "kavrin_format"), "0x02001208");
        EXPECT_EQ(ProbeField(json, mkv ? "KAVRIN_GRAB_FPS" : "kavrin_grab_fps"), "199.5");
        EXPECT_EQ(ProbeField(json, mkv ? "KAVRIN_PLAYBACK_FPS" : "kavrin_playback_fps"), "25");
    }
}

TEST_F(VideoFileTest, FinishingAfterKFramesGivesAPlayableFileAndDiscardingKeepsTheOldOne) {
    for (uint32_t type = LUMO_FILE_MP4; type <= LUMO_FILE_AVI; ++type) {
        SCOPED_TRACE(CODECS[type - 5]);
        ImagePtr source = NewImage();
        ASSERT_EQ(source->Allocate(48, 32, ImageFormat::GREY8, 0, 9), 0u);
        for (uint32_t f = 0; f < 9; ++f)
            FillCameraPicture(*source, f);
        const std::string path = m_folder / (std::string("abort") + VIDEO_EXTENSIONS[type - 5]);
        StartRecordedVideo(type, path, *source);
        for (uint64_t f = 0; f < 4; ++f)
            ASSERT_EQ(AppendRecorded(*source, f), 0u);
        uint32_t mode = 9;
        ASSERT_EQ(m_writer->GetParam(LUMO_PARAM_WRITE_MODE, LumoArg(&mode), 0), 0u);
        EXPECT_EQ(mode, 0u); // open
        // A frame of another size is refused; the file goes on.
        ImagePtr other = NewImage();
        ASSERT_EQ(m_work->Allocate(50, 32, ImageFormat::GREY8, 0, 1), 0u);
        EXPECT_EQ(m_writer->Execute(0), LUMO_E_FILEFORMAT);
        ASSERT_EQ(m_work->Allocate(48, 32, ImageFormat::GREY8, 0, 1), 0u);
        ASSERT_EQ(AppendRecorded(*source, 4), 0u);
        ASSERT_EQ(m_writer->SetParam(LUMO_PARAM_WRITE_MODE, 1, 1), 0u); // the user's abort
        EXPECT_EQ(ProbeField(ProbeVideo(path), "nb_read_frames"), "5");
        EXPECT_EQ(FrameCountOf(path), 5u);
        const std::string before = Contents(path);

        for (uint64_t f = 0; f < 3; ++f)
            ASSERT_EQ(AppendRecorded(*source, f), 0u);
        ASSERT_FALSE(TemporaryOf(path).empty());
        ASSERT_EQ(m_writer->SetParam(LUMO_PARAM_WRITE_MODE, 2, 1), 0u); // a failed save
        EXPECT_TRUE(TemporaryOf(path).empty());
        EXPECT_EQ(Contents(path), before);
        ASSERT_EQ(m_writer->GetParam(LUMO_PARAM_WRITE_MODE, LumoArg(&mode), 0), 0u);
        EXPECT_EQ(mode, 1u);

        // Deleting the writer finishes the open file.
        for (uint64_t f = 0; f < 2; ++f)
            ASSERT_EQ(AppendRecorded(*source, f), 0u);
        m_writer.reset();
        EXPECT_EQ(FrameCountOf(path), 2u);
    }
}

TEST_F(VideoFileTest, AReadOnlyFolderFailsWithTheReasonAndLeavesNoFile) {
    const std::string folder = m_folder / "locked";
    ASSERT_EQ(mkdir(folder.c_str(), 0555), 0);
    // Root passes any folder's permissions: the child drops to nobody first.
    const int outcome = RunWithFileSizeLimit(RLIM_INFINITY, [&] {
        if (geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0))
            return 1;
        for (uint32_t type = LUMO_FILE_MP4; type <= LUMO_FILE_AVI; ++type) {
            const std::string path = folder + "/x" + VIDEO_EXTENSIONS[type - 5];
            ImagePtr source = NewImage();
            if (source->Allocate(16, 16, ImageFormat::GREY8, 0, 1) != 0)
                return 2;
            ModulePtr writer = NewWriter();
            if (WriteWith(*writer, *source, type, path) != LUMO_E_FILEWRITE)
                return 10 + static_cast<int>(type);
            if (Text(*writer, LUMO_PARAM_LAST_ERROR) !=
                "cannot write " + path + ": Permission denied")
                return 20 + static_cast<int>(type);
        }
        return 0;
    });
    EXPECT_EQ(outcome, 0);
    EXPECT_TRUE(std::filesystem::is_empty(folder));
}

TEST_F(VideoFileTest, AMatroskaFileCutShortReadsItsWholeFramesAndReportsTheDamage) {
    ImagePtr source = NewImage();
    ASSERT_EQ(source->Allocate(40, 24, ImageFormat::Make(16, 12, 1, 0, 1), 0, 6), 0u);
    FillPattern(*source, 3);
    const std::string path = m_folder / "cut.mkv";
    StartRecordedVideo(LUMO_FILE_MKV, path, *source);
    for (uint64_t f = 0; f < 4; ++f)
        ASSERT_EQ(AppendRecorded(*source, f), 0u);
    // What a killed save leaves: the hidden temporary as it stands, and that cut in a frame.
    const std::string killed = m_folder / "killed.mkv";
    std::filesystem::copy_file(TemporaryOf(path), killed);
    const std::string bytes = Contents(killed);
    const std::string cut = m_folder / "cut-in-frame.mkv";
    std::ofstream(cut, std::ios::binary) << bytes.substr(0, bytes.size() - 100);
    for (const auto& [file, whole] : {std::pair{killed, 4u}, std::pair{cut, 3u}}) {
        SCOPED_TRACE(file);
        ModulePtr reader = NewReader();
        ASSERT_EQ(reader->SetParam(LUMO_PARAM_FILE_NAME, LumoArg(file.c_str()), 0), 0u);
        const LumoOutputInfo* info = reader->GetOutputInfo(0);
        ASSERT_NE(info, nullptr);
        EXPECT_EQ(info->frameCount, whole + 1);
        EXPECT_NE(Text(*reader, LUMO_PARAM_DAMAGE), "");
        ImagePtr loaded = NewImage();
        CLumoImage* input = loaded.get();
        ASSERT_EQ(reader->SetImages(1, &input), 0u);
        for (uint64_t f = whole + 1; f-- > 0;) {
            ASSERT_EQ(reader->SetParam(LUMO_PARAM_FRAME, f, 0), 0u);
            if (f == whole) {
                EXPECT_EQ(reader->Execute(0), LUMO_E_FILEDAMAGED);
                continue;
            }
            ASSERT_EQ(reader->Execute(0), 0u);
            EXPECT_TRUE(SameFrame(*source, static_cast<int64_t>(f), *loaded, -1));
            EXPECT_EQ(std::string(loaded->GetAttribute(5)), RecordText(f, f == 2));
        }
        // The frame limit holds for videos too.
        ASSERT_EQ(reader->SetParam(LUMO_PARAM_FRAME_LIMIT, 100, 0), 0u);
        ASSERT_EQ(reader->SetParam(LUMO_PARAM_FRAME, 0, 0), 0u);
        EXPECT_EQ(reader->Execute(0), LUMO_E_OUTOFMEMORY);
    }
    EXPECT_EQ(Text(*NewReader(), LUMO_PARAM_DAMAGE), "");
}
