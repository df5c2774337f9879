// A chain's make-up and its modules' own settings in the two stores the view hands in: the INI
// file store (the chain file) and the registry store (the modules' edit states).
//   "Chain_0"                     PrimaryImgClass, Module_<i> = ObjectID
//   "Chain_0_AnalyzeGroup_0"      LastUsedAnalyzeIndex, Module_<j> = ObjectID
//   "Chain_0_Module_<i>"          Dialog_<d> = DlgID, InitiallyOpen; the module's own keys
//   "Chain_0_AnalyzeGroup_0_Module_<j>"   the same for analyze module j
// Module lists end at the first "ObjectID" of 0 or none, dialog lists at the first missing
// "DlgID". Nothing is removed from the stores but the look-up table's stale table keys.
#pragma once

#include "processing/ChainModel.h"

class CIniFile_0;

class ChainSettings final : private ChainSource {
public:
    // Both stores are non-null and outlive this object.
    ChainSettings(ChainModuleSteps& steps, CIniFile_0* iniStore, CIniFile_0* registryStore);

    // Builds `model`'s contents from the stores (an empty store gives an empty chain), opening
    // the dialogs that were open under `parentWindow`. False, with the contents untouched, when
    // a module or image cannot be made or prepared.
    [[nodiscard]] bool Load(ChainModel& model, uint32_t primaryClass, const ChainClient& view,
                            CLumoImage* firstImage, void* parentWindow);
    // Writes the make-up of `model` and every module's settings into the stores.
    void Save(const ChainModel& model);

    // The chain's own way of loading and saving one module's settings under `section`.
    static void LoadModule(CLumoModule* module, CIniFile_0* iniStore, CIniFile_0* registryStore,
                           const char* section);
    static void SaveModule(CLumoModule* module, CIniFile_0* iniStore, CIniFile_0* registryStore,
                           const char* section);

private:
    bool ModuleId(uint64_t i, uint32_t& id) override;
    bool AnalyzeModuleId(uint64_t j, uint32_t& id) override;
    uint64_t AnalyzeSource() override;
    void AddDialogs(ChainContents& contents, CLumoModule* module, uint64_t index,
                    uint32_t chainFlag) override;
    void LoadSettings(CLumoModule* module, uint64_t index, uint32_t chainFlag) override;

    ChainModuleSteps& m_steps;
    CIniFile_0* m_pIni;
    CIniFile_0* m_pRegistry;
    void* m_pParentWindow = nullptr;
};
