// The registry-style store behind the settings interface (type 2).
#include "platform/Registry.h"
#include "settings/CIniFile_Reg.h"
#include "tests/settings/IniTestSupport.h"
#include "tests/support/ScopedEnv.h"

#include <cstring>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

using platform::Registry;
using platform::RegistryKey;
using platform::RegRoot;
using platform::RegStatus;

namespace {

class IniReg : public ::testing::Test {
protected:
    TempFolder m_tmp;
    ScopedEnv m_env{"KAVRIN_REGISTRY_DIR", m_tmp.Path().c_str()};

    IniFilePtr Open(const char* path = "HKEY_CURRENT_USER\\Software\\Kavrin") {
        IniFilePtr ini = MakeIniFile(2);
        EXPECT_EQ(ini->SetFileName(path), 0u) << path;
        return ini;
    }

    // Reads a value straight from the store, below HKEY_CURRENT_USER.
    static bool Raw(const char* keyPath, const char* name, uint32_t& type,
                    std::vector<uint8_t>& data) {
        RegistryKey root, key;
        return Registry::OpenRoot(RegRoot::CurrentUser, root) == RegStatus::Ok &&
               root.OpenSubKey(keyPath, key) == RegStatus::Ok &&
               key.QueryValue(name, type, data) == RegStatus::Ok;
    }
    static bool KeyThere(RegRoot rootName, const char* keyPath, uint32_t* subKeys = nullptr,
                         uint32_t* values = nullptr) {
        RegistryKey root, key;
        uint32_t k = 0, v = 0;
        if (Registry::OpenRoot(rootName, root) != RegStatus::Ok ||
            root.OpenSubKey(keyPath, key) != RegStatus::Ok || key.QueryInfo(k, v) != RegStatus::Ok)
            return false;
        if (subKeys)
            *subKeys = k;
        if (values)
            *values = v;
        return true;
    }
};

std::string GetText(CIniFile_0& ini, const char* section, const char* key, int* found) {
    std::vector<char> buf(70000);
    ini.GetString(section, key, "<def>", buf.data(), buf.size(), found);
    return buf.data();
}

} // namespace

TEST_F(IniReg, FactoryAndPathRules) {
    IniFilePtr ini = MakeIniFile(2);
    ASSERT_TRUE(ini);
    EXPECT_EQ(ini->GetType(), 2u);
    EXPECT_EQ(ini->Load(), 0u);
    EXPECT_EQ(ini->Save(), 0u);
    for (const char* bad : {"HKEY_CURRENT_USER", "HKEY_CURRENT_USER\\", "HKEY_CURRENT_USERS\\Test",
                            "HKEY_FOO\\Test", "Software\\Test", "", "HKEY_USERS/Test"})
        EXPECT_EQ(ini->SetFileName(bad), INI_E_OPEN) << bad;
    EXPECT_EQ(ini->SetFileName(nullptr), INI_E_OPEN);

    EXPECT_EQ(ini->SetFileName("hkey_current_user\\Test"), 0u);
    EXPECT_STREQ(ini->GetFileName(), "");
    EXPECT_TRUE(KeyThere(RegRoot::CurrentUser, "TEST"));
    EXPECT_FALSE(KeyThere(RegRoot::Users, "Test"));
    EXPECT_EQ(ini->SetString("S", "k", "in test"), 0u);

    // A path that cannot be opened leaves the previous key in use.
    EXPECT_EQ(ini->SetFileName("HKEY_CURRENT_USER\\a\\\\b"), INI_E_OPEN);
    EXPECT_EQ(ini->SetString("S", "k2", "still test"), 0u);
    uint32_t values = 0;
    ASSERT_TRUE(KeyThere(RegRoot::CurrentUser, "Test\\S", nullptr, &values));
    EXPECT_EQ(values, 2u);

    // Each root has a store of its own.
    EXPECT_EQ(ini->SetFileName("HKEY_LOCAL_MACHINE\\Software\\X"), 0u);
    EXPECT_TRUE(KeyThere(RegRoot::LocalMachine, "software\\x"));
    EXPECT_EQ(ini->GetSectionCount(), 0u);
}

TEST_F(IniReg, WithoutAnOpenKeyReadsGiveDefaultsAndChangesFail) {
    IniFilePtr ini = MakeIniFile(2);
    char name[16] = "untouched";
    EXPECT_EQ(ini->GetSectionCount(), 0u);
    EXPECT_EQ(ini->GetSectionName(0, name, sizeof name), 0u);
    EXPECT_STREQ(name, "");
    EXPECT_EQ(ini->SectionExists("S"), 0u);
    EXPECT_EQ(ini->GetKeyCount("S"), 0u);
    EXPECT_EQ(ini->KeyExists("S", "k"), 0u);
    int found = 7;
    EXPECT_EQ(ini->GetUInt32("S", "k", 5, &found), 5u);
    EXPECT_EQ(found, 0);
    EXPECT_EQ(GetText(*ini, "S", "k", &found), "<def>");
    EXPECT_EQ(ini->SetUInt32("S", "k", 1), INI_E_WRITE);
    EXPECT_EQ(ini->SetListBinary("S", "k", "i", "ab", 2), INI_E_WRITE);
    EXPECT_EQ(ini->WriteListValue("S", "k", "i", "v"), INI_E_WRITE);
    EXPECT_EQ(ini->SetString("S", "k", "v"), 0u); // reports nothing, stores nothing
    EXPECT_EQ(ini->Clear(), INI_E_NOKEY);
    EXPECT_EQ(ini->DeleteSection("S"), INI_E_NOKEY);
    EXPECT_EQ(ini->DeleteKey("S", "k"), INI_E_NOKEY);
    EXPECT_EQ(ini->DeleteListItem("S", "k", "i"), INI_E_NOKEY);
    uint32_t subKeys = 0;
    ASSERT_TRUE(KeyThere(RegRoot::CurrentUser, "", &subKeys));
    EXPECT_EQ(subKeys, 0u);
}

TEST_F(IniReg, IntegersKeepTheirWidth) {
    IniFilePtr ini = Open();
    int found = 0;
    ASSERT_EQ(ini->SetUInt32("N", "u32", 0xFFFFFFFFu), 0u);
    EXPECT_EQ(ini->GetUInt64("N", "u32", 1, &found), 4294967295ull);
    EXPECT_EQ(found, 1);
    EXPECT_EQ(ini->GetInt64("N", "u32", 1, &found), 4294967295ll);
    EXPECT_EQ(ini->GetInt32("N", "u32", 1, &found), -1);

    ASSERT_EQ(ini->SetUInt64("N", "big", 1ull << 32), 0u);
    EXPECT_EQ(ini->GetUInt32("N", "big", 9, &found), 9u);
    EXPECT_EQ(found, 0);
    EXPECT_EQ(ini->GetInt32("N", "big", -9, &found), -9);
    EXPECT_EQ(ini->GetUInt64("N", "big", 9, &found), 1ull << 32);
    ASSERT_EQ(ini->SetInt64("N", "small", 12), 0u);
    EXPECT_EQ(ini->GetUInt32("N", "small", 9, &found), 12u);
    EXPECT_EQ(found, 1);
    ASSERT_EQ(ini->SetInt64("N", "neg", -2), 0u);
    EXPECT_EQ(ini->GetInt64("N", "neg", 0, &found), -2);
    EXPECT_EQ(ini->GetInt32("N", "neg", 3, &found), 3); // eight bytes above 0xFFFFFFFF
    EXPECT_EQ(found, 0);

    uint32_t type = 0;
    std::vector<uint8_t> data;
    ASSERT_EQ(ini->SetHex32("N", "hex", 0x01020304u), 0u);
    ASSERT_TRUE(Raw("Software\\Kavrin\\N", "hex", type, data));
    EXPECT_EQ(type, platform::REG_DWORD);
    EXPECT_EQ(data, (std::vector<uint8_t>{4, 3, 2, 1}));
    ASSERT_EQ(ini->SetHex64("N", "hex64", 0x0102030405060708ull), 0u);
    ASSERT_TRUE(Raw("Software\\Kavrin\\N", "hex64", type, data));
    EXPECT_EQ(type, platform::REG_QWORD);
    EXPECT_EQ(data, (std::vector<uint8_t>{8, 7, 6, 5, 4, 3, 2, 1}));

    // Numbers are not texts and texts are not numbers here.
    EXPECT_EQ(GetText(*ini, "N", "hex", &found), "<def>");
    EXPECT_EQ(found, 0);
    ASSERT_EQ(ini->SetString("N", "text", "12"), 0u);
    EXPECT_EQ(ini->GetUInt32("N", "text", 4, &found), 4u);
    EXPECT_EQ(found, 0);
    ASSERT_EQ(ini->SetBinary("N", "bytes", "\x01\x02\x03\x04", 4), 0u);
    EXPECT_EQ(ini->GetUInt32("N", "bytes", 4, &found), 4u);
}

TEST_F(IniReg, DoublesAreStoredAsText) {
    IniFilePtr ini = Open();
    ASSERT_EQ(ini->SetDouble("D", "x", 1.5), 0u);
    uint32_t type = 0;
    std::vector<uint8_t> data;
    ASSERT_TRUE(Raw("Software\\Kavrin\\D", "x", type, data));
    EXPECT_EQ(type, platform::REG_SZ);
    EXPECT_EQ(data, (std::vector<uint8_t>{'1', '.', '5', 0}));
    int found = 0;
    EXPECT_EQ(ini->GetDouble("D", "x", 0.0, &found), 1.5);
    EXPECT_EQ(found, 1);
    EXPECT_EQ(ini->GetUInt32("D", "x", 77, &found), 77u);
    EXPECT_EQ(found, 0);
    ASSERT_EQ(ini->SetListDouble("D", "list", "y", 2.25), 0u);
    EXPECT_EQ(ini->GetListDouble("D", "list", "Y", 0.0, &found), 2.25);
    EXPECT_EQ(found, 1);
}

TEST_F(IniReg, BinaryValuesReadBackWithinTheBuffer) {
    IniFilePtr ini = Open();
    ASSERT_EQ(ini->SetBinary("B", "blk", "\x01\xAB", 2), 0u);
    uint32_t type = 0;
    std::vector<uint8_t> data;
    ASSERT_TRUE(Raw("Software\\Kavrin\\B", "blk", type, data));
    EXPECT_EQ(type, platform::REG_BINARY);

    uint8_t dst[4] = {0, 0, 0, 0};
    int found = 0;
    EXPECT_EQ(ini->GetBinary("B", "blk", "dddd", 4, dst, 4, &found), 2u);
    EXPECT_EQ(found, 1);
    EXPECT_EQ(std::memcmp(dst, "\x01\xAB", 2), 0);
    // A block larger than the buffer gives the default, cut to the buffer.
    EXPECT_EQ(ini->GetBinary("B", "blk", "dddd", 4, dst, 1, &found), 1u);
    EXPECT_EQ(found, 0);
    EXPECT_EQ(dst[0], 'd');
    EXPECT_EQ(ini->GetBinary("B", "missing", "xy", 2, dst, 4, &found), 2u);
    EXPECT_EQ(std::memcmp(dst, "xy", 2), 0);
    // A text is not a block.
    ASSERT_EQ(ini->SetString("B", "text", "01AB"), 0u);
    EXPECT_EQ(ini->GetBinary("B", "text", "q", 1, dst, 4, &found), 1u);
    EXPECT_EQ(found, 0);

    // Empty blocks, and a null default with a null buffer, are handled without writing.
    ASSERT_EQ(ini->SetBinary("B", "empty", nullptr, 0), 0u);
    EXPECT_EQ(ini->GetBinary("B", "empty", "z", 1, dst, 4, &found), 0u);
    EXPECT_EQ(found, 1);
    EXPECT_EQ(ini->GetBinary("B", "missing", nullptr, 5, dst, 4, &found), 0u);
    EXPECT_EQ(ini->GetBinary("B", "blk", "z", 1, nullptr, 4, &found), 0u);
    EXPECT_EQ(found, 0);

    std::vector<uint8_t> big(100000);
    for (size_t i = 0; i < big.size(); ++i)
        big[i] = static_cast<uint8_t>(i % 251);
    ASSERT_EQ(ini->SetListBinary("B", "list", "big", big.data(), big.size()), 0u);
    std::vector<uint8_t> back(big.size());
    EXPECT_EQ(ini->GetListBinary("B", "list", "BIG", "", 0, back.data(), back.size(), &found),
              big.size());
    EXPECT_EQ(found, 1);
    EXPECT_EQ(back, big);
}

TEST_F(IniReg, TextsKeepEveryByteUpToTheReadLimit) {
    IniFilePtr ini = Open();
    const std::string texts[] = {
        "it's \"quoted\"",         "100% %s %n %x",       "back\\slash", "",
        "'); DROP TABLE vals; --", "\x01\x7F\x80\xB0\xFF"};
    for (const std::string& t : texts) {
        ASSERT_EQ(ini->SetString("T", t.c_str(), t.c_str()), 0u) << t;
        int found = 0;
        EXPECT_EQ(GetText(*ini, "T", t.c_str(), &found), t);
        EXPECT_EQ(found, 1);
    }
    EXPECT_EQ(ini->GetKeyCount("T"), std::size(texts));
    // A value name may hold a backslash; it stays one name.
    EXPECT_EQ(ini->KeyExists("T", "BACK\\SLASH"), 1u);

    const std::string fits(1023, 'a');
    const std::string tooLong(1024, 'b');
    ASSERT_EQ(ini->SetString("T", "fits", fits.c_str()), 0u);
    ASSERT_EQ(ini->SetString("T", "long", tooLong.c_str()), 0u);
    int found = 0;
    EXPECT_EQ(GetText(*ini, "T", "fits", &found), fits);
    EXPECT_EQ(GetText(*ini, "T", "long", &found), "<def>");
    EXPECT_EQ(found, 0);
    // The long text is stored whole all the same.
    uint32_t type = 0;
    std::vector<uint8_t> data;
    ASSERT_TRUE(Raw("Software\\Kavrin\\T", "long", type, data));
    EXPECT_EQ(data.size(), 1025u);
    ASSERT_EQ(ini->SetListString("T", "list", "item", tooLong.c_str()), 0u);
    EXPECT_EQ(ini->ListItemExists("T", "list", "ITEM"), 1u);
    char buf[2000];
    EXPECT_EQ(ini->GetListString("T", "list", "item", "d", buf, sizeof buf, &found), 1u);
    EXPECT_EQ(found, 0);
}

TEST_F(IniReg, LayoutEnumerationAndNameBuffers) {
    IniFilePtr ini = Open();
    ASSERT_EQ(ini->SetUInt32("Chain_0", "Plain", 1), 0u);
    ASSERT_EQ(ini->SetListUInt32("Chain_0", "Module", "ObjectID", 12), 0u);
    ASSERT_EQ(ini->SetListUInt32("Chain_0", "Module", "DlgID", 3), 0u);
    ASSERT_EQ(ini->SetListUInt32("chain_0", "MODULE", "dlgid", 4), 0u);
    ASSERT_EQ(ini->SetString("alpha", "k", "v"), 0u);

    // Sections are subkeys, list values subkeys of a section, items their values.
    uint32_t subKeys = 0, values = 0;
    ASSERT_TRUE(
        KeyThere(RegRoot::CurrentUser, "Software\\Kavrin\\Chain_0\\Module", &subKeys, &values));
    EXPECT_EQ(values, 2u);
    EXPECT_EQ(ini->GetSectionCount(), 2u);
    char name[32];
    EXPECT_EQ(ini->GetSectionName(0, name, sizeof name), 5u);
    EXPECT_STREQ(name, "alpha");
    EXPECT_EQ(ini->GetSectionName(1, name, sizeof name), 7u);
    EXPECT_STREQ(name, "Chain_0");
    EXPECT_EQ(ini->GetSectionName(1, name, 7), 0u); // no room for the terminating zero
    EXPECT_STREQ(name, "");
    EXPECT_EQ(ini->GetSectionName(2, name, sizeof name), 0u);
    strcpy(name, "x");
    EXPECT_EQ(ini->GetSectionName(0x100000000ull, name, sizeof name), 0u);
    EXPECT_STREQ(name, "");
    EXPECT_EQ(ini->SectionExists("CHAIN_0"), 1u);
    EXPECT_EQ(ini->SectionExists("Chain"), 0u);

    // A list value is not a key, but counts its items.
    EXPECT_EQ(ini->GetKeyCount("Chain_0"), 1u);
    EXPECT_EQ(ini->KeyExists("Chain_0", "Module"), 0u);
    EXPECT_EQ(ini->KeyExists("chain_0", "PLAIN"), 1u);
    EXPECT_EQ(ini->GetListCount("Chain_0", "Module"), 2u);
    EXPECT_EQ(ini->GetListItemName("Chain_0", "Module", 0, name, sizeof name), 5u);
    EXPECT_STREQ(name, "DlgID");
    EXPECT_EQ(ini->GetListItemName("Chain_0", "Module", 1, name, sizeof name), 8u);
    EXPECT_STREQ(name, "ObjectID");
    EXPECT_EQ(ini->GetListItemName("Chain_0", "Module", 1, name, 8), 0u);
    EXPECT_STREQ(name, "");
    strcpy(name, "x");
    EXPECT_EQ(ini->GetListItemName("Chain_0", "Module", 0x100000000ull, name, sizeof name), 0u);
    EXPECT_EQ(ini->GetListItemName("Chain_0", "Nothing", 0, name, sizeof name), 0u);
    EXPECT_STREQ(name, "x");
    EXPECT_EQ(ini->GetKeyName("Chain_0", 0, name, sizeof name), 5u);
    EXPECT_STREQ(name, "Plain");
    EXPECT_EQ(ini->GetKeyName("Chain_0", 0, name, 3), 0u);
    EXPECT_STREQ(name, "");
    strcpy(name, "x");
    EXPECT_EQ(ini->GetKeyName("NoSuch", 0, name, sizeof name), 0u);
    EXPECT_STREQ(name, "x");
    int found = 0;
    EXPECT_EQ(ini->GetListUInt32("Chain_0", "Module", "DLGID", 0, &found), 4u);
    EXPECT_EQ(ini->ListItemExists("Chain_0", "Module", "objectid"), 1u);
    EXPECT_EQ(ini->ListItemExists("Chain_0", "Module", "Object"), 0u);

    // Names too long for a 1024-byte buffer are counted but never matched.
    const std::string longName(1024, 'n');
    ASSERT_EQ(ini->SetString("alpha", longName.c_str(), "v"), 0u);
    EXPECT_EQ(ini->GetKeyCount("alpha"), 2u);
    EXPECT_EQ(ini->KeyExists("alpha", longName.c_str()), 0u);
    EXPECT_EQ(ini->KeyExists("alpha", "k"), 1u);
}

TEST_F(IniReg, DeletionRules) {
    IniFilePtr ini = Open();
    ASSERT_EQ(ini->SetListUInt32("S", "list", "a", 1), 0u);
    ASSERT_EQ(ini->SetListUInt32("S", "list", "b", 2), 0u);
    ASSERT_EQ(ini->SetListUInt32("S", "other", "c", 3), 0u);
    ASSERT_EQ(ini->SetUInt32("S", "plain", 4), 0u);
    ASSERT_EQ(ini->SetUInt32("Keep", "k", 5), 0u);

    EXPECT_EQ(ini->DeleteListItem("S", "list", "A"), 0u);
    EXPECT_EQ(ini->GetListCount("S", "list"), 1u);
    EXPECT_EQ(ini->DeleteListItem("S", "list", "a"), INI_E_NOKEY);
    EXPECT_EQ(ini->DeleteListItem("S", "nolist", "a"), 0u);
    EXPECT_EQ(ini->DeleteListItem("NoSection", "list", "a"), 0u);

    // An empty name is no subkey: it never stands for the key above it.
    EXPECT_EQ(ini->DeleteSection(""), INI_E_NOKEY);
    EXPECT_EQ(ini->DeleteKey("S", ""), INI_E_NOKEY);
    EXPECT_EQ(ini->SetUInt32("", "k", 1), INI_E_WRITE);
    EXPECT_EQ(ini->SetListUInt32("S", "", "k", 1), INI_E_WRITE);
    EXPECT_EQ(ini->GetSectionCount(), 2u);
    EXPECT_EQ(ini->GetKeyCount("S"), 1u);
    EXPECT_EQ(ini->GetListCount("S", "list"), 1u);

    // DeleteKey removes list values only.
    EXPECT_EQ(ini->DeleteKey("S", "plain"), INI_E_NOKEY);
    EXPECT_EQ(ini->KeyExists("S", "plain"), 1u);
    EXPECT_EQ(ini->DeleteKey("S", "LIST"), 0u);
    EXPECT_EQ(ini->GetListCount("S", "list"), 0u);
    EXPECT_EQ(ini->DeleteKey("NoSection", "k"), 0u);

    // DeleteSection takes the list values and their items along.
    EXPECT_EQ(ini->DeleteSection("s"), 0u);
    EXPECT_EQ(ini->SectionExists("S"), 0u);
    EXPECT_FALSE(KeyThere(RegRoot::CurrentUser, "Software\\Kavrin\\S\\other"));
    EXPECT_EQ(ini->DeleteSection("S"), INI_E_NOKEY);
    EXPECT_EQ(ini->GetUInt32("Keep", "k", 0), 5u);

    // Clear empties the base key and keeps it.
    ASSERT_EQ(ini->SetListString("Deep", "l", "i", "v"), 0u);
    EXPECT_EQ(ini->Clear(), 0u);
    uint32_t subKeys = 9, values = 9;
    ASSERT_TRUE(KeyThere(RegRoot::CurrentUser, "Software\\Kavrin", &subKeys, &values));
    EXPECT_EQ(subKeys, 0u);
    EXPECT_EQ(values, 0u);
    EXPECT_EQ(ini->GetSectionCount(), 0u);
    EXPECT_EQ(ini->SetUInt32("After", "k", 1), 0u);

    // DeleteTree on any key keeps the key and stops at a key it cannot walk.
    auto* reg = dynamic_cast<CIniFile_Reg*>(ini.get());
    ASSERT_NE(reg, nullptr);
    RegistryKey root, base;
    ASSERT_EQ(Registry::OpenRoot(RegRoot::CurrentUser, root), RegStatus::Ok);
    ASSERT_EQ(root.OpenSubKey("Software", base), RegStatus::Ok);
    ASSERT_EQ(base.SetValue("top", platform::REG_SZ, "", 1), RegStatus::Ok);
    EXPECT_EQ(reg->DeleteTree(base), 0u);
    ASSERT_TRUE(KeyThere(RegRoot::CurrentUser, "Software", &subKeys, &values));
    EXPECT_EQ(subKeys + values, 0u);
    EXPECT_EQ(reg->DeleteTree(base), 0u); // an empty key is fine too
    RegistryKey closed;
    EXPECT_NE(reg->DeleteTree(closed), 0u);
}

TEST_F(IniReg, ADamagedStoreIsNeverOpenedNorOverwritten) {
    const std::string file = Registry::FilePath(RegRoot::CurrentUser);
    const std::string junk = std::string("SQLite format 3") + '\0' + std::string(4000, 'j');
    WriteFileBytes(file, junk);
    IniFilePtr ini = MakeIniFile(2);
    EXPECT_EQ(ini->SetFileName("HKEY_CURRENT_USER\\Software\\Kavrin"), INI_E_OPEN);
    int found = 1;
    EXPECT_EQ(ini->GetUInt32("S", "k", 3, &found), 3u);
    EXPECT_EQ(found, 0);
    EXPECT_EQ(ini->GetSectionCount(), 0u);
    EXPECT_EQ(ini->SetUInt32("S", "k", 1), INI_E_WRITE);
    EXPECT_EQ(ini->DeleteSection("S"), INI_E_NOKEY);
    EXPECT_EQ(ReadFileBytes(file), junk);
    // Another root still works, and the key stays usable when the damaged one is tried next.
    ASSERT_EQ(ini->SetFileName("HKEY_USERS\\x"), 0u);
    EXPECT_EQ(ini->SetFileName("HKEY_CURRENT_USER\\y"), INI_E_OPEN);
    EXPECT_EQ(ini->SetUInt32("S", "k", 1), 0u);
    EXPECT_EQ(ReadFileBytes(file), junk);
}

TEST_F(IniReg, TwoProcessesShareTheStoreWhileBothAreOpen) {
    IniFilePtr ini = Open();
    int toChild[2], toParent[2];
    ASSERT_EQ(pipe(toChild), 0);
    ASSERT_EQ(pipe(toParent), 0);
    const pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        close(toChild[1]);
        close(toParent[0]);
        int rc = 0;
        {
            IniFilePtr mine = MakeIniFile(2);
            if (mine->SetFileName("HKEY_CURRENT_USER\\SOFTWARE\\kavrin") != 0 ||
                mine->SetListUInt32("Chain_0", "Module", "ObjectID", 12) != 0)
                rc = 10;
            const char ready = 1;
            char go = 0;
            if (write(toParent[1], &ready, 1) != 1 || read(toChild[0], &go, 1) != 1)
                rc = 11;
            int found = 0;
            if (rc == 0 && (GetText(*mine, "View", "Last", &found) != "from parent" || !found))
                rc = 12;
        }
        _exit(rc);
    }
    close(toChild[0]);
    close(toParent[1]);
    char byte = 0;
    ASSERT_EQ(read(toParent[0], &byte, 1), 1);
    int found = 0;
    EXPECT_EQ(ini->GetListUInt32("Chain_0", "Module", "objectid", 0, &found), 12u);
    EXPECT_EQ(found, 1);
    EXPECT_EQ(ini->SetString("View", "Last", "from parent"), 0u);
    ASSERT_EQ(write(toChild[1], &byte, 1), 1);
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    close(toChild[1]);
    close(toParent[0]);
}
