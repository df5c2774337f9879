// One sink's window as the exports see it: the pending lines and the wanted visibility, usable
// from any thread, and the widget, touched on the UI thread only. The state lives on the UI
// thread; steps meant for it run at once when called there and otherwise as queued calls of its
// slots by name, so that nothing of ours crosses threads inside Qt's event queue. Queued steps
// still waiting when the state goes are dropped with it.
#pragma once

#include "libs/pemdebug/window/CLogWindow.h"
#include "libs/pemdebug/window/CPendingLines.h"

#include <QObject>
#include <QPointer>
#include <QString>

#include <atomic>

namespace pemlogwindow {

class CLogWindowState : public QObject {
    Q_OBJECT

public:
    // Made on any thread; moves itself to the UI thread and builds the widget there.
    explicit CLogWindowState(const QString& sinkName);
    ~CLogWindowState() override;

    // Any thread.
    void Append(const char* text, size_t size); // never waits for the UI thread
    void Show(bool bOn);
    bool IsShown() const { return m_bShown; }
    // Drops waiting lines; the widget and the state go on the UI thread. Without an application
    // both are left as they are. The state must not be used afterwards.
    void Dispose();

private slots:
    // UI thread.
    void Build();
    void Flush();
    void ApplyShown();
    void Release();

private:
    // Runs the slot `name` on the UI thread: at once when there, else queued.
    void OnUiThread(const char* name);

    const QString m_name;
    CPendingLines m_pending;
    std::atomic<bool> m_bShown{false};
    std::atomic<bool> m_bClosed{false};
    QPointer<CLogWindow> m_window; // UI thread only
};

} // namespace pemlogwindow
