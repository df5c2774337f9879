// The program as a process: SIGTERM and SIGINT end it the clean way File > Exit does (settings
// written, exit status 0), and it opens the file named on its command line.
#include <QDirIterator>
#include <QFile>
#include <QProcess>
#include <QtTest>

#include <csignal>

class ProgramExitTest : public QObject {
    Q_OBJECT

private slots:
    void signalEndsTheProgramCleanly_data();
    void signalEndsTheProgramCleanly();
};

void ProgramExitTest::signalEndsTheProgramCleanly_data() {
    QTest::addColumn<int>("signalNumber");
    QTest::newRow("SIGTERM") << int(SIGTERM);
    QTest::newRow("SIGINT") << int(SIGINT);
}

void ProgramExitTest::signalEndsTheProgramCleanly() {
    QFETCH(int, signalNumber);
    QTemporaryDir home;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", "offscreen");
    env.insert("KAVRIN_DATA_HOME", home.path() + "/data");
    env.insert("KAVRIN_REGISTRY_DIR", home.path() + "/registry");
    env.insert("XDG_STATE_HOME", home.path() + "/state");
    QProcess program;
    program.setProcessEnvironment(env);
    program.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    program.start(KAVRINDEMO, {});
    QVERIFY(program.waitForStarted(10000));
    // Settled once the frame has written nothing yet but its registry store exists.
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(home.path() + "/registry/HKEY_CURRENT_USER.db"), 20000);
    QTest::qWait(500);
    ::kill(pid_t(program.processId()), signalNumber);
    QVERIFY(program.waitForFinished(20000));
    QCOMPARE(program.exitStatus(), QProcess::NormalExit);
    QCOMPARE(program.exitCode(), 0);
    // <data>/<company>/KavrinDemo V<version>/KavrinDemo.ini
    QDirIterator found(home.path() + "/data", {"KavrinDemo.ini"}, QDir::Files,
                       QDirIterator::Subdirectories);
    QVERIFY(found.hasNext());
    const QString ini = found.next();
    QVERIFY2(ini.contains("/KavrinDemo V"), qPrintable(ini));
    QFile file(ini);
    QVERIFY2(file.open(QIODevice::ReadOnly), qPrintable(ini));
    QVERIFY(file.readAll().contains("CameraType=0"));
}

QTEST_MAIN(ProgramExitTest)
#include "ProgramExitTest.moc"
