// The main frame's actions, menus and toolbars.
#include "acquisition/CameraCatalogue.h"
#include "app/ApplicationLooks.h"
#include "app/CCamCntrlBar.h"
#include "app/CFrameworkSettings.h"
#include "app/CKavrinDemoApp.h"
#include "app/CKavrinDemoDoc.h"
#include "app/CMainFrame.h"
#include "app/CMainStatusBar.h"
#include "app/CSequenceBar.h"
#include "app/CommandIds.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QFileInfo>
#include <QIcon>
#include <QMenuBar>
#include <QToolBar>

namespace {

struct ActionText {
    uint32_t id;
    const char* text;
    const char* theme; // standard theme icon name, or null
    const char* file;  // our own icon in the resource, or null
};

// Menu texts of the commands; shortcuts are shown by the menus themselves.
const ActionText ACTIONS[] = {
    {cmd::ID_FILE_NEW, "&New", "document-new", "new"},
    {cmd::ID_FILE_OPEN, "O&pen...", "document-open", "open"},
    {cmd::ID_FILE_SAVE, "&Save", "document-save", "save"},
    {cmd::ID_FILE_SAVE_AS, "Save &as...", "document-save-as", "save"},
    {cmd::ID_FILE_PRINT, "&Print...", "document-print", "print"},
    {cmd::ID_FILE_PRINT_PREVIEW, "Print Pre&view", "document-print-preview", nullptr},
    {cmd::ID_FILE_PRINT_SETUP, "P&rint Setup...", nullptr, nullptr},
    {cmd::ID_APP_EXIT, "E&xit", "application-exit", nullptr},
    {cmd::ID_EDIT_UNDO, "&Undo", "edit-undo", nullptr},
    {cmd::ID_EDIT_CUT, "Cu&t", "edit-cut", "cut"},
    {cmd::ID_EDIT_COPY, "&Copy", "edit-copy", "copy"},
    {cmd::ID_EDIT_PASTE, "&Paste", "edit-paste", "paste"},
    {cmd::ID_GRAB_CONTINUOUS, "Start Continuous Grabbing", nullptr, "grab-continuous"},
    {cmd::ID_GRAB_SINGLE, "Start Single Sequence", nullptr, "grab-single"},
    {cmd::ID_GRAB_STOP, "Stop Grabbing", "process-stop", "stop"},
    {cmd::ID_GRAB_TRIGGER, "&Trigger", nullptr, "trigger"},
    {cmd::ID_SAVE_CURRENT_IMAGE, "Save current image", nullptr, "save-image"},
    {cmd::ID_IMG_PROCESS, "Image Process Chain", nullptr, "chain"},
    {cmd::ID_APP_OPTIONS, "Application Options", "preferences-system", "options"},
    {cmd::ID_ZOOM_IN, "Zoom in", "zoom-in", "zoom-in"},
    {cmd::ID_ZOOM_OUT, "Zoom out", "zoom-out", "zoom-out"},
    {cmd::ID_ZOOM_1_1, "Zoom 1:1", "zoom-original", "zoom-1-1"},
    {cmd::ID_ZOOM_HARD_SOFT, "Hard/Soft zoom", nullptr, "zoom-hard-soft"},
    {cmd::ID_DEBUG_DOC, "Debug doc", nullptr, nullptr},
    {cmd::ID_DEBUG_VIEW, "Debug view", nullptr, nullptr},
    {cmd::ID_APP_ABOUT, "&About KavrinDemo...", "help-about", "about"},
};

QIcon CommandIcon(const char* theme, const char* file) {
    const QIcon own =
        file ? QIcon(QStringLiteral(":/icons/%1.svg").arg(QLatin1String(file))) : QIcon();
    return theme ? QIcon::fromTheme(QLatin1String(theme), own) : own;
}

} // namespace

QAction* CMainFrame::AddAction(uint32_t id, const QString& text, const QString& icon) {
    auto* action = new QAction(text, this);
    action->setObjectName(QStringLiteral("Action%1").arg(id));
    action->setData(id);
    if (!icon.isEmpty())
        action->setIcon(QIcon(icon));
    connect(action, &QAction::triggered, this, [this, id] {
        (void)m_commands.Execute(id); // a disabled command does nothing
        UpdateCommandStates();
    });
    m_actions[id] = action;
    return action;
}

void CMainFrame::CreateActions() {
    for (const ActionText& a : ACTIONS) {
        QAction* action = AddAction(a.id, QString::fromLatin1(a.text));
        const QIcon icon = CommandIcon(a.theme, a.file);
        if (!icon.isNull())
            action->setIcon(icon);
    }
    const auto keys = [this](uint32_t id, QList<QKeySequence> sequences) {
        Action(id)->setShortcuts(sequences);
    };
    keys(cmd::ID_FILE_NEW, {QKeySequence(Qt::CTRL | Qt::Key_N)});
    keys(cmd::ID_FILE_OPEN, {QKeySequence(Qt::CTRL | Qt::Key_O)});
    keys(cmd::ID_FILE_SAVE, {QKeySequence(Qt::CTRL | Qt::Key_S)});
    keys(cmd::ID_FILE_PRINT, {QKeySequence(Qt::CTRL | Qt::Key_P)});
    keys(cmd::ID_APP_EXIT, QKeySequence::keyBindings(QKeySequence::Quit));
    keys(cmd::ID_EDIT_COPY,
         {QKeySequence(Qt::CTRL | Qt::Key_C), QKeySequence(Qt::CTRL | Qt::Key_Insert)});
    keys(cmd::ID_EDIT_CUT,
         {QKeySequence(Qt::CTRL | Qt::Key_X), QKeySequence(Qt::SHIFT | Qt::Key_Delete)});
    keys(cmd::ID_EDIT_PASTE,
         {QKeySequence(Qt::CTRL | Qt::Key_V), QKeySequence(Qt::SHIFT | Qt::Key_Insert)});
    keys(cmd::ID_EDIT_UNDO,
         {QKeySequence(Qt::CTRL | Qt::Key_Z), QKeySequence(Qt::ALT | Qt::Key_Backspace)});
    keys(cmd::ID_GRAB_STOP, {QKeySequence(Qt::Key_Escape)});
    keys(cmd::ID_GRAB_TRIGGER, {QKeySequence(Qt::Key_F9)});
    for (uint32_t id : {cmd::ID_ZOOM_HARD_SOFT, cmd::ID_DEBUG_DOC, cmd::ID_DEBUG_VIEW})
        Action(id)->setCheckable(true);
    AddFrameCommands();
}

void CMainFrame::AddFrameCommands() {
    m_commands.Add(cmd::ID_APP_EXIT, [this] { close(); });
    m_commands.Add(cmd::ID_APP_ABOUT, [] {
        if (CKavrinDemoApp* app = CKavrinDemoApp::Instance())
            app->OnAppAbout();
    });
    // F6 and Shift+F6 move the keyboard focus between the view and the panes.
    auto* next = new QAction(this);
    next->setShortcut(QKeySequence(Qt::Key_F6));
    connect(next, &QAction::triggered, this, [this] { focusNextChild(); });
    auto* previous = new QAction(this);
    previous->setShortcut(QKeySequence(Qt::SHIFT | Qt::Key_F6));
    connect(previous, &QAction::triggered, this, [this] { focusPreviousChild(); });
    addActions({next, previous});
}

void CMainFrame::CreateMenus() {
    menuBar()->setObjectName("MenuBar");
    QMenu* file = menuBar()->addMenu(QStringLiteral("&File"));
    file->setObjectName("FileMenu");
    file->addActions({Action(cmd::ID_FILE_NEW), Action(cmd::ID_FILE_OPEN),
                      Action(cmd::ID_FILE_SAVE), Action(cmd::ID_FILE_SAVE_AS)});
    file->addSeparator();
    file->addActions({Action(cmd::ID_FILE_PRINT), Action(cmd::ID_FILE_PRINT_PREVIEW),
                      Action(cmd::ID_FILE_PRINT_SETUP)});
    file->addSeparator();
    m_pRecentMenu = file->addMenu(QStringLiteral("Recent &Files"));
    m_pRecentMenu->setObjectName("RecentFilesMenu");
    file->addSeparator();
    file->addAction(Action(cmd::ID_APP_EXIT));
    RebuildRecentFiles();

    QMenu* edit = menuBar()->addMenu(QStringLiteral("&Edit"));
    edit->addActions({Action(cmd::ID_EDIT_UNDO)});
    edit->addSeparator();
    edit->addActions(
        {Action(cmd::ID_EDIT_CUT), Action(cmd::ID_EDIT_COPY), Action(cmd::ID_EDIT_PASTE)});

    m_pViewMenu = menuBar()->addMenu(QStringLiteral("&View"));
    m_pViewMenu->setObjectName("ViewMenu");
    // Filled once the bars and panes exist (FillViewMenu).
    m_pCameraMenu = menuBar()->addMenu(QStringLiteral("Camera"));
    m_pCameraMenu->setObjectName("CameraMenu");
    RebuildCameraMenu();

    QMenu* grab = menuBar()->addMenu(QStringLiteral("&Grab"));
    grab->addActions({Action(cmd::ID_GRAB_CONTINUOUS), Action(cmd::ID_GRAB_SINGLE),
                      Action(cmd::ID_GRAB_STOP), Action(cmd::ID_GRAB_TRIGGER)});
    QMenu* processing = menuBar()->addMenu(QStringLiteral("&Image processing"));
    processing->addActions({Action(cmd::ID_IMG_PROCESS), Action(cmd::ID_SAVE_CURRENT_IMAGE)});
    processing->addSeparator();
    processing->addAction(Action(cmd::ID_APP_OPTIONS));
    QMenu* help = menuBar()->addMenu(QStringLiteral("&Help"));
    help->addAction(Action(cmd::ID_APP_ABOUT));
}

void CMainFrame::RebuildCameraMenu() {
    m_pCameraMenu->clear();
    const size_t count = CameraCatalogueSize();
    if (count == 0) {
        m_pCameraMenu->addAction(QStringLiteral("- No cameras available -"))->setEnabled(false);
        return;
    }
    for (size_t i = 0; i < count; ++i) {
        const uint32_t id = cmd::ID_CAMERA_FIRST + uint32_t(i);
        QAction* action = AddAction(id, QString::fromUtf8(CameraCatalogueEntryAt(i)->name()));
        action->setCheckable(true);
        m_commands.Add(
            id, [this, id] { m_app.OnCameraType(id); },
            [this, id] {
                return CommandState{m_app.IsCameraTypeEnabled(), m_app.IsCameraTypeChecked(id)};
            });
        m_pCameraMenu->addAction(action);
    }
}

void CMainFrame::RebuildRecentFiles() {
    m_pRecentMenu->clear();
    const QStringList files = m_pSettings->ReadRecentFiles();
    for (int i = 0; i < files.size(); ++i) {
        const QString path = files[i];
        QAction* action = m_pRecentMenu->addAction(QStringLiteral("&%1 %2").arg(i + 1).arg(path));
        action->setObjectName(QStringLiteral("RecentFile%1").arg(i + 1));
        connect(action, &QAction::triggered, this, [this, path] {
            if (m_pDoc && (!m_pDoc->CanOpen() || !m_pDoc->OpenFile(path)))
                ShowStatusMessage(QStringLiteral("Could not open %1").arg(path));
        });
    }
    m_pRecentMenu->setEnabled(!files.isEmpty());
}

void CMainFrame::CreateToolBars() {
    struct Bar {
        const char* title;
        const char* name;
        std::vector<uint32_t> ids; // 0: separator
    };
    const Bar bars[4] = {
        {"Standard toolbar",
         "StandardToolBar",
         {cmd::ID_FILE_NEW, cmd::ID_FILE_OPEN, cmd::ID_FILE_SAVE, cmd::ID_SAVE_CURRENT_IMAGE, 0,
          cmd::ID_EDIT_CUT, cmd::ID_EDIT_COPY, cmd::ID_EDIT_PASTE, 0, cmd::ID_FILE_PRINT, 0,
          cmd::ID_APP_ABOUT}},
        {"Grab toolbar",
         "GrabToolBar",
         {cmd::ID_GRAB_CONTINUOUS, cmd::ID_GRAB_SINGLE, cmd::ID_GRAB_STOP, cmd::ID_GRAB_TRIGGER}},
        {"Application options toolbar",
         "ApplicationOptionsToolBar",
         {cmd::ID_APP_OPTIONS, cmd::ID_IMG_PROCESS}},
        {"Display options toolbar",
         "DisplayOptionsToolBar",
         {cmd::ID_ZOOM_IN, cmd::ID_ZOOM_OUT, cmd::ID_ZOOM_1_1, cmd::ID_ZOOM_HARD_SOFT}},
    };
    for (int i = 0; i < 4; ++i) {
        QToolBar* bar = addToolBar(QString::fromLatin1(bars[i].title));
        bar->setObjectName(QString::fromLatin1(bars[i].name));
        bar->setIconSize(QSize(20, 20));
        for (uint32_t id : bars[i].ids) {
            if (id == 0)
                bar->addSeparator();
            else
                bar->addAction(Action(id));
        }
        m_toolBars[i] = bar;
    }
}

void CMainFrame::FillViewMenu() {
    QMenu* view = m_pViewMenu;
    QMenu* bars = view->addMenu(QStringLiteral("&Toolbars"));
    for (QToolBar* bar : m_toolBars)
        bars->addAction(bar->toggleViewAction());
    QAction* status = AddAction(cmd::ID_VIEW_STATUS_BAR, QStringLiteral("&Status Bar"));
    status->setCheckable(true);
    status->setChecked(true);
    connect(status, &QAction::toggled, m_pStatusBar, &QWidget::setVisible);
    view->addAction(status);
    QMenu* panes = view->addMenu(QStringLiteral("&Panes"));
    panes->addActions({m_pSequenceBar->toggleViewAction(), m_pCamCntrlBar->toggleViewAction()});
    view->addSeparator();
    view->addActions({Action(cmd::ID_ZOOM_IN), Action(cmd::ID_ZOOM_OUT), Action(cmd::ID_ZOOM_1_1),
                      Action(cmd::ID_ZOOM_HARD_SOFT)});
    view->addSeparator();
    QMenu* looks = view->addMenu(QStringLiteral("&Application Look"));
    auto* group = new QActionGroup(this);
    for (const AppLookEntry& look : ApplicationLooks()) {
        QAction* action = AddAction(look.id, QString::fromLatin1(look.text));
        action->setCheckable(true);
        action->setChecked(look.id == m_uLook);
        group->addAction(action);
        looks->addAction(action);
        const uint32_t id = look.id;
        m_commands.Add(id, [this, id] { SetApplicationLook(id); });
    }
    view->addSeparator();
    view->addActions({Action(cmd::ID_DEBUG_DOC), Action(cmd::ID_DEBUG_VIEW)});
}
