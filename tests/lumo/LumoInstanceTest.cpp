#include "external/ImageFormat.h"
#include "external/LumoResult.h"
#include "tests/lumo/LumoTestLibrary.h"

using LumoInstance = LumoTest;

TEST_F(LumoInstance, MakesObjectsByKindAndRefusesWrongDeletes) {
    CLumoObject* image = m_pLumo->CreateImage(CLumoObject::KIND_IMAGE, 0);
    CLumoObject* region = m_pLumo->CreateImage(CLumoObject::KIND_REGION, 0);
    ASSERT_NE(image, nullptr);
    ASSERT_NE(region, nullptr);
    EXPECT_EQ(image->GetKind(), CLumoObject::KIND_IMAGE);
    EXPECT_EQ(region->GetKind(), CLumoObject::KIND_REGION);
    EXPECT_EQ(AsLumoRegion(image), nullptr);
    EXPECT_EQ(AsLumoImage(region), nullptr);
    EXPECT_EQ(m_pLumo->CreateImage(2, 0), nullptr);

    // Deleting with the wrong kind is refused: the object stays usable.
    m_pLumo->DeleteImage(CLumoObject::KIND_REGION, image);
    ASSERT_EQ(AsLumoImage(image)->Allocate(2, 2, ImageFormat::GREY8, 0, 1), LUMO_OK);
    m_pLumo->DeleteImage(CLumoObject::KIND_IMAGE, image);
    m_pLumo->DeleteImage(CLumoObject::KIND_REGION, region);
    m_pLumo->DeleteImage(CLumoObject::KIND_IMAGE, nullptr);

    // Objects never deleted go with the instance (checked by the sanitizer builds).
    CLumoImage* left = m_pLumo->CreateImageObject();
    ASSERT_NE(left, nullptr);
    ASSERT_EQ(left->Allocate(64, 64, ImageFormat::GREY8, 0, 2), LUMO_OK);
}

TEST_F(LumoInstance, ModuleFrameworkOffersTheFileModulesOnly) {
    EXPECT_EQ(m_pLumo->Init(".", "Pem*.dll", 1), 0u); // again: accepted, nothing doubles
    for (uint32_t id : {LUMO_ID_DISPLAY, 32u, 0u}) {
        EXPECT_EQ(m_pLumo->CreateModule(id), nullptr) << id;
        EXPECT_EQ(m_pLumo->GetModuleName(id, 0), nullptr) << id;
    }
    EXPECT_STREQ(m_pLumo->GetModuleName(LUMO_ID_FILE_WRITER, 0), "File writer");
    EXPECT_STREQ(m_pLumo->GetModuleName(LUMO_ID_FILE_READER, 0), "File reader");
    for (uint32_t id : {LUMO_ID_FILE_WRITER, LUMO_ID_FILE_READER}) {
        CLumoModule* module = m_pLumo->CreateModule(id);
        ASSERT_NE(module, nullptr);
        EXPECT_EQ(module->GetObjectId(), id);
        m_pLumo->DeleteModule(module);
    }
    m_pLumo->DeleteModule(nullptr);
}
