// The look-up table's CSV form: what export writes, what import takes, and the messages of
// what it refuses.
#include "libs/lumodialog/widgets/LutCsv.h"

#include <gtest/gtest.h>

#include <string>

using lumodialog::ExportLutCsv;
using lumodialog::ImportLutCsv;
using lumodialog::LUT_POINTS;
using lumodialog::LutChannels;

namespace {

LutChannels Ramps() {
    LutChannels table{};
    for (size_t i = 0; i < LUT_POINTS; ++i) {
        table[i] = uint16_t(i * 257);
        table[LUT_POINTS + i] = uint16_t(65535 - i * 257);
        table[2 * LUT_POINTS + i] = uint16_t(i * i);
    }
    return table;
}

std::string Lines(size_t count, const std::string& body) {
    std::string text;
    for (size_t i = 0; i < count; ++i)
        text += body + "\n";
    return text;
}

std::string Refusal(const std::string& text) {
    LutChannels table = Ramps();
    std::string error;
    EXPECT_FALSE(ImportLutCsv(text, table, error)) << text.substr(0, 80);
    EXPECT_EQ(table, Ramps()) << "a refused file changed the table";
    return error;
}

} // namespace

TEST(LutCsv, ExportWritesTheHeaderAndOneLinePerInputAndImportsBack) {
    const std::string text = ExportLutCsv(Ramps());
    EXPECT_EQ(text.rfind("input,red,green,blue\n0,0,65535,0\n1,257,65278,1\n", 0), 0u);
    EXPECT_NE(text.find("\n255,65535,0,65025\n"), std::string::npos);
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 257);

    LutChannels table{};
    std::string error;
    ASSERT_TRUE(ImportLutCsv(text, table, error)) << error;
    EXPECT_EQ(table, Ramps());
}

TEST(LutCsv, ImportTakesOneOrThreeValuesWithOrWithoutHeader) {
    LutChannels table{};
    std::string error;
    std::string one;
    for (size_t i = 0; i < LUT_POINTS; ++i)
        one += std::to_string(i * 100) + "\n";
    ASSERT_TRUE(ImportLutCsv(one, table, error)) << error;
    for (size_t c = 0; c < 3; ++c)
        EXPECT_EQ(table[c * LUT_POINTS + 200], 20000) << "channel " << c;

    // Three values, spaces, CR LF line ends, a byte-order mark, a header in other letter case
    // and blank lines at the end.
    std::string three = "\xEF\xBB\xBFInput, Red, Green, Blue\r\n";
    for (size_t i = 0; i < LUT_POINTS; ++i)
        three += " " + std::to_string(i) + " ,7, " + std::to_string(65535 - i) + "\r\n";
    three += "\r\n\n";
    ASSERT_TRUE(ImportLutCsv(three, table, error)) << error;
    EXPECT_EQ(table[10], 10);
    EXPECT_EQ(table[LUT_POINTS + 10], 7);
    EXPECT_EQ(table[2 * LUT_POINTS + 10], 65525);
}

TEST(LutCsv, RefusalsNameTheLine) {
    std::string bad = ExportLutCsv(Ramps());
    const std::string line17 = "\n15,3855,61680,225\n";
    bad.replace(bad.find(line17), line17.size(), "\n15,3855,70000,225\n");
    EXPECT_EQ(Refusal(bad), "line 17: value 70000 out of range");

    EXPECT_EQ(Refusal(Lines(3, "5") + "-1\n" + Lines(252, "5")), "line 4: value -1 out of range");
    EXPECT_EQ(Refusal(Lines(255, "5") + "99999999999999999999999\n"),
              "line 256: value 99999999999999999999999 out of range");
    EXPECT_EQ(Refusal("1\n2x\n"), "line 2: '2x' is not a whole number");
    EXPECT_EQ(Refusal("1\n1,,1\n"), "line 2: '' is not a whole number");
    EXPECT_EQ(Refusal("1,2\n"), "line 1: expected 1, 3 or 4 values (input,red,green,blue), "
                                "found 2");
    EXPECT_EQ(Refusal("1,2,3,4,5,6\n"), "line 1: expected 1, 3 or 4 values "
                                        "(input,red,green,blue), found 5 or more");
    EXPECT_EQ(Refusal("input,red,green,blue\n0,1,1,1\n2,1,1,1\n"),
              "line 3: input 2 where 1 was expected");
    EXPECT_EQ(Refusal(Lines(10, "1") + "\n" + Lines(246, "1")), "line 11: empty line inside "
                                                                "the table");
    EXPECT_EQ(Refusal("header\n" + Lines(256, "1")), "line 1: 'header' is not a whole number");
    EXPECT_EQ(Refusal(Lines(257, "1")), "line 257: more than 256 table lines");
    EXPECT_EQ(Refusal("input,red,green,blue\n" + Lines(200, "1")),
              "line 201: the table ends after 200 lines; 256 expected");
    EXPECT_EQ(Refusal("input,red,green,blue\n\n"), "no table lines: 256 expected");
    EXPECT_EQ(Refusal(std::string(lumodialog::LUT_CSV_MAX_BYTES + 1, '1')),
              "the file is larger than a table file can be");
}
