// The top-level window: menu bar, four toolbars, the status bar, the two docked panes
// ("Sequence Control" above the view, "Camera Control" beside it), the camera menu built from
// the catalogue, the application looks, and the document and view it shows. It holds no
// acquisition or processing logic: commands go through its router to the document, the view
// and the application, and the panes' messages go to the document.
//
// Thread: the user-interface thread only.
#pragma once

#include "app/CommandRouter.h"

#include <QMainWindow>

#include <cstdint>
#include <map>
#include <memory>

class CCamCntrlBar;
class CKavrinDemoApp;
class CKavrinDemoDoc;
class CKavrinDemoView;
class CMainStatusBar;
class CSequenceBar;
class CFrameworkSettings;
class QAction;
class QMenu;
class QToolBar;

class CMainFrame final : public QMainWindow {
    Q_OBJECT

public:
    explicit CMainFrame(CKavrinDemoApp& app);
    ~CMainFrame() override;

    // Builds menus, toolbars, status bar and panes, restores the stored layout, then creates
    // the document and the view. False when any step fails.
    [[nodiscard]] bool Create();

    CKavrinDemoDoc* GetActiveDocument() const { return m_pDoc.get(); }
    CKavrinDemoView* GetActiveView() const { return m_pView; }
    CMainStatusBar* StatusBar() const { return m_pStatusBar; }
    CSequenceBar* SequenceBar() const { return m_pSequenceBar; }
    CCamCntrlBar* CamCntrlBar() const { return m_pCamCntrlBar; }
    CommandRouter& Commands() { return m_commands; }
    // The action of a command id; null when the frame has none.
    QAction* Action(uint32_t id) const;
    QToolBar* ToolBar(int index) const;

    // Brings every action's enabled and checked state up to date with the handlers.
    void UpdateCommandStates();
    // A short text in the message pane.
    void ShowStatusMessage(const QString& text, int timeoutMs = 4000);
    // The window title from the document's name and modified flag.
    void UpdateTitle();
    // Puts `path` on top of the recent-file list.
    void AddRecentFile(const QString& path);

    // The application look in use (205 ... 219).
    uint32_t ApplicationLook() const { return m_uLook; }
    void SetApplicationLook(uint32_t id);

    // Ends whatever runs (grab, save, load) and writes the layout; closing then does not ask.
    void PrepareQuit();

protected:
    void closeEvent(QCloseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void CreateActions();
    void CreateMenus();
    void CreateToolBars();
    void CreatePanes();
    void FillViewMenu();
    void RebuildCameraMenu();
    void RebuildRecentFiles();
    QAction* AddAction(uint32_t id, const QString& text, const QString& icon = {});
    void AddFrameCommands();
    void SaveLayout();
    void RestoreLayout();

    CKavrinDemoApp& m_app;
    CommandRouter m_commands;
    std::unique_ptr<CFrameworkSettings> m_pSettings;
    std::map<uint32_t, QAction*> m_actions;
    QMenu* m_pCameraMenu = nullptr;
    QMenu* m_pRecentMenu = nullptr;
    QMenu* m_pViewMenu = nullptr;
    QToolBar* m_toolBars[4] = {};
    CMainStatusBar* m_pStatusBar = nullptr;
    CSequenceBar* m_pSequenceBar = nullptr;
    CCamCntrlBar* m_pCamCntrlBar = nullptr;
    std::unique_ptr<CKavrinDemoDoc> m_pDoc;
    CKavrinDemoView* m_pView = nullptr; // the central widget, owned by the window
    uint32_t m_uLook = 210;
    bool m_bQuitting = false;
};
