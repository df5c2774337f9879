#include "libs/pemdebug/window/CLogWindowState.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QThread>

#include <utility>

namespace pemlogwindow {

CLogWindowState::CLogWindowState(QString sinkName) : m_name(std::move(sinkName)) {}

void CLogWindowState::Start() {
    OnUiThread(&CLogWindowState::Build);
}

void CLogWindowState::Append(const char* text, size_t size) {
    if (m_pending.Add(text, size))
        QueueOnUiThread(&CLogWindowState::Flush); // even on the UI thread: batches coalesce
}

void CLogWindowState::Show(bool bOn) {
    m_bShown = bOn;
    OnUiThread(&CLogWindowState::ApplyShown);
}

void CLogWindowState::Close() {
    m_bClosed = true;
    m_pending.Close();
    OnUiThread(&CLogWindowState::DeleteWindow);
}

void CLogWindowState::OnUiThread(Step step) {
    QCoreApplication* app = QCoreApplication::instance();
    if (!app)
        return; // the application is gone: the widget stays as it is
    if (QThread::currentThread() == app->thread())
        (this->*step)();
    else
        QueueOnUiThread(step);
}

void CLogWindowState::QueueOnUiThread(Step step) {
    QCoreApplication* app = QCoreApplication::instance();
    if (!app)
        return;
    QMetaObject::invokeMethod(
        app, [self = shared_from_this(), step] { ((*self).*step)(); }, Qt::QueuedConnection);
}

void CLogWindowState::Build() {
    if (m_bClosed || m_window)
        return;
    std::weak_ptr<CLogWindowState> weak = weak_from_this();
    m_window = new CLogWindow(m_name, [weak] {
        if (auto self = weak.lock())
            self->m_bShown = false;
    });
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

void CLogWindowState::DeleteWindow() {
    delete m_window.data(); // a top-level widget without parent: owned here
}

} // namespace pemlogwindow
