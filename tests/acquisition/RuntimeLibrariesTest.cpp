#include "acquisition/RuntimeLibraries.h"
#include "external/ImageFormat.h"
#include "platform/ProgramFolder.h"
#include "tests/acquisition/SequenceTestSupport.h"
#include "tests/support/ScopedEnv.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <unistd.h>

TEST(RuntimeLibraries, ImageLibraryFromEnvironmentOrBesideTheProgram) {
    {
        ScopedEnv env("KAVRIN_LUMOINST", nullptr);
        RuntimeLibraries libs;
        libs.MakeCurrent();
        EXPECT_EQ(RuntimeLibraries::Current(), &libs);
        EXPECT_EQ(CurrentLumoInstance(), nullptr); // nothing loaded yet
        ASSERT_TRUE(libs.LoadImageLibrary()) << libs.ImageLibrary().Error();
        EXPECT_EQ(libs.ImageLibrary().Path(), platform::FindBesideProgram("libLumoInst.so"));
        ASSERT_NE(libs.GetLumoInstance(), nullptr);
        EXPECT_EQ(CurrentLumoInstance(), libs.GetLumoInstance());
        EXPECT_TRUE(libs.LoadImageLibrary()); // a second load keeps the instance
        EXPECT_NE(libs.GetLumoInstance()->CreateImageObject(), nullptr);
        libs.Unload();
        EXPECT_EQ(CurrentLumoInstance(), nullptr);
        EXPECT_FALSE(libs.ImageLibrary().IsLoaded());
    }
    EXPECT_EQ(RuntimeLibraries::Current(), nullptr); // the destroyed object is no longer current
    {
        const std::string real = platform::FindBesideProgram("libLumoInst.so");
        ScopedEnv env("KAVRIN_LUMOINST", real.c_str());
        RuntimeLibraries libs;
        EXPECT_TRUE(libs.LoadImageLibrary());
    }
}

TEST(RuntimeLibraries, MissingLibrariesAndExportsLeaveThemAbsent) {
    RuntimeLibraries libs;
    libs.MakeCurrent();
    {
        ScopedEnv env("KAVRIN_LUMOINST", "/nonexistent/libLumoInst.so");
        EXPECT_FALSE(libs.LoadImageLibrary());
        EXPECT_EQ(libs.GetLumoInstance(), nullptr);
    }
    {
        ScopedEnv env("KAVRIN_LUMOINST", "libm.so.6"); // loads, but has no CreateLumoInstance
        EXPECT_FALSE(libs.LoadImageLibrary());
        EXPECT_EQ(CurrentLumoInstance(), nullptr);
    }
    {
        ScopedEnv env("KAVRIN_PEMDEBUG", "/nonexistent/libPemDebug.so");
        EXPECT_FALSE(libs.LoadDebugLibrary());
        EXPECT_EQ(libs.CreateDebugSink(), nullptr);
        libs.DeleteDebugSink(nullptr);
    }
    {
        ScopedEnv env("KAVRIN_PEMDEBUG", "libm.so.6");
        EXPECT_FALSE(libs.LoadDebugLibrary());
        EXPECT_EQ(libs.CreateDebugSink(), nullptr);
    }
    {
        ScopedEnv env("KAVRIN_FGLIB", "none");
        EXPECT_FALSE(libs.LoadGrabberLibrary());
        EXPECT_FALSE(libs.GrabberLibrary().IsLoaded());
    }
    {
        ScopedEnv env("KAVRIN_FGLIB", "/nonexistent/libfglib5.so");
        EXPECT_FALSE(libs.LoadGrabberLibrary());
    }
    libs.Unload();
}

// Both libraries beside the program, as the application binds them: a sequence made with the
// current instance logs through a sink of the debug library.
TEST(RuntimeLibraries, SequenceLogsThroughTheDebugLibrarysSink) {
    namespace fs = std::filesystem;
    const fs::path state = fs::temp_directory_path() / ("kavrin-state-" + std::to_string(getpid()));
    fs::remove_all(state);
    ScopedEnv stateHome("XDG_STATE_HOME", state.c_str());
    ScopedEnv noDebugPath("KAVRIN_PEMDEBUG", nullptr);
    ScopedEnv noLumoPath("KAVRIN_LUMOINST", nullptr);

    RuntimeLibraries libs;
    ASSERT_TRUE(libs.LoadDebugLibrary()) << libs.DebugLibrary().Error();
    ASSERT_TRUE(libs.LoadImageLibrary());
    libs.MakeCurrent();
    CDebugSink* sink = libs.CreateDebugSink();
    ASSERT_NE(sink, nullptr);
    ASSERT_EQ(
        sink->SetSinkParam(CDebugSink::PARAM_NAME, reinterpret_cast<uintptr_t>("Doc debug"), 0),
        0u);
    {
        TestSequence sequence;
        ASSERT_EQ(Frames(sequence)->Allocate(8, 2, ImageFormat::GREY8, 0, 2), 0u);
        sequence.SetLog(sink);
        sequence.DumpBuffers();
    }
    libs.DeleteDebugSink(sink); // writes what is queued

    std::ifstream file(state / "kavrindemo" / "Doc debug.log");
    const std::string text((std::istreambuf_iterator<char>(file)),
                           std::istreambuf_iterator<char>());
    EXPECT_NE(text.find("Buffer 0: 0x"), std::string::npos) << text;
    EXPECT_NE(text.find("Buffer 1: 0x"), std::string::npos) << text;
    fs::remove_all(state);
}
