#include "acquisition/SequenceThread.h"

#include <system_error>
#include <utility>

SequenceThread::~SequenceThread() {
    Stop();
}

bool SequenceThread::Start(std::function<void()> body) {
    if (!body || IsRunning())
        return false;
    Stop(); // reaps a thread whose body has returned
    platform::MutexLock guard(m_lock);
    if (m_thread.joinable()) // another caller started one meanwhile
        return false;
    m_stopEvent.Reset();
    m_bEnded.store(false);
    try {
        // The default stack size: the 16 KiB of the original was a commit size, not a cap.
        m_thread = std::thread([this, body = std::move(body)] {
            body();
            m_bEnded.store(true);
        });
    } catch (const std::system_error&) {
        m_bEnded.store(true);
        return false;
    }
    return true;
}

void SequenceThread::Stop() {
    std::thread thread;
    {
        platform::MutexLock guard(m_lock);
        if (!m_thread.joinable())
            return;
        thread = std::move(m_thread);
    }
    m_stopEvent.Set();
    if (thread.get_id() == std::this_thread::get_id())
        thread.detach(); // asked from inside the thread itself: it ends when its body returns
    else
        thread.join();
}

bool SequenceThread::IsRunning() {
    platform::MutexLock guard(m_lock);
    return m_thread.joinable() && !m_bEnded.load();
}
