// The file and memory stores and the factory.
#include "tests/settings/IniTestSupport.h"
#include "tests/support/FileSizeLimitedChild.h"

#include <csignal>
#include <filesystem>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;

TEST(IniFactory, TypesAndRelease) {
    for (uint32_t type : {0u, 1u, 2u, 3u}) {
        IniFilePtr ini = MakeIniFile(type);
        ASSERT_TRUE(ini) << type;
        EXPECT_EQ(ini->GetType(), type);
        EXPECT_STREQ(ini->GetFileName(), "");
    }
    EXPECT_EQ(CreateIniFile(4), nullptr);
    EXPECT_EQ(CreateIniFile(0xFFFFFFFFu), nullptr);
    DestroyIniFile(nullptr);
}

TEST(IniMemoryStore, SourceRulesAndPublishedBlock) {
    // An empty document publishes one zero byte, which loads as an empty document again.
    IniFilePtr ini = MakeIniFile(3);
    IniMemDescriptor desc{};
    ini->SetFileName(reinterpret_cast<const char*>(&desc));
    EXPECT_EQ(ini->Save(), 0u);
    ASSERT_NE(desc.pOutput, nullptr);
    EXPECT_EQ(desc.nOutputSize, 1u);
    EXPECT_EQ(desc.pOutput[0], '\0');
    desc.pInput = desc.pOutput;
    desc.nInputSize = desc.nOutputSize;
    EXPECT_EQ(ini->Load(), 0u);
    EXPECT_EQ(ini->GetSectionCount(), 0u);

    // No final line break or zero byte; LF CR as one break; 0xC2 kept; a zero byte inside a
    // line hides the rest of that line; a zero byte at a line start ends the text.
    const std::string block("[A]\nk=v", 7);
    EXPECT_EQ(LoadMem(block)->GetUInt32("A", "k", 1), 1u); // "v" is no number...
    char buf[8];
    LoadMem(block)->GetString("A", "k", "", buf, sizeof buf);
    EXPECT_STREQ(buf, "v");
    EXPECT_EQ(SaveMem(*LoadMem(std::string("\n\r[H]\n", 6))), "\n[H]\n");
    EXPECT_EQ(SaveMem(*LoadMem("[A]\nd=\xC2\xB0\n")), "[A]\nd=\xC2\xB0\n");
    EXPECT_EQ(SaveMem(*LoadMem(std::string("[A]\nk=v\0hidden\nm=1\n\0[B]\n", 25))),
              "[A]\nk=v\nm=1\n");

    // Without a descriptor or input there is nothing to load or save into.
    IniFilePtr bare = MakeIniFile(3);
    EXPECT_EQ(bare->Load(), INI_E_OPEN);
    EXPECT_EQ(bare->Save(), INI_E_OPEN);
    IniMemDescriptor noInput{};
    bare->SetFileName(reinterpret_cast<const char*>(&noInput));
    EXPECT_EQ(bare->Load(), INI_E_OPEN);
}

TEST(IniMemoryStore, LargeDocumentGrowsTheBuffer) {
    IniFilePtr ini = MakeIniFile(3);
    const std::string longValue(10000, 'x');
    for (int i = 0; i < 200; ++i)
        ini->SetString("Big", ("k" + std::to_string(i)).c_str(), longValue.c_str());
    const std::string text = SaveMem(*ini);
    EXPECT_EQ(text.size(), 6u + 200 * 10000 + 200 * 2 + (10 + 90 * 2 + 100 * 3) + 200);
    IniFilePtr again = LoadMem(text);
    EXPECT_EQ(again->GetKeyCount("Big"), 200u);
    EXPECT_EQ(SaveMem(*again), text);
}

TEST(IniFileStore, LoadAndSaveFiles) {
    TempFolder dir;
    const std::string path = dir.File("KavrinDemo.ini");
    IniFilePtr ini = MakeIniFile(0);
    ini->SetFileName(path.c_str());
    EXPECT_STREQ(ini->GetFileName(), path.c_str());
    ini->SetUInt32("COMMON", "CameraType", 3);
    // A missing file fails to load and keeps the document; Save then creates the file.
    EXPECT_EQ(ini->Load(), INI_E_OPEN);
    EXPECT_EQ(ini->GetUInt32("COMMON", "CameraType", 0), 3u);
    const mode_t oldMask = umask(027);
    EXPECT_EQ(ini->Save(), 0u);
    umask(oldMask);
    EXPECT_EQ(ReadFileBytes(path), "[COMMON]\r\nCameraType=3\r\n");
    struct stat st {};
    ASSERT_EQ(stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u); // a new file gets 0666 less the umask

    // The file reader drops 0xC2 before the second and later bytes of a line.
    WriteFileBytes(path, "; \xC2\xB0 top\r\n[S]\rdeg=90\xC2\xB0\nx=\xC2\xC2\xB5\n");
    EXPECT_EQ(ini->Load(), 0u);
    char buf[16];
    ini->GetString("S", "deg", "", buf, sizeof buf);
    EXPECT_STREQ(buf, "90\xB0");
    ini->GetString("S", "x", "", buf, sizeof buf);
    EXPECT_STREQ(buf, "\xC2\xB5");
    EXPECT_EQ(ini->Save(), 0u);
    EXPECT_EQ(ReadFileBytes(path), "; \xB0 top\r\n[S]\r\ndeg=90\xB0\r\nx=\xC2\xB5\r\n");

    // An empty document writes an empty file; a folder is not a settings file.
    EXPECT_EQ(ini->Clear(), 0u);
    EXPECT_EQ(ini->Save(), 0u);
    EXPECT_EQ(ReadFileBytes(path), "");
    ini->SetFileName(dir.Path().c_str());
    EXPECT_EQ(ini->Load(), INI_E_OPEN);
}

TEST(IniFileStore, SaveKeepsModeAndFollowsLinks) {
    TempFolder dir;
    const std::string real = dir.File("real.ini");
    const std::string link = dir.File("link.ini");
    WriteFileBytes(real, "[a]\r\nk=1\r\n");
    ASSERT_EQ(chmod(real.c_str(), 0640), 0);
    ASSERT_EQ(symlink("real.ini", link.c_str()), 0);
    IniFilePtr ini = MakeIniFile(0);
    ini->SetFileName(link.c_str());
    ASSERT_EQ(ini->Load(), 0u);
    ini->SetUInt32("a", "k", 2);
    ASSERT_EQ(ini->Save(), 0u);
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(ReadFileBytes(real), "[a]\r\nk=2\r\n");
    struct stat st {};
    ASSERT_EQ(stat(real.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
    // No temporary file is left behind.
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.Path()), fs::directory_iterator()), 2);
}

// A write that fails half-way (here: the file-size limit is hit) must leave the old file as it
// was, with no temporary file left beside it.
TEST(IniFileStore, FailingWriteLeavesTheOldFileUntouched) {
    TempFolder dir;
    const std::string path = dir.File("settings.ini");
    const std::string original = "[keep]\r\nvalue=original\r\n";
    WriteFileBytes(path, original);

    const int code = RunWithFileSizeLimit(4096, [&] {
        IniFilePtr ini = MakeIniFile(0);
        ini->SetFileName(path.c_str());
        if (ini->Load() != 0)
            return 10;
        ini->SetString("keep", "value", std::string(100000, 'n').c_str());
        return ini->Save() == INI_E_WRITE ? 0 : 11;
    });
    EXPECT_EQ(code, 0);
    EXPECT_EQ(ReadFileBytes(path), original);
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.Path()), fs::directory_iterator()), 1);

    // A folder that does not exist cannot take the temporary file.
    IniFilePtr ini = MakeIniFile(0);
    ini->SetFileName(dir.File("no/such/folder.ini").c_str());
    ini->SetString("a", "b", "c");
    EXPECT_EQ(ini->Save(), INI_E_OPEN);
}
