#include "acquisition/RuntimeLibraries.h"
#include "platform/ProgramFolder.h"
#include "tests/platform/ScopedEnv.h"

#include <gtest/gtest.h>

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
