#include "acquisition/CameraCatalogue.h"
#include "acquisition/CameraModels.h"
#include "external/ImageFormat.h"
#include "tests/acquisition/SequenceTestSupport.h"

#include <typeinfo>

class CameraCatalogueTest : public SequenceTest {};

TEST_F(CameraCatalogueTest, TwelveTypesInMenuOrder) {
    const struct {
        const char* name;  // menu text
        const char* title; // the camera's own name
        uint32_t width;
        uint64_t format;
        uint32_t channels;
        uint64_t lines; // camera-control lines
    } expected[] = {
        {"Kavrin KX-220B 200fps", "Kavrin KX-220B 200fps", 2320, 0x01001208, 1, 4},
        {"Kavrin KX-220C 200fps", "Kavrin KX-220C 200fps", 2320, 0x02001208, 1, 4},
        {"Kavrin KX-220B (Fast mode / Half image)", "Kavrin KX-220B (Fast mode / Half image)", 1120,
         0x01001208, 1, 4},
        {"Kavrin KX-220C (Fast mode / Half image)", "Kavrin KX-220C (Fast mode / Half image)", 1120,
         0x02001208, 1, 4},
        {"Kavrin KX-220B (Fast mode)", "Kavrin KX-220B (Fast mode)", 2240, 0x01001208, 2, 8},
        {"Kavrin KX-220C (Fast mode)", "Kavrin KX-220C (Fast mode)", 2240, 0x02001208, 2, 8},
        {"TLM-2200 (Slow mode)", "TLM-2200 (Slow mode)", 2320, 0x01001208, 1, 4},
        {"TLM-2200C (Slow mode)", "Kavrin KX-220C 200fps", 2320, 0x02001208, 1, 4},
        {"TLM-2200 (Fast mode / Half image)", "TLM-2200 (Fast mode / Half image)", 1120, 0x01001208,
         1, 4},
        {"TLM-2200C (Fast mode / Half image)", "TLM-2200C (Fast mode / Half image)", 1120,
         0x02001208, 1, 4},
        {"TLM-2200 (Fast mode)", "TLM-2200 (Fast mode)", 2240, 0x01001208, 2, 8},
        {"TLM-2200C (Fast mode)", "TLM-2200 (Fast mode)", 2240, 0x01001208, 2, 8},
    };
    ASSERT_EQ(CameraCatalogueSize(), std::size(expected));
    EXPECT_EQ(CameraCatalogueEntryAt(12), nullptr);
    EXPECT_EQ(CameraCatalogueEntryAt(SIZE_MAX), nullptr);
    EXPECT_EQ(CreateCatalogueCamera(12), nullptr);
    for (size_t i = 0; i < CameraCatalogueSize(); ++i) {
        SCOPED_TRACE(i);
        const CameraCatalogueEntry* entry = CameraCatalogueEntryAt(i);
        ASSERT_NE(entry, nullptr);
        EXPECT_STREQ(entry->name(), expected[i].name);
        CCamera* camera = entry->create();
        ASSERT_NE(camera, nullptr);
        EXPECT_STREQ(camera->GetName(), expected[i].title);
        EXPECT_EQ(camera->GetWidth(), expected[i].width);
        EXPECT_EQ(camera->GetHeight(), 1726u);
        EXPECT_EQ(camera->GetImageFormat(), expected[i].format);
        EXPECT_EQ(camera->GetChannelCount(), expected[i].channels);
        EXPECT_EQ(camera->GetCCCount(), expected[i].lines);
        EXPECT_EQ(camera->GetSequenceType(), 2u);
        EXPECT_NE(dynamic_cast<CTLMChannel*>(camera), nullptr);
        EXPECT_EQ(dynamic_cast<CKavrinFast*>(camera) != nullptr, expected[i].channels == 2);
        entry->destroy(camera);
    }
    CameraCatalogueEntryAt(0)->destroy(nullptr);

    // Indices 7 and 11 reuse the classes of 1 and 10; every other index has its own.
    const auto typeOf = [](size_t index) {
        CameraPtr camera = CreateCatalogueCamera(index);
        const CCamera& object = *camera;
        return std::string(typeid(object).name());
    };
    EXPECT_EQ(typeOf(7), typeOf(1));
    EXPECT_EQ(typeOf(11), typeOf(10));
    EXPECT_EQ(typeOf(4), typeid(CKavrinFast).name());
    EXPECT_EQ(typeOf(5), typeid(CKavrinCFast).name());
    std::vector<std::string> types;
    for (size_t i = 0; i < 12; ++i)
        if (i != 7 && i != 11)
            types.push_back(typeOf(i));
    std::sort(types.begin(), types.end());
    EXPECT_EQ(std::unique(types.begin(), types.end()), types.end()) << "ten classes";
}
