// The video file types: what players and ffprobe see, what comes back, and how failures end.
#include "external/LumoResult.h"
#include "tests/lumo/VideoTestSupport.h"

#include <chrono>

namespace {

const char* const VIDEO_EXTENSIONS[] = {".mp4", ".mkv", ".avi"};
const char* const CODECS[] = {"h264", "ffv1", "mjpeg"};

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

// Encoding speed of camera-sized frames; run by hand:
//   test_lumo_files --gtest_also_run_disabled_tests --gtest_filter='*EncodingSpeed*'
TEST_F(VideoFileTest, DISABLED_EncodingSpeed) {
    constexpr uint32_t FRAMES = 200;
    ImagePtr source = NewImage();
    ASSERT_EQ(source->Allocate(2320, 1726, ImageFormat::GREY8, 0, 8), 0u);
    for (uint32_t f = 0; f < 8; ++f)
        FillCameraPicture(*source, f);
    for (uint32_t type = LUMO_FILE_MP4; type <= LUMO_FILE_AVI; ++type) {
        const std::string path = m_folder / (std::string("speed") + VIDEO_EXTENSIONS[type - 5]);
        ModulePtr writer = NewWriter();
        ImagePtr work = NewImage();
        CLumoImage* input = work.get();
        ASSERT_EQ(work->Allocate(2320, 1726, ImageFormat::GREY8, 0, 1), 0u);
        ASSERT_EQ(writer->SetParam(LUMO_PARAM_FILE_TYPE, type, 0), 0u);
        ASSERT_EQ(writer->SetParam(LUMO_PARAM_FILE_NAME, LumoArg(path.c_str()), 0), 0u);
        ASSERT_EQ(writer->SetImages(1, &input), 0u);
        const auto start = std::chrono::steady_clock::now();
        for (uint32_t f = 0; f < FRAMES; ++f) {
            ASSERT_EQ(work->CopyFrame(source.get(), f % 8, -1, 0, nullptr, 0, 0), 0u);
            ASSERT_EQ(writer->Execute(0), 0u);
        }
        ASSERT_EQ(writer->SetParam(LUMO_PARAM_WRITE_MODE, 1, 1), 0u);
        const double seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        std::printf("%s: %.1f fps, %.1f MB\n", CODECS[type - 5], FRAMES / seconds,
                    static_cast<double>(std::filesystem::file_size(path)) / 1e6);
    }
}
