#include "platform/SharedLibrary.h"
#include "platform/MemoryStatus.h"
#include "platform/ProgramFolder.h"
#include "tests/support/TempFolder.h"

#include <cstring>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <utility>

TEST(SharedLibrary, MissingFilesAndExportsAreAbsentNotFatal) {
    platform::SharedLibrary missing("/nonexistent/libNothing.so");
    EXPECT_FALSE(missing.IsLoaded());
    EXPECT_FALSE(missing.Error().empty());
    EXPECT_EQ(missing.Symbol("anything"), nullptr);
    EXPECT_FALSE(missing.Open(""));

    platform::SharedLibrary math;
    ASSERT_TRUE(math.Open("libm.so.6")) << math.Error();
    using Cos = double (*)(double);
    const Cos cosine = math.Function<Cos>("cos");
    ASSERT_NE(cosine, nullptr);
    EXPECT_DOUBLE_EQ(cosine(0.0), 1.0);
    EXPECT_EQ(math.Symbol("NoSuchExportAnywhere"), nullptr);
    EXPECT_EQ(math.Symbol(nullptr), nullptr);

    platform::SharedLibrary moved(std::move(math));
    EXPECT_FALSE(math.IsLoaded());
    EXPECT_TRUE(moved.IsLoaded());
    EXPECT_NE(moved.Symbol("cos"), nullptr);
    moved = platform::SharedLibrary();
    EXPECT_FALSE(moved.IsLoaded());
}

TEST(ProgramFolder, FindsTheBuildsLibrariesBesideTheProgram) {
    const std::string exe = platform::ExecutablePath();
    ASSERT_FALSE(exe.empty());
    EXPECT_EQ(exe.rfind(platform::ExecutableFolder() + "/", 0), 0u);
    // This test program sits in build/<preset>/tests/platform/; the library in build/<preset>/lib/.
    const std::string lumo = platform::FindBesideProgram("libLumoInst.so");
    ASSERT_FALSE(lumo.empty());
    EXPECT_NE(lumo.find("/lib/libLumoInst.so"), std::string::npos);
    EXPECT_EQ(platform::FindBesideProgram("libNoSuchThing.so"), "");
    EXPECT_EQ(platform::FindBesideProgram("../lib/libLumoInst.so"), "");
    EXPECT_EQ(platform::FindBesideProgram(""), "");
}

namespace {

// Creates the folders of `path` below `root` and an empty file at its end; the file's full path.
std::string MakeFile(const std::string& root, const std::string& path) {
    const std::filesystem::path file = std::filesystem::path(root) / path;
    std::filesystem::create_directories(file.parent_path());
    std::ofstream(file).put('\0');
    return file.string();
}

} // namespace

TEST(ProgramFolder, FindsTheInstalledAndTheBuildTreesLibraryFolders) {
    TempFolder tmp;
    ASSERT_FALSE(tmp.Path().empty());
    const std::string root = tmp.Path();
    // Installed: prefix/bin/kavrin and prefix/lib/kavrindemo/.
    std::filesystem::create_directories(root + "/usr/bin");
    const std::string installed = MakeFile(root, "usr/lib/kavrindemo/libLumoInst.so");
    EXPECT_EQ(platform::FindBesideFolder(root + "/usr/bin", "libLumoInst.so"), installed);
    // The project's own folder comes before the prefix's shared lib/.
    MakeFile(root, "usr/lib/libLumoInst.so");
    EXPECT_EQ(platform::FindBesideFolder(root + "/usr/bin", "libLumoInst.so"), installed);
    // A file in the program's own folder comes first of all.
    const std::string beside = MakeFile(root, "usr/bin/libLumoInst.so");
    EXPECT_EQ(platform::FindBesideFolder(root + "/usr/bin", "libLumoInst.so"), beside);
    EXPECT_EQ(platform::FindBesideFolder(root + "/usr/bin", "libfglib5.so"), "");

    // Build tree: programs up to two levels below build/<preset>/, libraries in its lib/.
    const std::string built = MakeFile(root, "build/release/lib/libfglib5.so");
    std::filesystem::create_directories(root + "/build/release/tests/platform");
    EXPECT_EQ(platform::FindBesideFolder(root + "/build/release/tests/platform", "libfglib5.so"),
              built);
    EXPECT_EQ(platform::FindBesideFolder(root + "/build/release/bin", "libfglib5.so"), built);
    // Four levels up is out of reach; so are names with a folder and a missing program folder.
    std::filesystem::create_directories(root + "/build/release/a/b/c/d");
    EXPECT_EQ(platform::FindBesideFolder(root + "/build/release/a/b/c/d", "libfglib5.so"), "");
    EXPECT_EQ(platform::FindBesideFolder(root + "/build/release/bin", "../lib/libfglib5.so"), "");
    EXPECT_EQ(platform::FindBesideFolder("", "libfglib5.so"), "");
    // A folder of that name is not a library.
    std::filesystem::create_directories(root + "/opt/lib/kavrindemo/libPemDebug.so");
    std::filesystem::create_directories(root + "/opt/bin");
    EXPECT_EQ(platform::FindBesideFolder(root + "/opt/bin", "libPemDebug.so"), "");
}

TEST(MemoryStatus, MemAvailableLineIsParsedStrictly) {
    const char* text = "MemTotal:       24576000 kB\nMemFree:  100 kB\n"
                       "MemAvailable:   24424988 kB\nBuffers: 1 kB\n";
    EXPECT_EQ(platform::ParseMemAvailable(text, std::strlen(text)), 24424988ull * 1024);
    const char* missing = "MemTotal: 5 kB\nMemAvail: 7 kB\n";
    EXPECT_FALSE(platform::ParseMemAvailable(missing, std::strlen(missing)));
    const char* noDigits = "MemAvailable:    kB\n";
    EXPECT_FALSE(platform::ParseMemAvailable(noDigits, std::strlen(noDigits)));
    const char* otherUnit = "MemAvailable: 12 MB\n";
    EXPECT_FALSE(platform::ParseMemAvailable(otherUnit, std::strlen(otherUnit)));
    const char* huge = "MemAvailable: 99999999999999999999999 kB\n";
    EXPECT_FALSE(platform::ParseMemAvailable(huge, std::strlen(huge)));
    const char* cut = "MemAvailable: 12"; // no unit: a truncated read
    EXPECT_FALSE(platform::ParseMemAvailable(cut, std::strlen(cut)));
    EXPECT_FALSE(platform::ParseMemAvailable("", 0));

    const std::optional<uint64_t> live = platform::MemAvailableBytes();
    ASSERT_TRUE(live.has_value());
    EXPECT_GT(*live, 0u);
}
