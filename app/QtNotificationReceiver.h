// The one door from engine threads to the user-interface thread: a NotificationReceiver whose
// tasks run as queued invocations on the thread of a QObject (the application object, which
// lives on the UI thread). Tasks still queued when that object is destroyed are dropped.
#pragma once

#include "acquisition/SequenceNotifier.h"

#include <QObject>
#include <QPointer>

class QtNotificationReceiver final : public NotificationReceiver {
public:
    explicit QtNotificationReceiver(QObject* context);

    // True on the context object's thread.
    bool IsReceiverThread() const override;
    // Any thread; never waits.
    void Post(std::function<void()> task) override;

private:
    QPointer<QObject> m_pContext;
};
