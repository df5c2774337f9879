#include "processing/ChainModel.h"

#include "external/DebugLog.h"
#include "external/LumoResult.h"

#include <algorithm>

namespace {

// A chain of the given object IDs and one analyze module, with the dialogs the modules report.
class IdListSource final : public ChainSource {
public:
    IdListSource(const uint32_t* objectIds, uint64_t count, uint32_t analyzeObjectId)
        : m_pIds(objectIds), m_nCount(count), m_dwAnalyzeId(analyzeObjectId) {}

    bool ModuleId(uint64_t i, uint32_t& id) override {
        if (i >= m_nCount)
            return false;
        id = m_pIds[i];
        return true;
    }
    bool AnalyzeModuleId(uint64_t j, uint32_t& id) override {
        id = m_dwAnalyzeId;
        return j == 0;
    }
    uint64_t AnalyzeSource() override { return 0; }
    void AddDialogs(ChainContents& contents, CLumoModule* module, uint64_t index,
                    uint32_t chainFlag) override {
        ChainModel::AppendModuleDialogs(contents, module, index, chainFlag);
    }
    void LoadSettings(CLumoModule*, uint64_t, uint32_t) override {}

private:
    const uint32_t* m_pIds;
    uint64_t m_nCount;
    uint32_t m_dwAnalyzeId;
};

// The most dialogs one module may report; bounds a module's answer.
constexpr uint64_t MAX_MODULE_DIALOGS = 0x10000;

} // namespace

ChainModel::ChainModel(CLumoInstance* instance, CDebugSink* log, const LumoNotifyBlock* notifyBlock,
                       CRowBands* rowBands)
    : m_pLog(log), m_pLumo(instance), m_pNotifyBlock(notifyBlock), m_pRowBands(rowBands) {}

bool ChainModel::BuildDefault(ChainModuleSteps& steps, uint32_t primaryClass,
                              const uint32_t* objectIds, uint64_t count, uint32_t analyzeObjectId,
                              const ChainClient& view, CLumoImage* firstImage) {
    if (count > 0 && !objectIds)
        return false;
    IdListSource source(objectIds, count, analyzeObjectId);
    return Build(steps, source, primaryClass, view, firstImage);
}

bool ChainModel::Build(ChainModuleSteps& steps, ChainSource& source, uint32_t primaryClass,
                       const ChainClient& view, CLumoImage* firstImage) {
    if (!m_pLumo)
        return false;
    ChainContents contents;
    if (!BuildMainChain(steps, source, contents, firstImage) ||
        !BuildAnalyzeGroup(steps, source, contents, firstImage))
        return false; // `contents` takes what was made with it
    Commit(contents, primaryClass, source.AnalyzeSource(), view);
    return true;
}

bool ChainModel::BuildMainChain(ChainModuleSteps& steps, ChainSource& source,
                                ChainContents& contents, CLumoImage* firstImage) {
    CLumoImage* input = firstImage;
    uint32_t id = 0;
    for (uint64_t i = 0; source.ModuleId(i, id); ++i) {
        CLumoModule* module = AppendChainModule(contents, id, input);
        if (!module)
            return false;
        source.AddDialogs(contents, module, i, 1);
        if (!steps.PrepareOutput(module))
            return false;
        input = contents.m_images.back().get();
        source.LoadSettings(module, i, 1);
        steps.AdaptToInput(module);
    }
    return true;
}

bool ChainModel::BuildAnalyzeGroup(ChainModuleSteps& steps, ChainSource& source,
                                   ChainContents& contents, CLumoImage* firstImage) {
    uint32_t id = 0;
    for (uint64_t j = 0; source.AnalyzeModuleId(j, id); ++j) {
        LumoModulePtr made = MakeLumoModule(m_pLumo, id);
        if (!made)
            return false;
        CLumoModule* module = made.get();
        contents.m_analyzeGroup.push_back(std::move(made));
        SetRowBands(module);
        CLumoImage* images[1] = {firstImage};
        if (module->SetImages(1, images) != LUMO_OK)
            return false;
        steps.SetOptions(module, firstImage);
        source.LoadSettings(module, j, 0);
        SetNotifyBlock(module);
        source.AddDialogs(contents, module, j, 0);
    }
    return true;
}

CLumoModule* ChainModel::AppendChainModule(ChainContents& contents, uint32_t id,
                                           CLumoImage* input) {
    const char* name = m_pLumo->GetModuleName(id, 0);
    LumoModulePtr made = MakeLumoModule(m_pLumo, id);
    if (!made)
        return nullptr;
    CLumoModule* module = made.get();
    contents.m_modules.push_back(ChainModuleEntry{name ? name : "", std::move(made)});
    LumoImagePtr output = MakeLumoImage(m_pLumo);
    if (!output)
        return nullptr;
    CLumoImage* images[2] = {input, output.get()};
    contents.m_images.push_back(std::move(output));
    (void)module->SetParam(LUMO_PARAM_LOG, LumoArg(m_pLog), 0); // not taken: the module is silent
    SetRowBands(module);
    if (module->SetImages(2, images) != LUMO_OK)
        return nullptr;
    SetNotifyBlock(module);
    return module;
}

void ChainModel::SetNotifyBlock(CLumoModule* module) const {
    // A module that does not take the block has no dialog events to tell.
    (void)module->SetParam(LUMO_PARAM_NOTIFY, LumoArg(m_pNotifyBlock), sizeof(LumoNotifyBlock));
}

void ChainModel::SetRowBands(CLumoModule* module) const {
    // A module that does not take the workers runs on the update thread alone.
    if (m_pRowBands)
        (void)module->SetParam(LUMO_PARAM_ROW_BANDS, LumoArg(m_pRowBands), 0);
}

void ChainModel::AppendModuleDialogs(ChainContents& contents, CLumoModule* module, uint64_t index,
                                     uint32_t chainFlag) {
    uint64_t count = 0;
    if (module->QueryParam(LUMO_PARAM_DIALOGS, 0, LumoArg(&count), 0, 0) != LUMO_OK)
        return;
    for (uint64_t d = 0; d < count && d < MAX_MODULE_DIALOGS; ++d) {
        LumoDialogInfo info{};
        if (module->GetParam(LUMO_PARAM_DIALOGS, static_cast<uintptr_t>(d), LumoArg(&info)) !=
            LUMO_OK)
            continue;
        contents.m_dialogs.push_back(
            ChainDialogEntry{module, index, d, chainFlag, 0, info.dialogId});
    }
}

void ChainModel::Commit(ChainContents& contents, uint32_t primaryClass, uint64_t analyzeSource,
                        const ChainClient& view) {
    // Main-chain dialogs first, then those of the analyze group.
    std::stable_partition(contents.m_dialogs.begin(), contents.m_dialogs.end(),
                          [](const ChainDialogEntry& e) { return e.chainFlag == 1; });
    m_contents.Replace(contents);
    m_dwPrimaryClass = primaryClass;
    m_nAnalyzeSource = analyzeSource;
    m_client = view;
}

void ChainModel::Reset() {
    m_contents.Destroy();
    m_dwPrimaryClass = 0;
}

void ChainModel::SetFirstInput(CLumoImage* image) {
    if (m_contents.m_modules.empty())
        return;
    CLumoModule* first = m_contents.m_modules.front().module.get();
    CLumoImage* images[2] = {image, first->GetImage(1)};
    (void)first->SetImages(2, images); // input and output are always taken
}

bool ChainModel::RefreshInput(ChainModuleSteps& steps, CLumoImage* image) {
    SetFirstInput(image);
    for (const ChainModuleEntry& entry : m_contents.m_modules)
        if (!steps.PrepareOutput(entry.module.get()))
            return false;
    return true;
}

bool ChainModel::Process() {
    for (size_t i = 0; i < m_contents.m_modules.size(); ++i) {
        CLumoModule* module = m_contents.m_modules[i].module.get();
        if (module->Execute(CLumoModule::EXECUTE_PROCESS) != LUMO_OK) {
            KAVRIN_LOG(m_pLog, 1, "CImgProcessChain::Process ERROR",
                       "module index = %llu, ObjID = %u", static_cast<unsigned long long>(i),
                       module->GetObjectId());
            return false;
        }
    }
    return true;
}

CLumoImage* ChainModel::Output() const {
    return m_contents.m_images.empty() ? nullptr : m_contents.m_images.back().get();
}

bool ChainModel::SetAnalyzeSource(ChainModuleSteps& steps, uint64_t index, CLumoImage* rawImage) {
    if (index > m_contents.m_images.size())
        return false;
    m_nAnalyzeSource = index;
    CLumoImage* source = index == 0 ? rawImage : GetImage(index - 1);
    for (const LumoModulePtr& module : m_contents.m_analyzeGroup)
        steps.SetOptions(module.get(), source);
    return true;
}

bool ChainModel::AnalysisWanted() const {
    return !m_contents.m_analyzeGroup.empty() && m_nAnalyzeSource <= m_contents.m_images.size();
}

void ChainModel::Analyze(CLumoImage* rawImage) {
    if (!AnalysisWanted())
        return;
    CLumoImage* source = m_nAnalyzeSource == 0 ? rawImage : GetImage(m_nAnalyzeSource - 1);
    for (const LumoModulePtr& module : m_contents.m_analyzeGroup) {
        CLumoImage* images[1] = {source};
        if (module->SetImages(1, images) != LUMO_OK)
            continue; // it would analyse the image it had before
        // A failed analysis leaves the module's own view as it was; the others still run.
        (void)module->Execute(CLumoModule::EXECUTE_ANALYSE);
    }
}

CLumoModule* ChainModel::GetModule(uint64_t i) const {
    return i < m_contents.m_modules.size() ? m_contents.m_modules[i].module.get() : nullptr;
}

const std::string* ChainModel::GetModuleName(uint64_t i) const {
    return i < m_contents.m_modules.size() ? &m_contents.m_modules[i].name : nullptr;
}

CLumoModule* ChainModel::GetAnalyzeModule(uint64_t j) const {
    return j < m_contents.m_analyzeGroup.size() ? m_contents.m_analyzeGroup[j].get() : nullptr;
}

CLumoImage* ChainModel::GetImage(uint64_t k) const {
    return k < m_contents.m_images.size() ? m_contents.m_images[k].get() : nullptr;
}

const ChainDialogEntry* ChainModel::GetDialogEntry(uint64_t k) const {
    return k < m_contents.m_dialogs.size() ? &m_contents.m_dialogs[k] : nullptr;
}
