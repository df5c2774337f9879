// The private-profile store: every call goes to the file at once.
#include "tests/settings/IniTestSupport.h"
#include "tests/support/FileSizeLimitedChild.h"

#include <csignal>
#include <cstdio>
#include <filesystem>
#include <gtest/gtest.h>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

namespace {

IniFilePtr OpenSecure(const std::string& path) {
    IniFilePtr ini = MakeIniFile(1);
    if (ini)
        ini->SetFileName(path.c_str());
    return ini;
}

std::string Numbered(const char* prefix, int n) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%s%04d", prefix, n);
    return buf;
}

// Waits for a forked child and gives its exit code (-1 when it did not exit normally).
int ExitCodeOf(pid_t pid) {
    int status = 0;
    if (waitpid(pid, &status, 0) != pid || !WIFEXITED(status))
        return -1;
    return WEXITSTATUS(status);
}

} // namespace

TEST(IniSecureStore, FactoryAndFileWithoutMemory) {
    TempFolder dir;
    const std::string path = dir.File("app.ini");
    IniFilePtr ini = MakeIniFile(1);
    ASSERT_TRUE(ini);
    EXPECT_EQ(ini->GetType(), 1u);
    EXPECT_STREQ(ini->GetFileName(), "");
    EXPECT_EQ(ini->SetFileName(path.c_str()), 0u);
    EXPECT_EQ(ini->GetFileName(), path);

    // Load and Save do nothing; a change reaches the file at once and a second object sees it.
    EXPECT_EQ(ini->Load(), 0u);
    EXPECT_EQ(ini->Save(), 0u);
    EXPECT_FALSE(fs::exists(path));
    EXPECT_EQ(ini->SetUInt32("COMMON", "CameraType", 3), 0u);
    EXPECT_EQ(ReadFileBytes(path), "[COMMON]\r\nCameraType=3\r\n");
    EXPECT_EQ(OpenSecure(path)->GetUInt32("common", "cameratype", 0), 3u);
    WriteFileBytes(path, "[COMMON]\nCameraType=7\n");
    EXPECT_EQ(ini->GetUInt32("COMMON", "CameraType", 0), 7u);
}

TEST(IniSecureStore, FoundMeansTheTextDiffersFromTheDefault) {
    TempFolder dir;
    const std::string path = dir.File("s.ini");
    WriteFileBytes(path, "[S]\nk=5\nempty=\npadded =  x  \n");
    IniFilePtr ini = OpenSecure(path);
    std::string out;
    int found = -1;
    ini->ReadValue("S", "k", "5", out, &found);
    EXPECT_EQ(out, "5");
    EXPECT_EQ(found, 0); // stored, but equal to the default
    ini->ReadValue("S", "k", "", out, &found);
    EXPECT_EQ(found, 1);
    ini->ReadValue("S", "missing", "d", out, &found);
    EXPECT_EQ(out, "d");
    EXPECT_EQ(found, 0);
    ini->ReadValue("S", "empty", "", out, &found);
    EXPECT_EQ(found, 0);
    ini->ReadValue("s", "PADDED", "", out, &found);
    EXPECT_EQ(out, "x"); // the profile trims values
    EXPECT_EQ(found, 1);
    ini->ReadValue(nullptr, "k", "d", out, &found); // never a list of names
    EXPECT_EQ(out, "d");
    EXPECT_EQ(found, 0);

    char buf[8];
    EXPECT_EQ(ini->GetString("S", "k", "5", buf, sizeof buf, &found), 1u);
    EXPECT_STREQ(buf, "5");
    EXPECT_EQ(found, 0);
    EXPECT_EQ(ini->GetUInt32("S", "empty", 9, &found), 9u);
    EXPECT_EQ(found, 0);
}

TEST(IniSecureStore, SectionsAndKeysFromTheProfileLists) {
    TempFolder dir;
    const std::string path = dir.File("s.ini");
    WriteFileBytes(path, "[COMMON]\nCameraType=3\nDebugDoc=1\nbare words\n; note\n[Chain_0]\n");
    IniFilePtr ini = OpenSecure(path);
    EXPECT_EQ(ini->KeyExists("COMMON", "Cam"), 0u); // the whole name part must match
    EXPECT_EQ(ini->KeyExists("common", "cameratype"), 1u);
    EXPECT_EQ(ini->KeyExists("COMMON", "bare words"), 1u);
    EXPECT_EQ(ini->KeyExists("COMMON", nullptr), 0u);
    EXPECT_EQ(ini->KeyExists("Missing", "CameraType"), 0u);

    EXPECT_EQ(ini->GetSectionCount(), 2u);
    char buf[8] = "xxxxxxx";
    EXPECT_EQ(ini->GetSectionName(1, buf, 4), 3u);
    EXPECT_STREQ(buf, "Cha");
    EXPECT_EQ(ini->GetSectionName(2, buf, sizeof buf), 0u);
    EXPECT_STREQ(buf, "Cha");
    EXPECT_EQ(ini->GetSectionName(0, nullptr, 8), INI_E_ARG);
    EXPECT_EQ(ini->GetSectionName(0, buf, 0), INI_E_ARG);
    EXPECT_EQ(ini->SectionExists("chain_0"), 1u);
    EXPECT_EQ(ini->SectionExists("Chain"), 0u);

    EXPECT_EQ(ini->GetKeyCount("COMMON"), 3u);
    EXPECT_EQ(ini->GetKeyCount("Chain_0"), 0u);
    EXPECT_EQ(ini->GetKeyCount(nullptr), INI_E_ARG);
    EXPECT_EQ(ini->GetKeyName("COMMON", 0, buf, sizeof buf), 7u);
    EXPECT_STREQ(buf, "CameraT");
    EXPECT_EQ(ini->GetKeyName("COMMON", 1, buf, sizeof buf), 7u);
    EXPECT_STREQ(buf, "DebugDo");
    EXPECT_EQ(ini->GetKeyName("COMMON", 2, buf, 5), 4u);
    EXPECT_STREQ(buf, "bare");
    EXPECT_EQ(ini->GetKeyName("COMMON", 3, buf, sizeof buf), 0u);
    EXPECT_EQ(ini->GetKeyName(nullptr, 0, buf, sizeof buf), INI_E_ARG);
    EXPECT_EQ(ini->GetKeyName("COMMON", 0, buf, 0), INI_E_ARG);

    EXPECT_EQ(ini->DeleteKey("common", "DEBUGDOC"), 0u);
    EXPECT_EQ(ini->DeleteKey("COMMON", nullptr), INI_E_ARG); // would delete the section
    EXPECT_EQ(ini->DeleteSection("chain_0"), 0u);
    EXPECT_EQ(ini->DeleteSection("Missing"), 0u);
    EXPECT_EQ(ini->DeleteSection(nullptr), INI_E_ARG);
    EXPECT_EQ(ReadFileBytes(path), "[COMMON]\r\nCameraType=3\r\nbare words\r\n; note\r\n");

    EXPECT_EQ(ini->Clear(), 0u);
    EXPECT_FALSE(fs::exists(path));
    EXPECT_EQ(ini->Clear(), INI_E_WRITE); // nothing left to delete
    EXPECT_EQ(ini->GetSectionCount(), 0u);
    EXPECT_EQ(OpenSecure("")->Clear(), INI_E_WRITE);
}

TEST(IniSecureStore, TypedAndListValuesThroughTheProfile) {
    TempFolder dir;
    const std::string path = dir.File("chain.ini");
    IniFilePtr ini = OpenSecure(path);
    EXPECT_EQ(ini->SetHex32("A", "hex", 255), 0u);
    EXPECT_EQ(ini->SetInt64("A", "neg", -5), 0u);
    EXPECT_EQ(ini->SetDouble("A", "pi", 3.14159265), 0u);
    const unsigned char bytes[] = {0x01, 0xAB};
    EXPECT_EQ(ini->SetBinary("A", "bin", bytes, sizeof bytes), 0u);
    EXPECT_EQ(ini->SetListUInt32("Chain_0", "Module", "ObjectID", 12), 0u);
    EXPECT_EQ(ini->SetListUInt32("Chain_0", "Module", "DlgID", 3), 0u);
    EXPECT_EQ(ini->SetListString("Chain_0", "Module", "Name", "a b"), 0u);
    EXPECT_EQ(ReadFileBytes(path),
              "[A]\r\nhex=0x000000FF\r\nneg=-5\r\npi=3.14159\r\nbin=01AB\r\n"
              "\r\n[Chain_0]\r\nModule=ObjectID=12, DlgID=3, Name=\"a b\"\r\n");

    int found = 0;
    EXPECT_EQ(ini->GetUInt64("a", "HEX", 0, &found), 255u);
    EXPECT_EQ(found, 1);
    EXPECT_EQ(ini->GetInt32("A", "neg", 0), -5);
    EXPECT_DOUBLE_EQ(ini->GetDouble("A", "pi", 0), 3.14159);
    unsigned char back[2] = {};
    EXPECT_EQ(ini->GetBinary("A", "bin", nullptr, 0, back, sizeof back, &found), 2u);
    EXPECT_EQ(back[1], 0xAB);
    EXPECT_EQ(ini->GetListCount("Chain_0", "Module"), 3u);
    EXPECT_EQ(ini->GetListUInt32("Chain_0", "Module", "dlgid", 0, &found), 3u);
    EXPECT_EQ(found, 1);
    char name[16];
    EXPECT_EQ(ini->GetListString("Chain_0", "Module", "Name", "", name, sizeof name), 3u);
    EXPECT_STREQ(name, "a b");
    EXPECT_EQ(ini->DeleteListItem("Chain_0", "Module", "ObjectID"), 0u);
    EXPECT_EQ(ini->ListItemExists("Chain_0", "Module", "ObjectID"), 0u);
    EXPECT_EQ(ini->GetListItemName("Chain_0", "Module", 0, name, sizeof name), 5u);
    EXPECT_STREQ(name, "DlgID");
}

TEST(IniSecureStore, ListsAndValuesAreCutAtTheBufferSizes) {
    TempFolder dir;
    const std::string path = dir.File("big.ini");
    // 1300 names of 12 characters: 13 bytes each with the zero. 16383 bytes leave room for
    // 1260 whole names and the first two characters of the next.
    std::string text;
    for (int i = 0; i < 1300; ++i)
        text += "[" + Numbered("Section_", i) + "]\n";
    // 2000 entries "kNNNN=vvvvvvvvvv": 17 bytes each. 32767 bytes hold 1927 whole entries and
    // "k1927=v"; 16383 bytes hold 963 and "k0963=vvvvv".
    text += "[Keys]\n";
    for (int i = 0; i < 2000; ++i)
        text += Numbered("k", i) + "=vvvvvvvvvv\n";
    text += "[Value]\nlong=" + std::string(40000, 'x') + "\n";
    WriteFileBytes(path, text);
    IniFilePtr ini = OpenSecure(path);

    EXPECT_EQ(ini->GetSectionCount(), 1261u);
    char buf[32];
    EXPECT_EQ(ini->GetSectionName(1259, buf, sizeof buf), 12u);
    EXPECT_STREQ(buf, "Section_1259");
    EXPECT_EQ(ini->GetSectionName(1260, buf, sizeof buf), 2u);
    EXPECT_STREQ(buf, "Se");
    EXPECT_EQ(ini->GetSectionName(1261, buf, sizeof buf), 0u);
    EXPECT_EQ(ini->SectionExists("Section_1299"), 0u);
    EXPECT_EQ(ini->SectionExists("Keys"), 0u); // beyond the names buffer, though readable
    EXPECT_EQ(ini->GetString("Keys", "k1999", "", buf, sizeof buf), 10u);

    EXPECT_EQ(ini->GetKeyCount("Keys"), 1928u);
    EXPECT_EQ(ini->KeyExists("Keys", "k1927"), 1u);
    EXPECT_EQ(ini->KeyExists("Keys", "k1928"), 0u);
    EXPECT_EQ(ini->GetKeyName("Keys", 963, buf, sizeof buf), 5u);
    EXPECT_STREQ(buf, "k0963");
    EXPECT_EQ(ini->GetKeyName("Keys", 964, buf, sizeof buf), 0u);

    std::string out;
    int found = 0;
    ini->ReadValue("Value", "long", "", out, &found);
    EXPECT_EQ(out, std::string(32767, 'x'));
    EXPECT_EQ(found, 1);
}

TEST(IniSecureStore, TwoProcessesWritingAtOnceLoseNoWrite) {
    TempFolder dir;
    const std::string path = dir.File("shared.ini");
    constexpr int kKeys = 30;
    pid_t children[2] = {};
    for (int w = 0; w < 2; ++w) {
        children[w] = fork();
        ASSERT_GE(children[w], 0);
        if (children[w] == 0) {
            IniFilePtr ini = OpenSecure(path);
            for (int k = 0; k < kKeys; ++k)
                ini->SetInt32(w ? "Right" : "Left", Numbered("key", k).c_str(), k * 10 + w);
            _exit(0);
        }
    }
    EXPECT_EQ(ExitCodeOf(children[0]), 0);
    EXPECT_EQ(ExitCodeOf(children[1]), 0);
    IniFilePtr ini = OpenSecure(path);
    EXPECT_EQ(ini->GetKeyCount("Left"), static_cast<uint32_t>(kKeys));
    EXPECT_EQ(ini->GetKeyCount("Right"), static_cast<uint32_t>(kKeys));
    for (int k = 0; k < kKeys; ++k) {
        EXPECT_EQ(ini->GetInt32("Left", Numbered("key", k).c_str(), -1), k * 10);
        EXPECT_EQ(ini->GetInt32("Right", Numbered("key", k).c_str(), -1), k * 10 + 1);
    }
}

TEST(IniSecureStore, FailedWriteLeavesTheOldFileUnchanged) {
    TempFolder dir;
    const std::string path = dir.File("keep.ini");
    IniFilePtr ini = OpenSecure(path);
    for (int k = 0; k < 4; ++k) {
        ini->SetString("Keep", Numbered("key", k).c_str(), "some value text");
        ini->SetString("Other", Numbered("key", k).c_str(), "some value text");
    }
    const std::string before = ReadFileBytes(path);
    ASSERT_GT(before.size(), 64u);

    // Below the size of any changed copy no new copy can be written, for root too.
    const int code = RunWithFileSizeLimit(64, [&] {
        IniFilePtr inChild = OpenSecure(path);
        inChild->SetString("Keep", "key0000", "changed");
        inChild->SetString("New", "k", "v");
        const bool deleteFailed = inChild->DeleteKey("Keep", "key0001") == INI_E_WRITE &&
                                  inChild->DeleteSection("Other") == INI_E_WRITE;
        return deleteFailed ? 0 : 1;
    });
    EXPECT_EQ(code, 0) << "a failed deletion reported success";
    EXPECT_EQ(ReadFileBytes(path), before);
    for (const auto& e : fs::directory_iterator(dir.Path())) {
        const std::string name = e.path().filename().string();
        EXPECT_TRUE(name == "keep.ini" || name == "keep.ini.lock") << name;
    }
}

TEST(IniSecureStore, LargeFilesWorkAndWritesThatCannotBeMadeReportFailure) {
    TempFolder dir;
    const std::string path = dir.File("large.ini");
    // Well over the few MiB a settings file used to be allowed.
    std::string text = "[Big]\r\n";
    const std::string line = "key=" + std::string(90, 'v') + "\r\n";
    while (text.size() < (6u << 20))
        text += line;
    text += "[S]\r\nk=7\r\n";
    WriteFileBytes(path, text);
    IniFilePtr ini = OpenSecure(path);
    EXPECT_EQ(ini->GetUInt32("S", "k", 0), 7u);
    EXPECT_EQ(ini->SetUInt32("S", "k", 8), 0u);
    EXPECT_EQ(ini->GetUInt32("S", "k", 0), 8u);

    // Names and values the profile cannot hold are refused; the file stays as it was.
    const std::string before = ReadFileBytes(path);
    EXPECT_EQ(ini->SetString("S", "a=b", "v"), INI_E_ARG);
    EXPECT_EQ(ini->SetString("S", "k", "two\nlines"), INI_E_ARG);
    EXPECT_EQ(ini->SetString("a]b", "k", "v"), INI_E_ARG);
    EXPECT_EQ(ini->SetListString("S", "L", "say \"hi\"", "v"), INI_E_ARG);
    EXPECT_EQ(ReadFileBytes(path), before);

    // A file beyond the reader's bound is not read, and a write to it reports failure.
    fs::resize_file(path, (size_t{256} << 20) + 1); // sparse: nothing is really written
    EXPECT_EQ(ini->GetUInt32("S", "k", 5), 5u);
    EXPECT_EQ(ini->SetUInt32("S", "k", 9), INI_E_WRITE);
    EXPECT_EQ(ini->SetString("S", "k", "9"), INI_E_WRITE);
    EXPECT_EQ(ini->SetListUInt32("S", "L", "i", 9), INI_E_WRITE);
    EXPECT_EQ(fs::file_size(path), (size_t{256} << 20) + 1);
}
