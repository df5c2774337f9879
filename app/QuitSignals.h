// Turns SIGTERM and SIGINT into a Qt signal on the user-interface thread, so that a program
// told to end by the system ends the same clean way as File > Exit. The handlers only write one
// byte into a socket pair; everything else runs in the event loop.
#pragma once

#include <QObject>

class QSocketNotifier;

class QuitSignals final : public QObject {
    Q_OBJECT

public:
    // Installs the handlers (once per process).
    explicit QuitSignals(QObject* parent = nullptr);
    // Restores the default handlers.
    ~QuitSignals() override;

signals:
    void quitRequested(int signalNumber);

private:
    void OnReadable();

    QSocketNotifier* m_pNotifier = nullptr;
};
