// The view's choice of processing chain when the document shows a new sequence or format: the
// outgoing format's chain is written to its stores, the incoming one is loaded from its own,
// or built from its defaults when none is stored.
#include "app/ViewChainSelection.h"

#include "acquisition/CSequenceBase.h"
#include "app/CKavrinDemoApp.h"
#include "app/CKavrinDemoDoc.h"
#include "app/CKavrinDemoView.h"
#include "external/DebugLog.h"
#include "external/ImageFormat.h"
#include "processing/CImgProcessChain.h"

namespace viewchain {

namespace {

constexpr uint32_t GREY_IDS[] = {514, 515, 96};
constexpr uint32_t CFA_IDS[] = {514, 515, 3, 32};
constexpr uint32_t RGB_IDS[] = {514, 515, 32};
constexpr uint32_t ANALYZE_ID = 67;

constexpr ChainFormat GREYSCALE = {"/Greyscale.ini",
                                   "\\ChainConfig\\EditState\\Greyscale",
                                   GREY_IDS,
                                   3,
                                   ANALYZE_ID,
                                   "Build greyscale chain from ini",
                                   "failed to load greyscale chain, trying to use default",
                                   "Build default greyscale chain",
                                   "Failed to build greyscale chain"};
constexpr ChainFormat CFARGB = {"/CFARGB.ini",
                                "\\ChainConfig\\EditState\\CFARGB",
                                CFA_IDS,
                                4,
                                ANALYZE_ID,
                                "Build CFA-RGB chain from ini",
                                "failed to load CFA-RGB chain, trying to use default",
                                "Build RGB-CFA chain",
                                "Failed to build RGB-CFA chain"};
constexpr ChainFormat RGB = {"/RGB.ini",
                             "\\ChainConfig\\EditState\\RGB",
                             RGB_IDS,
                             3,
                             ANALYZE_ID,
                             "Build RGB chain from ini",
                             "failed to load RGB chain, trying to use default",
                             "Build RGB chain",
                             "Failed to build RGB chain"};

} // namespace

const ChainFormat* FormatFor(uint32_t imageClass) {
    switch (imageClass) {
    case ImageFormat::CLASS_GREY:
        return &GREYSCALE;
    case ImageFormat::CLASS_CFA:
    case ImageFormat::CLASS_CFA_ALT:
        return &CFARGB;
    case ImageFormat::CLASS_RGB:
        return &RGB;
    default:
        return nullptr;
    }
}

std::string ChainFilePath(const std::string& settingsFolder, const ChainFormat& format) {
    return settingsFolder + format.chainFile;
}

std::string RegistryStorePath(const std::string& registryPath, const ChainFormat& format) {
    return "HKEY_CURRENT_USER\\" + registryPath + format.registrySuffix;
}

} // namespace viewchain

void CKavrinDemoView::SelectChain() {
    // A new chain's modules learn the cursor position at the next move.
    m_sharedCursor = {LUMO_CURSOR_OUTSIDE, LUMO_CURSOR_OUTSIDE};
    CLumoInstance* lumo = m_app.GetLumo();
    CSequenceBase* sequence = DocumentSequence();
    if (!lumo || !sequence)
        return;
    LumoImagePtr probe = MakeLumoImage(lumo);
    if (!probe)
        return;
    CDebugSink* log = m_pLog.get();
    CImgProcessChain& chain = *m_pChain;
    platform::RecursiveLock lock(chain.ChainLock());
    const uint32_t imageClass =
        sequence->InitImage(probe.get()) ? ImageFormat::ImageClass(probe->GetFormat(nullptr)) : 0;
    const uint32_t current = chain.GetPrimaryImageClass();
    if (imageClass == current) {
        if (!chain.RefreshInput(probe.get()))
            KAVRIN_LOG(log, 0, "CKavrinDemoView::OnUpdate", "chain outputs not prepared");
    } else {
        if (current != 0) {
            (void)chain.Save(m_pIniStore.get(), m_pRegStore.get()); // always true
            if (m_pIniStore->Save() != INI_OK || m_pRegStore->Save() != INI_OK)
                KAVRIN_LOG(log, 0, "CKavrinDemoView::OnUpdate", "chain settings not saved");
        }
        const viewchain::ChainFormat* format = viewchain::FormatFor(imageClass);
        if (!format) {
            (void)m_pIniStore->Clear(); // an empty store cannot fail to clear
            KAVRIN_LOG_PLAIN(log, 0, "Unknown image format -> reseting chain");
            chain.Reset();
        } else {
            const std::string file = viewchain::ChainFilePath(m_app.GetSettingsFolder(), *format);
            const std::string key = viewchain::RegistryStorePath(m_app.GetRegistryPath(), *format);
            // A missing file or key is an empty store: the load below then fails. The file
            // store is emptied first: loading a missing file leaves what it held, and that is
            // the outgoing format's chain.
            (void)m_pIniStore->Clear(); // emptying a document cannot fail
            (void)m_pIniStore->SetFileName(file.c_str());
            (void)m_pIniStore->Load();
            (void)m_pRegStore->SetFileName(key.c_str());
            (void)m_pRegStore->Load();
            const ChainClient client{&CKavrinDemoView::OnDialogEvent, this};
            QWidget* window = this;
            if (chain.Load(imageClass, m_pIniStore.get(), m_pRegStore.get(), client, probe.get(),
                           window) &&
                chain.GetModuleCount() != 0) {
                KAVRIN_LOG_PLAIN(log, 1, "%s", format->loadedText);
            } else {
                (void)m_pIniStore->Clear(); // the next save writes a fresh file
                KAVRIN_LOG_PLAIN(log, 0, "%s", format->loadFailedText);
                const bool built =
                    chain.BuildDefault(imageClass, format->defaultIds, format->defaultCount,
                                       format->analyzeId, client, probe.get());
                KAVRIN_LOG_PLAIN(log, built ? 1 : 0, "%s",
                                 built ? format->defaultBuiltText : format->defaultFailedText);
            }
        }
        if (m_pDisplay) {
            // The chain's old images may be gone (also when a load left an empty chain and
            // the default failed); the next processed image replaces this.
            if (m_pDisplay->SetImages(1, nullptr) != 0)
                KAVRIN_LOG(log, 0, "CKavrinDemoView::OnUpdate", "display kept its image");
            KAVRIN_LOG_PLAIN(log, 1, "Display image has been set to NULL");
        }
    }
    KAVRIN_LOG(log, 1, "OnUpdate", "%llu modules found",
               static_cast<unsigned long long>(chain.GetModuleCount()));
    KAVRIN_LOG(log, 1, "OnUpdate", "%llu dialogs found",
               static_cast<unsigned long long>(chain.GetDialogCount()));
    // Kept for the menus' enable rule, which must not wait for the chain lock.
    m_ullDialogCount.store(chain.GetDialogCount());
}
