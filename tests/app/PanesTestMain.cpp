// One program for the pane tests: one QApplication, each test class run in turn.
#include "PaneTests.h"

#include <QApplication>

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication app(argc, argv);
    int failures = RunSequenceBarTests(argc, argv);
    failures += RunCamCntrlBarTests(argc, argv);
    return failures == 0 ? 0 : 1;
}
