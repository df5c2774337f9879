// The one worker thread of a sequence with its stop event. The owner starts a body, polls or
// waits on the stop event inside it, and stops (sets the event and joins) before anything the
// body uses goes away. A thread still held when this object dies is stopped and joined here as
// a last resort, so a forgotten stop never ends the process.
#pragma once

#include "platform/Event.h"
#include "platform/ThreadAnnotations.h"

#include <atomic>
#include <functional>
#include <thread>

class SequenceThread {
public:
    SequenceThread() = default;
    ~SequenceThread();
    SequenceThread(const SequenceThread&) = delete;
    SequenceThread& operator=(const SequenceThread&) = delete;

    // Any thread. Starts `body` on a new thread after resetting the stop event. False when a
    // body still runs, when another caller started one meanwhile, or when the system refuses a
    // thread; a thread whose body has returned is reaped first.
    [[nodiscard]] bool Start(std::function<void()> body);
    // Any thread. Sets the stop event and joins the thread; from inside the thread itself it
    // detaches instead (the thread ends when its body returns). Nothing without a thread.
    void Stop();
    // Any thread. True while a started body has not returned.
    [[nodiscard]] bool IsRunning();
    // The event bodies poll; set by Stop, reset by Start.
    const platform::Event& StopEvent() const { return m_stopEvent; }

private:
    platform::Event m_stopEvent;
    platform::Mutex m_lock;
    std::thread m_thread KAVRIN_GUARDED_BY(m_lock);
    std::atomic<bool> m_bEnded{true}; // the body has returned
};
