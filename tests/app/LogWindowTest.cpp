// The "Debug view" and "Debug doc" commands with the sinks' output windows: the command shows the
// sink's window, its check mark follows the window also when the user closes it, and the view's
// window comes back at the next start when it was open at the end.
#include "AppFixture.h"

#include "app/CommandIds.h"

#include <QPlainTextEdit>
#include <QPointer>
#include <QtTest>

namespace {

QWidget* FindWindow(const QString& title) {
    for (QWidget* widget : QApplication::topLevelWidgets())
        if (widget->windowTitle() == title)
            return widget;
    return nullptr;
}

bool Checked(AppRun& run, uint32_t id) {
    run.Frame().UpdateCommandStates();
    QAction* action = run.Frame().Action(id);
    return action && action->isChecked();
}

} // namespace

class LogWindowTest : public QObject {
    Q_OBJECT

private slots:
    void debugCommandsShowAndHideTheSinksWindows();
    void viewWindowComesBackAtTheNextStart();
};

void LogWindowTest::debugCommandsShowAndHideTheSinksWindows() {
    AppHome home;
    AppRun run;
    QVERIFY(run.Started());
    QVERIFY(!Checked(run, cmd::ID_DEBUG_VIEW));
    QVERIFY(run.Trigger(cmd::ID_DEBUG_VIEW));
    QPointer<QWidget> view = FindWindow("View debug - Log");
    QVERIFY(view);
    QVERIFY(view->isVisible());
    QVERIFY(Checked(run, cmd::ID_DEBUG_VIEW));
    QVERIFY(view->findChild<QPlainTextEdit*>("logText"));

    view->close(); // as the user does
    QVERIFY(!Checked(run, cmd::ID_DEBUG_VIEW));
    QVERIFY(run.Trigger(cmd::ID_DEBUG_VIEW));
    QVERIFY(view->isVisible());
    QVERIFY(run.Trigger(cmd::ID_DEBUG_VIEW));
    QVERIFY(!view->isVisible());
    QVERIFY(!Checked(run, cmd::ID_DEBUG_VIEW));

    QVERIFY(!Checked(run, cmd::ID_DEBUG_DOC));
    QVERIFY(run.Trigger(cmd::ID_DEBUG_DOC));
    QPointer<QWidget> doc = FindWindow("Doc debug - Log");
    QVERIFY(doc && doc->isVisible());
    QVERIFY(Checked(run, cmd::ID_DEBUG_DOC));
    doc->close();
    QVERIFY(!Checked(run, cmd::ID_DEBUG_DOC));

    run.End();
    QVERIFY(view.isNull()); // released with their sinks
    QVERIFY(doc.isNull());
}

void LogWindowTest::viewWindowComesBackAtTheNextStart() {
    AppHome home;
    {
        AppRun run;
        QVERIFY(run.Trigger(cmd::ID_DEBUG_VIEW));
    }
    {
        AppRun run;
        QWidget* view = FindWindow("View debug - Log");
        QVERIFY(view && view->isVisible());
        QVERIFY(Checked(run, cmd::ID_DEBUG_VIEW));
        view->close(); // closed by the user: stays closed next time
    }
    AppRun run;
    QVERIFY(!Checked(run, cmd::ID_DEBUG_VIEW));
    QWidget* view = FindWindow("View debug - Log");
    QVERIFY(!view || !view->isVisible());
}

QTEST_MAIN(LogWindowTest)
#include "LogWindowTest.moc"
