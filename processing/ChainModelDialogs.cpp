// ChainModel: the dialog list and the menus built from it.
#include "external/DebugLog.h"
#include "external/LumoResult.h"
#include "processing/ChainModel.h"

CLumoModule* ChainModel::GetDialogModule(uint64_t k) const {
    const ChainDialogEntry* entry = GetDialogEntry(k);
    if (!entry)
        return nullptr;
    const uint64_t listSize =
        entry->chainFlag == 1 ? m_contents.m_modules.size() : m_contents.m_analyzeGroup.size();
    return entry->moduleIndex < listSize ? entry->module : nullptr;
}

std::string ChainModel::GetDialogHeadLine(uint64_t k) {
    KAVRIN_LOG_PLAIN(m_pLog, 1, "CImgProcessChain::GetDialogHeadLine(%llu)",
                     static_cast<unsigned long long>(k));
    CLumoModule* module = GetDialogModule(k);
    if (!module)
        return std::string();
    const char* title = nullptr;
    if (module->GetParam(LUMO_PARAM_TITLE, m_contents.m_dialogs[k].dialogId, LumoArg(&title)) !=
        LUMO_OK)
        return std::string();
    return title ? std::string(title) : std::string("- Unknown module -");
}

uint64_t ChainModel::AppendModuleMenu(CChainMenu& menu, uint32_t firstId) const {
    const uint64_t count = m_contents.m_modules.size();
    for (uint64_t p = 0; p < count; ++p)
        menu.AppendItem(firstId + static_cast<uint32_t>(p), m_contents.m_modules[p].name,
                        p + 1 == m_nAnalyzeSource);
    return count;
}

uint64_t ChainModel::AppendDialogMenu(CChainMenu& menu) {
    const uint64_t count = m_contents.m_dialogs.size();
    for (uint64_t k = 0; k < count; ++k) {
        const ChainDialogEntry& entry = m_contents.m_dialogs[k];
        if (k > 0 && entry.chainFlag != m_contents.m_dialogs[k - 1].chainFlag)
            menu.AppendSeparator();
        CLumoModule* module = GetDialogModule(k);
        const bool checked = module && module->IsDialogOpen(entry.dialogId) != 0;
        menu.AppendItem(static_cast<uint32_t>(k + 1), GetDialogHeadLine(k), checked);
    }
    return count;
}

uint32_t ChainModel::ShowDialog(void* parentWindow, uint64_t k, bool show) {
    CLumoModule* module = GetDialogModule(k);
    if (!module)
        return 0;
    ChainDialogEntry& entry = m_contents.m_dialogs[k];
    if (show) {
        entry.openFlag = module->OpenDialog(entry.dialogId, parentWindow) == LUMO_OK ? 1 : 0;
        return entry.openFlag;
    }
    entry.openFlag = 0;
    return module->CloseDialog(entry.dialogId) == LUMO_OK ? 1 : 0;
}

// A notification carries the dialog ID in the high 16 bits of its code: IDs beyond 16 bits
// (those of modules 514 and 515, for one) arrive cut to their low 16 bits, so only those are
// compared; the module itself tells its dialogs apart.
static bool SameDialog(uint32_t entryId, uint32_t notifiedId) {
    return (entryId & 0xFFFF) == (notifiedId & 0xFFFF);
}

bool ChainModel::HasDialog(const CLumoModule* module, uint32_t dialogId) const {
    for (const ChainDialogEntry& entry : m_contents.m_dialogs)
        if (entry.module == module && SameDialog(entry.dialogId, dialogId))
            return true;
    return false;
}

void ChainModel::MarkDialogClosed(const CLumoModule* module, uint32_t dialogId) {
    for (ChainDialogEntry& entry : m_contents.m_dialogs)
        if (entry.module == module && SameDialog(entry.dialogId, dialogId)) {
            entry.openFlag = 0;
            return;
        }
}
