// The document as the user drives it: its state machine, enable rules and messages, the
// camera menu from the catalogue, and what the program keeps between runs.
#include "AppFixture.h"

#include "acquisition/CCamera.h"
#include "acquisition/CameraCatalogue.h"
#include "acquisition/SequenceNotify.h"
#include "app/CCamCntrlBar.h"
#include "app/CFrameworkSettings.h"
#include "app/CMainStatusBar.h"
#include "app/CSequenceBar.h"
#include "app/CommandIds.h"
#include "external/LumoFileModules.h"
#include "external/LumoModule.h"

#include <QDropEvent>
#include <QFile>
#include <QMenu>
#include <QMimeData>
#include <QPushButton>
#include <QUrl>
#include <QtTest>

namespace {

void WriteText(const QString& path, const QByteArray& text) {
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(text);
}

QString SettingsFile(CKavrinDemoApp& app) {
    return QString::fromStdString(app.GetSettingsFolder()) + "/KavrinDemo.ini";
}

// A small, fast recording: few lines, few buffers.
void SmallRecording(CKavrinDemoApp& app, uint64_t buffers = 8) {
    app.SetImageHeight(64);
    app.SetBufferCount(buffers);
}

} // namespace

class DocumentTest : public QObject {
    Q_OBJECT

private slots:
    void cameraTypeIsReadAtStartAndWrittenAtExit();
    void grabIsRefusedWithItsMessage();
    void failedSingleSequenceGrabSaysWhy();
    void singleSequenceEndsIdleAndModified();
    void modifiedSequenceIsDiscardedOnlyWhenTheUserAgrees();
    void cameraMenuFollowsTheCatalogue();
    void loadAndSaveOutcomesAreReported();
    void layoutAndRecentFilesAreKept();
    void droppedAndNamedFilesOpenAsFileSequences();
};

void DocumentTest::cameraTypeIsReadAtStartAndWrittenAtExit() {
    AppHome home;
    QString ini;
    {
        AppRun run;
        QVERIFY(run.Started());
        QCOMPARE(run.App().GetCameraType(), 0u);
        ini = SettingsFile(run.App());
    }
    WriteText(ini, "[COMMON]\nCameraType=11\n");
    {
        AppRun run;
        QCOMPARE(run.App().GetCameraType(), 11u);
        QCOMPARE(run.Frame().Action(cmd::ID_CAMERA_FIRST + 11)->isChecked(), true);
        QVERIFY(run.Trigger(cmd::ID_CAMERA_FIRST + 3));
        QCOMPARE(run.App().GetCameraType(), 3u);
    }
    QFile file(ini);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QVERIFY2(file.readAll().contains("CameraType=3"), "the camera type is written at exit");
    file.close();
    WriteText(ini, "[COMMON]\nCameraType=12\n");
    AppRun run;
    QCOMPARE(run.App().GetCameraType(), 0u); // beyond the catalogue
}

void DocumentTest::grabIsRefusedWithItsMessage() {
    AppHome home;
    AppRun run;
    ModalWatcher watcher;
    CKavrinDemoDoc& doc = run.Doc();
    doc.SetState(CKavrinDemoDoc::REPLAYING);
    QVERIFY(!run.Enabled(cmd::ID_GRAB_CONTINUOUS));
    QVERIFY(!run.Enabled(cmd::ID_GRAB_SINGLE));
    doc.OnGrab(true);
    doc.SetState(CKavrinDemoDoc::IDLE);
    QCOMPARE(watcher.texts, QStringList{"Document is locked"});
    QCOMPARE(watcher.titles, QStringList{"Error"});
    QVERIFY(run.Enabled(cmd::ID_GRAB_CONTINUOUS));
}

void DocumentTest::failedSingleSequenceGrabSaysWhy() {
    AppHome home;
    AppRun run;
    SmallRecording(run.App());
    ModalWatcher watcher;
    {
        ScopedEnv fail("FGSIM_FAIL", "Fg_AllocMemHead");
        QVERIFY(run.Trigger(cmd::ID_GRAB_SINGLE));
    }
    // The camera says what failed first, then the document what it means.
    QCOMPARE(watcher.texts.value(watcher.texts.size() - 1),
             QString("Preparing framebuffers failed"));
    watcher.texts.clear();
    {
        ScopedEnv fail("FGSIM_FAIL", "Fg_AcquireEx");
        QVERIFY(run.Trigger(cmd::ID_GRAB_SINGLE));
    }
    QCOMPARE(watcher.texts.value(watcher.texts.size() - 1), QString("Starting Snap failed"));
    QVERIFY(watcher.titles.size() >= 2 && watcher.titles.back() == "Error");
    QCOMPARE(run.Doc().GetState(), uint32_t(CKavrinDemoDoc::IDLE));
    QVERIFY(run.Enabled(cmd::ID_GRAB_SINGLE));
}

void DocumentTest::singleSequenceEndsIdleAndModified() {
    AppHome home;
    AppRun run;
    SmallRecording(run.App());
    CKavrinDemoDoc& doc = run.Doc();
    QVERIFY(!doc.IsModified());
    QVERIFY(!run.Enabled(cmd::ID_FILE_SAVE)); // nothing to save yet
    QVERIFY(run.Trigger(cmd::ID_GRAB_SINGLE));
    QCOMPARE(doc.GetState(), uint32_t(CKavrinDemoDoc::GRABBING));
    QVERIFY(!run.Enabled(cmd::ID_FILE_OPEN));
    QVERIFY(!run.Enabled(cmd::ID_CAMERA_FIRST + 1)); // no camera change while busy
    QTRY_COMPARE_WITH_TIMEOUT(doc.GetState(), uint32_t(CKavrinDemoDoc::IDLE), 20000);
    QVERIFY(doc.IsModified());
    // The ring of 8 was filled once; the frame order rebuilt from it offers 7 or 8 images.
    QVERIFY(doc.GetSequence()->GetImageCount() >= 7 && doc.GetSequence()->GetImageCount() <= 8);
    QVERIFY(run.Enabled(cmd::ID_FILE_SAVE));
    QVERIFY(run.Frame().windowTitle().contains(doc.GetTitle()));
    QVERIFY(run.Frame().isWindowModified());
}

void DocumentTest::modifiedSequenceIsDiscardedOnlyWhenTheUserAgrees() {
    AppHome home;
    AppRun run;
    ModalWatcher watcher;
    CKavrinDemoDoc& doc = run.Doc();
    CSequenceBase* first = doc.GetSequence();
    doc.SetModifiedFlag(true);
    watcher.answer = QMessageBox::No;
    QVERIFY(run.Trigger(cmd::ID_FILE_NEW));
    QCOMPARE(doc.GetSequence(), first);
    QVERIFY(run.Trigger(cmd::ID_CAMERA_FIRST + 4)); // declined: old type, old sequence
    QCOMPARE(run.App().GetCameraType(), 0u);
    QCOMPARE(doc.GetSequence(), first);
    QCOMPARE(watcher.texts.size(), 2);
    QCOMPARE(watcher.texts[0],
             QString("The sequence has been modified. Changes will be lost.\nDo you want to "
                     "continue?"));
    QCOMPARE(watcher.titles[0], QString("Question"));
    watcher.answer = QMessageBox::Yes;
    QVERIFY(run.Trigger(cmd::ID_CAMERA_FIRST + 4));
    QCOMPARE(run.App().GetCameraType(), 4u);
    QVERIFY(doc.GetSequence() != first);
    QVERIFY(!doc.IsModified());
}

void DocumentTest::cameraMenuFollowsTheCatalogue() {
    AppHome home;
    AppRun run;
    for (size_t i = 0; i < CameraCatalogueSize(); ++i) {
        QAction* action = run.Frame().Action(cmd::ID_CAMERA_FIRST + uint32_t(i));
        QVERIFY(action);
        QCOMPARE(action->text(), QString::fromUtf8(CameraCatalogueEntryAt(i)->name()));
    }
    QVERIFY(!run.Frame().Action(cmd::ID_CAMERA_FIRST + uint32_t(CameraCatalogueSize())));
    // A dual-channel camera fills the camera control pane with its eight lines.
    QVERIFY(run.Trigger(cmd::ID_CAMERA_FIRST + 4));
    auto* camera = dynamic_cast<CCamera*>(run.Doc().GetSequence());
    QVERIFY(camera);
    QCOMPARE(camera->GetCCCount(), 8u);
    QCOMPARE(run.Frame().CamCntrlBar()->Button(7)->isHidden(), false);
    QCOMPARE(run.Frame().CamCntrlBar()->Button(7)->text(),
             QString::fromStdString(camera->GetCCName(7)));
    const uint32_t before = camera->GetCCState();
    run.Frame().CamCntrlBar()->Button(1)->click();
    QCOMPARE(camera->GetCCState(), before ^ 2u);
}

void DocumentTest::loadAndSaveOutcomesAreReported() {
    AppHome home;
    AppRun run;
    SmallRecording(run.App(), 4);
    ModalWatcher watcher;
    CKavrinDemoDoc& doc = run.Doc();
    QVERIFY(doc.OpenFile(home.Path() + "/missing.tif"));
    QCOMPARE(doc.GetState(), uint32_t(CKavrinDemoDoc::LOADING));
    QCOMPARE(doc.GetTitle(), QString("File Sequence"));
    QTRY_COMPARE_WITH_TIMEOUT(doc.GetState(), uint32_t(CKavrinDemoDoc::IDLE), 10000);
    QCOMPARE(
        watcher.texts,
        QStringList{"An error occured during loading. The sequence may be loaded incompletely"});

    // A recording saved whole is no longer modified; the file loads back.
    QVERIFY(doc.OnNewDocument());
    QVERIFY(run.Trigger(cmd::ID_GRAB_SINGLE));
    QTRY_COMPARE_WITH_TIMEOUT(doc.GetState(), uint32_t(CKavrinDemoDoc::IDLE), 20000);
    QVERIFY(doc.IsModified());
    watcher.texts.clear();
    watcher.fileName = home.Path() + "/saved.tif";
    watcher.verify = true; // and read back against its records: a good save passes
    QVERIFY(run.Trigger(cmd::ID_FILE_SAVE));
    QTRY_COMPARE_WITH_TIMEOUT(doc.GetState(), uint32_t(CKavrinDemoDoc::IDLE), 20000);
    QCOMPARE(watcher.fileDialogs, 1);
    QCOMPARE(watcher.texts, QStringList{});
    uint32_t verify = 0;
    QCOMPARE(doc.GetSequence()->GetFileModule()->GetParam(LUMO_PARAM_VERIFY, LumoArg(&verify), 0),
             0u);
    QCOMPARE(verify, 1u);
    QVERIFY(!doc.IsModified());
    QVERIFY(!run.Frame().StatusBar()->IsProgressOn());
    QVERIFY(QFile::exists(watcher.fileName));

    // Aborted and failed saves and loads say so, and leave the recording modified.
    doc.SetModifiedFlag(true);
    const struct {
        uint32_t state, code;
        int64_t result;
        const char* text;
    } outcomes[] = {
        {CKavrinDemoDoc::SAVING, SEQ_NOTIFY_SAVE_END, int64_t(int32_t(SEQ_RESULT_ABORTED)),
         "Saving was aborted by user. The result may be saved incompletely."},
        {CKavrinDemoDoc::SAVING, SEQ_NOTIFY_SAVE_END, int64_t(int32_t(SEQ_RESULT_COPY_FAILED)),
         "An error occured during saving. The result may not be properly saved."},
        // The sequence's reason follows (empty here: this sequence did not verify a save).
        {CKavrinDemoDoc::SAVING, SEQ_NOTIFY_SAVE_END, int64_t(int32_t(SEQ_RESULT_VERIFY_FAILED)),
         "Verification after saving failed: "},
        {CKavrinDemoDoc::LOADING, SEQ_NOTIFY_ENDED, int64_t(int32_t(SEQ_RESULT_ABORTED)),
         "Loading was aborted by user. The sequence may be loaded incompletely."},
    };
    for (const auto& outcome : outcomes) {
        watcher.texts.clear();
        doc.SetState(outcome.state);
        doc.OnSequenceNotify(outcome.code, outcome.result);
        QCOMPARE(doc.GetState(), uint32_t(CKavrinDemoDoc::IDLE));
        QCOMPARE(watcher.texts, QStringList{QString::fromUtf8(outcome.text)});
        QVERIFY(doc.IsModified());
    }
}

void DocumentTest::layoutAndRecentFilesAreKept() {
    AppHome home;
    std::string registryPath;
    QByteArray state;
    {
        AppRun run;
        registryPath = run.App().GetRegistryPath();
        for (int i = 1; i <= 5; ++i)
            run.Frame().AddRecentFile(home.Path() + QString("/f%1.tif").arg(i));
        run.Frame().SequenceBar()->hide();
        state = run.Frame().saveState();
    }
    CFrameworkSettings settings(registryPath);
    QCOMPARE(settings.ReadBinary("State"), state);
    const QStringList recent = settings.ReadRecentFiles();
    QCOMPARE(recent.size(), 4);
    QCOMPARE(recent.first(), home.Path() + "/f5.tif");
    QCOMPARE(recent.last(), home.Path() + "/f2.tif");
    AppRun run;
    QVERIFY(run.Frame().SequenceBar()->isHidden()); // the layout came back
    QVERIFY(run.Frame().findChild<QMenu*>("RecentFilesMenu")->isEnabled());
}

void DocumentTest::droppedAndNamedFilesOpenAsFileSequences() {
    AppHome home;
    const QString image = home.Path() + "/small.pgm";
    QByteArray pgm("P5\n4 3\n255\n");
    pgm.append(QByteArray(12, char(0x40)));
    WriteText(image, pgm);
    {
        AppRun run;
        const auto mime = std::make_unique<QMimeData>(); // the event does not own it
        mime->setUrls({QUrl::fromLocalFile(image)});
        QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, mime.get(), Qt::LeftButton,
                              Qt::NoModifier);
        QApplication::sendEvent(&run.Frame(), &enter);
        QVERIFY(enter.isAccepted());
        QDropEvent drop(QPointF(10, 10), Qt::CopyAction, mime.get(), Qt::LeftButton,
                        Qt::NoModifier);
        QApplication::sendEvent(&run.Frame(), &drop);
        QTRY_COMPARE_WITH_TIMEOUT(run.Doc().GetSequence()->GetSequenceType(), 1u, 10000);
        QTRY_COMPARE_WITH_TIMEOUT(run.Doc().GetState(), uint32_t(CKavrinDemoDoc::IDLE), 10000);
        QCOMPARE(run.Doc().GetSequence()->GetImageCount(), 1u);
    }
    // The command line: kavrindemo FILE.
    CKavrinDemoApp app;
    QVERIFY(app.InitInstance({image}, false));
    CKavrinDemoDoc& doc = *app.GetMainFrame()->GetActiveDocument();
    QTRY_COMPARE_WITH_TIMEOUT(doc.GetState(), uint32_t(CKavrinDemoDoc::IDLE), 10000);
    QCOMPARE(doc.GetSequence()->GetSequenceType(), 1u);
    QCOMPARE(doc.GetSequence()->GetImageCount(), 1u);
    QCOMPARE(CFrameworkSettings(app.GetRegistryPath()).ReadRecentFiles().value(0), image);
}

QTEST_MAIN(DocumentTest)
#include "DocumentTest.moc"
