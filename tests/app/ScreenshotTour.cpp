// Takes the screenshots in docs/screenshots/: the main window with a greyscale and a colour
// (Bayer) recording from the simulated grabber, the options dialog, the About box, the look-up
// table's and histogram's dialogs, a triggered grab with the trigger marker, and the save dialog
// with a video type chosen. Run it in a real X
// server (scripts/ screenshots.sh runs it under xvfb-run); every file it touches lives in a
// temporary folder.
//
//   app_screenshot_tour OUTPUT_FOLDER
#include "app/CApplicationAboutDlg.h"
#include "app/CKavrinDemoApp.h"
#include "app/CKavrinDemoDoc.h"
#include "app/CKavrinDemoView.h"
#include "app/CMainFrame.h"
#include "app/CSequenceBar.h"
#include "app/CommandIds.h"
#include "external/LumoModule.h"
#include "external/LumoModuleIds.h"
#include "platform/ProgramFolder.h"
#include "processing/CImgProcessChain.h"

#include <QAction>
#include <QApplication>
#include <QCursor>
#include <QDialog>
#include <QDir>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPixmap>
#include <QScreen>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>
#include <cstdlib>

namespace {

void Wait(int ms) {
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < ms)
        QApplication::processEvents(QEventLoop::AllEvents, 10);
}

bool Record(CKavrinDemoApp& app, uint32_t cameraType) {
    CMainFrame& frame = *app.GetMainFrame();
    CKavrinDemoDoc& doc = *frame.GetActiveDocument();
    doc.SetModifiedFlag(false); // the previous recording goes without asking
    app.OnCameraType(cmd::ID_CAMERA_FIRST + cameraType);
    doc.OnGrab(false);
    QElapsedTimer clock;
    clock.start();
    while (doc.GetState() != CKavrinDemoDoc::IDLE && clock.elapsed() < 30000)
        Wait(50);
    return doc.GetState() == CKavrinDemoDoc::IDLE && doc.GetSequence()->GetImageCount() > 0;
}

bool Shoot(CKavrinDemoApp& app, const QString& file) {
    CMainFrame& frame = *app.GetMainFrame();
    CKavrinDemoView& view = *frame.GetActiveView();
    frame.SequenceBar()->SetPosition(12);
    (void)view.OnSequencePaneNotify(CSequenceBar::NOTIFY_POSITION, 12);
    view.SetDisplayZoom(-3, -3);
    Wait(1500);
    // The pixel readout of a point inside the image, as the mouse shows it.
    const QPoint inside(420, 260);
    QCursor::setPos(view.viewport()->mapToGlobal(inside));
    QMouseEvent move(QEvent::MouseMove, QPointF(inside),
                     view.viewport()->mapToGlobal(QPointF(inside)), Qt::NoButton, Qt::NoButton,
                     Qt::NoModifier);
    QApplication::sendEvent(view.viewport(), &move);
    Wait(300);
    return file.isEmpty() || frame.grab().save(file);
}

// Runs command `id`, which opens a modal dialog, and saves a picture of that dialog.
bool ShootDialog(CKavrinDemoApp& app, uint32_t id, const QString& file) {
    bool saved = false;
    QTimer::singleShot(1200, [&] {
        if (QWidget* dialog = QApplication::activeModalWidget()) {
            saved = dialog->grab().save(file);
            dialog->close();
        }
    });
    CMainFrame& frame = *app.GetMainFrame();
    frame.UpdateCommandStates();
    QAction* action = frame.Action(id);
    if (!action || !action->isEnabled())
        return false;
    action->trigger();
    return saved;
}

// The save dialog of File > Save with the MP4 type chosen (its video controls enabled) and a
// name typed; cancelled after the picture.
bool ShootSaveDialog(CKavrinDemoApp& app, const QString& folder, const QString& file) {
    bool saved = false;
    QTimer::singleShot(1200, [&] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        if (!dialog)
            return;
        const QString mp4 = QStringLiteral("MP4 video, H.264 (*.mp4)");
        dialog->setDirectory(folder);
        dialog->selectNameFilter(mp4);
        emit dialog->filterSelected(mp4); // as the user's choice in the list sends it
        if (auto* edit = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit")))
            edit->setText(QStringLiteral("run.mp4"));
        Wait(400);
        saved = dialog->grab().save(file);
        dialog->reject();
    });
    CMainFrame& frame = *app.GetMainFrame();
    frame.UpdateCommandStates();
    QAction* action = frame.Action(cmd::ID_FILE_SAVE);
    if (!action || !action->isEnabled())
        return false;
    action->trigger();
    return saved;
}

// The About box as the program shows it: filled for build/<preset>/bin/kavrindemo.
bool ShootAbout(CKavrinDemoApp& app, const QString& file) {
    CApplicationAboutDlg dialog(app.GetMainFrame());
    const std::string tests = platform::ExecutableFolder(); // build/<preset>/tests/app
    const std::string build = tests.substr(0, tests.rfind("/tests/app"));
    app.FillAboutBox(dialog, build + "/bin/kavrindemo");
    dialog.SetCaption(QStringLiteral("About KavrinDemo"));
    dialog.SetTitle(QStringLiteral("KavrinDemo"));
    bool saved = false;
    QTimer::singleShot(800, [&] {
        saved = dialog.grab().save(file);
        dialog.accept();
    });
    dialog.exec();
    return saved;
}

// Opens the look-up table's and the histogram's dialogs beside the window and takes the screen.
bool ShootDialogs(CKavrinDemoApp& app, const QString& file) {
    CMainFrame& frame = *app.GetMainFrame();
    CKavrinDemoView& view = *frame.GetActiveView();
    CImgProcessChain* chain = view.Chain();
    if (!chain)
        return false;
    frame.move(0, 0);
    frame.resize(1000, 800);
    uint64_t count = 0;
    {
        platform::RecursiveLock lock(chain->ChainLock());
        count = chain->GetDialogCount();
    }
    int opened = 0;
    for (uint64_t k = 0; k < count; ++k) {
        CLumoModule* module = chain->GetDialogModule(k);
        const uint32_t id = module ? module->GetObjectId() : 0;
        if (id == LUMO_ID_LOOK_UP_TABLE || id == LUMO_ID_HISTOGRAM)
            opened += chain->ShowDialog(&view, k, true) != 0 ? 1 : 0;
    }
    Wait(500);
    int y = 0;
    for (QWidget* window : QApplication::topLevelWidgets())
        if (window != &frame && window->isVisible() && qobject_cast<QDialog*>(window)) {
            window->move(1005, y);
            window->resize(590, 480);
            y += 510;
        }
    Shoot(app, QString()); // the same position and readout as the other pictures
    Wait(1500);
    return opened == 2 && QGuiApplication::primaryScreen()->grabWindow(0).save(file);
}

// A continuous grab of camera type 0 triggered once the ring has gone round, which then ends
// by itself; the pane at the newest frame, the trigger frame's marker on the slider.
bool ShootTrigger(CKavrinDemoApp& app, const QString& file) {
    CMainFrame& frame = *app.GetMainFrame();
    CKavrinDemoDoc& doc = *frame.GetActiveDocument();
    doc.SetModifiedFlag(false);
    app.OnCameraType(cmd::ID_CAMERA_FIRST);
    app.SetPostTriggerPercent(30);
    doc.OnGrab(true);
    Wait(1000);
    doc.OnTrigger();
    QElapsedTimer clock;
    clock.start();
    while (doc.GetState() != CKavrinDemoDoc::IDLE && clock.elapsed() < 30000)
        Wait(50);
    CSequenceBar& pane = *frame.SequenceBar();
    if (doc.GetState() != CKavrinDemoDoc::IDLE || !pane.IsMarkerShown())
        return false;
    Wait(1500);
    return frame.grab().save(file);
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: app_screenshot_tour OUTPUT_FOLDER\n");
        return 2;
    }
    QTemporaryDir home;
    setenv("KAVRIN_DATA_HOME", (home.path() + "/data").toUtf8().constData(), 1);
    setenv("KAVRIN_REGISTRY_DIR", (home.path() + "/registry").toUtf8().constData(), 1);
    setenv("XDG_STATE_HOME", (home.path() + "/state").toUtf8().constData(), 1);
    setenv("FGSIM_DROP", "list:7", 1); // one lost frame, so the counter shows something
    QApplication application(argc, argv);
    const QString out = QString::fromLocal8Bit(argv[1]);
    CKavrinDemoApp app;
    if (!app.InitInstance({}, true))
        return 1;
    app.GetMainFrame()->resize(1280, 800);
    app.SetBufferCount(40);
    bool ok = Record(app, 0) && Shoot(app, out + "/greyscale.png");
    ok = ok && Record(app, 1) && Shoot(app, out + "/colour.png");
    ok = ok && ShootDialog(app, cmd::ID_APP_OPTIONS, out + "/options.png");
    ok = ok && ShootAbout(app, out + "/about.png");
    ok = ok && ShootDialogs(app, out + "/lut-histogram.png");
    ok = ok && ShootTrigger(app, out + "/trigger.png");
    const QString recordings = home.path() + "/recordings"; // an empty folder to save into
    ok = ok && QDir().mkpath(recordings) &&
         ShootSaveDialog(app, recordings, out + "/save-dialog.png");
    app.ExitInstance();
    if (!ok)
        std::fprintf(stderr, "app_screenshot_tour: a recording or a screenshot failed\n");
    return ok ? 0 : 1;
}
