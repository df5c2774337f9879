// Hands a sequence's notifications (SequenceNotify.h) to one receiver thread: the desktop
// program's user-interface thread, the command-line tool's main thread.
//
//   NotificationQueue queue;                        // this thread receives
//   SequenceNotifier notifier(queue, [&](uint32_t code, int64_t value) { ... });
//   notifier.Attach(sequence);                      // before the sequence's thread starts
//   while (sequence.IsThreadRunning())
//       queue.Drain(std::chrono::milliseconds(50)); // the handler runs in here
//   notifier.Detach();
//
// Thread rules
// - The handler runs only on the receiver's thread.
// - A notification raised as synchronous returns to the sequence only once the handler has run
//   for it: on the receiver's thread the handler is called directly (ahead of notifications
//   still queued); from any other thread it is posted and the sending thread waits until the
//   receiver has run it, or until the notifier is detached, whichever comes first.
// - Other notifications are posted; the receiver runs them in the order they were raised on
//   any one thread (a sequence raises them on its worker thread).
// - Attach and Detach belong to one thread at a time, normally the receiver's. After Detach
//   returns, the handler does not run again for that attachment: notifications still queued
//   are dropped when the receiver gets to them, and a notification the sequence raises later
//   finds nothing and is dropped (the sequence's callback may still be called for a moment
//   after its removal: it carries an id, never a pointer, and an id that is gone is ignored).
// - Detach waits until no other thread is inside the hand-over. It never waits for the
//   receiver's thread when called on it: a sender blocked in a synchronous notification is
//   released (the handler will not run for it), so removal on the receiver's thread cannot
//   deadlock with a synchronous send that waits for that same thread. Called on another thread,
//   Detach also waits for a handler that is running on the receiver's thread; that handler must
//   not wait for the detaching thread. Detach from inside the handler is allowed.
// - The receiver's thread must not block on a sequence's worker (Stop joins it) while that
//   worker may raise a synchronous notification, unless it detaches first: the worker would
//   wait for the receiver and the receiver for the worker. (The sequences raise synchronous
//   notifications only from PrepareFrameBuffers, on the caller's own thread.)
// - The sequence must outlive its attachment, and one notifier at a time serves a sequence; the
//   receiver must outlive the notifier. Notifiers are not objects of static storage duration.
#pragma once

#include "platform/ThreadAnnotations.h"

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <thread>

class CSequenceBase;

// A thread that runs tasks handed to it. A desktop shell implements it with queued
// invocations on its user-interface thread (Post) and a check of the current thread
// (IsReceiverThread).
class NotificationReceiver {
public:
    virtual ~NotificationReceiver() = default;
    // True when the calling thread is the receiver's thread.
    virtual bool IsReceiverThread() const = 0;
    // Runs `task` on the receiver's thread later, after every task posted before it. Called on
    // any thread; must not wait for the receiver's thread.
    virtual void Post(std::function<void()> task) = 0;
};

// A receiver thread that runs its tasks when it drains its own queue (the command-line tool's
// main thread while it waits). The thread that constructs the queue is the receiver's thread.
class NotificationQueue final : public NotificationReceiver {
public:
    NotificationQueue();
    NotificationQueue(const NotificationQueue&) = delete;
    NotificationQueue& operator=(const NotificationQueue&) = delete;

    bool IsReceiverThread() const override;
    void Post(std::function<void()> task) override;
    // On the receiver's thread: waits until a task is queued or `timeout` has passed, then runs
    // the tasks queued at that moment in order (later ones wait for the next call). Returns how
    // many ran.
    size_t Drain(std::chrono::milliseconds timeout);

private:
    const std::thread::id m_receiverThread;
    platform::Mutex m_mutex;
    std::condition_variable_any m_cond;
    std::deque<std::function<void()>> m_tasks KAVRIN_GUARDED_BY(m_mutex);
};

// Installs itself as a sequence's notification callback and delivers each notification to
// `handler` on the receiver's thread, by the rules above.
class SequenceNotifier {
public:
    using Handler = std::function<void(uint32_t code, int64_t value)>;

    SequenceNotifier(NotificationReceiver& receiver, Handler handler);
    // Detaches.
    ~SequenceNotifier();
    SequenceNotifier(const SequenceNotifier&) = delete;
    SequenceNotifier& operator=(const SequenceNotifier&) = delete;

    // Installs the callback on `sequence`, detaching from the previous sequence first.
    void Attach(CSequenceBase& sequence);
    // Removes the callback and waits as the thread rules say; nothing when not attached.
    void Detach();

    // The state one attachment shares with the notifications in flight (SequenceNotifier.cpp).
    class Link;

private:
    static void OnNotify(uint64_t context, uint32_t code, int64_t value, bool synchronous);

    NotificationReceiver& m_receiver;
    const Handler m_handler;
    CSequenceBase* m_pSequence = nullptr;
    uint64_t m_ullLinkId = 0; // the sequence's notification context
    std::shared_ptr<Link> m_pLink;
};
