// CImgProcessChain: the chain's make-up and its modules' settings in the two stores.
//   "Chain_0"                     PrimaryImgClass, Module_<i> = ObjectID
//   "Chain_0_AnalyzeGroup_0"      LastUsedAnalyzeIndex, Module_<j> = ObjectID
//   "Chain_0_Module_<i>"          Dialog_<d> = DlgID, InitiallyOpen; the module's own keys
//   "Chain_0_AnalyzeGroup_0_Module_<j>"   the same for analyze module j
#include "external/LumoResult.h"
#include "processing/CImgProcessChain.h"
#include "settings/IniFile.h"

#include <cstdio>
#include <string>

namespace {

constexpr const char* CHAIN_SECTION = "Chain_0";
// Module lists and dialog lists end at the first gap; this bounds a damaged store as well.
constexpr uint64_t MAX_ENTRIES = 4096;
constexpr uint32_t LUT_MODULE_ID = 32;

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
std::string DialogKey(uint64_t d) {
    return Format("Dialog_%llu", nullptr, d);
}
std::string TableKey(uint32_t kind, uint64_t n) {
    return Format(kind == 1 ? "FactoryLut_%llu" : "UserLut_%llu", nullptr, n);
}

// Appends the dialogs stored in `section` and opens those that were open.
void LoadDialogs(ChainContents& contents, CIniFile_0* ini, const std::string& section,
                 CLumoModule* module, uint64_t index, uint32_t chainFlag, void* parentWindow) {
    for (uint64_t d = 0; d < MAX_ENTRIES; ++d) {
        const std::string key = DialogKey(d);
        int found = 0;
        const uint32_t dialogId =
            ini->GetListUInt32(section.c_str(), key.c_str(), "DlgID", 0, &found);
        if (!found)
            break;
        const uint32_t open =
            ini->GetListUInt32(section.c_str(), key.c_str(), "InitiallyOpen", 0) != 0 ? 1 : 0;
        contents.m_dialogs.push_back(ChainDialogEntry{module, index, d, chainFlag, open, dialogId});
        if (open)
            module->OpenDialog(dialogId, parentWindow);
    }
}

} // namespace

bool CImgProcessChain::Load(uint32_t primaryClass, CIniFile_0* iniStore, CIniFile_0* registryStore,
                            const ChainClient& view, CLumoImage* firstImage, void* parentWindow) {
    if (!m_pLumo || !iniStore || !registryStore)
        return false;
    std::lock_guard<std::recursive_mutex> lock(m_hChainSema);
    ChainContents contents(m_pLumo);
    CLumoImage* input = firstImage;
    for (uint64_t i = 0; i < MAX_ENTRIES; ++i) {
        const uint32_t id =
            iniStore->GetListUInt32(CHAIN_SECTION, ModuleKey(i).c_str(), "ObjectID", 0);
        if (id == 0)
            break;
        CLumoModule* module = AppendChainModule(contents, id, input);
        if (!module)
            return false;
        const std::string section = ModuleSection(i);
        LoadDialogs(contents, iniStore, section, module, i, 1, parentWindow);
        if (!PrepareOutput(module))
            return false;
        input = contents.m_images.back();
        LoadModuleSettings(module, iniStore, registryStore, section.c_str());
        AdaptToInput(module);
    }
    const std::string group = GroupSection();
    const uint32_t analyzeSource = iniStore->GetUInt32(group.c_str(), "LastUsedAnalyzeIndex", 0);
    for (uint64_t j = 0; j < MAX_ENTRIES; ++j) {
        const uint32_t id =
            iniStore->GetListUInt32(group.c_str(), ModuleKey(j).c_str(), "ObjectID", 0);
        if (id == 0)
            break;
        CLumoModule* module = m_pLumo->CreateModule(id);
        if (!module)
            return false;
        contents.m_analyzeGroup.push_back(module);
        CLumoImage* images[1] = {firstImage};
        module->SetImages(1, images);
        SetOptions(module, firstImage);
        const std::string section = AnalyzeSection(j);
        LoadModuleSettings(module, iniStore, registryStore, section.c_str());
        module->SetParam(LUMO_PARAM_NOTIFY, LumoArg(&m_notifyBlock), sizeof(m_notifyBlock));
        LoadDialogs(contents, iniStore, section, module, j, 0, parentWindow);
    }
    Commit(contents, primaryClass, analyzeSource, view);
    return true;
}

bool CImgProcessChain::Save(CIniFile_0* iniStore, CIniFile_0* registryStore) {
    if (!iniStore || !registryStore)
        return true;
    std::lock_guard<std::recursive_mutex> lock(m_hChainSema);
    iniStore->SetUInt32(CHAIN_SECTION, "PrimaryImgClass", m_dwPrimaryClass);
    for (uint64_t i = 0; i < m_contents.m_modules.size(); ++i) {
        CLumoModule* module = m_contents.m_modules[i].module;
        iniStore->SetListUInt32(CHAIN_SECTION, ModuleKey(i).c_str(), "ObjectID",
                                module->GetObjectId());
        SaveModuleSettings(module, iniStore, registryStore, ModuleSection(i).c_str());
    }
    const std::string group = GroupSection();
    iniStore->SetUInt32(group.c_str(), "LastUsedAnalyzeIndex",
                        static_cast<uint32_t>(m_nAnalyzeSource));
    for (uint64_t j = 0; j < m_contents.m_analyzeGroup.size(); ++j) {
        CLumoModule* module = m_contents.m_analyzeGroup[j];
        iniStore->SetListUInt32(group.c_str(), ModuleKey(j).c_str(), "ObjectID",
                                module->GetObjectId());
        SaveModuleSettings(module, iniStore, registryStore, AnalyzeSection(j).c_str());
    }
    for (const ChainDialogEntry& entry : m_contents.m_dialogs) {
        const std::string section = entry.chainFlag == 1 ? ModuleSection(entry.moduleIndex)
                                                         : AnalyzeSection(entry.moduleIndex);
        const std::string key = DialogKey(entry.dialogIndex);
        iniStore->SetListUInt32(section.c_str(), key.c_str(), "DlgID", entry.dialogId);
        iniStore->SetListUInt32(section.c_str(), key.c_str(), "InitiallyOpen",
                                entry.openFlag ? 1 : 0);
    }
    return true;
}

void CImgProcessChain::LoadModuleSettings(CLumoModule* module, CIniFile_0* iniStore,
                                          CIniFile_0* registryStore, const char* section) {
    if (module->GetObjectId() == LUT_MODULE_ID) {
        module->SetParam(15, LumoArg(section), LumoArg("ActualLut"));
        module->SetParam(16, 0, 0);
        module->SetParam(17, LumoArg(iniStore), 0);
        module->SetParam(15, LumoArg(section), 0);
        module->SetParam(17, LumoArg(iniStore), 1);
        module->SetParam(17, LumoArg(registryStore), 2);
        for (uint32_t kind = 1; kind <= 2; ++kind) {
            module->SetParam(16, kind, 0);
            for (uint64_t n = 0; n < MAX_ENTRIES; ++n) {
                const std::string key = TableKey(kind, n);
                module->SetParam(15, LumoArg(section), LumoArg(key.c_str()));
                if (module->SetParam(17, LumoArg(iniStore), 0) != LUMO_OK)
                    break;
            }
        }
        return;
    }
    module->SetParam(15, LumoArg(section), 0);
    module->SetParam(17, LumoArg(iniStore), 0);
    module->SetParam(17, LumoArg(iniStore), 1);
    module->SetParam(17, LumoArg(registryStore), 2);
}

void CImgProcessChain::SaveModuleSettings(CLumoModule* module, CIniFile_0* iniStore,
                                          CIniFile_0* registryStore, const char* section) {
    if (module->GetObjectId() == LUT_MODULE_ID) {
        module->SetParam(15, LumoArg(section), LumoArg("ActualLut"));
        module->SetParam(16, 0, 0);
        module->GetParam(17, LumoArg(iniStore), 0);
        module->SetParam(15, LumoArg(section), 0);
        module->GetParam(17, LumoArg(iniStore), 1);
        module->GetParam(17, LumoArg(registryStore), 2);
        for (uint32_t kind = 1; kind <= 2; ++kind) {
            module->SetParam(16, kind, 0);
            uint64_t count = 0;
            module->QueryParam(17, 0, 0, 0, LumoArg(&count));
            for (uint64_t n = 0; n < count && n < MAX_ENTRIES; ++n) {
                const std::string key = TableKey(kind, n);
                module->SetParam(15, LumoArg(section), LumoArg(key.c_str()));
                module->GetParam(17, LumoArg(iniStore), static_cast<uintptr_t>(n));
            }
            for (uint64_t n = count; n < count + MAX_ENTRIES; ++n) {
                const std::string key = TableKey(kind, n);
                if (iniStore->KeyExists(section, key.c_str()) != 1)
                    break;
                iniStore->DeleteKey(section, key.c_str());
            }
        }
        return;
    }
    module->SetParam(15, LumoArg(section), 0);
    module->GetParam(17, LumoArg(iniStore), 0);
    module->GetParam(17, LumoArg(iniStore), 1);
    module->GetParam(17, LumoArg(registryStore), 2);
}
