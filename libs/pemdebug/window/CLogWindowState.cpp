#include "libs/pemdebug/window/CLogWindowState.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QThread>

namespace pemlogwindow {

CLogWindowState::CLogWindowState(const QString& sinkName) : m_name(sinkName) {
    if (QCoreApplication* app = QCoreApplication::instance())
        moveToThread(app->thread());
    OnUiThread("Build");
}

CLogWindowState::~CLogWindowState() = default;

void CLogWindowState::Append(const char* text, size_t size) {
    // Queued even on the UI thread, so that additions coalesce into one flush.
    if (m_pending.Add(text, size) && QCoreApplication::instance())
        QMetaObject::invokeMethod(this, "Flush", Qt::QueuedConnection);
}

void CLogWindowState::Show(bool bOn) {
    m_bShown = bOn;
    OnUiThread("ApplyShown");
}

void CLogWindowState::Dispose() {
    m_bClosed = true;
    m_pending.Close();
    OnUiThread("Release");
}

void CLogWindowState::OnUiThread(const char* name) {
    QCoreApplication* app = QCoreApplication::instance();
    if (!app)
        return; // the application is gone: nothing may touch widgets any more
    const bool bHere = QThread::currentThread() == app->thread();
    QMetaObject::invokeMethod(this, name, bHere ? Qt::DirectConnection : Qt::QueuedConnection);
}

void CLogWindowState::Build() {
    if (m_bClosed || m_window)
        return;
    // The window is deleted by Release before the state goes.
    m_window = new CLogWindow(m_name, [this] { m_bShown = false; });
    ApplyShown();
    Flush(); // lines added before the widget existed
}

void CLogWindowState::Flush() {
    if (!m_window)
        return; // Build takes them
    m_window->AppendBatch(m_pending.Take());
}

void CLogWindowState::ApplyShown() {
    if (!m_window || m_bClosed)
        return;
    const bool bOn = m_bShown;
    if (bOn == m_window->isVisible())
        return;
    m_window->setVisible(bOn);
    if (bOn)
        m_window->raise();
}

void CLogWindowState::Release() {
    delete m_window.data(); // a top-level widget without parent: owned here
    deleteLater();          // after the steps already queued, which find the state closed
}

} // namespace pemlogwindow
