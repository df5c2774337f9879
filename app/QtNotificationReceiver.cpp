#include "app/QtNotificationReceiver.h"

#include <QThread>

QtNotificationReceiver::QtNotificationReceiver(QObject* context) : m_pContext(context) {}

bool QtNotificationReceiver::IsReceiverThread() const {
    return m_pContext && QThread::currentThread() == m_pContext->thread();
}

void QtNotificationReceiver::Post(std::function<void()> task) {
    if (QObject* context = m_pContext.data())
        QMetaObject::invokeMethod(context, std::move(task), Qt::QueuedConnection);
}
