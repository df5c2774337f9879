// The module framework inside the library: registration by object ID and what every module
// shares. (Through the loaded library no module type exists yet.)
#include "external/LumoResult.h"
#include "libs/lumo/CImageObject.h"
#include "libs/lumo/CModuleBase.h"
#include "libs/lumo/CModuleRegistry.h"

#include <gtest/gtest.h>
#include <memory>
#include <string>

namespace {

class EchoModule final : public lumo::CModuleBase {
public:
    EchoModule() : CModuleBase(77) {}
    uint32_t Execute(uint32_t mode) override { return mode == EXECUTE_PROCESS ? 0 : 1; }
};

std::unique_ptr<lumo::CModuleBase> MakeEcho() {
    return std::make_unique<EchoModule>();
}

} // namespace

TEST(ModuleRegistry, RegistersOnceByObjectIdWithStableNames) {
    lumo::CModuleRegistry registry;
    EXPECT_EQ(registry.Create(77), nullptr);
    EXPECT_EQ(registry.NameOf(77), nullptr);
    ASSERT_TRUE(registry.Register(77, "Echo", &MakeEcho));
    const char* name = registry.NameOf(77);
    EXPECT_FALSE(registry.Register(77, "Other", &MakeEcho)); // the ID is taken
    EXPECT_FALSE(registry.Register(78, "Nothing", nullptr));
    for (uint32_t id = 100; id < 164; ++id) // names handed out stay valid as types are added
        ASSERT_TRUE(registry.Register(id, "Filler", &MakeEcho));
    EXPECT_EQ(registry.NameOf(77), name);
    EXPECT_STREQ(name, "Echo");
    EXPECT_EQ(registry.Count(), 65u);

    std::unique_ptr<lumo::CModuleBase> module = registry.Create(77);
    ASSERT_NE(module, nullptr);
    EXPECT_EQ(module->GetObjectId(), 77u);
    EXPECT_EQ(module->Execute(CLumoModule::EXECUTE_PROCESS), 0u);
    EXPECT_EQ(registry.Create(78), nullptr);
}

TEST(ModuleBase, KeepsImagesLogTitleAndRefusesTheRest) {
    EchoModule module;
    lumo::CImageObject input;
    lumo::CImageObject output;
    CLumoImage* both[2] = {&input, &output};
    ASSERT_EQ(module.SetImages(2, both), LUMO_OK);
    EXPECT_EQ(module.GetImage(0), &input);
    EXPECT_EQ(module.GetImage(1), &output);
    EXPECT_EQ(module.GetImage(2), nullptr);
    CLumoImage* one[1] = {&output};
    ASSERT_EQ(module.SetImages(1, one), LUMO_OK); // the input only
    EXPECT_EQ(module.GetImage(0), &output);
    EXPECT_EQ(module.GetImage(1), &output);
    EXPECT_NE(module.SetImages(3, both), LUMO_OK);
    ASSERT_EQ(module.SetImages(1, nullptr), LUMO_OK);
    EXPECT_EQ(module.GetImage(0), nullptr);
    EXPECT_EQ(module.GetImage(1), nullptr);

    uint64_t dialogs = 9;
    ASSERT_EQ(module.QueryParam(LUMO_PARAM_DIALOGS, 0, LumoArg(&dialogs), 0, 0), LUMO_OK);
    EXPECT_EQ(dialogs, 0u);
    LumoDialogInfo info{};
    EXPECT_NE(module.GetParam(LUMO_PARAM_DIALOGS, 0, LumoArg(&info)), LUMO_OK);

    const char* title = "x";
    ASSERT_EQ(module.GetParam(LUMO_PARAM_TITLE, 0, LumoArg(&title)), LUMO_OK);
    EXPECT_EQ(title, nullptr);
    std::string text = "Save sequence";
    ASSERT_EQ(module.SetParam(LUMO_PARAM_TITLE, 0, LumoArg(text.c_str())), LUMO_OK);
    text = "changed"; // the module keeps its own copy
    ASSERT_EQ(module.GetParam(LUMO_PARAM_TITLE, 0, LumoArg(&title)), LUMO_OK);
    EXPECT_STREQ(title, "Save sequence");

    uint8_t block[40] = {1, 2, 3};
    EXPECT_EQ(module.SetParam(LUMO_PARAM_NOTIFY, LumoArg(block), sizeof block), LUMO_OK);
    EXPECT_NE(module.SetParam(LUMO_PARAM_NOTIFY, 0, 40), LUMO_OK);
    EXPECT_EQ(module.SetParam(1234, 0, 0), LUMO_E_NOTSUPPORTED);
    EXPECT_EQ(module.GetParam(1234, 0, 0), LUMO_E_NOTSUPPORTED);
    uint32_t cancelled = 0;
    EXPECT_NE(module.RunDialog(0, nullptr, &cancelled), LUMO_OK);
    EXPECT_EQ(cancelled, 1u);
    EXPECT_EQ(module.IsDialogOpen(0), 0u);
    EXPECT_EQ(module.GetOutputInfo(0), nullptr);
}
