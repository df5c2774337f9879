// The view's image-processing popup: the modules' dialogs to open and close, and the choice of
// the image the analyze group reads.
#include "app/CKavrinDemoView.h"

#include "app/CMainFrame.h"
#include "app/ChainPopupMenu.h"
#include "external/DebugLog.h"
#include "processing/CImgProcessChain.h"

#include <QCursor>
#include <QMenu>

std::unique_ptr<QMenu> CKavrinDemoView::BuildImgProcessMenu(uint64_t& dialogCount) {
    auto menu = std::make_unique<QMenu>(this);
    ChainPopupMenu items(*menu);
    dialogCount = m_pChain->AppendDialogMenu(items);
    KAVRIN_LOG(m_pLog.get(), 1, "OnImgProcess", "Number of dialogs = %llu",
               static_cast<unsigned long long>(dialogCount));
    items.AppendSeparator();
    CChainMenu* source = items.AppendSubMenu("Analyze Source");
    bool rawChosen = false;
    {
        platform::RecursiveLock lock(m_pChain->ChainLock());
        rawChosen = m_pChain->GetAnalyzeSource() == 0;
    }
    source->AppendItem(uint32_t(dialogCount + 1), "Raw Image", rawChosen);
    (void)m_pChain->AppendModuleMenu(*source, uint32_t(dialogCount + 2)); // count not needed
    return menu;
}

void CKavrinDemoView::ApplyImgProcessChoice(uint32_t id, uint64_t dialogCount) {
    if (id > dialogCount) {
        m_pChain->SetAnalyzeSource(id - dialogCount - 1, m_pRawImage.get());
    } else if (id >= 1) {
        const uint64_t k = id - 1;
        bool open = false;
        if (CLumoModule* module = m_pChain->GetDialogModule(k)) {
            platform::RecursiveLock lock(m_pChain->ChainLock());
            if (const ChainDialogEntry* entry = m_pChain->GetDialogEntry(k))
                open = module->IsDialogOpen(entry->dialogId) != 0;
        }
        QWidget* window = this;
        // The open state is kept by the chain; a module without its dialog yet says so.
        if (m_pChain->ShowDialog(window, k, !open) == 0 && !open)
            m_frame.ShowStatusMessage(QString::fromStdString(m_pChain->GetDialogHeadLine(k)) +
                                      QStringLiteral(": dialog not available yet"));
    }
}

void CKavrinDemoView::OnImgProcess() {
    uint64_t dialogCount = 0;
    const std::unique_ptr<QMenu> menu = BuildImgProcessMenu(dialogCount);
    const QAction* chosen = menu->exec(QCursor::pos());
    if (chosen && chosen->data().isValid())
        ApplyImgProcessChoice(chosen->data().toUInt(), dialogCount);
}
