#include "acquisition/CSiliconAPI.h"
#include "platform/ProgramFolder.h"
#include "tests/support/ScopedEnv.h"

#include <gtest/gtest.h>

namespace {

std::string Simulator() {
    return platform::FindBesideProgram("libfglib5.so");
}

std::vector<uint32_t> Serials(const CSiliconAPI& api) {
    std::vector<uint32_t> serials;
    for (const auto& board : api.Boards())
        serials.push_back(board.serialNumber);
    return serials;
}

} // namespace

TEST(SiliconAPI, WithoutTheLibraryNothingIsBoundAndNothingReported) {
    ScopedEnv none("KAVRIN_FGLIB", "none");
    CSiliconAPI api;
    EXPECT_FALSE(api.IsAvailable());
    EXPECT_FALSE(api.Library().IsLoaded());
    EXPECT_TRUE(api.Boards().empty());
    EXPECT_TRUE(api.Errors().empty());
    EXPECT_EQ(api.Functions().Fg_Init, nullptr);
    EXPECT_EQ(api.Functions().getLastErrorNumber, nullptr);

    CSiliconAPI missing("/nonexistent/libfglib5.so");
    EXPECT_FALSE(missing.IsAvailable());
    EXPECT_TRUE(missing.Errors().empty());
}

TEST(SiliconAPI, TheSimulatorBindsCompletelyAndListsItsBoards) {
    ASSERT_FALSE(Simulator().empty());
    ScopedEnv path("KAVRIN_FGLIB", Simulator().c_str());
    CSiliconAPI api;
    EXPECT_TRUE(api.IsAvailable());
    EXPECT_TRUE(api.Errors().empty());
    EXPECT_NE(api.Functions().Fg_Acquire, nullptr);
    EXPECT_NE(api.Functions().getLastErrorNumber, nullptr);
    const std::vector<CSiliconAPI::BoardRecord> expected = {
        {0, 2626, "FullAreaGray8_HS.dll", "MicroEnable IV AD4-CL", 0x00001001},
        {1, 2626, "FullAreaGray8_HS.dll", "MicroEnable IV AD4-CL", 0x00001002}};
    EXPECT_EQ(api.Boards(), expected);
    // The process's own binding found the simulator beside the program before main().
    EXPECT_TRUE(TheSiliconAPI().IsAvailable());
    EXPECT_EQ(TheSiliconAPI().Boards(), expected);
}

TEST(SiliconAPI, APartialLibraryIsUnavailableButStillListsBoards) {
    CSiliconAPI api(platform::FindBesideProgram("libfglib5_partial.so"));
    ASSERT_TRUE(api.Library().IsLoaded());
    EXPECT_FALSE(api.IsAvailable());
    ASSERT_EQ(api.Errors().size(), 1u);
    EXPECT_EQ(api.Errors()[0].text, "SiliconAPI ERROR: Could not find Fg_getStatusEx fgLib5!");
    EXPECT_EQ(api.Errors()[0].code, 0u);
    EXPECT_EQ(api.Functions().Fg_getStatusEx, nullptr);
    EXPECT_NE(api.Functions().Fg_stopAcquireEx, nullptr) << "resolved entries keep their address";
    EXPECT_EQ(Serials(api), (std::vector<uint32_t>{0x1001, 0x1002}));
}

TEST(SiliconAPI, BoardTableAndEnumeration) {
    {
        ScopedEnv boards("FGSIM_BOARDS", "2628:1,3652:2,2627:3,163:4,2624:5");
        CSiliconAPI api(Simulator());
        ASSERT_EQ(api.Boards().size(), 5u);
        EXPECT_EQ(api.Boards()[0].appletFile, "FullAreaGray8_HS.dll");
        EXPECT_EQ(api.Boards()[0].boardName, "MicroEnable IV VD4-CL");
        EXPECT_EQ(api.Boards()[1].appletFile, "QuadAreaGray8");
        EXPECT_EQ(api.Boards()[2].boardName, "Unknown / Unsupported Board");
        EXPECT_EQ(api.Boards()[2].appletFile, "");
        EXPECT_EQ(api.Boards()[2].serialNumber, 3u) << "opened with the empty applet name";
        EXPECT_EQ(api.Boards()[3].boardName, "MicroEnable III");
        EXPECT_EQ(api.Boards()[4].appletFile, "DualAreaGray16.dll");
        EXPECT_EQ(api.Boards()[4].boardIndex, 4u);
    }
    {
        ScopedEnv boards("FGSIM_BOARDS", "2629:7,0:8,2629:9");
        CSiliconAPI api(Simulator());
        EXPECT_EQ(Serials(api), (std::vector<uint32_t>{7})) << "type 0 ends the list";
    }
    {
        ScopedEnv fail("FGSIM_FAIL", "Fg_Init");
        CSiliconAPI api(Simulator());
        EXPECT_EQ(Serials(api), (std::vector<uint32_t>{0, 0})) << "unopened boards stay listed";
    }
    EXPECT_STREQ(CSiliconAPI::BoardName(2609), "MicroEnable III XXL");
    EXPECT_STREQ(CSiliconAPI::AppletFile(3650), "QuadAreaGray8.dll");
    EXPECT_STREQ(CSiliconAPI::AppletFile(2625), "FullAreaGray8.dll");
    EXPECT_STREQ(CSiliconAPI::AppletFile(2629), "SingleAreaGray16.dll");
}

TEST(SiliconAPI, ReorderingMovesTheGivenSerialsToTheFront) {
    ScopedEnv boards("FGSIM_BOARDS", "2626:0xA,2626:0xB,2626:0xC");
    CSiliconAPI api(Simulator());
    ASSERT_EQ(Serials(api), (std::vector<uint32_t>{0xA, 0xB, 0xC}));
    api.ReorderBoards({0xB, 0xA});
    EXPECT_EQ(Serials(api), (std::vector<uint32_t>{0xB, 0xA, 0xC}));
    EXPECT_EQ(api.Boards()[0].boardIndex, 1u) << "records move whole";
    api.ReorderBoards({0x99, 0xC});
    EXPECT_EQ(Serials(api), (std::vector<uint32_t>{0xC, 0xB, 0xA}));
    api.ReorderBoards({});
    EXPECT_EQ(Serials(api), (std::vector<uint32_t>{0xC, 0xB, 0xA}));
}

TEST(SiliconAPI, EqualSerialsAreTakenInListOrder) {
    ScopedEnv boards("FGSIM_BOARDS", "2626:0,2628:5,2629:0");
    CSiliconAPI api(Simulator());
    api.ReorderBoards({5, 0});
    ASSERT_EQ(api.Boards().size(), 3u);
    EXPECT_EQ(api.Boards()[0].boardIndex, 1u);
    EXPECT_EQ(api.Boards()[1].boardIndex, 0u);
    EXPECT_EQ(api.Boards()[2].boardIndex, 2u);
    api.ReorderBoards({0, 0});
    EXPECT_EQ(api.Boards()[0].boardIndex, 0u);
    EXPECT_EQ(api.Boards()[1].boardIndex, 2u);
    EXPECT_EQ(api.Boards()[2].boardIndex, 1u);
}
