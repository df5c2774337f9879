// List values: items name=value inside one key.
#include "tests/settings/IniTestSupport.h"

#include <cstring>
#include <gtest/gtest.h>

namespace {

std::string Value(CIniFile_0& ini, const char* section, const char* key) {
    char buf[256];
    ini.GetString(section, key, "<missing>", buf, sizeof buf);
    return buf;
}

} // namespace

TEST(IniListValues, SettingItemsKeepsTheirPlaceAndNewSpelling) {
    IniFilePtr ini = MakeIniFile(3);
    EXPECT_EQ(ini->SetListUInt32("Chain_0", "Module_0", "ObjectID", 12), 0u);
    EXPECT_EQ(Value(*ini, "Chain_0", "Module_0"), "ObjectID=12");
    EXPECT_EQ(ini->SetListUInt32("Chain_0", "Module_0", "DlgID", 3), 0u);
    EXPECT_EQ(Value(*ini, "Chain_0", "Module_0"), "ObjectID=12, DlgID=3");
    EXPECT_EQ(ini->SetListUInt32("Chain_0", "Module_0", "objectid", 14), 0u);
    EXPECT_EQ(Value(*ini, "Chain_0", "Module_0"), "objectid=14, DlgID=3");
    EXPECT_EQ(ini->GetListUInt32("Chain_0", "Module_0", "OBJECTID", 0), 14u);

    // Values outside the key characters are quoted; key characters (and a minus) stay bare.
    ini->SetListDouble("S", "L", "big", 1e20);
    ini->SetListString("S", "L", "text", "a b");
    ini->SetListInt32("S", "L", "neg", -5);
    ini->SetListHex64("S", "L", "hex", 255);
    EXPECT_EQ(Value(*ini, "S", "L"), "big=\"1E+20\", text=\"a b\", neg=-5, hex=0x00000000000000FF");
    EXPECT_DOUBLE_EQ(ini->GetListDouble("S", "L", "big", 0), 1e20);
    char buf[16];
    int found = -1;
    EXPECT_EQ(ini->GetListString("S", "L", "text", "d", buf, sizeof buf, &found), 3u);
    EXPECT_STREQ(buf, "a b");
    EXPECT_EQ(found, 1);
    EXPECT_EQ(ini->GetListInt64("S", "L", "neg", 0), -5);
    EXPECT_EQ(ini->GetListUInt64("S", "L", "hex", 0), 255u);

    // Duplicates and nameless items collapse into the new item's place.
    ini->SetString("S", "D", "a=1, =x, A=2, b=3");
    EXPECT_EQ(ini->SetListString("S", "D", "a", "9"), 0u);
    EXPECT_EQ(Value(*ini, "S", "D"), "a=9, b=3");
}

TEST(IniListValues, ItemsThatWouldNotReadBackAreRefused) {
    IniFilePtr ini = LoadMem("[S]\nL=a=1\n");
    EXPECT_EQ(ini->SetListString("S", "L", "", "v"), INI_E_ARG);
    EXPECT_EQ(ini->SetListUInt32("S", "L", nullptr, 1), INI_E_ARG);
    EXPECT_EQ(ini->SetListString("S", "L", "say \"hi\"", "v"), INI_E_ARG);
    EXPECT_EQ(ini->SetListString("S", "L", "b", "6\" tall"), INI_E_ARG);
    EXPECT_EQ(ini->SetListString("S", "L", "b", "two\nlines"), INI_E_ARG);
    EXPECT_EQ(ini->SetListString("S", "L", "b", "two\rlines"), INI_E_ARG);
    EXPECT_EQ(ini->SetListString("S", "L a", "b", "v"), INI_E_ARG); // the key itself
    EXPECT_EQ(SaveMem(*ini), "[S]\nL=a=1\n");

    // Quoting carries everything else, and it reads back after a save and a load.
    EXPECT_EQ(ini->SetListString("S", "L", " odd, name=", "a, b = \t c"), 0u);
    IniFilePtr reread = LoadMem(SaveMem(*ini));
    char buf[32];
    int found = 0;
    reread->GetListString("S", "L", " odd, name=", "", buf, sizeof buf, &found);
    EXPECT_EQ(found, 1);
    EXPECT_STREQ(buf, "a, b = \t c");
    EXPECT_EQ(reread->GetListCount("S", "L"), 2u);
}

TEST(IniListValues, CountsNamesAndMalformedLists) {
    IniFilePtr ini = LoadMem("[S]\n"
                             "one=a=1\n"
                             "two=a=1 ,\t b = 2\n"
                             "empty=\n"
                             "spaced=a=1 b=2\n"
                             "trailing=a=1,\n"
                             "quoted=\"my name\"=\"v, w\", x\n");
    EXPECT_EQ(ini->GetListCount("S", "one"), 1u);
    EXPECT_EQ(ini->GetListCount("S", "two"), 2u);
    EXPECT_EQ(ini->GetListCount("S", "empty"), 0u);
    EXPECT_EQ(ini->GetListCount("S", "spaced"), 0u);
    EXPECT_EQ(ini->GetListCount("S", "trailing"), 0u);
    EXPECT_EQ(ini->GetListCount("S", "missing"), 0u);
    EXPECT_EQ(ini->GetListCount("S", "quoted"), 2u);

    char buf[16] = "untouched";
    EXPECT_EQ(ini->GetListItemName("S", "quoted", 0, buf, sizeof buf), 7u);
    EXPECT_STREQ(buf, "my name");
    EXPECT_EQ(ini->GetListItemName("S", "quoted", 1, buf, sizeof buf), 1u);
    EXPECT_STREQ(buf, "x");
    std::strcpy(buf, "untouched");
    EXPECT_EQ(ini->GetListItemName("S", "quoted", 2, buf, sizeof buf), 0u);
    EXPECT_EQ(ini->GetListItemName("S", "spaced", 0, buf, sizeof buf), 0u);
    EXPECT_STREQ(buf, "untouched");

    EXPECT_EQ(ini->GetListString("S", "quoted", "MY NAME", "", buf, sizeof buf), 4u);
    EXPECT_STREQ(buf, "v, w");
    EXPECT_EQ(ini->ListItemExists("S", "two", "B"), 1u);
    EXPECT_EQ(ini->ListItemExists("S", "two", "c"), 0u);
    int found = -1;
    EXPECT_EQ(ini->GetListUInt32("S", "two", "b", 77, &found), 2u);
    EXPECT_EQ(found, 1);
    EXPECT_EQ(ini->GetListUInt32("S", "two", "c", 77, &found), 77u);
    EXPECT_EQ(found, 0);

    // Setters refuse a malformed list and leave it as it was.
    EXPECT_EQ(ini->SetListUInt32("S", "spaced", "c", 1), INI_E_LIST);
    EXPECT_EQ(Value(*ini, "S", "spaced"), "a=1 b=2");
    EXPECT_EQ(ini->DeleteListItem("S", "spaced", "a"), INI_E_LIST);
    EXPECT_EQ(Value(*ini, "S", "spaced"), "a=1 b=2");
}

TEST(IniListValues, DeletingItems) {
    IniFilePtr ini = LoadMem("[S]\nl=a=1, A=2, b=3\nnameless==5\n");
    EXPECT_EQ(ini->DeleteListItem("S", "l", "a"), 0u);
    EXPECT_EQ(Value(*ini, "S", "l"), "b=3");
    EXPECT_EQ(ini->DeleteListItem("S", "l", "b"), 0u);
    EXPECT_EQ(Value(*ini, "S", "l"), "");
    EXPECT_EQ(ini->DeleteListItem("S", "nameless", "x"), INI_E_LIST);
    // Deleting from a missing key creates the key with an empty value.
    EXPECT_EQ(ini->KeyExists("S", "new"), 0u);
    EXPECT_EQ(ini->DeleteListItem("S", "new", "x"), 0u);
    EXPECT_EQ(ini->KeyExists("S", "new"), 1u);
    EXPECT_EQ(Value(*ini, "S", "new"), "");
}

TEST(IniListValues, BinaryItems) {
    IniFilePtr ini = MakeIniFile(3);
    const uint8_t bytes[] = {0x00, 0x7F, 0xFF};
    EXPECT_EQ(ini->SetListBinary("S", "L", "lut", bytes, 3), 0u);
    EXPECT_EQ(Value(*ini, "S", "L"), "lut=007FFF");
    uint8_t out[3] = {};
    int found = 0;
    EXPECT_EQ(ini->GetListBinary("S", "L", "lut", nullptr, 0, out, 3, &found), 3u);
    EXPECT_EQ(found, 1);
    EXPECT_EQ(out[2], 0xFF);
    const uint8_t def[] = {9};
    EXPECT_EQ(ini->GetListBinary("S", "L", "none", def, 1, out, 3, &found), 1u);
    EXPECT_EQ(out[0], 9);
    EXPECT_EQ(found, 0);
}
