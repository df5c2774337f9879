#include "platform/Profile.h"
#include "platform/MultiSz.h"
#include "tests/support/FileSizeLimitedChild.h"

#include <csignal>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;
using platform::Profile;

namespace {

class ProfileFile : public ::testing::Test {
protected:
    void SetUp() override {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        m_dir = fs::temp_directory_path() /
                ("kavrin-profile-" + std::to_string(getpid()) + "-" + info->name());
        fs::remove_all(m_dir);
        fs::create_directories(m_dir);
        m_path = (m_dir / "test.ini").string();
    }
    void TearDown() override { fs::remove_all(m_dir); }

    void Put(const std::string& bytes) const { std::ofstream(m_path, std::ios::binary) << bytes; }
    std::string Bytes() const {
        std::ifstream in(m_path, std::ios::binary);
        std::stringstream ss;
        ss << in.rdbuf();
        return ss.str();
    }
    std::string Get(const char* section, const char* key, const char* def = "-") const {
        char buf[256];
        const uint32_t n = Profile(m_path).GetString(section, key, def, buf, sizeof buf);
        return std::string(buf, n);
    }
    std::vector<std::string> Names() const {
        char buf[256];
        Profile(m_path).GetSectionNames(buf, sizeof buf);
        return platform::SplitMultiSz(buf, sizeof buf);
    }
    std::vector<std::string> Entries(const char* section) const {
        char buf[256];
        Profile(m_path).GetSection(section, buf, sizeof buf);
        return platform::SplitMultiSz(buf, sizeof buf);
    }
    // Every file in the folder except the INI file and its lock file.
    std::vector<std::string> Leftovers() const {
        std::vector<std::string> names;
        for (const auto& e : fs::directory_iterator(m_dir)) {
            const std::string name = e.path().filename().string();
            if (name != "test.ini" && name != "test.ini.lock")
                names.push_back(name);
        }
        return names;
    }

    fs::path m_dir;
    std::string m_path;
};

using Strings = std::vector<std::string>;

} // namespace

TEST_F(ProfileFile, ReadsNamesAndValuesByPrivateProfileRules) {
    Put(std::string("; comment\r\n"
                    "orphan=1\n"
                    "[ Camera ]\r"
                    "  Type =  3  \n"
                    "type=4\r\n"
                    ";Hidden=1\n"
                    "Gain\t=\t7\r\n"
                    "loose word\n"
                    "\n"
                    "[camera]\n"
                    "Extra=9\n"
                    "[Other] trailing\n"
                    "Key=a=b\n"
                    "Nul=x") +
        std::string(1, '\0') + "y\n" + "Empty=\r\n");
    EXPECT_EQ(Get("CAMERA", "TYPE"), "3");   // case, trimming, first key wins
    EXPECT_EQ(Get(" camera ", "gain"), "7"); // tabs trimmed, the asked names too
    EXPECT_EQ(Get("camera", "Extra"), "-");  // only the first section of a name is read
    EXPECT_EQ(Get("Other", "Key"), "a=b");   // the value runs from the first "="
    EXPECT_EQ(Get("Other", "Nul"), "x");     // a zero byte ends the line
    EXPECT_EQ(Get("Other", "Empty"), "");    // present but empty: not the default
    EXPECT_EQ(Get("Camera", "Hidden"), "-"); // comments are not keys
    EXPECT_EQ(Get("Camera", ";Hidden"), "-");
    EXPECT_EQ(Get("", "orphan"), "-"); // lines before the first header belong to no section
    EXPECT_EQ(Get("Camera", "Missing", nullptr), "");
    EXPECT_EQ(Get("Missing", "Type", "5 "), "5 "); // the default comes back unchanged

    EXPECT_EQ(Names(), (Strings{"Camera", "camera", "Other"}));
    EXPECT_EQ(Entries("CAMERA"), (Strings{"Type=3", "type=4", "Gain=7", "loose word"}));
    EXPECT_EQ(Entries("other"), (Strings{"Key=a=b", "Nul=x", "Empty="}));
    EXPECT_EQ(Entries("Missing"), Strings{});

    // A null section or key asks for the names instead of a value.
    char buf[64];
    uint32_t n = Profile(m_path).GetString(nullptr, "x", "d", buf, sizeof buf);
    EXPECT_EQ(platform::SplitMultiSz(buf, n + 1), (Strings{"Camera", "camera", "Other"}));
    n = Profile(m_path).GetString("Camera", nullptr, "d", buf, sizeof buf);
    EXPECT_EQ(platform::SplitMultiSz(buf, n + 1), (Strings{"Type", "type", "Gain"}));

    // A value longer than the buffer is cut to size - 1.
    EXPECT_EQ(Profile(m_path).GetString("Other", "Key", "", buf, 3), 2u);
    EXPECT_STREQ(buf, "a=");
    EXPECT_EQ(Profile(m_path).GetString("Other", "Key", "", buf, 0), 0u);

    fs::remove(m_path);
    EXPECT_EQ(Get("Camera", "Type"), "-");
    EXPECT_EQ(Names(), Strings{});
}

TEST(ProfileLists, CutsListsThatDoNotFit) {
    const Strings names{"abc", "defgh"};
    auto copy = [&](uint32_t size, uint32_t& result) {
        std::string buf(16, '#');
        result = platform::CopyMultiSz(names, buf.data(), size);
        return buf;
    };
    uint32_t r = 0;
    EXPECT_EQ(copy(16, r).substr(0, 12), std::string("abc\0defgh\0\0#", 12));
    EXPECT_EQ(r, 10u);
    EXPECT_EQ(copy(11, r).substr(0, 12), std::string("abc\0defgh\0\0#", 12)); // exact fit
    EXPECT_EQ(r, 10u);
    // One byte short: the last name keeps what leaves room for two zeros; result size - 2.
    EXPECT_EQ(copy(10, r).substr(0, 11), std::string("abc\0defg\0\0#", 11));
    EXPECT_EQ(r, 8u);
    EXPECT_EQ(copy(6, r).substr(0, 7), std::string("abc\0\0\0#", 7));
    EXPECT_EQ(r, 4u);
    EXPECT_EQ(copy(5, r).substr(0, 6), std::string("abc\0\0#", 6));
    EXPECT_EQ(r, 3u);
    EXPECT_EQ(copy(3, r).substr(0, 4), std::string("a\0\0#", 4));
    EXPECT_EQ(r, 1u);
    EXPECT_EQ(copy(1, r).substr(0, 2), std::string("\0#", 2));
    EXPECT_EQ(r, 0u);
    EXPECT_EQ(copy(0, r), std::string(16, '#'));
    EXPECT_EQ(r, 0u);

    std::string one(4, '#');
    EXPECT_EQ(platform::CopyZString("hello", one.data(), 4), 3u);
    EXPECT_EQ(one, std::string("hel\0", 4));
    EXPECT_EQ(platform::CopyZString("hello", nullptr, 4), 0u);
}

TEST_F(ProfileFile, WritesCreateWhatIsMissingAndKeepEveryOtherLine) {
    Profile profile(m_path);
    EXPECT_TRUE(profile.WriteString("Camera", "Type", "3"));
    EXPECT_EQ(Bytes(), "[Camera]\r\nType=3\r\n");

    Put("# kept\n"
        "[ Camera ]\n"
        "  TYPE = 3 ; not a comment\n"
        "; tail comment\n"
        "\n"
        "\n"
        "[Other]\r"
        "x=1");
    ::chmod(m_path.c_str(), 0640);
    EXPECT_TRUE(profile.WriteString("camera", "type", "4"));
    EXPECT_TRUE(profile.WriteString("Camera", "Gain", " 7 "));
    EXPECT_TRUE(profile.WriteString("New", "k", "v"));
    EXPECT_EQ(Bytes(), "# kept\r\n"
                       "[ Camera ]\r\n"
                       "TYPE=4\r\n"
                       "; tail comment\r\n"
                       "Gain= 7 \r\n"
                       "\r\n"
                       "\r\n"
                       "[Other]\r\n"
                       "x=1\r\n"
                       "\r\n"
                       "[New]\r\n"
                       "k=v\r\n");
    EXPECT_EQ(Get("Camera", "Gain"), "7");
    struct stat st {};
    ASSERT_EQ(stat(m_path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);

    // Writing the value that is already there leaves the file itself alone.
    const auto inode = st.st_ino;
    EXPECT_TRUE(profile.WriteString("Other", "X", "1"));
    ASSERT_EQ(stat(m_path.c_str(), &st), 0);
    EXPECT_EQ(st.st_ino, inode);
    EXPECT_EQ(Leftovers(), Strings{});
}

TEST_F(ProfileFile, NullTextDeletesKeysAndSections) {
    Profile profile(m_path);
    EXPECT_TRUE(profile.WriteString("S", "k", nullptr)); // nothing to delete: no file made
    EXPECT_TRUE(profile.WriteSection("S", nullptr));
    EXPECT_FALSE(fs::exists(m_path));

    Put("[A]\na=1\nb=2\n; note\n\n[a]\nc=3\n[B]\nd=4\n");
    EXPECT_TRUE(profile.WriteString("A", "A", nullptr));
    EXPECT_EQ(Entries("A"), (Strings{"b=2"}));
    EXPECT_TRUE(profile.WriteString("a", nullptr, "ignored")); // null key: the section goes
    EXPECT_EQ(Names(), (Strings{"a", "B"}));
    EXPECT_EQ(Entries("A"), (Strings{"c=3"})); // the second section of the name shows now
    EXPECT_TRUE(profile.WriteSection("A", nullptr));
    EXPECT_EQ(Bytes(), "[B]\r\nd=4\r\n");
    EXPECT_TRUE(profile.WriteString("B", "d", nullptr));
    EXPECT_EQ(Bytes(), "[B]\r\n");

    EXPECT_TRUE(profile.DeleteFile());
    EXPECT_FALSE(fs::exists(m_path));
    EXPECT_FALSE(profile.DeleteFile());
}

TEST_F(ProfileFile, WriteSectionReplacesTheEntries) {
    Profile profile(m_path);
    Put("[A]\na=1\nb=2\n\n[B]\nc=3\n");
    EXPECT_TRUE(profile.WriteSection("a", "x=9\0y = 8\0\0"));
    EXPECT_TRUE(profile.WriteSection("C", "z=1\0\0"));
    EXPECT_EQ(Bytes(), "[A]\r\nx=9\r\ny = 8\r\n\r\n[B]\r\nc=3\r\n\r\n[C]\r\nz=1\r\n");
    EXPECT_EQ(Get("A", "Y"), "8");
    EXPECT_FALSE(profile.WriteSection("A", "ok=1\0[Injected]\0\0"));
    EXPECT_FALSE(profile.WriteSection("A", "line\nbreak\0\0"));
    EXPECT_EQ(Get("A", "x"), "9");
}

TEST_F(ProfileFile, RefusesTextsThatWouldNotReadBack) {
    Profile profile(m_path);
    Put("[S]\nk=1\n");
    const std::string before = Bytes();
    EXPECT_FALSE(profile.WriteString("S", "k", "2\r\n[Evil]\r\nx=1"));
    EXPECT_FALSE(profile.WriteString("S", "a=b", "1"));
    EXPECT_FALSE(profile.WriteString("S", ";k", "1"));
    EXPECT_FALSE(profile.WriteString("S", "[k", "1"));
    EXPECT_FALSE(profile.WriteString("S", "  ", "1"));
    EXPECT_FALSE(profile.WriteString("S]", "k", "1"));
    EXPECT_FALSE(profile.WriteString("", "k", "1"));
    EXPECT_FALSE(profile.WriteString(nullptr, "k", "1"));
    EXPECT_FALSE(profile.WriteSection(nullptr, nullptr));
    EXPECT_EQ(Bytes(), before);
}

TEST_F(ProfileFile, FailedWriteLeavesTheFileAsItWas) {
    Put("[S]\r\nk=old\r\n");
    const std::string before = Bytes();
    const std::string big(4096, 'v');

    // The file-size limit makes the temporary file's write fail.
    const int code = RunWithFileSizeLimit(
        64, [&] { return Profile(m_path).WriteString("S", "k", big.c_str()) ? 1 : 0; });
    EXPECT_EQ(code, 0) << "the failed write reported success";
    EXPECT_EQ(Bytes(), before);
    EXPECT_EQ(Leftovers(), Strings{}); // the temporary file is gone

    // A file that cannot be read is never overwritten.
    const std::string folderPath = (m_dir / "sub").string();
    fs::create_directories(folderPath);
    EXPECT_FALSE(Profile(folderPath).WriteString("S", "k", "1"));
    EXPECT_TRUE(fs::is_directory(folderPath));

    // A file larger than the profile reads is neither read nor overwritten.
    // (A sparse file: the bytes past the key line are never read.)
    const std::string head = "[S]\r\nk=big\r\n";
    Put(head);
    fs::resize_file(m_path, head.size() + Profile::kMaxFileBytes);
    EXPECT_EQ(Get("S", "k"), "-");
    EXPECT_FALSE(Profile(m_path).WriteString("S", "k", "1"));
    EXPECT_EQ(fs::file_size(m_path), head.size() + Profile::kMaxFileBytes);
    Put(before);

    if (geteuid() != 0) { // root writes into read-only folders
        ::chmod(m_dir.c_str(), 0555);
        EXPECT_FALSE(Profile(m_path).WriteString("S", "k", "new"));
        ::chmod(m_dir.c_str(), 0755);
        EXPECT_EQ(Bytes(), before);
    }
    EXPECT_TRUE(Profile(m_path).WriteString("S", "k", big.c_str()));
    EXPECT_EQ(Get("S", "k", "").size(), 255u); // cut by the 256-byte buffer
}

TEST_F(ProfileFile, ConcurrentWritersLoseNoWrite) {
    constexpr int kWriters = 4;
    constexpr int kKeys = 20;
    auto writeKeys = [this](int writer) {
        Profile profile(m_path);
        bool ok = true;
        for (int k = 0; k < kKeys; ++k) {
            const std::string key = "w" + std::to_string(writer) + "k" + std::to_string(k);
            ok = profile.WriteString(k % 2 ? "Odd" : "Even", key.c_str(), key.c_str()) && ok;
        }
        return ok;
    };
    auto checkAll = [this](int writers) {
        int present = 0;
        for (int w = 0; w < writers; ++w) {
            for (int k = 0; k < kKeys; ++k) {
                const std::string key = "w" + std::to_string(w) + "k" + std::to_string(k);
                present += Get(k % 2 ? "Odd" : "Even", key.c_str(), "") == key;
            }
        }
        return present;
    };

    std::vector<pid_t> children;
    for (int w = 0; w < kWriters; ++w) {
        const pid_t pid = fork();
        ASSERT_GE(pid, 0);
        if (pid == 0)
            _exit(writeKeys(w) ? 0 : 1);
        children.push_back(pid);
    }
    for (pid_t pid : children) {
        int status = 0;
        ASSERT_EQ(waitpid(pid, &status, 0), pid);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    EXPECT_EQ(checkAll(kWriters), kWriters * kKeys);

    // Threads of one process exclude each other the same way.
    fs::remove(m_path);
    std::vector<std::thread> threads;
    std::vector<int> results(kWriters, 0);
    for (int w = 0; w < kWriters; ++w)
        threads.emplace_back([&, w] { results[w] = writeKeys(w) ? 1 : 0; });
    for (auto& t : threads)
        t.join();
    EXPECT_EQ(results, std::vector<int>(kWriters, 1));
    EXPECT_EQ(checkAll(kWriters), kWriters * kKeys);
    EXPECT_EQ(Leftovers(), Strings{});
}
