// kavrin boards as a user runs it, against the simulated grabber and without a grabber library.
#include "tests/cli/KavrinRun.h"

#include <array>
#include <cstdio>
#include <gtest/gtest.h>
#include <string>
#include <sys/wait.h>

TEST(KavrinBoards, ListsTheSimulatorsBoardsInTheBindingsOrder) {
    const CliRun json =
        RunKavrin("FGSIM_BOARDS='2626:0x1001,3652:7,2627:0xFFFFFFFF'", "boards --json");
    EXPECT_EQ(json.status, 0);
    EXPECT_EQ(json.out,
              "{\"available\": true, \"boards\": ["
              "{\"index\": 0, \"type\": 2626, \"name\": \"MicroEnable IV AD4-CL\", \"applet\": "
              "\"FullAreaGray8_HS.dll\", \"serial\": 4097}, "
              "{\"index\": 1, \"type\": 3652, \"name\": \"MicroEnable IV VQ4-GE\", \"applet\": "
              "\"QuadAreaGray8\", \"serial\": 7}, "
              "{\"index\": 2, \"type\": 2627, \"name\": \"Unknown / Unsupported Board\", "
              "\"applet\": \"\", \"serial\": 4294967295}]}\n");

    const CliRun text = RunKavrin("FGSIM_BOARDS='2626:0x1001'", "boards");
    EXPECT_EQ(text.status, 0);
    EXPECT_NE(text.out.find("grabber library: available ("), std::string::npos) << text.out;
    EXPECT_NE(text.out.find("0      2626    MicroEnable IV AD4-CL         FullAreaGray8_HS.dll  "
                            "  0x00001001\n"),
              std::string::npos)
        << text.out;
}

TEST(KavrinBoards, WithoutOrWithAnIncompleteLibrary) {
    const CliRun none = RunKavrin("KAVRIN_FGLIB=none", "boards --json");
    EXPECT_EQ(none.status, 0);
    EXPECT_EQ(none.out, "{\"available\": false, \"boards\": []}\n");
    const CliRun noneText = RunKavrin("KAVRIN_FGLIB=none", "boards");
    EXPECT_EQ(noneText.out, "grabber library: not available\nno boards\n");

    const CliRun partial = RunKavrin(std::string("KAVRIN_FGLIB='") + FGSIM_PARTIAL + "'", "boards");
    EXPECT_EQ(partial.status, 0);
    EXPECT_EQ(partial.out.rfind("grabber library: incomplete, not available", 0), 0u)
        << partial.out;
    EXPECT_NE(partial.out.find("0x00001002"), std::string::npos) << "boards are still listed";

    EXPECT_EQ(RunKavrin("", "boards --xml").status, 2);
}
