#include "processing/CImgProcessChain.h"

#include "processing/ChainSettings.h"

CImgProcessChain::CImgProcessChain(CLumoInstance* instance, CDebugSink* log)
    : m_pLumo(instance), m_notifyBlock{&CImgProcessChain::NotifyFunction, this, {}},
      m_model(instance, log, &m_notifyBlock, &m_rowBands), m_worker(m_hChainSema, &m_model, log) {}

CImgProcessChain::~CImgProcessChain() {
    m_worker.Stop();
    platform::RecursiveLock lock(m_hChainSema);
    m_model.Reset();
}

void CImgProcessChain::AdaptToInput(CLumoModule* module) {
    AdaptModuleToInput(module);
}

void CImgProcessChain::SetOptions(CLumoModule* module, CLumoImage* image) {
    SetModuleOptions(module, image);
}

bool CImgProcessChain::PrepareOutput(CLumoModule* module) {
    return PrepareModuleOutput(module);
}

void CImgProcessChain::LoadModuleSettings(CLumoModule* module, CIniFile_0* iniStore,
                                          CIniFile_0* registryStore, const char* section) {
    ChainSettings::LoadModule(module, iniStore, registryStore, section);
}

void CImgProcessChain::SaveModuleSettings(CLumoModule* module, CIniFile_0* iniStore,
                                          CIniFile_0* registryStore, const char* section) {
    ChainSettings::SaveModule(module, iniStore, registryStore, section);
}

bool CImgProcessChain::BuildDefault(uint32_t primaryClass, const uint32_t* objectIds,
                                    uint64_t count, uint32_t analyzeObjectId,
                                    const ChainClient& view, CLumoImage* firstImage) {
    return m_model.BuildDefault(*this, primaryClass, objectIds, count, analyzeObjectId, view,
                                firstImage);
}

bool CImgProcessChain::Load(uint32_t primaryClass, CIniFile_0* iniStore, CIniFile_0* registryStore,
                            const ChainClient& view, CLumoImage* firstImage, void* parentWindow) {
    if (!m_pLumo || !iniStore || !registryStore)
        return false;
    ChainSettings settings(*this, iniStore, registryStore);
    return settings.Load(m_model, primaryClass, view, firstImage, parentWindow);
}

bool CImgProcessChain::Save(CIniFile_0* iniStore, CIniFile_0* registryStore) {
    if (!iniStore || !registryStore)
        return true;
    ChainSettings(*this, iniStore, registryStore).Save(m_model);
    return true;
}

void CImgProcessChain::Reset() {
    platform::RecursiveLock lock(m_hChainSema);
    m_model.Reset();
}

bool CImgProcessChain::RefreshInput(CLumoImage* image) {
    platform::RecursiveLock lock(m_hChainSema);
    return m_model.RefreshInput(*this, image);
}

bool CImgProcessChain::Process() {
    return m_model.Process();
}

void CImgProcessChain::SetAnalyzeSource(uint64_t index, CLumoImage* rawImage) {
    platform::RecursiveLock lock(m_hChainSema);
    if (m_model.SetAnalyzeSource(*this, index, rawImage))
        (void)m_worker.Post(AnalyzeMessage{}); // without an update thread nothing analyses
}

CLumoModule* CImgProcessChain::GetDialogModule(uint64_t k) const {
    platform::RecursiveLock lock(m_hChainSema);
    return m_model.GetDialogModule(k);
}

std::string CImgProcessChain::GetDialogHeadLine(uint64_t k) {
    platform::RecursiveLock lock(m_hChainSema);
    return m_model.GetDialogHeadLine(k);
}

uint64_t CImgProcessChain::AppendModuleMenu(CChainMenu& menu, uint32_t firstId) {
    platform::RecursiveLock lock(m_hChainSema);
    return m_model.AppendModuleMenu(menu, firstId);
}

uint64_t CImgProcessChain::AppendDialogMenu(CChainMenu& menu) {
    platform::RecursiveLock lock(m_hChainSema);
    return m_model.AppendDialogMenu(menu);
}

uint32_t CImgProcessChain::ShowDialog(void* parentWindow, uint64_t k, bool show) {
    platform::RecursiveLock lock(m_hChainSema);
    return m_model.ShowDialog(parentWindow, k, show);
}

bool CImgProcessChain::SetBaseImageProvider(BaseImageProvider provider, void* context) {
    return m_worker.Post(SetProviderMessage{provider, context});
}

bool CImgProcessChain::SetReadyCallback(ReadyCallback callback, void* context) {
    return m_worker.Post(SetReadyMessage{callback, context});
}

bool CImgProcessChain::RequestUpdate(bool erase) {
    return m_worker.Post(UpdateMessage{erase});
}

uint32_t CImgProcessChain::NotifyFunction(CLumoModule* module, void* context, uint32_t code) {
    auto* chain = static_cast<CImgProcessChain*>(context);
    if (!chain)
        return 1;
    const uint32_t dialogId = code >> 16;
    ChainClient client;
    bool found = false;
    {
        platform::RecursiveLock lock(chain->m_hChainSema);
        client = chain->m_model.Client();
        found = chain->m_model.HasDialog(module, dialogId);
    }
    // The view's callback runs without the chain lock: it may wait for the user-interface thread.
    const uint32_t result =
        client.pfnDialogEvent ? client.pfnDialogEvent(client.pContext, code) : 1;
    const uint32_t event = code & 0xFFFF;
    if (found && result == 1 && event <= LUMO_EVENT_DIALOG_CLOSED) {
        platform::RecursiveLock lock(chain->m_hChainSema);
        chain->m_model.MarkDialogClosed(module, dialogId);
    }
    return result;
}
