// Tests of the image library load the real libLumoInst.so through the run-time binding (found
// beside the test program) and hold their objects in these owners.
#pragma once

#include "acquisition/RuntimeLibraries.h"
#include "external/LumoInstance.h"

#include <gtest/gtest.h>
#include <memory>

struct LumoObjectDeleter {
    CLumoInstance* instance;
    void operator()(CLumoObject* object) const {
        if (object)
            instance->DeleteImage(object->GetKind(), object);
    }
};
using ImagePtr = std::unique_ptr<CLumoImage, LumoObjectDeleter>;
using RegionPtr = std::unique_ptr<CLumoRegion, LumoObjectDeleter>;

class LumoTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_libs.LoadImageLibrary()) << "path: '" << RuntimeLibraries::ImageLibraryPath()
                                               << "' " << m_libs.ImageLibrary().Error();
        m_pLumo = m_libs.GetLumoInstance();
    }
    ImagePtr NewImage() {
        return ImagePtr(m_pLumo->CreateImageObject(), LumoObjectDeleter{m_pLumo});
    }
    RegionPtr NewRegion() {
        return RegionPtr(m_pLumo->CreateRegionObject(), LumoObjectDeleter{m_pLumo});
    }

    RuntimeLibraries m_libs;
    CLumoInstance* m_pLumo = nullptr;
};
