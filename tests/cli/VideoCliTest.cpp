// kavrin convert, info and verify with the video types as a user runs them: recordings from the
// simulated grabber become MP4, MKV and AVI files that ffprobe reads with the codec, size,
// frame count and rate asked for; an MKV gives back the very pixels; wrong video options are
// refused before anything is written; Ctrl-C leaves a playable video of the frames written.
#include "tests/acquisition/SaveLoadTestSupport.h"
#include "tests/cli/KavrinRun.h"
#include "tests/cli/SavedImages.h"
#include "tests/support/ScopedEnv.h"

#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <nlohmann/json.hpp>
#include <set>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>

extern char** environ;

namespace {

constexpr const char* FFPROBE = "/usr/bin/ffprobe";

std::string Quoted(const std::string& path) {
    return "'" + path + "'";
}

// The first video stream as ffprobe reports it, frames counted; null when it cannot read it.
nlohmann::json Probe(const std::string& file) {
    std::string out;
    if (RunShellCommand(std::string(FFPROBE) +
                            " -v error -count_frames -select_streams v:0 -show_streams -of json " +
                            Quoted(file) + " 2>/dev/null",
                        out) != 0)
        return nullptr;
    const nlohmann::json probe = nlohmann::json::parse(out, nullptr, false);
    if (!probe.is_object() || !probe["streams"].is_array() || probe["streams"].empty())
        return nullptr;
    return probe["streams"][0];
}

// "25/2" as 12.5; 0 for anything else.
double Rate(const nlohmann::json& text) {
    if (!text.is_string())
        return 0;
    const std::string rate = text.get<std::string>();
    const size_t slash = rate.find('/');
    if (slash == std::string::npos)
        return 0;
    const double denominator = std::stod(rate.substr(slash + 1));
    return denominator > 0 ? std::stod(rate.substr(0, slash)) / denominator : 0;
}

uint64_t Frames(const nlohmann::json& stream) {
    return stream.contains("nb_read_frames")
               ? std::stoull(stream["nb_read_frames"].get<std::string>())
               : 0;
}

// The names in `folder`.
std::set<std::string> Listing(const std::string& folder) {
    std::set<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        names.insert(entry.path().filename().string());
    return names;
}

class VideoCli : public SequenceTest {
protected:
    void SetUp() override {
        SequenceTest::SetUp();
        if (!std::filesystem::exists(FFPROBE))
            GTEST_SKIP() << "ffprobe is missing";
    }
    // A recording of `buffers` frames `height` lines high from simulated camera 0 as in.tif.
    std::string Recording(uint64_t buffers, uint64_t height) {
        const std::string in = m_folder / "in.tif";
        const CliRun run =
            Kavrin("grab --camera 0 --buffers " + std::to_string(buffers) + " --height " +
                       std::to_string(height) + " --single -o " + Quoted(in),
                   true);
        EXPECT_EQ(run.status, 0) << run.out;
        return in;
    }
    SaveLoadFolder m_folder;
    ScopedEnv m_noFglib{"KAVRIN_FGLIB", nullptr};
};

} // namespace

TEST_F(VideoCli, WrongVideoOptionsAreRefusedBeforeAnythingIsWritten) {
    const std::string in = Recording(4, 4);
    const std::set<std::string> before = Listing(m_folder.Path());
    const std::string mp4 = Quoted(m_folder / "o.mp4");
    for (const std::string& options :
         {mp4 + " --fps 0", mp4 + " --fps 0.05", mp4 + " --fps 1000.5", mp4 + " --fps abc",
          mp4 + " --fps 1e2", mp4 + " --fps -5", mp4 + " --fps ''", mp4 + " --fps",
          mp4 + " --quality 52", mp4 + " --quality -1", mp4 + " --quality 1.5",
          Quoted(m_folder / "o.png") + " --fps 30", Quoted(m_folder / "o.tif") + " --quality 10",
          Quoted(m_folder / "o.mkv") + " --type 5", mp4 + " --verify",
          Quoted(m_folder / "o.avi") + " --verify"}) {
        SCOPED_TRACE(options);
        const CliRun run = Kavrin("convert " + Quoted(in) + " " + options, true);
        EXPECT_EQ(run.status, 2);
        EXPECT_EQ(run.out.rfind("kavrin: convert: ", 0), 0u) << run.out;
    }
    for (const std::string& options :
         {std::string(" --fps 30"), " -o " + Quoted(m_folder / "g.tif") + " --quality 3",
          " -o " + mp4 + " --verify", " -o " + mp4 + " --fps 2000"}) {
        SCOPED_TRACE(options);
        const CliRun run =
            Kavrin("grab --camera 0 --buffers 4 --height 4 --single" + options, true);
        EXPECT_EQ(run.status, 2);
        EXPECT_EQ(run.out.rfind("kavrin: grab: ", 0), 0u) << run.out;
    }
    EXPECT_EQ(Listing(m_folder.Path()), before);
}

TEST_F(VideoCli, EachVideoTypeHasItsCodecSizeFramesAndRate) {
    const std::string in = Recording(12, 64);
    struct Case {
        const char* name;
        const char* codec;
        const char* options;
        double fps;
    };
    for (const Case& c : {Case{"o.mp4", "h264", " --first 2 --count 7 --fps 12.5", 12.5},
                          Case{"o.mkv", "ffv1", " --first 2 --count 7 --quality 40", 25},
                          Case{"o.avi", "mjpeg", " --first 2 --count 7 --fps 0.1", 0.1},
                          Case{"t.mkv", "ffv1", " --type 6 --fps 1000", 1000}}) {
        SCOPED_TRACE(c.name);
        const std::string out = m_folder / c.name;
        const CliRun run = Kavrin("convert " + Quoted(in) + " " + Quoted(out) + c.options);
        ASSERT_EQ(run.status, 0);
        const uint64_t frames = std::string(c.name) == "t.mkv" ? 12 : 7;
        EXPECT_EQ(run.out, std::to_string(frames) + " image(s) written to " + out + "\n");
        const nlohmann::json stream = Probe(out);
        ASSERT_TRUE(stream.is_object());
        EXPECT_EQ(stream["codec_name"], c.codec);
        EXPECT_EQ(stream["width"], 2320);
        EXPECT_EQ(stream["height"], 64);
        EXPECT_EQ(Frames(stream), frames);
        EXPECT_NEAR(Rate(stream["r_frame_rate"]), c.fps, c.fps * 1e-3);
    }
    // MP4 keeps the first frame's record only: the later frames list none.
    const nlohmann::json list =
        nlohmann::json::parse(Kavrin("info --frames --json " + Quoted(m_folder / "o.mp4")).out);
    ASSERT_EQ(list["frames"].size(), 7u);
    EXPECT_EQ(list["frames"][0]["tag"], 2);
    EXPECT_EQ(list["frames"][1], nlohmann::json({{"index", 1}}));
    EXPECT_EQ(list["recording"]["buffers"], 12);
    // A lossy video cannot match the CRCs of its records: verify refuses it.
    const CliRun lossy = Kavrin("verify " + Quoted(m_folder / "o.mp4"), true);
    EXPECT_EQ(lossy.status, 2);
    EXPECT_NE(lossy.out.find("is lossy"), std::string::npos) << lossy.out;
    // A video of the grab itself.
    const std::string grabbed = m_folder / "g.mkv";
    const CliRun run = Kavrin("grab --camera 0 --buffers 5 --height 8 --single --fps 50 -o " +
                                  Quoted(grabbed) + " --verify",
                              true);
    ASSERT_EQ(run.status, 0) << run.out;
    EXPECT_NE(run.out.find("5 frames verified"), std::string::npos) << run.out;
    EXPECT_NEAR(Rate(Probe(grabbed)["r_frame_rate"]), 50, 0.05);
}

TEST_F(VideoCli, AnMkvKeepsEveryPixelAndItsRecord) {
    ScopedEnv drop("FGSIM_DROP", "list:3");
    const std::string in = Recording(8, 16); // 9 images, index 3 a black lost frame
    const std::string mkv = m_folder / "run.mkv";
    CliRun run = Kavrin("convert " + Quoted(in) + " " + Quoted(mkv) + " --verify");
    ASSERT_EQ(run.status, 0) << run.out;
    EXPECT_EQ(run.out, "9 image(s) written to " + mkv + "\n9 frames verified\n");
    run = Kavrin("verify " + Quoted(mkv));
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out, "9 frames verified\n");

    run = Kavrin("info " + Quoted(mkv));
    EXPECT_EQ(run.status, 0);
    for (const char* line : {"frames:      9\n", "width:       2320\n", "height:      16\n",
                             "format:      0x01001208\n", "image class: 1 (greyscale)\n"})
        EXPECT_NE(run.out.find(line), std::string::npos) << line << run.out;
    const nlohmann::json source = nlohmann::json::parse(Kavrin("info --json " + Quoted(in)).out);
    const nlohmann::json video = nlohmann::json::parse(Kavrin("info --json " + Quoted(mkv)).out);
    for (const char* key : {"frames", "width", "height", "format", "bits", "channels"})
        EXPECT_EQ(video[key], source[key]) << key;

    // The frame list: the same tags, lost flags and CRCs as the recording's.
    const nlohmann::json sourceList =
        nlohmann::json::parse(Kavrin("info --frames --json " + Quoted(in)).out);
    const nlohmann::json videoList =
        nlohmann::json::parse(Kavrin("info --frames --json " + Quoted(mkv)).out);
    EXPECT_EQ(videoList["frames"], sourceList["frames"]);
    EXPECT_EQ(videoList["frames"][3]["lost"], true);

    // And back to a TIFF: the very pixels of the recording.
    const std::string back = m_folder / "back.tif";
    ASSERT_EQ(Kavrin("convert " + Quoted(mkv) + " " + Quoted(back)).status, 0);
    CFileSequence original, returned;
    ASSERT_TRUE(LoadSaved(original, in));
    ASSERT_TRUE(LoadSaved(returned, back));
    ASSERT_EQ(returned.GetImageCount(), 9u);
    for (uint64_t i = 0; i < 9; ++i) {
        const std::vector<uint8_t> pixels = SavedImage(m_pLumo, original, i);
        ASSERT_FALSE(pixels.empty());
        EXPECT_TRUE(pixels == SavedImage(m_pLumo, returned, i)) << "image " << i;
    }
}

namespace {

// kavrin with `arguments` started without a shell, its standard error into `errors`; 0 when it
// could not be started.
pid_t StartKavrin(const std::vector<std::string>& arguments, const std::string& errors) {
    std::vector<char*> argv{const_cast<char*>(KAVRIN_CLI)};
    for (const std::string& argument : arguments)
        argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, errors.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0644);
    pid_t pid = 0;
    const int rc = posix_spawn(&pid, KAVRIN_CLI, &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    return rc == 0 ? pid : 0;
}

} // namespace

TEST_F(VideoCli, CtrlCLeavesAPlayableVideoOfTheFramesWritten) {
    const std::string in = Recording(120, 512);
    const std::string out = m_folder / "cut.mp4";
    const std::string errors = m_folder / "errors.txt";
    std::ofstream(errors).close(); // there before the listing: only the writer's file is new
    const std::set<std::string> before = Listing(m_folder.Path());
    const pid_t pid = StartKavrin({"convert", in, out}, errors);
    ASSERT_NE(pid, 0);
    // The writer's file appears beside the target once the first frame goes out.
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (Listing(m_folder.Path()) == before && std::chrono::steady_clock::now() < until)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    ::kill(pid, SIGINT);
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    std::string message;
    {
        std::ifstream file(errors);
        message.assign(std::istreambuf_iterator<char>(file), {});
    }
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 1) << message;
    const std::string start = "kavrin: convert: aborted: ";
    ASSERT_EQ(message.rfind(start, 0), 0u) << message;
    const uint64_t written = std::stoull(message.substr(start.size()));
    EXPECT_EQ(message,
              start + std::to_string(written) + " of 120 image(s) written to " + out + "\n");
    EXPECT_GE(written, 1u);
    EXPECT_LT(written, 120u);
    // The video under the target name, finished, and nothing else left behind.
    std::set<std::string> after = before;
    after.insert("cut.mp4");
    EXPECT_EQ(Listing(m_folder.Path()), after);
    const nlohmann::json stream = Probe(out);
    ASSERT_TRUE(stream.is_object());
    EXPECT_EQ(Frames(stream), written);
}
