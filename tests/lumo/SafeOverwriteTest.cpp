// Writing over an existing file: the old file survives every failure, and the failure's text
// names the file and the reason.
#include "external/LumoResult.h"
#include "tests/lumo/FileTestSupport.h"
#include "tests/support/FileSizeLimitedChild.h"

#include <algorithm>
#include <fstream>
#include <iterator>
#include <sys/stat.h>
#include <vector>

namespace {

const char* const EXTENSIONS[] = {"", ".tif", ".tif", ".png", ".bmp", ".mp4", ".mkv", ".avi"};

std::string Contents(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::vector<std::string> FolderEntries(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

std::string LastError(CLumoModule& writer) {
    std::vector<char> text(4096, 0);
    if (writer.GetParam(LUMO_PARAM_LAST_ERROR, LumoArg(text.data()), text.size()) != LUMO_OK)
        return "(no text)";
    return text.data();
}

class SafeOverwriteTest : public FileModuleTest {
protected:
    // A writer of `type` for `path` with one 64 x 32 grey frame of varied pixels as its input.
    ModulePtr PreparedWriter(uint32_t type, const std::string& path) {
        ModulePtr writer = NewWriter();
        m_work = NewImage();
        CLumoImage* input = m_work.get();
        EXPECT_EQ(m_work->Allocate(64, 32, ImageFormat::GREY8, 0, 1), 0u);
        FillPattern(*m_work, type);
        EXPECT_EQ(writer->SetParam(LUMO_PARAM_FILE_TYPE, type, 0), 0u);
        EXPECT_EQ(writer->SetParam(LUMO_PARAM_FILE_NAME, LumoArg(path.c_str()), 0), 0u);
        EXPECT_EQ(writer->SetImages(1, &input), 0u);
        return writer;
    }

    ImagePtr m_work;
};

} // namespace

TEST_F(SafeOverwriteTest, AFullDiskWhileOverwritingKeepsTheOldFileAndLeavesNoTemporary) {
    for (uint32_t type = 1; type <= LUMO_FILE_TYPE_COUNT; ++type) {
        SCOPED_TRACE("type " + std::to_string(type));
        const std::string path = m_folder / (std::string("keep") + EXTENSIONS[type]);
        {
            ModulePtr writer = PreparedWriter(type, path);
            for (int page = 0; page < 5; ++page) // five pages in the multi-page file
                ASSERT_EQ(writer->Execute(0), 0u);
            ASSERT_EQ(writer->SetParam(LUMO_PARAM_WRITE_MODE, 1, 1), 0u);
        }
        const std::string before = Contents(path);
        ASSERT_FALSE(before.empty());
        // Room for three and a half pages of the multi-page file, and not for one whole file of
        // the other types.
        const uint64_t limit = type == LUMO_FILE_MULTI_TIFF ? 16 + 7 * 2048 / 2 : 600;
        const int outcome = RunWithFileSizeLimit(limit, [&] {
            ModulePtr writer = PreparedWriter(type, path);
            uint32_t rc = 0;
            int pages = 0;
            while (pages < 10 && (rc = writer->Execute(0)) == 0)
                ++pages;
            // A video's encoder may hold frames back: then finishing meets the full disk.
            const bool video = LumoFileTypeIsVideo(type);
            if (video && rc == 0)
                rc = writer->SetParam(LUMO_PARAM_WRITE_MODE, 1, 1);
            if (rc != LUMO_E_FILEWRITE ||
                (!video && pages != (type == LUMO_FILE_MULTI_TIFF ? 3 : 0)))
                return 10 + pages;
            if (LastError(*writer) != "cannot write " + path + ": File too large")
                return 20;
            // As a failed save ends: the file being written is dropped.
            if ((type == LUMO_FILE_MULTI_TIFF || video) &&
                writer->SetParam(LUMO_PARAM_WRITE_MODE, 2, 1) != LUMO_OK)
                return 30;
            return LastError(*writer).empty() ? 40 : 0; // dropping keeps the cause
        });
        EXPECT_EQ(outcome, 0);
        EXPECT_EQ(Contents(path), before);
        EXPECT_EQ(FolderEntries(m_folder.Path()),
                  std::vector<std::string>{"keep" + std::string(EXTENSIONS[type])});
        std::filesystem::remove(path);
    }
}

TEST_F(SafeOverwriteTest, FailureTextsNameTheFileAndTheReasonAndASuccessClearsThem) {
    { std::ofstream(m_folder / "plain") << "a file, not a folder"; }
    for (uint32_t type = 1; type <= LUMO_FILE_TYPE_COUNT; ++type) {
        SCOPED_TRACE("type " + std::to_string(type));
        const std::string bad = m_folder / (std::string("plain/x") + EXTENSIONS[type]);
        ModulePtr writer = PreparedWriter(type, bad);
        EXPECT_EQ(LastError(*writer), "");
        EXPECT_EQ(writer->Execute(0), LUMO_E_FILEWRITE);
        EXPECT_EQ(LastError(*writer), "cannot write " + bad + ": Not a directory");
        const std::string good = m_folder / (std::string("good") + EXTENSIONS[type]);
        ASSERT_EQ(writer->SetParam(LUMO_PARAM_FILE_NAME, LumoArg(good.c_str()), 0), 0u);
        EXPECT_EQ(writer->Execute(0), 0u);
        EXPECT_EQ(LastError(*writer), "");
    }
    // A layout the type cannot hold is no file system failure: no text.
    ModulePtr writer = PreparedWriter(LUMO_FILE_BMP, m_folder / "plain/deep.bmp");
    ASSERT_EQ(writer->Execute(0), LUMO_E_FILEWRITE);
    ASSERT_EQ(m_work->Allocate(4, 4, ImageFormat::Make(16, 16, 1, 0, 1), 0, 1), 0u);
    EXPECT_EQ(writer->Execute(0), LUMO_E_FILEFORMAT);
    EXPECT_EQ(LastError(*writer), "");
}

TEST_F(SafeOverwriteTest, TheOpenMultiPageFileIsOnlyATemporaryUntilFinishedOrDiscarded) {
    const std::string path = m_folder / "run.tif";
    { std::ofstream(path) << "the run before"; }
    ModulePtr writer = PreparedWriter(LUMO_FILE_MULTI_TIFF, path);
    ASSERT_EQ(writer->Execute(0), 0u);
    ASSERT_EQ(writer->Execute(0), 0u);
    const std::string temporary = TemporaryOf(path);
    ASSERT_FALSE(temporary.empty());
    EXPECT_EQ(FrameCountOf(temporary), 2u);
    EXPECT_EQ(Contents(path), "the run before");
    // The mode a plain open would give: 0666 less the umask.
    const mode_t mask = umask(0);
    umask(mask);
    struct stat info {};
    ASSERT_EQ(stat(temporary.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0666 & ~mask);

    ASSERT_EQ(writer->SetParam(LUMO_PARAM_WRITE_MODE, 2, 1), 0u); // discard
    EXPECT_EQ(FolderEntries(m_folder.Path()), std::vector<std::string>{"run.tif"});
    EXPECT_EQ(Contents(path), "the run before");
    uint32_t mode = 0;
    ASSERT_EQ(writer->GetParam(LUMO_PARAM_WRITE_MODE, LumoArg(&mode), 0), 0u);
    EXPECT_EQ(mode, 1u);
    EXPECT_EQ(writer->SetParam(LUMO_PARAM_WRITE_MODE, 2, 1), 0u); // nothing open: nothing to do

    // Deleting the module finishes the file, as setting the mode to 1 does.
    ASSERT_EQ(writer->Execute(0), 0u);
    writer.reset();
    EXPECT_EQ(FolderEntries(m_folder.Path()), std::vector<std::string>{"run.tif"});
    EXPECT_EQ(FrameCountOf(path), 1u);
}
