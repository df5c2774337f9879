#include "platform/Registry.h"
#include "tests/platform/RegistryTestUtil.h"
#include "tests/support/ScopedEnv.h"
#include "tests/support/TempFolder.h"

#include <csignal>
#include <cstring>
#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

using platform::Registry;
using platform::RegistryKey;
using platform::RegRoot;
using platform::RegStatus;

namespace {

class RegistryFixture : public ::testing::Test {
protected:
    TempFolder m_tmp;
    ScopedEnv m_env{"KAVRIN_REGISTRY_DIR", m_tmp.Path().c_str()};

    RegistryKey Root(RegRoot root = RegRoot::CurrentUser) {
        RegistryKey key;
        EXPECT_EQ(Registry::OpenRoot(root, key), RegStatus::Ok);
        return key;
    }
};

std::vector<uint8_t> Bytes(const std::string& s) {
    return std::vector<uint8_t>(s.begin(), s.end());
}

std::vector<std::string> SubKeyNames(const RegistryKey& key) {
    std::vector<std::string> names;
    std::string name;
    for (uint32_t i = 0; i < 1000 && key.EnumSubKey(i, name) == RegStatus::Ok; ++i)
        names.push_back(name);
    return names;
}

} // namespace

TEST(RegistryFolder, FollowsTheEnvironment) {
    {
        ScopedEnv dir("KAVRIN_REGISTRY_DIR", "/srv/reg/");
        EXPECT_EQ(Registry::Folder(), "/srv/reg");
        EXPECT_EQ(Registry::FilePath(RegRoot::CurrentUser), "/srv/reg/HKEY_CURRENT_USER.db");
        EXPECT_EQ(Registry::FilePath(RegRoot::ClassesRoot), "/srv/reg/HKEY_CLASSES_ROOT.db");
    }
    ScopedEnv dir("KAVRIN_REGISTRY_DIR", "");
    {
        ScopedEnv xdg("XDG_CONFIG_HOME", "/cfg");
        EXPECT_EQ(Registry::Folder(), "/cfg/kavrindemo-registry");
    }
    ScopedEnv xdg("XDG_CONFIG_HOME", nullptr);
    ScopedEnv home("HOME", "/home/u");
    EXPECT_EQ(Registry::Folder(), "/home/u/.config/kavrindemo-registry");
}

TEST_F(RegistryFixture, OpenRootCreatesFolderAndOneFilePerRoot) {
    const std::string nested = m_tmp.Path() + "/a/b";
    ScopedEnv dir("KAVRIN_REGISTRY_DIR", nested.c_str());
    RegistryKey user = Root(RegRoot::CurrentUser);
    RegistryKey machine = Root(RegRoot::LocalMachine);
    RegistryKey sub;
    ASSERT_EQ(user.CreateSubKey("Only\\In\\User", sub), RegStatus::Ok);
    EXPECT_EQ(access((nested + "/HKEY_CURRENT_USER.db").c_str(), F_OK), 0);
    EXPECT_EQ(access((nested + "/HKEY_LOCAL_MACHINE.db").c_str(), F_OK), 0);
    EXPECT_EQ(machine.OpenSubKey("Only", sub), RegStatus::NotFound);
    uint32_t keys = 9, values = 9;
    ASSERT_EQ(machine.QueryInfo(keys, values), RegStatus::Ok);
    EXPECT_EQ(keys, 0u);
    EXPECT_EQ(values, 0u);
}

TEST_F(RegistryFixture, NamesIgnoreAsciiCaseAndKeepTheirFirstSpelling) {
    RegistryKey root = Root();
    RegistryKey a, b;
    ASSERT_EQ(root.CreateSubKey("ChainConfig", a), RegStatus::Ok);
    ASSERT_EQ(root.CreateSubKey("CHAINCONFIG", b), RegStatus::Ok);
    const uint32_t one = 1, two = 2;
    ASSERT_EQ(a.SetValue("Gain", platform::REG_DWORD, &one, 4), RegStatus::Ok);
    ASSERT_EQ(b.SetValue("GAIN", platform::REG_DWORD, &two, 4), RegStatus::Ok);

    uint32_t keys = 0, values = 0;
    ASSERT_EQ(root.QueryInfo(keys, values), RegStatus::Ok);
    EXPECT_EQ(keys, 1u);
    std::string name;
    ASSERT_EQ(root.EnumSubKey(0, name), RegStatus::Ok);
    EXPECT_EQ(name, "ChainConfig");
    ASSERT_EQ(a.QueryInfo(keys, values), RegStatus::Ok);
    EXPECT_EQ(values, 1u);
    ASSERT_EQ(a.EnumValue(0, name), RegStatus::Ok);
    EXPECT_EQ(name, "Gain");
    uint32_t type = 0;
    std::vector<uint8_t> data;
    ASSERT_EQ(a.QueryValue("gain", type, data), RegStatus::Ok);
    EXPECT_EQ(type, platform::REG_DWORD);
    ASSERT_EQ(data.size(), 4u);
    EXPECT_EQ(data[0], 2);
    // Letters beyond ASCII are not folded.
    ASSERT_EQ(a.SetValue("\xC4x", platform::REG_DWORD, &one, 4), RegStatus::Ok);
    EXPECT_EQ(a.QueryValue("\xE4x", type, data), RegStatus::NotFound);
}

TEST_F(RegistryFixture, EnumerationFollowsUpperCaseOrderAndIsStable) {
    RegistryKey root = Root();
    RegistryKey k;
    for (const char* name : {"b", "_x", "A1", "a", "Zeta"})
        ASSERT_EQ(root.CreateSubKey(name, k), RegStatus::Ok);
    // As the Windows registry lists them: letters compare as upper case, so "_" follows "Z".
    const std::vector<std::string> expected = {"a", "A1", "b", "Zeta", "_x"};
    EXPECT_EQ(SubKeyNames(root), expected);
    EXPECT_EQ(SubKeyNames(root), expected);
    std::string name = "untouched";
    EXPECT_EQ(root.EnumSubKey(5, name), RegStatus::NoMoreItems);
    EXPECT_EQ(root.EnumSubKey(0xFFFFFFFFu, name), RegStatus::NoMoreItems);

    for (const char* value : {"y", "X", "_"})
        ASSERT_EQ(root.SetValue(value, platform::REG_SZ, "", 1), RegStatus::Ok);
    std::vector<std::string> got;
    for (uint32_t i = 0; root.EnumValue(i, name) == RegStatus::Ok && i < 10; ++i)
        got.push_back(name);
    EXPECT_EQ(got, (std::vector<std::string>{"X", "y", "_"}));
}

TEST_F(RegistryFixture, ValuesKeepTheirTypeAndExactBytes) {
    RegistryKey root = Root();
    RegistryKey key;
    ASSERT_EQ(root.CreateSubKey("Odd 'names' \"here\"; %s %n", key), RegStatus::Ok);
    const std::string nasty[] = {"it's",
                                 "100%",
                                 "a\\b\\c",
                                 "'); DROP TABLE vals; --",
                                 "%s%n%x",
                                 std::string(5000, 'L'),
                                 "\x01\x7F\x80\xFF",
                                 ""};
    std::string big(1 << 20, '\0');
    for (size_t i = 0; i < big.size(); ++i)
        big[i] = static_cast<char>(i * 7 + 3);
    uint32_t n = 0;
    for (const std::string& name : nasty) {
        const std::string data = name + std::string(1, '\0') + big.substr(0, n * 1000);
        ASSERT_EQ(key.SetValue(name.c_str(), platform::REG_BINARY, data.data(), data.size()),
                  RegStatus::Ok)
            << name;
        ++n;
    }
    ASSERT_EQ(key.SetValue("big", platform::REG_BINARY, big.data(), big.size()), RegStatus::Ok);
    ASSERT_EQ(key.SetValue("empty", platform::REG_BINARY, nullptr, 0), RegStatus::Ok);
    n = 0;
    uint32_t type = 0;
    std::vector<uint8_t> data;
    for (const std::string& name : nasty) {
        ASSERT_EQ(key.QueryValue(name.c_str(), type, data), RegStatus::Ok) << name;
        EXPECT_EQ(type, platform::REG_BINARY);
        EXPECT_EQ(data, Bytes(name + std::string(1, '\0') + big.substr(0, n * 1000))) << name;
        ++n;
    }
    ASSERT_EQ(key.QueryValue("big", type, data), RegStatus::Ok);
    EXPECT_EQ(data, Bytes(big));
    ASSERT_EQ(key.QueryValue("empty", type, data), RegStatus::Ok);
    EXPECT_TRUE(data.empty());
    EXPECT_EQ(key.QueryValue("missing", type, data), RegStatus::NotFound);
    EXPECT_EQ(key.QueryValue(nullptr, type, data), RegStatus::InvalidArg);
    EXPECT_EQ(key.SetValue(nullptr, platform::REG_SZ, "", 1), RegStatus::InvalidArg);
    EXPECT_EQ(key.SetValue("x", platform::REG_SZ, nullptr, 3), RegStatus::InvalidArg);

    // Overwriting changes type and data but keeps the value count.
    const uint64_t q = 0x1122334455667788ull;
    ASSERT_EQ(key.SetValue("BIG", platform::REG_QWORD, &q, 8), RegStatus::Ok);
    ASSERT_EQ(key.QueryValue("big", type, data), RegStatus::Ok);
    EXPECT_EQ(type, platform::REG_QWORD);
    EXPECT_EQ(data.size(), 8u);
    uint32_t keys = 0, values = 0;
    ASSERT_EQ(key.QueryInfo(keys, values), RegStatus::Ok);
    EXPECT_EQ(values, std::size(nasty) + 2);
}

TEST_F(RegistryFixture, PathsDeletionAndStaleHandles) {
    RegistryKey root = Root();
    RegistryKey c, b, other;
    ASSERT_EQ(root.CreateSubKey("a\\b\\c", c), RegStatus::Ok);
    ASSERT_EQ(root.OpenSubKey("A\\B", b), RegStatus::Ok);
    EXPECT_EQ(b.OpenSubKey("C", other), RegStatus::Ok);
    EXPECT_EQ(root.OpenSubKey("a\\x", other), RegStatus::NotFound);
    for (const char* bad : {"\\a", "a\\\\b", "a\\"})
        EXPECT_EQ(root.CreateSubKey(bad, other), RegStatus::InvalidArg) << bad;
    EXPECT_EQ(root.CreateSubKey(nullptr, other), RegStatus::InvalidArg);

    const uint32_t v = 7;
    ASSERT_EQ(c.SetValue("v", platform::REG_DWORD, &v, 4), RegStatus::Ok);
    EXPECT_EQ(root.DeleteSubKey("a\\b"), RegStatus::HasSubKeys);
    EXPECT_EQ(root.DeleteSubKey("a\\b\\c"), RegStatus::Ok);
    EXPECT_EQ(root.DeleteSubKey("a\\b\\c"), RegStatus::NotFound);
    EXPECT_EQ(root.DeleteSubKey(""), RegStatus::InvalidArg);

    // The old handle now names a deleted key, even after a key of that name is made again.
    uint32_t keys = 0, values = 0;
    EXPECT_EQ(c.QueryInfo(keys, values), RegStatus::KeyDeleted);
    EXPECT_EQ(c.SetValue("v", platform::REG_DWORD, &v, 4), RegStatus::KeyDeleted);
    EXPECT_EQ(c.CreateSubKey("d", other), RegStatus::KeyDeleted);
    RegistryKey again;
    ASSERT_EQ(root.CreateSubKey("a\\b\\c", again), RegStatus::Ok);
    ASSERT_EQ(again.QueryInfo(keys, values), RegStatus::Ok);
    EXPECT_EQ(values, 0u);
    EXPECT_EQ(c.DeleteValue("v"), RegStatus::KeyDeleted);
    EXPECT_EQ(again.DeleteValue("v"), RegStatus::NotFound);

    // A closed handle refuses every call.
    again.Close();
    EXPECT_FALSE(again.IsOpen());
    EXPECT_EQ(again.QueryInfo(keys, values), RegStatus::InvalidArg);
}

TEST_F(RegistryFixture, TreesStopAtTheDepthLimit) {
    RegistryKey root = Root();
    std::string path = "k";
    for (uint32_t i = 1; i < platform::kRegMaxDepth; ++i)
        path += "\\k";
    RegistryKey deepest, other;
    ASSERT_EQ(root.CreateSubKey(path.c_str(), deepest), RegStatus::Ok);
    EXPECT_EQ(deepest.CreateSubKey("one-more", other), RegStatus::InvalidArg);
    EXPECT_EQ(root.CreateSubKey((path + "\\x").c_str(), other), RegStatus::InvalidArg);
    // Nothing of the failed call stays behind.
    EXPECT_EQ(root.OpenSubKey((path + "\\x").c_str(), other), RegStatus::NotFound);
}

TEST_F(RegistryFixture, ForeignOrDamagedFilesAreRefusedAndLeftAsTheyWere) {
    const std::string file = Registry::FilePath(RegRoot::CurrentUser);
    RegistryKey key;

    WriteWholeFile(file, "[Section]\nthis is not a database\n");
    EXPECT_EQ(Registry::OpenRoot(RegRoot::CurrentUser, key), RegStatus::BadStore);
    EXPECT_FALSE(key.IsOpen());
    EXPECT_EQ(ReadWholeFile(file), "[Section]\nthis is not a database\n");

    // Another program's SQLite database.
    std::remove(file.c_str());
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(file.c_str(), &db), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(db, "CREATE TABLE keys(x); INSERT INTO keys VALUES(1);", nullptr,
                           nullptr, nullptr),
              SQLITE_OK);
    sqlite3_close(db);
    const std::string foreign = ReadWholeFile(file);
    EXPECT_EQ(Registry::OpenRoot(RegRoot::CurrentUser, key), RegStatus::BadStore);
    EXPECT_EQ(ReadWholeFile(file), foreign);

    // A store of ours with a damaged page.
    std::remove(file.c_str());
    {
        RegistryKey root = Root();
        RegistryKey sub;
        ASSERT_EQ(root.CreateSubKey("S", sub), RegStatus::Ok);
        const std::string block(900, 'v');
        for (int i = 0; i < 200; ++i)
            ASSERT_EQ(sub.SetValue(std::to_string(i).c_str(), platform::REG_SZ, block.data(),
                                   block.size()),
                      RegStatus::Ok);
    }
    std::string bytes = ReadWholeFile(file);
    ASSERT_GT(bytes.size(), 40000u);
    for (size_t i = 12000; i < 30000; ++i)
        bytes[i] = static_cast<char>(0xA5 ^ i);
    WriteWholeFile(file, bytes);
    EXPECT_EQ(Registry::OpenRoot(RegRoot::CurrentUser, key), RegStatus::BadStore);
    EXPECT_EQ(ReadWholeFile(file), bytes);
    // The other roots are not affected.
    EXPECT_EQ(Registry::OpenRoot(RegRoot::Users, key), RegStatus::Ok);
}

TEST_F(RegistryFixture, ThreadsMaySharePartsOfOneConnection) {
    RegistryKey root = Root();
    RegistryKey shared;
    ASSERT_EQ(root.CreateSubKey("Shared", shared), RegStatus::Ok);
    constexpr uint32_t kPerThread = 50;
    auto writer = [&](uint32_t base, bool ownConnection) {
        RegistryKey own;
        if (ownConnection) {
            RegistryKey r;
            if (Registry::OpenRoot(RegRoot::CurrentUser, r) != RegStatus::Ok ||
                r.CreateSubKey("Shared", own) != RegStatus::Ok)
                return;
        }
        const RegistryKey& key = ownConnection ? own : shared;
        for (uint32_t i = 0; i < kPerThread; ++i) {
            const uint32_t v = base + i;
            RegistryKey child;
            EXPECT_EQ(key.CreateSubKey(("t" + std::to_string(base)).c_str(), child), RegStatus::Ok);
            EXPECT_EQ(child.SetValue(std::to_string(v).c_str(), platform::REG_DWORD, &v, 4),
                      RegStatus::Ok);
        }
    };
    std::thread t1(writer, 1000, false), t2(writer, 2000, false), t3(writer, 3000, true);
    t1.join();
    t2.join();
    t3.join();
    for (uint32_t base : {1000u, 2000u, 3000u}) {
        RegistryKey child;
        ASSERT_EQ(shared.OpenSubKey(("T" + std::to_string(base)).c_str(), child), RegStatus::Ok);
        uint32_t keys = 0, values = 0;
        ASSERT_EQ(child.QueryInfo(keys, values), RegStatus::Ok);
        EXPECT_EQ(values, kPerThread) << base;
    }
}

TEST_F(RegistryFixture, AWriterKilledMidLoopLosesNothingThatReturned) {
    int progress[2];
    ASSERT_EQ(pipe(progress), 0);
    const pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        close(progress[0]);
        RegistryKey r, key;
        if (Registry::OpenRoot(RegRoot::CurrentUser, r) != RegStatus::Ok ||
            r.CreateSubKey("Loop", key) != RegStatus::Ok)
            _exit(1);
        for (uint32_t i = 0; i < 1000000; ++i) {
            const uint32_t v = i * 3;
            if (key.SetValue(("v" + std::to_string(i)).c_str(), platform::REG_DWORD, &v, 4) !=
                RegStatus::Ok)
                _exit(2);
            PipeSend(progress[1], i);
        }
        _exit(0);
    }
    close(progress[1]);
    uint32_t last = 0;
    bool any = false;
    for (int n = 0; n < 300 && PipeReceive(progress[0], last); ++n)
        any = true;
    ASSERT_TRUE(any);
    kill(pid, SIGKILL);
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFSIGNALED(status));
    // Reports written before the kill are still in the pipe.
    for (uint32_t i = 0; PipeReceive(progress[0], i);)
        last = i;
    close(progress[0]);

    RegistryKey root = Root();
    RegistryKey key;
    ASSERT_EQ(root.OpenSubKey("Loop", key), RegStatus::Ok);
    uint32_t keys = 0, values = 0;
    ASSERT_EQ(key.QueryInfo(keys, values), RegStatus::Ok);
    EXPECT_GE(values, last + 1);
    EXPECT_LE(values, last + 2); // at most the one call that had not returned
    for (uint32_t i = 0; i <= last; ++i) {
        uint32_t type = 0;
        std::vector<uint8_t> data;
        ASSERT_EQ(key.QueryValue(("V" + std::to_string(i)).c_str(), type, data), RegStatus::Ok)
            << i;
        uint32_t v = 0;
        ASSERT_EQ(data.size(), 4u);
        std::memcpy(&v, data.data(), 4);
        EXPECT_EQ(v, i * 3);
    }
}

TEST_F(RegistryFixture, ProcessesCreatingTheSameStoreAtOnceAllSucceed) {
    constexpr int kProcesses = 8;
    constexpr int kRounds = 50;
    const std::string file = Registry::FilePath(RegRoot::CurrentUser);
    int failedOpens = 0;
    int lostValues = 0;
    for (int round = 0; round < kRounds; ++round) {
        for (const char* suffix : {"", "-wal", "-shm", "-journal"})
            std::remove((file + suffix).c_str());
        // The children wait until the parent closes the start pipe, then open the missing
        // store together and write one value each.
        int start[2];
        ASSERT_EQ(pipe(start), 0);
        std::vector<pid_t> children;
        for (int p = 0; p < kProcesses; ++p) {
            const pid_t pid = fork();
            ASSERT_GE(pid, 0);
            if (pid == 0) {
                close(start[1]);
                char byte = 0;
                (void)!read(start[0], &byte, 1);
                RegistryKey root;
                if (Registry::OpenRoot(RegRoot::CurrentUser, root) != RegStatus::Ok)
                    _exit(1);
                const uint32_t value = static_cast<uint32_t>(p);
                const std::string name = "p" + std::to_string(p);
                _exit(root.SetValue(name.c_str(), platform::REG_DWORD, &value, 4) == RegStatus::Ok
                          ? 0
                          : 2);
            }
            children.push_back(pid);
        }
        close(start[0]);
        close(start[1]);
        for (pid_t pid : children) {
            int status = 0;
            ASSERT_EQ(waitpid(pid, &status, 0), pid);
            failedOpens += !(WIFEXITED(status) && WEXITSTATUS(status) == 0);
        }
        RegistryKey root = Root();
        for (int p = 0; p < kProcesses; ++p) {
            uint32_t type = 0;
            std::vector<uint8_t> data;
            const std::string name = "p" + std::to_string(p);
            lostValues += !(root.QueryValue(name.c_str(), type, data) == RegStatus::Ok &&
                            type == platform::REG_DWORD && data.size() == 4 && data[0] == p);
        }
    }
    EXPECT_EQ(failedOpens, 0) << "of " << kProcesses * kRounds << " openings";
    EXPECT_EQ(lostValues, 0);
}
