// What the window tests share: waiting on the event loop and finding a sink's window.
#pragma once

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QPlainTextEdit>
#include <QTimer>
#include <QWidget>

#include <functional>

// Runs the event loop until `done` holds or `ms` milliseconds passed; returns `done()`. The loop
// sleeps while nothing happens: spinning here would take a core from the threads under test.
inline bool WaitFor(const std::function<bool()>& done, int ms = 20000) {
    QElapsedTimer timer;
    timer.start();
    while (!done() && timer.elapsed() < ms) {
        QEventLoop loop;
        QTimer::singleShot(2, &loop, &QEventLoop::quit);
        loop.exec();
    }
    return done();
}

// The top-level window titled `title`, or null.
inline QWidget* FindWindow(const QString& title) {
    for (QWidget* widget : QApplication::topLevelWidgets())
        if (widget->windowTitle() == title)
            return widget;
    return nullptr;
}

inline QPlainTextEdit* LogText(QWidget* window) {
    return window ? window->findChild<QPlainTextEdit*>(QStringLiteral("logText")) : nullptr;
}
