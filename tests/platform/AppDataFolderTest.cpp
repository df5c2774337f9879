#include "platform/AppDataFolder.h"
#include "tests/support/ScopedEnv.h"

#include <filesystem>
#include <gtest/gtest.h>

TEST(AppDataFolder, LookupOrderAndEmptyValues) {
    ScopedEnv home("HOME", "/home/tester/");
    {
        ScopedEnv own("KAVRIN_DATA_HOME", "/data/kavrin/");
        ScopedEnv xdg("XDG_DATA_HOME", "/xdg");
        EXPECT_EQ(platform::AppDataFolder(), "/data/kavrin");
    }
    {
        ScopedEnv own("KAVRIN_DATA_HOME", "");
        ScopedEnv xdg("XDG_DATA_HOME", "/xdg");
        EXPECT_EQ(platform::AppDataFolder(), "/xdg");
    }
    {
        ScopedEnv own("KAVRIN_DATA_HOME", nullptr);
        ScopedEnv xdg("XDG_DATA_HOME", nullptr);
        EXPECT_EQ(platform::AppDataFolder(), "/home/tester/.local/share");
    }
}

TEST(AppDataFolder, MakeFoldersCreatesEveryLevelAndRefusesFiles) {
    namespace fs = std::filesystem;
    const fs::path root =
        fs::temp_directory_path() / ("kavrin-folders-" + std::to_string(getpid()));
    fs::remove_all(root);
    const fs::path deep = root / "a" / "b c" / "d";
    EXPECT_TRUE(platform::MakeFolders(deep.string()));
    EXPECT_TRUE(fs::is_directory(deep));
    EXPECT_TRUE(platform::MakeFolders(deep.string())); // already there
    {
        std::FILE* f = std::fopen((root / "file").c_str(), "w");
        ASSERT_NE(f, nullptr);
        std::fclose(f);
    }
    EXPECT_FALSE(platform::MakeFolders((root / "file" / "sub").string()));
    EXPECT_FALSE(platform::MakeFolders(""));
    fs::remove_all(root);
}
