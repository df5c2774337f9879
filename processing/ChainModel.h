// The chain's contents and what is done with them: building them from a source (a list of
// object IDs or the stores), refreshing the input, running the modules, the analyze source and
// the dialog list with its menus. The model has no lock of its own: its owner keeps it under
// the chain lock and calls it with that lock held.
#pragma once

#include "external/DebugSink.h"
#include "external/LumoInstance.h"
#include "external/LumoNotify.h"
#include "external/RowBands.h"
#include "processing/ChainContents.h"
#include "processing/ChainMenu.h"
#include "processing/ChainModuleSteps.h"

#include <cstdint>
#include <string>

// Receives the modules' dialog events (code: dialog ID << 16 | event); returns 1 when handled.
using DialogEventCallback = uint32_t (*)(void* context, uint32_t code);

// The view as the chain sees it when contents are committed.
struct ChainClient {
    DialogEventCallback pfnDialogEvent = nullptr;
    void* pContext = nullptr;
};

// Where a chain's make-up comes from while it is built.
class ChainSource {
public:
    // The object ID of main-chain module i (analyze module j); false past the end of the list.
    virtual bool ModuleId(uint64_t i, uint32_t& id) = 0;
    virtual bool AnalyzeModuleId(uint64_t j, uint32_t& id) = 0;
    // The analyze source index the new contents start with.
    virtual uint64_t AnalyzeSource() = 0;
    // Appends the dialog entries of a new main-chain module `index` (chain flag 1) or analyze
    // module `index` (chain flag 0).
    virtual void AddDialogs(ChainContents& contents, CLumoModule* module, uint64_t index,
                            uint32_t chainFlag) = 0;
    // Gives a new module its own settings, after its output is prepared.
    virtual void LoadSettings(CLumoModule* module, uint64_t index, uint32_t chainFlag) = 0;

protected:
    ~ChainSource() = default;
};

class ChainModel {
public:
    // `notifyBlock` and `rowBands` (may be null) are handed to every module made, main chain and
    // analyze group; both outlive the model.
    ChainModel(CLumoInstance* instance, CDebugSink* log, const LumoNotifyBlock* notifyBlock,
               CRowBands* rowBands = nullptr);
    ChainModel(const ChainModel&) = delete;
    ChainModel& operator=(const ChainModel&) = delete;

    CLumoInstance* Instance() const { return m_pLumo; }

    // Builds new contents from `source` beside the current ones and commits them with
    // `primaryClass` and `view`. When any module or image cannot be made or prepared, what this
    // call made is destroyed and the current contents stay untouched.
    [[nodiscard]] bool Build(ChainModuleSteps& steps, ChainSource& source, uint32_t primaryClass,
                             const ChainClient& view, CLumoImage* firstImage);
    // Build from `count` object IDs plus one analyze module, with the modules' own dialogs.
    [[nodiscard]] bool BuildDefault(ChainModuleSteps& steps, uint32_t primaryClass,
                                    const uint32_t* objectIds, uint64_t count,
                                    uint32_t analyzeObjectId, const ChainClient& view,
                                    CLumoImage* firstImage);
    // Destroys all modules and images; primary image class 0.
    void Reset();
    // Makes `image` module 0's input (its output stays); nothing for an empty chain.
    void SetFirstInput(CLumoImage* image);
    // SetFirstInput, then re-prepares every module's output; false at the first that fails.
    [[nodiscard]] bool RefreshInput(ChainModuleSteps& steps, CLumoImage* image);
    // Executes every module in order; false (logged) at the first that fails.
    [[nodiscard]] bool Process();
    // The last module's output, null for an empty chain.
    CLumoImage* Output() const;

    // Chooses the analyze source and gives the analyze modules their options for it; false
    // (nothing changed) when `index` is beyond the images.
    [[nodiscard]] bool SetAnalyzeSource(ChainModuleSteps& steps, uint64_t index,
                                        CLumoImage* rawImage);
    // True when there is an analyze group and its source index names an image.
    bool AnalysisWanted() const;
    // Runs the analyze group on the source: `rawImage` for index 0, else that module's output.
    void Analyze(CLumoImage* rawImage);

    uint32_t GetPrimaryImageClass() const { return m_dwPrimaryClass; }
    uint64_t GetModuleCount() const { return m_contents.m_modules.size(); }
    uint64_t GetAnalyzeModuleCount() const { return m_contents.m_analyzeGroup.size(); }
    uint64_t GetDialogCount() const { return m_contents.m_dialogs.size(); }
    uint64_t GetAnalyzeSource() const { return m_nAnalyzeSource; }
    CLumoModule* GetModule(uint64_t i) const;
    const std::string* GetModuleName(uint64_t i) const;
    CLumoModule* GetAnalyzeModule(uint64_t j) const;
    CLumoImage* GetImage(uint64_t k) const;
    const ChainDialogEntry* GetDialogEntry(uint64_t k) const;
    const ChainClient& Client() const { return m_client; }

    // The dialog list and the menus built from it (ChainModelDialogs.cpp).
    CLumoModule* GetDialogModule(uint64_t k) const;
    std::string GetDialogHeadLine(uint64_t k);
    uint64_t AppendModuleMenu(CChainMenu& menu, uint32_t firstId) const;
    uint64_t AppendDialogMenu(CChainMenu& menu);
    uint32_t ShowDialog(void* parentWindow, uint64_t k, bool show);
    // Whether `module` has a listed dialog `dialogId`; the open flag of that entry becomes 0.
    bool HasDialog(const CLumoModule* module, uint32_t dialogId) const;
    void MarkDialogClosed(const CLumoModule* module, uint32_t dialogId);

    // Appends the dialogs module `module` reports (LUMO_PARAM_DIALOGS).
    static void AppendModuleDialogs(ChainContents& contents, CLumoModule* module, uint64_t index,
                                    uint32_t chainFlag);

private:
    // Makes module `id` with its output image and appends both; null when either fails.
    CLumoModule* AppendChainModule(ChainContents& contents, uint32_t id, CLumoImage* input);
    [[nodiscard]] bool BuildMainChain(ChainModuleSteps& steps, ChainSource& source,
                                      ChainContents& contents, CLumoImage* firstImage);
    [[nodiscard]] bool BuildAnalyzeGroup(ChainModuleSteps& steps, ChainSource& source,
                                         ChainContents& contents, CLumoImage* firstImage);
    void Commit(ChainContents& contents, uint32_t primaryClass, uint64_t analyzeSource,
                const ChainClient& view);
    void SetNotifyBlock(CLumoModule* module) const;
    void SetRowBands(CLumoModule* module) const;

    CDebugSink* m_pLog;
    uint32_t m_dwPrimaryClass = 0;
    CLumoInstance* m_pLumo;
    ChainContents m_contents;
    uint64_t m_nAnalyzeSource = 0;
    ChainClient m_client;
    const LumoNotifyBlock* m_pNotifyBlock;
    CRowBands* m_pRowBands;
};
