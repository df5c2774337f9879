// The Trigger command as the user reaches it: enabled only while a continuous grab runs, the
// grab ending by itself with the application's post-trigger share, and the sequence pane's
// marker at the trigger frame.
#include "AppFixture.h"

#include "acquisition/CCamera.h"
#include "app/CSequenceBar.h"

#include <QLabel>
#include <QMenuBar>
#include <QPushButton>
#include <QToolBar>
#include <QtTest>

namespace {

constexpr uint64_t BUFFERS = 20; // the share counts B - 2 = 18 frames

CCamera* Camera(AppRun& run) {
    return dynamic_cast<CCamera*>(run.Doc().GetSequence());
}

// A new camera, a continuous grab that has gone round the ring, then the Trigger command;
// waits until the grab has ended by itself. False when a step failed.
bool TriggeredGrab(AppRun& run, uint32_t percent) {
    run.App().SetImageHeight(64);
    run.App().SetBufferCount(BUFFERS);
    run.App().SetPostTriggerPercent(percent);
    if (!run.Doc().OnNewDocument())
        return false;
    emit run.Doc().updateViews(cmd::HINT_NEW_SEQUENCE, 0);
    if (run.Enabled(cmd::ID_GRAB_TRIGGER) || !run.Trigger(cmd::ID_GRAB_CONTINUOUS))
        return false;
    QTest::qWait(300); // at 200 fps the ring has gone round
    if (!run.Trigger(cmd::ID_GRAB_TRIGGER))
        return false;
    QElapsedTimer clock;
    clock.start();
    while (run.Doc().GetState() != CKavrinDemoDoc::IDLE && clock.elapsed() < 20000)
        QTest::qWait(10);
    return run.Doc().GetState() == CKavrinDemoDoc::IDLE;
}

} // namespace

class TriggerAppTest : public QObject {
    Q_OBJECT

private slots:
    void theCommandSitsInTheGrabMenuOnTheToolbarAndOnF9() {
        AppHome home;
        AppRun run;
        QVERIFY(run.Started());
        QAction* trigger = run.Frame().Action(cmd::ID_GRAB_TRIGGER);
        QVERIFY(trigger);
        QCOMPARE(trigger->shortcut(), QKeySequence(Qt::Key_F9));
        auto* bar = run.Frame().findChild<QToolBar*>(QStringLiteral("GrabToolBar"));
        QVERIFY(bar && bar->actions().contains(trigger));
        bool inGrabMenu = false;
        for (QAction* menu : run.Frame().menuBar()->actions())
            inGrabMenu |= menu->text() == QStringLiteral("&Grab") && menu->menu() &&
                          menu->menu()->actions().contains(trigger);
        QVERIFY(inGrabMenu);
        QVERIFY(!run.Enabled(cmd::ID_GRAB_TRIGGER));
    }

    void aTriggeredGrabEndsByItselfAndThePaneMarksTheTriggerFrame() {
        AppHome home;
        AppRun run(true);
        QVERIFY(run.Started());
        QVERIFY(TriggeredGrab(run, 50));
        QVERIFY(!run.Enabled(cmd::ID_GRAB_TRIGGER));
        CCamera* camera = Camera(run);
        QVERIFY(camera);
        const int64_t index = camera->GetTriggerIndex();
        // 9 frames after the trigger frame; a frame or two more may come before the stop.
        QVERIFY2(index >= 3 && index <= 9, qPrintable(QString::number(index)));
        CSequenceBar* pane = run.Frame().SequenceBar();
        QTRY_COMPARE(pane->GetMarker(), index);
        QVERIFY(pane->IsMarkerShown());
        auto* marker = pane->findChild<QLabel*>(QStringLiteral("TriggerMarker"));
        QVERIFY(marker && marker->isVisible());
        // "T" steps to the trigger frame.
        QCOMPARE(pane->GetPosition(), int64_t(camera->GetImageCount()) - 1);
        auto* toMarker = pane->findChild<QPushButton*>(QStringLiteral("TriggerButton"));
        QVERIFY(toMarker && toMarker->isEnabled());
        toMarker->click();
        QCOMPARE(pane->GetPosition(), index);

        // The next grab clears the marker; a single sequence cannot be triggered.
        QVERIFY(run.Trigger(cmd::ID_GRAB_SINGLE));
        QCOMPARE(pane->GetMarker(), int64_t(-1));
        QVERIFY(!marker->isVisible());
        QVERIFY(!run.Enabled(cmd::ID_GRAB_TRIGGER));
        QTRY_COMPARE_WITH_TIMEOUT(run.Doc().GetState(), uint32_t(CKavrinDemoDoc::IDLE), 20000);
        QCOMPARE(pane->GetMarker(), int64_t(-1));
    }

    void theApplicationsShareDecidesWhereTheTriggerFrameLands() {
        AppHome home;
        AppRun run;
        QVERIFY(run.Started());
        QVERIFY(TriggeredGrab(run, 0));
        const int64_t last = Camera(run)->GetTriggerIndex();
        QVERIFY2(last >= int64_t(BUFFERS) - 6 && last <= int64_t(BUFFERS) - 2,
                 qPrintable(QString::number(last)));
        QCOMPARE(run.Frame().SequenceBar()->GetMarker(), last);
        // At 100 % the trigger frame is the oldest kept; a frame that comes before the stop
        // takes its buffer.
        QVERIFY(TriggeredGrab(run, 100));
        const int64_t first = Camera(run)->GetTriggerIndex();
        QVERIFY2(first == 0 || first == -1, qPrintable(QString::number(first)));
        QCOMPARE(run.Frame().SequenceBar()->GetMarker(), first);
        QCOMPARE(run.Frame().SequenceBar()->IsMarkerShown(), first == 0);
    }
};

QTEST_MAIN(TriggerAppTest)
#include "TriggerAppTest.moc"
