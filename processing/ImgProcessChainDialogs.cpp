// CImgProcessChain: accessors, the dialog list and the menus built from it. The dialog and
// menu operations take the chain lock: module notifications change open flags from any thread.
#include "external/LumoResult.h"
#include "processing/CImgProcessChain.h"

CLumoModule* CImgProcessChain::GetModule(uint64_t i) const {
    return i < m_contents.m_modules.size() ? m_contents.m_modules[i].module : nullptr;
}

const std::string* CImgProcessChain::GetModuleName(uint64_t i) const {
    return i < m_contents.m_modules.size() ? &m_contents.m_modules[i].name : nullptr;
}

CLumoModule* CImgProcessChain::GetAnalyzeModule(uint64_t j) const {
    return j < m_contents.m_analyzeGroup.size() ? m_contents.m_analyzeGroup[j] : nullptr;
}

CLumoImage* CImgProcessChain::GetImage(uint64_t k) const {
    return k < m_contents.m_images.size() ? m_contents.m_images[k] : nullptr;
}

const ChainDialogEntry* CImgProcessChain::GetDialogEntry(uint64_t k) const {
    return k < m_contents.m_dialogs.size() ? &m_contents.m_dialogs[k] : nullptr;
}

CLumoModule* CImgProcessChain::GetDialogModule(uint64_t k) const {
    std::lock_guard<std::recursive_mutex> lock(m_hChainSema);
    const ChainDialogEntry* entry = GetDialogEntry(k);
    if (!entry)
        return nullptr;
    const uint64_t listSize =
        entry->chainFlag == 1 ? m_contents.m_modules.size() : m_contents.m_analyzeGroup.size();
    return entry->moduleIndex < listSize ? entry->module : nullptr;
}

std::string CImgProcessChain::GetDialogHeadLine(uint64_t k) {
    std::lock_guard<std::recursive_mutex> lock(m_hChainSema);
    if (m_pLog)
        m_pLog->Log(1, "CImgProcessChain::GetDialogHeadLine(%llu)",
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

uint64_t CImgProcessChain::AppendModuleMenu(CChainMenu& menu, uint32_t firstId) {
    std::lock_guard<std::recursive_mutex> lock(m_hChainSema);
    const uint64_t count = m_contents.m_modules.size();
    for (uint64_t p = 0; p < count; ++p)
        menu.AppendItem(firstId + static_cast<uint32_t>(p), m_contents.m_modules[p].name,
                        p + 1 == m_nAnalyzeSource);
    return count;
}

uint64_t CImgProcessChain::AppendDialogMenu(CChainMenu& menu) {
    std::lock_guard<std::recursive_mutex> lock(m_hChainSema);
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

uint32_t CImgProcessChain::ShowDialog(void* parentWindow, uint64_t k, bool show) {
    std::lock_guard<std::recursive_mutex> lock(m_hChainSema);
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
