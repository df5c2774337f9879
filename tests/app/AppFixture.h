// What the desktop program's tests share: a private home for every file the program touches,
// the program started and ended as main() does, and a watcher that answers message boxes and
// file dialogs from the event loop (a modal box runs its own loop; the watcher's timer fires
// inside it).
#pragma once

#include "acquisition/CSequenceBase.h"
#include "app/CKavrinDemoApp.h"
#include "app/CKavrinDemoDoc.h"
#include "app/CMainFrame.h"
#include "app/CommandIds.h"
#include "tests/support/ScopedEnv.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <functional>
#include <memory>
#include <string>

// KAVRIN_DATA_HOME, KAVRIN_REGISTRY_DIR and XDG_STATE_HOME inside one temporary folder.
class AppHome {
public:
    AppHome()
        : m_data("KAVRIN_DATA_HOME", Sub("data").c_str()),
          m_registry("KAVRIN_REGISTRY_DIR", Sub("registry").c_str()),
          m_state("XDG_STATE_HOME", Sub("state").c_str()) {}
    std::string Sub(const char* name) const { return m_dir.path().toStdString() + "/" + name; }
    QString Path() const { return m_dir.path(); }

private:
    QTemporaryDir m_dir;
    ScopedEnv m_data;
    ScopedEnv m_registry;
    ScopedEnv m_state;
};

// The application object started as main() starts it, without showing the window unless asked.
class AppRun {
public:
    explicit AppRun(bool show = false) : m_app(std::make_unique<CKavrinDemoApp>()) {
        m_started = m_app->InitInstance({}, show);
    }
    ~AppRun() { End(); }
    // Ends the program as File > Exit does, then destroys the application object (which
    // writes the settings file).
    void End() {
        if (m_app)
            m_app->ExitInstance();
        m_app.reset();
    }
    bool Started() const { return m_started; }
    CKavrinDemoApp& App() { return *m_app; }
    CMainFrame& Frame() { return *m_app->GetMainFrame(); }
    CKavrinDemoDoc& Doc() { return *Frame().GetActiveDocument(); }
    // Triggers the action of command `id` as a menu entry or toolbar button does.
    bool Trigger(uint32_t id) {
        Frame().UpdateCommandStates();
        QAction* action = Frame().Action(id);
        if (!action || !action->isEnabled())
            return false;
        action->trigger();
        return true;
    }
    bool Enabled(uint32_t id) {
        Frame().UpdateCommandStates();
        QAction* action = Frame().Action(id);
        return action && action->isEnabled();
    }

private:
    std::unique_ptr<CKavrinDemoApp> m_app;
    bool m_started = false;
};

// Answers the modal widgets that come up: message boxes with `answer` (recording title and
// text), file dialogs with the file `fileName` (or cancels them when it is empty).
class ModalWatcher {
public:
    ModalWatcher() {
        QObject::connect(&m_timer, &QTimer::timeout, [this] { Poll(); });
        m_timer.start(20);
    }
    QMessageBox::StandardButton answer = QMessageBox::Ok;
    QString fileName;
    bool verify = false;    // checks a save dialog's "Verify after saving" box
    bool processed = false; // a save dialog's choice: "Frames as displayed (processed)" or not
    QStringList titles;
    QStringList texts;
    int fileDialogs = 0;

private:
    void Poll() {
        QWidget* modal = QApplication::activeModalWidget();
        if (auto* box = qobject_cast<QMessageBox*>(modal)) {
            titles << box->windowTitle();
            texts << box->text();
            QAbstractButton* button = box->button(answer);
            if (!button)
                button = box->buttons().value(0);
            button->click();
        } else if (auto* dialog = qobject_cast<QFileDialog*>(modal)) {
            ++fileDialogs;
            if (fileName.isEmpty()) {
                dialog->reject();
                return;
            }
            // The name goes straight into the name field: selectFile() leaves the field alone
            // while it has the focus, and accept() checks the name against a folder view that
            // may still be loading. done() then ends the dialog with what the field holds.
            if (auto* check = dialog->findChild<QCheckBox*>("VerifyAfterSaving"); check && verify)
                check->setChecked(true);
            if (auto* frames = dialog->findChild<QComboBox*>("SavedFrames"))
                frames->setCurrentIndex(processed ? 1 : 0);
            dialog->selectFile(fileName);
            if (auto* edit = dialog->findChild<QLineEdit*>("fileNameEdit"))
                edit->setText(fileName);
            static_cast<QDialog*>(dialog)->done(QDialog::Accepted); // protected in QFileDialog
        }
    }
    QTimer m_timer;
};

// A new camera sequence of the selected type, 64 lines high, grabbed as a single sequence into
// `buffers` buffers. True when the grab ended with images.
inline bool GrabSmallSequence(AppRun& run, uint64_t buffers = 6) {
    run.App().SetImageHeight(64);
    run.App().SetBufferCount(buffers);
    if (!run.Doc().OnNewDocument())
        return false;
    emit run.Doc().updateViews(cmd::HINT_NEW_SEQUENCE, 0);
    if (!run.Trigger(cmd::ID_GRAB_SINGLE))
        return false;
    QElapsedTimer clock;
    clock.start();
    while (run.Doc().GetState() != CKavrinDemoDoc::IDLE && clock.elapsed() < 20000)
        QTest::qWait(20);
    return run.Doc().GetState() == CKavrinDemoDoc::IDLE &&
           run.Doc().GetSequence()->GetImageCount() > 0;
}
