// Typed getters and setters over the text primitives.
#include "tests/settings/IniTestSupport.h"

#include <cstring>
#include <gtest/gtest.h>

namespace {

std::string Stored(CIniFile_0& ini, const char* key) {
    char buf[128];
    ini.GetString("S", key, "<missing>", buf, sizeof buf);
    return buf;
}

} // namespace

TEST(IniTypedGetters, IntegerTextRules) {
    IniFilePtr ini = LoadMem("[S]\n"
                             "sp= 0x1F\n"
                             "dec=31\n"
                             "neg=-1\n"
                             "abc=abc\n"
                             "lead=12abc\n"
                             "hexbad=0xZZ\n"
                             "big=18446744073709551615\n"
                             "h64=0xFFFFFFFFFFFFFFFF\n"
                             "empty=\n");
    int found = -1;
    EXPECT_EQ(ini->GetUInt32("S", "sp", 7, &found), 31u);
    EXPECT_EQ(found, 1);
    EXPECT_EQ(ini->GetUInt32("S", "dec", 7), 31u);
    EXPECT_EQ(ini->GetUInt32("S", "neg", 7), 4294967295u);
    EXPECT_EQ(ini->GetInt32("S", "neg", 7), -1);
    EXPECT_EQ(ini->GetUInt32("S", "abc", 7, &found), 7u);
    EXPECT_EQ(found, 0);
    EXPECT_EQ(ini->GetUInt32("S", "lead", 7, &found), 12u);
    EXPECT_EQ(found, 1);
    EXPECT_EQ(ini->GetUInt32("S", "hexbad", 7, &found), 0u); // decimal fallback reads the 0
    EXPECT_EQ(found, 1);
    EXPECT_EQ(ini->GetUInt64("S", "big", 0), UINT64_MAX);
    EXPECT_EQ(ini->GetInt64("S", "h64", 0), -1);
    EXPECT_EQ(ini->GetUInt64("S", "empty", 5, &found), 5u);
    EXPECT_EQ(found, 0);
    EXPECT_EQ(ini->GetInt32("S", "missing", -9, &found), -9);
    EXPECT_EQ(found, 0);
    EXPECT_EQ(ini->GetInt32("Missing", "dec", -9), -9);
}

TEST(IniTypedSetters, TextWrittenAndReadBack) {
    IniFilePtr ini = MakeIniFile(3);
    ini->SetHex32("S", "h32", 255);
    ini->SetHex64("S", "h64", 255);
    ini->SetUInt32("S", "u32", 4294967295u);
    ini->SetInt32("S", "i32", INT32_MIN);
    ini->SetUInt64("S", "u64", UINT64_MAX);
    ini->SetInt64("S", "i64", INT64_MIN);
    ini->SetDouble("S", "d1", 0.1);
    ini->SetDouble("S", "pi", 3.14159265);
    ini->SetDouble("S", "huge", 1e20);
    ini->SetString("S", "s", "text = with # all");
    EXPECT_EQ(Stored(*ini, "h32"), "0x000000FF");
    EXPECT_EQ(Stored(*ini, "h64"), "0x00000000000000FF");
    EXPECT_EQ(ini->GetUInt32("S", "h32", 0), 255u);
    EXPECT_EQ(ini->GetInt32("S", "h64", 0), 255);
    EXPECT_EQ(ini->GetUInt64("S", "h64", 0), 255u);
    EXPECT_EQ(ini->GetInt64("S", "h32", 0), 255);
    EXPECT_EQ(ini->GetUInt32("S", "u32", 0), 4294967295u);
    EXPECT_EQ(ini->GetInt32("S", "i32", 0), INT32_MIN);
    EXPECT_EQ(ini->GetUInt64("S", "u64", 0), UINT64_MAX);
    EXPECT_EQ(ini->GetInt64("S", "i64", 0), INT64_MIN);
    EXPECT_EQ(Stored(*ini, "d1"), "0.1");
    EXPECT_EQ(Stored(*ini, "pi"), "3.14159");
    EXPECT_EQ(Stored(*ini, "huge"), "1E+20");
    EXPECT_DOUBLE_EQ(ini->GetDouble("S", "pi", 0), 3.14159);
    EXPECT_DOUBLE_EQ(ini->GetDouble("S", "huge", 0), 1e20);
    int found = -1;
    EXPECT_DOUBLE_EQ(ini->GetDouble("S", "s", 2.5, &found), 2.5);
    EXPECT_EQ(found, 0);
    EXPECT_EQ(Stored(*ini, "s"), "text = with # all");

    // What a setter stores survives the text format.
    IniFilePtr again = LoadMem(SaveMem(*ini));
    EXPECT_EQ(Stored(*again, "s"), "text = with # all");
    EXPECT_EQ(again->GetInt64("S", "i64", 0), INT64_MIN);
}

TEST(IniTypedGetters, StringCopyRules) {
    IniFilePtr ini = LoadMem("[S]\nname=abcdef\n");
    char buf[4] = "zzz";
    int found = -1;
    EXPECT_EQ(ini->GetString("S", "name", "def", buf, sizeof buf, &found), 3u);
    EXPECT_STREQ(buf, "abc");
    EXPECT_EQ(found, 1);
    EXPECT_EQ(ini->GetString("S", "none", "dflt", buf, sizeof buf, &found), 3u);
    EXPECT_STREQ(buf, "dfl");
    EXPECT_EQ(found, 0);
    EXPECT_EQ(ini->GetString("S", "name", "def", buf, 1), 0u);
    EXPECT_STREQ(buf, "");
    EXPECT_EQ(ini->GetString("S", "name", "def", nullptr, 4), INI_E_ARG);
}

TEST(IniBinaryValues, HexTextBothWays) {
    IniFilePtr ini = MakeIniFile(3);
    const uint8_t bytes[] = {0x01, 0xAB};
    EXPECT_EQ(ini->SetBinary("S", "b", bytes, sizeof bytes), 0u);
    EXPECT_EQ(Stored(*ini, "b"), "01AB");
    ini->SetBinary("S", "none", nullptr, 5);
    EXPECT_EQ(Stored(*ini, "none"), "");

    uint8_t out[4] = {0xEE, 0xEE, 0xEE, 0xEE};
    const uint8_t def[] = {0xD1, 0xD2, 0xD3};
    int found = -1;
    EXPECT_EQ(ini->GetBinary("S", "b", def, 3, out, 1, &found), 1u); // cut to the buffer
    EXPECT_EQ(out[0], 0x01);
    EXPECT_EQ(out[1], 0xEE);
    EXPECT_EQ(found, 1);
    EXPECT_EQ(ini->GetBinary("S", "b", def, 3, out, 4, &found), 2u);
    EXPECT_EQ(out[1], 0xAB);

    // Missing, odd-length and invalid digits give the default bytes (as many as fit).
    ini->SetString("S", "odd", "0");
    ini->SetString("S", "bad", "0G");
    ini->SetString("S", "lower", "abff");
    for (const char* key : {"missing", "odd", "bad"}) {
        std::memset(out, 0xEE, sizeof out);
        EXPECT_EQ(ini->GetBinary("S", key, def, 3, out, 2, &found), 2u) << key;
        EXPECT_EQ(out[0], 0xD1);
        EXPECT_EQ(out[1], 0xD2);
        EXPECT_EQ(out[2], 0xEE);
        EXPECT_EQ(found, 0);
    }
    EXPECT_EQ(ini->GetBinary("S", "lower", def, 3, out, 4, &found), 2u);
    EXPECT_EQ(out[0], 0xAB);
    EXPECT_EQ(out[1], 0xFF);
    // An empty text is found and stores nothing; a zero-size buffer is left alone.
    std::memset(out, 0xEE, sizeof out);
    EXPECT_EQ(ini->GetBinary("S", "none", def, 3, out, 4, &found), 0u);
    EXPECT_EQ(found, 1);
    EXPECT_EQ(out[0], 0xEE);
    found = -1;
    EXPECT_EQ(ini->GetBinary("S", "b", def, 3, out, 0, &found), 0u);
    EXPECT_EQ(found, -1);
}
