// The text format: what Load keeps, what Save writes, and the document operations.
#include "tests/settings/IniTestSupport.h"

#include <gtest/gtest.h>

namespace {

std::string RoundTrip(const std::string& text, uint32_t* result = nullptr) {
    IniFilePtr ini = LoadMem(text, result);
    return SaveMem(*ini);
}

std::string SectionName(CIniFile_0& ini, uint64_t index) {
    char buf[64] = "untouched";
    const uint32_t n = ini.GetSectionName(index, buf, sizeof buf);
    return n == 0 ? std::string("<none:") + buf + ">" : std::string(buf);
}

} // namespace

TEST(IniTextRoundTrip, KeepsCommentsRawLinesAndValuesAsWritten) {
    const std::string text = "; head comment\n"
                             "\n"
                             "[First]\n"
                             "a=1\n"
                             "# inside\n"
                             "b= spaced value ;not a comment \"q\"\n"
                             "\n"
                             "[Second Section]\n"
                             "c=\n";
    uint32_t r = 1;
    EXPECT_EQ(RoundTrip(text, &r), text);
    EXPECT_EQ(r, 0u);

    IniFilePtr ini = LoadMem(text);
    EXPECT_EQ(ini->GetSectionCount(), 2u);
    EXPECT_EQ(SectionName(*ini, 1), "Second Section");
    EXPECT_EQ(SectionName(*ini, 2), "<none:untouched>");
    EXPECT_EQ(ini->GetKeyCount("first"), 2u); // raw lines are not keys
    char buf[64];
    EXPECT_EQ(ini->GetString("First", "b", "", buf, sizeof buf), 32u);
    EXPECT_STREQ(buf, " spaced value ;not a comment \"q\"");
}

TEST(IniTextRoundTrip, NormalisesOnlyWhatTheFormatDrops) {
    // Spaces before a key and before "=", spaces inside the brackets and text after "]" go;
    // a tab belongs to the key; a value keeps its leading space.
    EXPECT_EQ(RoundTrip("[  My Name  ] trailing\n   key = 5\n\tt=1\n"),
              "[My Name]\nkey= 5\n\tt=1\n");
    IniFilePtr ini = LoadMem("[s]\nkey = 5\n");
    char buf[8];
    ini->GetString("s", "key", "", buf, sizeof buf);
    EXPECT_STREQ(buf, " 5");
    EXPECT_EQ(ini->GetUInt32("s", "key", 0), 5u);
    // A header followed by a comment loads the section; the comment is lost on save.
    EXPECT_EQ(RoundTrip("[s] # note\nk=v\n"), "[s]\nk=v\n");
}

TEST(IniTextRoundTrip, EmptyTextAndMixedLineBreaks) {
    uint32_t r = 1;
    IniFilePtr empty = LoadMem("", &r);
    EXPECT_EQ(r, 0u);
    EXPECT_EQ(empty->GetSectionCount(), 0u);
    EXPECT_EQ(SaveMem(*empty), "");

    // CR, LF, CR LF and (in memory) LF CR each end one line.
    IniFilePtr ini = LoadMem("[a]\rx=1\r\ny=2\nz=3\n\r[b]\r\n");
    EXPECT_EQ(ini->GetKeyCount("a"), 3u);
    EXPECT_EQ(ini->SectionExists("b"), 1u);
    EXPECT_EQ(SaveMem(*ini), "[a]\nx=1\ny=2\nz=3\n[b]\n");
}

TEST(IniParseFailure, BadHeadersAndStrayLines) {
    for (const char* bad : {"[]\n", "[name\n", "[name=x]\n", "[\n", "key=1\n", "[ ]\n"}) {
        uint32_t r = 0;
        LoadMem(bad, &r);
        EXPECT_EQ(r, INI_E_SYNTAX) << bad;
    }
    // A bare word ends the section and is kept as a top-level line; the key line after it
    // fails, and what was parsed before stays.
    uint32_t r = 0;
    IniFilePtr ini = LoadMem("[s]\nk=1\nbare\nnext=2\n", &r);
    EXPECT_EQ(r, INI_E_SYNTAX);
    EXPECT_EQ(ini->KeyExists("s", "k"), 1u);
    EXPECT_EQ(ini->KeyExists("s", "next"), 0u);
    EXPECT_EQ(SaveMem(*ini), "[s]\nk=1\nbare\n");
    // A second token that is a comment keeps the line; "[" opens a section on the same line.
    ini = LoadMem("[s]\nword #c\n; fine\n[t]\nword [u]\nk=v\n", &r);
    EXPECT_EQ(r, 0u);
    EXPECT_EQ(ini->SectionExists("u"), 1u);
    EXPECT_EQ(ini->KeyExists("u", "k"), 1u);
    EXPECT_EQ(SaveMem(*ini), "[s]\nword #c\n; fine\n[t]\n[u]\nk=v\n");
    ini = LoadMem("[s]\nword other\n", &r);
    EXPECT_EQ(r, INI_E_SYNTAX);
}

TEST(IniWriteValue, PlacementOfNewKeysAndSections) {
    IniFilePtr ini = MakeIniFile(3);
    EXPECT_EQ(ini->WriteValue("A", "k", "1"), 0u); // no blank line before the first section
    EXPECT_EQ(SaveMem(*ini), "[A]\nk=1\n");
    EXPECT_EQ(ini->WriteValue("B", "k", "2"), 0u);
    EXPECT_EQ(SaveMem(*ini), "[A]\nk=1\n\n[B]\nk=2\n");

    // Blank lines ending a section stay after the new key; a trailing comment stays before it.
    ini = LoadMem("[s]\na=1\n; note\n\n\n[t]\n");
    EXPECT_EQ(ini->WriteValue("S", "b", "2"), 0u);
    EXPECT_EQ(SaveMem(*ini), "[s]\na=1\n; note\nb=2\n\n\n[t]\n");

    // An existing key keeps its spelling and place.
    EXPECT_EQ(ini->WriteValue("s", "A", "9"), 0u);
    EXPECT_EQ(SaveMem(*ini), "[s]\na=9\n; note\nb=2\n\n\n[t]\n");
}

TEST(IniWriteValue, RefusesWhatWouldNotReadBackAsWritten) {
    struct Case {
        const char* section;
        const char* key;
        const char* value;
    };
    const Case refused[] = {
        {"S", "k", "line\nfeed"}, {"S", "k", "carriage\rreturn"},
        {"S", "a=b", "v"},        {"S", "[k", "v"},
        {"S", "k]", "v"},         {"S", "a#b", "v"},
        {"S", " k", "v"},         {"S", "k ", "v"},
        {"S", "a b", "v"},        {"S", ";k", "v"},
        {"S", "//k", "v"},        {"S", "", "v"},
        {"", "k", "v"},           {" S", "k", "v"},
        {"S ", "k", "v"},         {"a]b", "k", "v"},
        {"a[b", "k", "v"},        {"a=b", "k", "v"},
        {"a#b", "k", "v"},        {"a\nb", "k", "v"},
        {nullptr, "k", "v"},      {"S", nullptr, "v"},
    };
    for (const Case& c : refused) {
        IniFilePtr ini = LoadMem("[S]\nk=1\n");
        EXPECT_EQ(ini->SetString(c.section, c.key, c.value), INI_E_ARG)
            << (c.section ? c.section : "null") << " / " << (c.key ? c.key : "null");
        EXPECT_EQ(SaveMem(*ini), "[S]\nk=1\n");
    }
    // The typed setters report the same refusal.
    IniFilePtr ini = MakeIniFile(3);
    EXPECT_EQ(ini->SetUInt32("S", "a b", 1), INI_E_ARG);
    EXPECT_EQ(ini->SetDouble("S", "", 1.5), INI_E_ARG);

    // What the parser does read back stays allowed: spaces inside a section name, a tab in a
    // key, ";" or "/" after a key's first character, and any value without a line break.
    const Case accepted[] = {
        {"My Section", "\tkey", " v = # ; [x] \" "},
        {"S;1", "k;/", ""},
        {"S", "a/b", "/"},
    };
    ini = MakeIniFile(3);
    for (const Case& c : accepted)
        EXPECT_EQ(ini->SetString(c.section, c.key, c.value), 0u) << c.section << " / " << c.key;
    IniFilePtr reread = LoadMem(SaveMem(*ini));
    for (const Case& c : accepted) {
        char buf[64];
        int found = 0;
        reread->GetString(c.section, c.key, "<missing>", buf, sizeof buf, &found);
        EXPECT_EQ(found, 1) << c.section << " / " << c.key;
        EXPECT_STREQ(buf, c.value);
    }
}

TEST(IniDuplicates, FirstMatchWinsButBothAreKept) {
    IniFilePtr ini = LoadMem("[Cam]\nx=1\nX=2\n[CAM]\ny=3\n");
    EXPECT_EQ(ini->GetSectionCount(), 2u);
    EXPECT_EQ(SectionName(*ini, 0), "Cam");
    EXPECT_EQ(SectionName(*ini, 1), "CAM");
    EXPECT_EQ(ini->GetUInt32("cam", "x", 0), 1u);
    EXPECT_EQ(ini->KeyExists("cam", "y"), 0u); // only the first section is searched
    EXPECT_EQ(ini->WriteValue("CAM", "X", "7"), 0u);
    EXPECT_EQ(SaveMem(*ini), "[Cam]\nx=7\nX=2\n[CAM]\ny=3\n");
    ini->DeleteKey("cam", "x");
    EXPECT_EQ(ini->DeleteSection("cAm"), 0u);
    EXPECT_EQ(SaveMem(*ini), "[CAM]\ny=3\n");
}

TEST(IniDeleteSection, TakesTheLinesThatSeparatedIt) {
    const std::string text = "; top\n[a]\nk=1\n; end of a\n\n; about b\n[b]\nk=2\n\n[c]\nk=3\n";
    IniFilePtr ini = LoadMem(text);
    EXPECT_EQ(ini->DeleteSection("b"), 0u);
    // The comments and the blank line that end section a go with b; the blank line before [c]
    // belonged to b.
    EXPECT_EQ(SaveMem(*ini), "; top\n[a]\nk=1\n[c]\nk=3\n");
    EXPECT_EQ(ini->DeleteSection("missing"), 0u);
    // The first section takes the top-level lines before it.
    EXPECT_EQ(ini->DeleteSection("a"), 0u);
    EXPECT_EQ(SaveMem(*ini), "[c]\nk=3\n");
}

TEST(IniDocumentQueries, ArgumentsAndEmptyDocuments) {
    IniFilePtr ini = MakeIniFile(3);
    char buf[4] = "xyz";
    EXPECT_EQ(ini->GetSectionName(0, buf, sizeof buf), INI_E_EMPTY);
    EXPECT_EQ(ini->WriteValue("LongName", "key", "v"), 0u);
    EXPECT_EQ(ini->GetSectionName(0, nullptr, 4), INI_E_ARG);
    EXPECT_EQ(ini->GetSectionName(0, buf, 0), INI_E_ARG);
    EXPECT_EQ(ini->GetSectionName(0, buf, sizeof buf), 3u); // cut to len-1
    EXPECT_STREQ(buf, "Lon");
    EXPECT_EQ(ini->GetKeyName("longname", 0, buf, sizeof buf), 3u);
    EXPECT_STREQ(buf, "key");
    EXPECT_EQ(ini->GetKeyName("longname", 1, buf, sizeof buf), 0u);
    EXPECT_EQ(ini->GetKeyName("nope", 0, buf, sizeof buf), 0u);
    EXPECT_EQ(ini->KeyExists(nullptr, "key"), 0u);
    EXPECT_EQ(ini->KeyExists("LongName", nullptr), 0u);
    EXPECT_EQ(ini->GetKeyCount("nope"), 0u);
    EXPECT_EQ(ini->Clear(), 0u);
    EXPECT_EQ(ini->GetSectionCount(), 0u);
    EXPECT_EQ(SaveMem(*ini), "");
}
