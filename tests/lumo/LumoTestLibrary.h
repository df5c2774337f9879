// Tests of the image library load the real libLumoInst.so through the run-time binding (found
// beside the test program) and hold their objects in these owners.
#pragma once

#include "acquisition/RuntimeLibraries.h"
#include "external/LumoInstance.h"
#include "external/LumoPtr.h"

#include <gtest/gtest.h>
#include <memory>

using ImagePtr = LumoImagePtr;
using RegionPtr = LumoRegionPtr;

class LumoTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_libs.LoadImageLibrary()) << "path: '" << RuntimeLibraries::ImageLibraryPath()
                                               << "' " << m_libs.ImageLibrary().Error();
        m_pLumo = m_libs.GetLumoInstance();
    }
    ImagePtr NewImage() { return MakeLumoImage(m_pLumo); }
    RegionPtr NewRegion() { return MakeLumoRegion(m_pLumo); }

    RuntimeLibraries m_libs;
    CLumoInstance* m_pLumo = nullptr;
};
