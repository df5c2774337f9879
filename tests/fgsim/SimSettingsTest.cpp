#include "libs/fgsim/SimSettings.h"

#include <gtest/gtest.h>
#include <map>
#include <string>

using namespace fgsim;

TEST(SimSettings, NumbersAreDecimalOrHexAndBounded) {
    uint64_t value = 7;
    EXPECT_TRUE(ParseNumber("4097", UINT32_MAX, value));
    EXPECT_EQ(value, 4097u);
    EXPECT_TRUE(ParseNumber("0x00001002", UINT32_MAX, value));
    EXPECT_EQ(value, 0x1002u);
    EXPECT_TRUE(ParseNumber("0XfFfFfFfF", UINT32_MAX, value));
    EXPECT_EQ(value, 0xFFFFFFFFu);
    value = 7;
    for (const char* bad : {"", "0x", "-1", "+1", "12a", "0x1g", " 1", "4294967296", "0x100000000",
                            "99999999999999999999999"})
        EXPECT_FALSE(ParseNumber(bad, UINT32_MAX, value)) << bad;
    EXPECT_EQ(value, 7u) << "a refused number leaves the value alone";
    EXPECT_TRUE(ParseNumber("18446744073709551615", UINT64_MAX, value));
    EXPECT_FALSE(ParseNumber("18446744073709551616", UINT64_MAX, value));
}

TEST(SimSettings, BoardsDefaultToTwoAndSkipMalformedPairs) {
    EXPECT_EQ(ParseBoards(nullptr), (std::vector<SimBoard>{{2626, 0x1001}, {2626, 0x1002}}));
    EXPECT_TRUE(ParseBoards("").empty());
    EXPECT_EQ(ParseBoards("2628:0x20, 3652 : 33 ,junk,:5,7:,2627:4294967296,163:1"),
              (std::vector<SimBoard>{{2628, 0x20}, {3652, 33}, {163, 1}}));
    std::string many;
    for (int i = 0; i < 100; ++i)
        many += "2626:" + std::to_string(i) + ",";
    EXPECT_EQ(ParseBoards(many.c_str()).size(), MAX_BOARDS);
}

TEST(SimSettings, DropRulesSkipFramesOrTags) {
    const DropRule every = ParseDrop("every:3");
    EXPECT_FALSE(every.Drops(0, 100));
    EXPECT_FALSE(every.Drops(1, 101));
    EXPECT_TRUE(every.Drops(2, 102));
    EXPECT_TRUE(every.Drops(5, 0));
    const DropRule list = ParseDrop("list:151, 150,0xFFFFFFFF,x");
    EXPECT_TRUE(list.Drops(0, 150));
    EXPECT_TRUE(list.Drops(99, 151));
    EXPECT_TRUE(list.Drops(3, 0xFFFFFFFF));
    EXPECT_FALSE(list.Drops(150, 152));
    for (const char* none : {"", "every:", "every:0", "sometimes", "list:"}) {
        const DropRule rule = ParseDrop(none);
        for (uint64_t frame = 0; frame < 10; ++frame)
            EXPECT_FALSE(rule.Drops(frame, static_cast<uint32_t>(frame))) << none;
    }
}

TEST(SimSettings, CameraSettingsFromTheEnvironment) {
    std::map<std::string, std::string> env;
    const EnvLookup lookup = [&](const char* name) -> const char* {
        const auto it = env.find(name);
        return it == env.end() ? nullptr : it->second.c_str();
    };
    CameraSettings defaults = ParseCameraSettings(lookup);
    EXPECT_EQ(defaults.fps, 200u);
    EXPECT_EQ(defaults.tag0, 0u);
    EXPECT_FALSE(defaults.noTag || defaults.noLost || defaults.swap);

    env = {{"FGSIM_FPS", "0"},    {"FGSIM_TAG0", "0xFFFFFFFE"}, {"FGSIM_NOTAG", "1"},
           {"FGSIM_NOLOST", "1"}, {"FGSIM_SWAP", "1"},          {"FGSIM_DROP", "every:97"}};
    const CameraSettings set = ParseCameraSettings(lookup);
    EXPECT_EQ(set.fps, 0u);
    EXPECT_EQ(set.tag0, 0xFFFFFFFEu);
    EXPECT_TRUE(set.noTag && set.noLost && set.swap);
    EXPECT_EQ(set.drop.every, 97u);

    env = {{"FGSIM_FPS", "fast"}, {"FGSIM_TAG0", "-3"}, {"FGSIM_SWAP", "yes"}};
    const CameraSettings bad = ParseCameraSettings(lookup);
    EXPECT_EQ(bad.fps, 200u);
    EXPECT_EQ(bad.tag0, 0u);
    EXPECT_FALSE(bad.swap);
    env = {{"FGSIM_FPS", "100001"}};
    EXPECT_EQ(ParseCameraSettings(lookup).fps, 200u) << "beyond the largest rate";

    EXPECT_EQ(ParseNameList(" Fg_Init,,Fg_AcquireEx ,"),
              (std::vector<std::string>{"Fg_Init", "Fg_AcquireEx"}));
}
