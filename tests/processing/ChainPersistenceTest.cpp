// The chain's make-up and its modules' settings in an INI file store and a second store (the
// edit-state store), with scripted modules and with the library's own modules.
#include "external/ImageFormat.h"
#include "external/RowBands.h"
#include "libs/lumo/CLookUpTableModule.h"
#include "libs/lumo/CLumoInstanceImpl.h"
#include "processing/CImgProcessChain.h"
#include "settings/IniFile.h"
#include "tests/processing/ChainTestSupport.h"
#include "tests/settings/IniTestSupport.h"
#include "tests/support/ScopedEnv.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {

using chaintest::ScriptedInstance;

class ChainPersistenceTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(m_raw.Allocate(8, 6, ImageFormat::GREY8, 0, 1), 0u);
        m_ini = MakeIniFile(0);
        m_reg = MakeIniFile(3);
        ASSERT_TRUE(m_ini && m_reg);
        m_ini->SetFileName(m_folder.File("Greyscale.ini").c_str());
    }
    // The INI file written and read back into a fresh store, as the next session sees it.
    void Reopen() {
        ASSERT_EQ(m_ini->Save(), INI_OK);
        m_ini = MakeIniFile(0);
        m_ini->SetFileName(m_folder.File("Greyscale.ini").c_str());
        ASSERT_EQ(m_ini->Load(), INI_OK);
    }
    bool Load(CImgProcessChain& chain, void* parent = nullptr) {
        platform::RecursiveLock lock(chain.ChainLock());
        return chain.Load(1, m_ini.get(), m_reg.get(), {}, &m_raw, parent);
    }
    std::vector<std::string> Matching(const std::string& prefix) {
        std::vector<std::string> out;
        for (const std::string& e : m_lumo.journal.Events())
            if (e.rfind(prefix, 0) == 0)
                out.push_back(e);
        return out;
    }

    TempFolder m_folder;
    ScriptedInstance m_lumo;
    lumo::CImageObject m_raw;
    IniFilePtr m_ini;
    IniFilePtr m_reg;
};

TEST_F(ChainPersistenceTest, SaveAndLoadRestoreModulesAnalyzeSourceAndOpenDialogs) {
    {
        CImgProcessChain chain(&m_lumo, nullptr);
        std::vector<uint32_t> ids{1001, 1002};
        platform::RecursiveLock lock(chain.ChainLock());
        ASSERT_TRUE(chain.BuildDefault(1, ids.data(), ids.size(), 1067, {}, &m_raw));
        chain.ShowDialog(nullptr, 2, true); // module 1002's first dialog
        chain.ShowDialog(nullptr, 5, true); // the analyze module's second dialog
        chain.SetAnalyzeSource(2, &m_raw);
        m_lumo.journal.events.clear();
        EXPECT_TRUE(chain.Save(m_ini.get(), m_reg.get()));
    }
    EXPECT_EQ(Matching("1001 "),
              (std::vector<std::string>{"1001 set 15 null", "1001 get 17 piece=0",
                                        "1001 get 17 piece=1", "1001 get 17 piece=2"}));
    EXPECT_EQ(m_ini->GetUInt32("Chain_0", "PrimaryImgClass", 0), 1u);
    EXPECT_EQ(m_ini->GetListUInt32("Chain_0_Module_1", "Dialog_0", "DlgID", 0), 10021u);
    EXPECT_EQ(m_ini->GetListUInt32("Chain_0_AnalyzeGroup_0_Module_0", "Dialog_1", "DlgID", 0),
              10672u);
    Reopen();

    m_lumo.journal.events.clear();
    CImgProcessChain chain(&m_lumo, nullptr);
    int parent = 0;
    ASSERT_TRUE(Load(chain, &parent));
    platform::RecursiveLock lock(chain.ChainLock());
    ASSERT_EQ(chain.GetModuleCount(), 2u);
    EXPECT_EQ(chain.GetModule(1)->GetObjectId(), 1002u);
    ASSERT_EQ(chain.GetAnalyzeModuleCount(), 1u);
    EXPECT_EQ(chain.GetAnalyzeModule(0)->GetObjectId(), 1067u);
    EXPECT_EQ(chain.GetAnalyzeSource(), 2u);
    ASSERT_EQ(chain.GetDialogCount(), 6u);
    std::vector<uint32_t> open;
    for (uint64_t k = 0; k < 6; ++k)
        open.push_back(chain.GetDialogEntry(k)->openFlag);
    EXPECT_EQ(open, (std::vector<uint32_t>{0, 0, 1, 0, 0, 1}));
    const std::string parentText = std::to_string(reinterpret_cast<uintptr_t>(&parent));
    EXPECT_EQ(Matching("open "), (std::vector<std::string>{"open 10021 parent " + parentText,
                                                           "open 10672 parent " + parentText}));
    EXPECT_EQ(Matching("1002 "),
              (std::vector<std::string>{"1002 set 15 null", "1002 set 17 piece=0",
                                        "1002 set 17 piece=1", "1002 set 17 piece=2"}));
}

// The row-band workers a module was handed (null: none).
CRowBands* RowBandsOf(CLumoModule* module) {
    CRowBands* bands = nullptr;
    EXPECT_EQ(module->GetParam(LUMO_PARAM_ROW_BANDS, LumoArg(&bands), 0), LUMO_OK);
    return bands;
}

// Every module of the chain, main chain and analyze group, has the chain's one set of workers.
CRowBands* CommonRowBands(CImgProcessChain& chain) {
    platform::RecursiveLock lock(chain.ChainLock());
    EXPECT_GT(chain.GetModuleCount(), 0u);
    EXPECT_GT(chain.GetAnalyzeModuleCount(), 0u);
    CRowBands* common = chain.GetModuleCount() ? RowBandsOf(chain.GetModule(0)) : nullptr;
    for (uint64_t i = 0; i < chain.GetModuleCount(); ++i)
        EXPECT_EQ(RowBandsOf(chain.GetModule(i)), common) << "module " << i;
    for (uint64_t j = 0; j < chain.GetAnalyzeModuleCount(); ++j)
        EXPECT_EQ(RowBandsOf(chain.GetAnalyzeModule(j)), common) << "analyze module " << j;
    return common;
}

TEST_F(ChainPersistenceTest, BuiltAndLoadedModulesShareTheChainsRowBandWorkers) {
    CImgProcessChain built(&m_lumo, nullptr);
    {
        std::vector<uint32_t> ids{1001, 1002};
        platform::RecursiveLock lock(built.ChainLock());
        ASSERT_TRUE(built.BuildDefault(1, ids.data(), ids.size(), 1067, {}, &m_raw));
        EXPECT_TRUE(built.Save(m_ini.get(), m_reg.get()));
    }
    CRowBands* builtBands = CommonRowBands(built);
    EXPECT_NE(builtBands, nullptr);
    Reopen();
    CImgProcessChain loaded(&m_lumo, nullptr);
    ASSERT_TRUE(Load(loaded));
    CRowBands* loadedBands = CommonRowBands(loaded);
    EXPECT_NE(loadedBands, nullptr);
    EXPECT_NE(loadedBands, builtBands); // each chain its own
}

TEST_F(ChainPersistenceTest, ListsEndAtTheFirstZeroAndEmptyStoresLoadEmptyChains) {
    CImgProcessChain chain(&m_lumo, nullptr);
    EXPECT_TRUE(Load(chain)); // nothing stored: an empty chain
    m_ini->SetListUInt32("Chain_0", "Module_0", "ObjectID", 0);
    m_ini->SetListUInt32("Chain_0", "Module_1", "ObjectID", 1001);
    m_ini->SetUInt32("Chain_0_AnalyzeGroup_0", "LastUsedAnalyzeIndex", 7);
    m_ini->SetListUInt32("Chain_0_AnalyzeGroup_0", "Module_0", "ObjectID", 1067);
    m_ini->SetListUInt32("Chain_0_AnalyzeGroup_0_Module_0", "Dialog_1", "DlgID", 10672);
    ASSERT_TRUE(Load(chain));
    platform::RecursiveLock lock(chain.ChainLock());
    EXPECT_EQ(chain.GetModuleCount(), 0u);
    EXPECT_EQ(m_lumo.journal.Count("create 1001"), 0u);
    EXPECT_EQ(chain.GetAnalyzeModuleCount(), 1u);
    EXPECT_EQ(chain.GetDialogCount(), 0u);   // Dialog_0 is missing: the list ends there
    EXPECT_EQ(chain.GetAnalyzeSource(), 7u); // kept, though beyond the images
    EXPECT_EQ(chain.GetPrimaryImageClass(), 1u);
}

TEST_F(ChainPersistenceTest, FailedLoadKeepsThePreviousChain) {
    CImgProcessChain chain(&m_lumo, nullptr);
    std::vector<uint32_t> ids{1001, 1002};
    {
        platform::RecursiveLock lock(chain.ChainLock());
        ASSERT_TRUE(chain.BuildDefault(4, ids.data(), ids.size(), 67, {}, &m_raw));
    }
    const size_t modules = m_lumo.LiveModules();
    const size_t images = m_lumo.LiveImages();
    m_ini->SetListUInt32("Chain_0", "Module_0", "ObjectID", 1005);
    m_ini->SetListUInt32("Chain_0_Module_0", "Dialog_0", "DlgID", 10051);
    m_ini->SetListUInt32("Chain_0_Module_0", "Dialog_0", "InitiallyOpen", 1);
    m_ini->SetListUInt32("Chain_0", "Module_1", "ObjectID", 999); // the library cannot make it
    EXPECT_FALSE(Load(chain));
    m_ini->SetListUInt32("Chain_0", "Module_1", "ObjectID", 1006);
    m_ini->SetListUInt32("Chain_0_AnalyzeGroup_0", "Module_0", "ObjectID", 999);
    EXPECT_FALSE(Load(chain));
    m_lumo.journal.failingOutput.insert(1006);
    m_ini->SetListUInt32("Chain_0_AnalyzeGroup_0", "Module_0", "ObjectID", 67);
    EXPECT_FALSE(Load(chain));
    EXPECT_EQ(m_lumo.LiveModules(), modules);
    EXPECT_EQ(m_lumo.LiveImages(), images);
    platform::RecursiveLock lock(chain.ChainLock());
    EXPECT_EQ(chain.GetPrimaryImageClass(), 4u);
    ASSERT_EQ(chain.GetModuleCount(), 2u);
    EXPECT_EQ(chain.GetModule(0)->GetObjectId(), 1001u);
}

TEST_F(ChainPersistenceTest, LookUpTableSettingsGoThroughItsTableKeys) {
    const char* section = "Chain_0_Module_0";
    for (const char* stale : {"FactoryLut_2", "UserLut_2", "UserLut_3", "UserLut_5"})
        m_ini->SetUInt32(section, stale, 1);
    {
        CImgProcessChain chain(&m_lumo, nullptr);
        std::vector<uint32_t> ids{32};
        platform::RecursiveLock lock(chain.ChainLock());
        ASSERT_TRUE(chain.BuildDefault(1, ids.data(), ids.size(), 67, {}, &m_raw));
        m_lumo.Scripted(chain.GetModule(0))->m_tableCount = 2;
        m_lumo.journal.events.clear();
        EXPECT_TRUE(chain.Save(m_ini.get(), m_reg.get()));
    }
    EXPECT_EQ(Matching("32 "),
              (std::vector<std::string>{
                  "32 set 15 ActualLut", "32 set 16 0", "32 get 17 piece=0", "32 set 15 null",
                  "32 get 17 piece=1", "32 get 17 piece=2", "32 set 16 1", "32 set 15 FactoryLut_0",
                  "32 get 17 piece=0", "32 set 15 FactoryLut_1", "32 get 17 piece=1", "32 set 16 2",
                  "32 set 15 UserLut_0", "32 get 17 piece=0", "32 set 15 UserLut_1",
                  "32 get 17 piece=1"}));
    // Keys of tables beyond the count go, up to the first gap.
    EXPECT_FALSE(m_ini->KeyExists(section, "FactoryLut_2"));
    EXPECT_FALSE(m_ini->KeyExists(section, "UserLut_2"));
    EXPECT_FALSE(m_ini->KeyExists(section, "UserLut_3"));
    EXPECT_TRUE(m_ini->KeyExists(section, "UserLut_5"));

    // Loading reads each kind's tables until the module refuses one: here after four loads.
    m_lumo.loadsBeforeFailure = 4;
    m_lumo.journal.events.clear();
    CImgProcessChain chain(&m_lumo, nullptr);
    ASSERT_TRUE(Load(chain));
    EXPECT_EQ(Matching("32 "),
              (std::vector<std::string>{
                  "32 set 15 ActualLut", "32 set 16 0", "32 set 17 piece=0", "32 set 15 null",
                  "32 set 17 piece=1", "32 set 17 piece=2", "32 set 16 1", "32 set 15 FactoryLut_0",
                  "32 set 17 piece=0", "32 set 15 FactoryLut_1", "32 set 17 piece=0", "32 set 16 2",
                  "32 set 15 UserLut_0", "32 set 17 piece=0"}));
}

TEST_F(ChainPersistenceTest, TablesWhoseCountDoesNotReadKeepTheirStoredKeys) {
    const char* section = "Chain_0_Module_0";
    for (const char* stored : {"FactoryLut_0", "UserLut_0", "UserLut_1"})
        m_ini->SetUInt32(section, stored, 1);
    CImgProcessChain chain(&m_lumo, nullptr);
    std::vector<uint32_t> ids{32};
    platform::RecursiveLock lock(chain.ChainLock());
    ASSERT_TRUE(chain.BuildDefault(1, ids.data(), ids.size(), 67, {}, &m_raw));
    m_lumo.Scripted(chain.GetModule(0))->m_failTableCount = true;
    m_lumo.journal.events.clear();
    EXPECT_TRUE(chain.Save(m_ini.get(), m_reg.get()));
    for (const char* stored : {"FactoryLut_0", "UserLut_0", "UserLut_1"})
        EXPECT_TRUE(m_ini->KeyExists(section, stored)) << stored;
    EXPECT_TRUE(Matching("32 set 15 FactoryLut").empty());
    EXPECT_TRUE(Matching("32 set 15 UserLut").empty());
}

// The library's own modules: the look-up table with its tables, and the edit state that goes
// to the second store only.
class LibraryChainPersistenceTest : public ChainPersistenceTest {
protected:
    void SetUp() override {
        ChainPersistenceTest::SetUp();
        ASSERT_EQ(m_library.Init(".", "Pem*.dll", 1), 0u);
        ASSERT_EQ(m_rgb.Allocate(8, 6, ImageFormat::Make(8, 8, 4, 58, 4), 0, 1), 0u);
    }
    lumo::CLumoInstanceImpl m_library;
    lumo::CImageObject m_rgb;
};

TEST_F(LibraryChainPersistenceTest, LookUpTablesRoundTripAndStaleUserKeysGo) {
    std::vector<uint16_t> points(768);
    for (size_t i = 0; i < 768; ++i)
        points[i] = uint16_t((i * 97) % 65536);
    {
        CImgProcessChain chain(&m_library, nullptr);
        std::vector<uint32_t> ids{514, 32};
        platform::RecursiveLock lock(chain.ChainLock());
        ASSERT_TRUE(chain.BuildDefault(4, ids.data(), ids.size(), 67, {}, &m_rgb));
        CLumoModule* lut = chain.GetModule(1);
        for (int n = 0; n < 5; ++n) { // five user tables, the last one the custom table
            ASSERT_EQ(lut->SetParam(lumo::CLookUpTableModule::PARAM_SELECT, 1, uint32_t(n)), 0u);
            if (n == 4) {
                ASSERT_EQ(lut->SetParam(lumo::CLookUpTableModule::PARAM_POINTS,
                                        LumoArg(points.data()), 0),
                          0u);
            }
            ASSERT_EQ(lut->SetParam(lumo::CLookUpTableModule::PARAM_KEEP_USER, 0, 0), 0u);
        }
        chain.Save(m_ini.get(), m_reg.get());
        EXPECT_TRUE(m_ini->KeyExists("Chain_0_Module_1", "UserLut_4"));
        ASSERT_EQ(lut->SetParam(lumo::CLookUpTableModule::PARAM_REMOVE_USER, 0, 0), 0u);
        ASSERT_EQ(lut->SetParam(lumo::CLookUpTableModule::PARAM_REMOVE_USER, 0, 0), 0u);
        chain.Save(m_ini.get(), m_reg.get());
    }
    EXPECT_TRUE(m_ini->KeyExists("Chain_0_Module_1", "UserLut_2"));
    EXPECT_FALSE(m_ini->KeyExists("Chain_0_Module_1", "UserLut_3"));
    EXPECT_FALSE(m_ini->KeyExists("Chain_0_Module_1", "UserLut_4"));
    EXPECT_TRUE(m_ini->KeyExists("Chain_0_Module_1", "FactoryLut_5"));
    EXPECT_TRUE(m_ini->KeyExists("Chain_0_Module_1", "ActualLut"));
    // The edit state lives in the second store only; the rest in the INI file.
    EXPECT_TRUE(m_reg->KeyExists("Chain_0_Module_1", "EditState"));
    EXPECT_FALSE(m_ini->KeyExists("Chain_0_Module_1", "EditState"));
    EXPECT_FALSE(m_reg->KeyExists("Chain_0_Module_1", "ActualLut"));
    EXPECT_TRUE(m_ini->KeyExists("Chain_0_Module_0", "Gain"));
    Reopen();

    CImgProcessChain chain(&m_library, nullptr);
    platform::RecursiveLock lock(chain.ChainLock());
    ASSERT_TRUE(chain.Load(4, m_ini.get(), m_reg.get(), {}, &m_rgb, nullptr));
    ASSERT_EQ(chain.GetModuleCount(), 2u);
    CLumoModule* lut = chain.GetModule(1);
    std::vector<uint16_t> actual(768);
    ASSERT_EQ(lut->GetParam(lumo::CLookUpTableModule::PARAM_POINTS, LumoArg(actual.data()), 0), 0u);
    EXPECT_EQ(actual, points);
    uint64_t count = 0;
    ASSERT_EQ(lut->SetParam(16, 2, 0), 0u);
    ASSERT_EQ(lut->QueryParam(17, 0, 0, 0, LumoArg(&count)), 0u);
    EXPECT_EQ(count, 3u); // user tables 2, 3 and the custom one
    ASSERT_EQ(lut->SetParam(16, 1, 0), 0u);
    ASSERT_EQ(lut->QueryParam(17, 0, 0, 0, LumoArg(&count)), 0u);
    EXPECT_EQ(count, 6u);
    // The third user table is the custom one.
    ASSERT_EQ(lut->SetParam(lumo::CLookUpTableModule::PARAM_SELECT, 2, 2), 0u);
    ASSERT_EQ(lut->GetParam(lumo::CLookUpTableModule::PARAM_POINTS, LumoArg(actual.data()), 0), 0u);
    EXPECT_EQ(actual, points);
}

} // namespace

namespace {

// The view's two real stores: the chain file and the registry key of the format.
class RegistryChainPersistenceTest : public ::testing::Test {
protected:
    static constexpr const char* KEY =
        "HKEY_CURRENT_USER\\Software\\Kavrin\\KavrinDemo\\ChainConfig\\EditState\\CFARGB";
    IniFilePtr OpenRegistry() {
        IniFilePtr reg = MakeIniFile(2);
        EXPECT_EQ(reg->SetFileName(KEY), INI_OK);
        reg->Load();
        return reg;
    }
    IniFilePtr OpenFile() {
        IniFilePtr ini = MakeIniFile(0);
        ini->SetFileName(m_folder.File("CFARGB.ini").c_str());
        ini->Load();
        return ini;
    }

    TempFolder m_folder;
    TempFolder m_registry;
    ScopedEnv m_env{"KAVRIN_REGISTRY_DIR", m_registry.Path().c_str()};
};

TEST_F(RegistryChainPersistenceTest, EditStatesGoThroughTheRegistryStoreAcrossSessions) {
    lumo::CLumoInstanceImpl library;
    ASSERT_EQ(library.Init(".", "Pem*.dll", 1), 0u);
    lumo::CImageObject raw;
    ASSERT_EQ(raw.Allocate(8, 6, ImageFormat::CFA8, 0, 1), 0u);
    const uint32_t ids[] = {514, 515, 3, 32};
    {
        IniFilePtr ini = OpenFile();
        IniFilePtr reg = OpenRegistry();
        CImgProcessChain chain(&library, nullptr);
        platform::RecursiveLock lock(chain.ChainLock());
        ASSERT_TRUE(chain.BuildDefault(2, ids, 4, 67, {}, &raw));
        for (uint64_t i = 0; i < 4; ++i)
            ASSERT_EQ(chain.GetModule(i)->SetParam(21, 100 + i, 0), 0u);
        ASSERT_EQ(chain.GetAnalyzeModule(0)->SetParam(21, 167, 0), 0u);
        ASSERT_EQ(chain.GetModule(3)->SetParam(lumo::CLookUpTableModule::PARAM_SELECT, 1, 2), 0u);
        chain.Save(ini.get(), reg.get());
        ASSERT_EQ(ini->Save(), INI_OK);
        ASSERT_EQ(reg->Save(), INI_OK);
    }
    IniFilePtr ini = OpenFile();
    IniFilePtr reg = OpenRegistry();
    EXPECT_EQ(reg->GetUInt32("Chain_0_Module_2", "EditState", 0), 102u);
    EXPECT_FALSE(ini->KeyExists("Chain_0_Module_2", "EditState"));
    CImgProcessChain chain(&library, nullptr);
    platform::RecursiveLock lock(chain.ChainLock());
    ASSERT_TRUE(chain.Load(2, ini.get(), reg.get(), {}, &raw, nullptr));
    ASSERT_EQ(chain.GetModuleCount(), 4u);
    for (uint64_t i = 0; i < 4; ++i) {
        uint32_t state = 0;
        ASSERT_EQ(chain.GetModule(i)->GetParam(21, LumoArg(&state), 0), 0u);
        EXPECT_EQ(state, 100 + i) << i;
    }
    uint32_t analyzeState = 0;
    ASSERT_EQ(chain.GetAnalyzeModule(0)->GetParam(21, LumoArg(&analyzeState), 0), 0u);
    EXPECT_EQ(analyzeState, 167u);
    uint8_t block12[184] = {};
    ASSERT_EQ(chain.GetModule(3)->GetParam(12, LumoArg(block12), sizeof(block12)), 0u);
    EXPECT_STREQ(reinterpret_cast<const char*>(block12 + 24), "Gamma 2.2");
}

} // namespace
