// kavrindemo: the desktop program. `kavrindemo [FILE]` opens FILE as a file sequence.
#include "app/CKavrinDemoApp.h"
#include "app/CMainFrame.h"
#include "app/QuitSignals.h"

#include <QApplication>
#include <QIcon>

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    application.setWindowIcon(QIcon(QStringLiteral(":/icons/kavrindemo.svg")));
    // The desktop entry the window belongs to (its installed name without ".desktop").
    QGuiApplication::setDesktopFileName(QStringLiteral("com.hadrelloptics.KavrinDemo"));
    CKavrinDemoApp app;
    // File > Exit, closing the window, SIGTERM and SIGINT all end here: whatever runs is
    // stopped, the settings are written, and the exit status is 0. The handlers are in place
    // before start-up, so a signal that comes while the program starts ends it the same way once
    // the event loop runs, instead of killing it half way.
    QuitSignals quitSignals;
    QObject::connect(&quitSignals, &QuitSignals::quitRequested, &application, [&app] {
        if (CMainFrame* frame = app.GetMainFrame())
            frame->close();
        QApplication::quit();
    });
    if (!app.InitInstance(application.arguments().mid(1)))
        return 1;
    const int status = QApplication::exec();
    app.ExitInstance();
    return status;
}
