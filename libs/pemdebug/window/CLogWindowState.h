// One sink's window as the exports see it: the pending lines and the wanted visibility, usable
// from any thread, and the widget, touched on the UI thread only. Steps meant for the UI thread
// run at once when called there and are queued to the application object otherwise; a queued
// step keeps the state alive and is dropped with the application.
#pragma once

#include "libs/pemdebug/window/CLogWindow.h"
#include "libs/pemdebug/window/CPendingLines.h"

#include <QPointer>
#include <QString>

#include <atomic>
#include <memory>

namespace pemlogwindow {

class CLogWindowState : public std::enable_shared_from_this<CLogWindowState> {
public:
    explicit CLogWindowState(QString sinkName);
    CLogWindowState(const CLogWindowState&) = delete;
    CLogWindowState& operator=(const CLogWindowState&) = delete;

    // Any thread.
    void Start();                               // builds the widget (on the UI thread)
    void Append(const char* text, size_t size); // never waits for the UI thread
    void Show(bool bOn);
    bool IsShown() const { return m_bShown; }
    void Close(); // drops waiting lines and deletes the widget (on the UI thread)

private:
    using Step = void (CLogWindowState::*)();
    void OnUiThread(Step step);
    void QueueOnUiThread(Step step);

    // UI thread.
    void Build();
    void Flush();
    void ApplyShown();
    void DeleteWindow();

    const QString m_name;
    CPendingLines m_pending;
    std::atomic<bool> m_bShown{false};
    std::atomic<bool> m_bClosed{false};
    QPointer<CLogWindow> m_window; // UI thread only
};

} // namespace pemlogwindow
