#include "processing/ChainSettings.h"

#include "external/LumoParamBlocks.h"
#include "external/LumoResult.h"
#include "settings/IniFile.h"

#include <cstdio>
#include <string>

namespace {

constexpr const char* CHAIN_SECTION = "Chain_0";
// Module lists and dialog lists end at the first gap; this bounds a damaged store as well.
constexpr uint64_t MAX_ENTRIES = 4096;
// Look-up table kinds: the table in use, the factory tables, the user tables.
constexpr uint32_t TABLE_IN_USE = 0;
constexpr uint32_t FACTORY_TABLES = 1;
constexpr uint32_t USER_TABLES = 2;
// Settings parts: 0 and 1 go to the INI file store, 2 (the edit state) to the registry store.
constexpr uintptr_t PART_EDIT_STATE = 2;

std::string Format(const char* format, const char* text, unsigned long long n) {
    char buffer[256];
    if (text)
        std::snprintf(buffer, sizeof(buffer), format, text, n);
    else
        std::snprintf(buffer, sizeof(buffer), format, n);
    return buffer;
}

std::string GroupSection() {
    char buffer[128];
    std::snprintf(buffer, sizeof(buffer), "%s_AnalyzeGroup_0", CHAIN_SECTION);
    return buffer;
}
std::string ModuleKey(uint64_t i) {
    return Format("Module_%llu", nullptr, i);
}
std::string ModuleSection(uint64_t i) {
    return Format("%s_Module_%llu", CHAIN_SECTION, i);
}
std::string AnalyzeSection(uint64_t j) {
    return Format("%s_AnalyzeGroup_0_Module_%llu", CHAIN_SECTION, j);
}
std::string SectionOf(uint64_t index, uint32_t chainFlag) {
    return chainFlag == 1 ? ModuleSection(index) : AnalyzeSection(index);
}
std::string DialogKey(uint64_t d) {
    return Format("Dialog_%llu", nullptr, d);
}
std::string TableKey(uint32_t kind, uint64_t n) {
    return Format(kind == FACTORY_TABLES ? "FactoryLut_%llu" : "UserLut_%llu", nullptr, n);
}

// The object ID stored under key `n` of `section`; false when it is 0 or none, or past the bound.
bool StoredId(CIniFile_0* ini, const char* section, uint64_t n, uint32_t& id) {
    if (n >= MAX_ENTRIES)
        return false;
    id = ini->GetListUInt32(section, ModuleKey(n).c_str(), "ObjectID", 0);
    return id != 0;
}

// Loads (SetParam) or saves (GetParam) the parts from `firstPart` to 1 of the module's own keys
// through the INI file store, then its edit state through the registry store.
template <typename Transfer>
void TransferOwnKeys(CLumoModule* module, CIniFile_0* iniStore, CIniFile_0* registryStore,
                     const char* section, uintptr_t firstPart, Transfer transfer) {
    // A module that does not take the place would move its keys wherever it was set last.
    if (module->SetParam(LUMO_PARAM_WHERE, LumoArg(section), 0) != LUMO_OK)
        return;
    for (uintptr_t part = firstPart; part < PART_EDIT_STATE; ++part)
        transfer(LumoArg(iniStore), part);
    transfer(LumoArg(registryStore), PART_EDIT_STATE);
}

// The look-up table's table in use under "ActualLut", through the INI file store; it takes the
// place of the table's settings piece 0.
template <typename Transfer>
void TransferTableInUse(CLumoModule* module, CIniFile_0* iniStore, const char* section,
                        Transfer transfer) {
    if (module->SetParam(LUMO_PARAM_WHERE, LumoArg(section), LumoArg("ActualLut")) != LUMO_OK ||
        module->SetParam(LUMO_PARAM_KIND, TABLE_IN_USE, 0) != LUMO_OK)
        return;
    transfer(LumoArg(iniStore), 0);
}

void LoadTables(CLumoModule* module, CIniFile_0* iniStore, const char* section) {
    for (uint32_t kind : {FACTORY_TABLES, USER_TABLES}) {
        if (module->SetParam(LUMO_PARAM_KIND, kind, 0) != LUMO_OK)
            continue;
        for (uint64_t n = 0; n < MAX_ENTRIES; ++n) {
            const std::string key = TableKey(kind, n);
            if (module->SetParam(LUMO_PARAM_WHERE, LumoArg(section), LumoArg(key.c_str())) !=
                    LUMO_OK ||
                module->SetParam(LUMO_PARAM_STORE, LumoArg(iniStore), 0) != LUMO_OK)
                break;
        }
    }
}

// Saves every table of each kind, then removes the keys of tables that no longer exist.
void SaveTables(CLumoModule* module, CIniFile_0* iniStore, const char* section) {
    for (uint32_t kind : {FACTORY_TABLES, USER_TABLES}) {
        // Without a count the stored tables stay as they are: none of their keys is removed.
        uint64_t count = 0;
        if (module->SetParam(LUMO_PARAM_KIND, kind, 0) != LUMO_OK ||
            module->QueryParam(LUMO_PARAM_STORE, 0, 0, 0, LumoArg(&count)) != LUMO_OK)
            continue;
        for (uint64_t n = 0; n < count && n < MAX_ENTRIES; ++n) {
            const std::string key = TableKey(kind, n);
            if (module->SetParam(LUMO_PARAM_WHERE, LumoArg(section), LumoArg(key.c_str())) !=
                LUMO_OK)
                continue; // saving now would write over the table saved before
            // A table that does not save keeps what its key held.
            (void)module->GetParam(LUMO_PARAM_STORE, LumoArg(iniStore), static_cast<uintptr_t>(n));
        }
        for (uint64_t n = count; n < count + MAX_ENTRIES; ++n) {
            const std::string key = TableKey(kind, n);
            if (iniStore->KeyExists(section, key.c_str()) != 1)
                break;
            iniStore->DeleteKey(section, key.c_str());
        }
    }
}

// Loads (SetParam 17) or saves (GetParam 17) a module's settings: the look-up table's table in
// use, its own keys and its tables; any other module's own keys.
void TransferModule(CLumoModule* module, CIniFile_0* iniStore, CIniFile_0* registryStore,
                    const char* section, bool save) {
    // A module transfers the parts it has; one it has not answers with a code nobody needs.
    const auto transfer = [module, save](uintptr_t store, uintptr_t part) {
        if (save)
            (void)module->GetParam(LUMO_PARAM_STORE, store, part);
        else
            (void)module->SetParam(LUMO_PARAM_STORE, store, part);
    };
    if (module->GetObjectId() != LUMO_ID_LOOK_UP_TABLE) {
        TransferOwnKeys(module, iniStore, registryStore, section, 0, transfer);
        return;
    }
    TransferTableInUse(module, iniStore, section, transfer);
    TransferOwnKeys(module, iniStore, registryStore, section, 1, transfer);
    if (save)
        SaveTables(module, iniStore, section);
    else
        LoadTables(module, iniStore, section);
}

} // namespace

ChainSettings::ChainSettings(ChainModuleSteps& steps, CIniFile_0* iniStore,
                             CIniFile_0* registryStore)
    : m_steps(steps), m_pIni(iniStore), m_pRegistry(registryStore) {}

bool ChainSettings::Load(ChainModel& model, uint32_t primaryClass, const ChainClient& view,
                         CLumoImage* firstImage, void* parentWindow) {
    m_pParentWindow = parentWindow;
    return model.Build(m_steps, *this, primaryClass, view, firstImage);
}

bool ChainSettings::ModuleId(uint64_t i, uint32_t& id) {
    return StoredId(m_pIni, CHAIN_SECTION, i, id);
}

bool ChainSettings::AnalyzeModuleId(uint64_t j, uint32_t& id) {
    return StoredId(m_pIni, GroupSection().c_str(), j, id);
}

uint64_t ChainSettings::AnalyzeSource() {
    return m_pIni->GetUInt32(GroupSection().c_str(), "LastUsedAnalyzeIndex", 0);
}

// Appends the dialogs stored in the module's section and opens those that were open.
void ChainSettings::AddDialogs(ChainContents& contents, CLumoModule* module, uint64_t index,
                               uint32_t chainFlag) {
    const std::string section = SectionOf(index, chainFlag);
    for (uint64_t d = 0; d < MAX_ENTRIES; ++d) {
        const std::string key = DialogKey(d);
        int found = 0;
        const uint32_t dialogId =
            m_pIni->GetListUInt32(section.c_str(), key.c_str(), "DlgID", 0, &found);
        if (!found)
            break;
        const uint32_t open =
            m_pIni->GetListUInt32(section.c_str(), key.c_str(), "InitiallyOpen", 0) != 0 ? 1 : 0;
        contents.m_dialogs.push_back(ChainDialogEntry{module, index, d, chainFlag, open, dialogId});
        if (open) // a dialog only shows the module's settings: the chain works without it
            (void)module->OpenDialog(dialogId, m_pParentWindow);
    }
}

void ChainSettings::LoadSettings(CLumoModule* module, uint64_t index, uint32_t chainFlag) {
    m_steps.LoadModuleSettings(module, m_pIni, m_pRegistry, SectionOf(index, chainFlag).c_str());
}

void ChainSettings::Save(const ChainModel& model) {
    m_pIni->SetUInt32(CHAIN_SECTION, "PrimaryImgClass", model.GetPrimaryImageClass());
    for (uint64_t i = 0; i < model.GetModuleCount(); ++i) {
        CLumoModule* module = model.GetModule(i);
        m_pIni->SetListUInt32(CHAIN_SECTION, ModuleKey(i).c_str(), "ObjectID",
                              module->GetObjectId());
        m_steps.SaveModuleSettings(module, m_pIni, m_pRegistry, ModuleSection(i).c_str());
    }
    const std::string group = GroupSection();
    m_pIni->SetUInt32(group.c_str(), "LastUsedAnalyzeIndex",
                      static_cast<uint32_t>(model.GetAnalyzeSource()));
    for (uint64_t j = 0; j < model.GetAnalyzeModuleCount(); ++j) {
        CLumoModule* module = model.GetAnalyzeModule(j);
        m_pIni->SetListUInt32(group.c_str(), ModuleKey(j).c_str(), "ObjectID",
                              module->GetObjectId());
        m_steps.SaveModuleSettings(module, m_pIni, m_pRegistry, AnalyzeSection(j).c_str());
    }
    for (uint64_t k = 0; k < model.GetDialogCount(); ++k) {
        const ChainDialogEntry& entry = *model.GetDialogEntry(k);
        const std::string section = SectionOf(entry.moduleIndex, entry.chainFlag);
        const std::string key = DialogKey(entry.dialogIndex);
        m_pIni->SetListUInt32(section.c_str(), key.c_str(), "DlgID", entry.dialogId);
        m_pIni->SetListUInt32(section.c_str(), key.c_str(), "InitiallyOpen",
                              entry.openFlag ? 1 : 0);
    }
}

void ChainSettings::LoadModule(CLumoModule* module, CIniFile_0* iniStore, CIniFile_0* registryStore,
                               const char* section) {
    TransferModule(module, iniStore, registryStore, section, false);
}

void ChainSettings::SaveModule(CLumoModule* module, CIniFile_0* iniStore, CIniFile_0* registryStore,
                               const char* section) {
    TransferModule(module, iniStore, registryStore, section, true);
}
