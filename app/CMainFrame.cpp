#include "app/CMainFrame.h"

#include "app/ApplicationLooks.h"
#include "app/CCamCntrlBar.h"
#include "app/CFrameworkSettings.h"
#include "app/CKavrinDemoApp.h"
#include "app/CKavrinDemoDoc.h"
#include "app/CKavrinDemoView.h"
#include "app/CMainStatusBar.h"
#include "app/CSequenceBar.h"
#include "app/CommandIds.h"

#include <QAction>
#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QTimer>
#include <QToolBar>

// The icons live in a static library, whose resources are registered only when asked for.
static void InitIconResources() {
    Q_INIT_RESOURCE(icons);
}

CMainFrame::CMainFrame(CKavrinDemoApp& app)
    : m_app(app), m_pSettings(std::make_unique<CFrameworkSettings>(app.GetRegistryPath())) {
    InitIconResources();
    setObjectName("MainFrame");
    m_uLook = OfferedLook(m_pSettings->ReadApplicationLook(210));
    m_pSettings->DiscardToolBarCustomisation();
    setAcceptDrops(true);
}

CMainFrame::~CMainFrame() {
    PrepareQuit();
    // The view goes before the document it shows; the document before the panes it fills.
    delete m_pView;
    m_pView = nullptr;
    m_pDoc.reset();
}

bool CMainFrame::Create() {
    ApplyApplicationLook(m_uLook);
    CreateActions();
    CreateMenus();
    CreateToolBars();
    m_pStatusBar = new CMainStatusBar(this);
    setStatusBar(m_pStatusBar);
    CreatePanes();
    FillViewMenu();
    for (QMenu* menu : menuBar()->findChildren<QMenu*>())
        connect(menu, &QMenu::aboutToShow, this, &CMainFrame::UpdateCommandStates);
    RestoreLayout();

    m_pDoc = std::make_unique<CKavrinDemoDoc>(m_app, *this);
    connect(m_pDoc.get(), &CKavrinDemoDoc::titleChanged, this, &CMainFrame::UpdateTitle);
    if (!m_pDoc->OnNewDocument())
        return false;
    m_pView = new CKavrinDemoView(m_app, *m_pDoc, *this);
    setCentralWidget(m_pView);
    m_pView->OnInitialUpdate();
    UpdateTitle();

    // Menus and toolbars follow the handlers' enable rules, as an idle-time update would.
    auto* timer = new QTimer(this);
    connect(timer, &QTimer::timeout, this, &CMainFrame::UpdateCommandStates);
    timer->start(100);
    UpdateCommandStates();
    return true;
}

void CMainFrame::CreatePanes() {
    m_pSequenceBar = new CSequenceBar(this);
    m_pCamCntrlBar = new CCamCntrlBar(this);
    addDockWidget(Qt::TopDockWidgetArea, m_pSequenceBar);
    addDockWidget(Qt::TopDockWidgetArea, m_pCamCntrlBar);
    splitDockWidget(m_pSequenceBar, m_pCamCntrlBar, Qt::Horizontal);
    m_pCamCntrlBar->SetNotify([this](uint32_t command, uint32_t state) {
        if (m_pDoc)
            m_pDoc->OnCameraControl(command, state);
    });
}

QAction* CMainFrame::Action(uint32_t id) const {
    const auto it = m_actions.find(id);
    return it == m_actions.end() ? nullptr : it->second;
}

QToolBar* CMainFrame::ToolBar(int index) const {
    return index >= 0 && index < 4 ? m_toolBars[index] : nullptr;
}

void CMainFrame::UpdateCommandStates() {
    for (const auto& [id, action] : m_actions) {
        if (id == cmd::ID_VIEW_STATUS_BAR ||
            (id >= cmd::ID_VIEW_LOOK_FIRST && id <= cmd::ID_VIEW_LOOK_LAST))
            continue; // the frame's own toggles keep their state themselves
        const CommandState state = m_commands.State(id);
        if (action->isEnabled() != state.enabled)
            action->setEnabled(state.enabled);
        if (action->isCheckable() && action->isChecked() != state.checked)
            action->setChecked(state.checked);
    }
}

void CMainFrame::ShowStatusMessage(const QString& text, int timeoutMs) {
    if (m_pStatusBar)
        m_pStatusBar->showMessage(text, timeoutMs);
}

void CMainFrame::UpdateTitle() {
    const QString name = m_pDoc ? m_pDoc->GetTitle() : QString();
    const QString program = QString::fromStdString(m_app.GetFileDescription());
    setWindowTitle(name.isEmpty() ? program : name + QStringLiteral("[*] - ") + program);
    setWindowModified(m_pDoc && m_pDoc->IsModified());
}

void CMainFrame::SetApplicationLook(uint32_t id) {
    m_uLook = OfferedLook(id);
    ApplyApplicationLook(m_uLook);
    for (const AppLookEntry& look : ApplicationLooks())
        if (QAction* action = Action(look.id))
            action->setChecked(look.id == m_uLook);
    m_pSettings->WriteApplicationLook(m_uLook);
    update();
}

void CMainFrame::AddRecentFile(const QString& path) {
    const QString full = QFileInfo(path).absoluteFilePath();
    QStringList files = m_pSettings->ReadRecentFiles();
    files.removeAll(full);
    files.prepend(full);
    while (files.size() > CFrameworkSettings::RECENT_FILES)
        files.removeLast();
    m_pSettings->WriteRecentFiles(files);
    RebuildRecentFiles();
}

void CMainFrame::SaveLayout() {
    m_pSettings->WriteBinary("Geometry", saveGeometry());
    m_pSettings->WriteBinary("State", saveState());
}

void CMainFrame::RestoreLayout() {
    const QByteArray geometry = m_pSettings->ReadBinary("Geometry");
    if (geometry.isEmpty() || !restoreGeometry(geometry))
        resize(1280, 860);
    const QByteArray state = m_pSettings->ReadBinary("State");
    if (!state.isEmpty())
        (void)restoreState(state); // a layout of another version is ignored
}

void CMainFrame::PrepareQuit() {
    if (m_bQuitting)
        return;
    m_bQuitting = true;
    // Whatever runs ends now: a grab is stopped, a load or a save aborted.
    if (m_pDoc) {
        if (CSequenceBase* sequence = m_pDoc->GetSequence();
            sequence && sequence->IsThreadRunning())
            sequence->Stop();
    }
    if (m_pSequenceBar)
        m_pSequenceBar->StopPlay();
    SaveLayout();
}

void CMainFrame::closeEvent(QCloseEvent* event) {
    PrepareQuit();
    event->accept();
}

void CMainFrame::dragEnterEvent(QDragEnterEvent* event) {
    if (event->mimeData()->hasUrls() && !event->mimeData()->urls().isEmpty() &&
        event->mimeData()->urls().first().isLocalFile())
        event->acceptProposedAction();
}

void CMainFrame::dropEvent(QDropEvent* event) {
    const QList<QUrl> urls = event->mimeData()->urls();
    if (urls.isEmpty() || !urls.first().isLocalFile() || !m_pDoc)
        return;
    event->acceptProposedAction();
    const QString path = urls.first().toLocalFile();
    // Opened after the drop has returned: a load may ask questions or show messages.
    QTimer::singleShot(0, this, [this, path] {
        if (m_pDoc)
            (void)m_pDoc->OpenFile(path); // it reports its own failures
    });
}
