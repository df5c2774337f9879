#include "acquisition/SequenceNotifier.h"

#include "acquisition/CSequenceBase.h"

#include <atomic>
#include <unordered_map>
#include <utility>

// One attachment: whether it still stands, the threads inside the hand-over and the handler
// calls in progress.
class SequenceNotifier::Link : public std::enable_shared_from_this<Link> {
public:
    Link(NotificationReceiver& receiver, Handler handler)
        : m_receiver(receiver), m_handler(std::move(handler)) {}

    // On the thread that raised the notification.
    void Deliver(uint32_t code, int64_t value, bool synchronous);
    // Ends the attachment and waits as the thread rules say.
    void Close();

private:
    // A synchronous notification posted from another thread; set once the receiver ran it.
    struct SyncCall {
        std::atomic<bool> done{false};
    };

    // On the receiver's thread: the handler, unless the attachment has ended.
    void Run(uint32_t code, int64_t value);
    void Finish(SyncCall& call);

    NotificationReceiver& m_receiver;
    const Handler m_handler;
    platform::Mutex m_mutex;
    std::condition_variable_any m_cond;
    bool m_bAttached KAVRIN_GUARDED_BY(m_mutex) = true;
    uint32_t m_uHandingOver KAVRIN_GUARDED_BY(m_mutex) = 0; // threads between check and Post
    uint32_t m_uRunning KAVRIN_GUARDED_BY(m_mutex) = 0;     // handler calls in progress
};

namespace {

// The attachments by id. The sequence's context is an id, so a callback that a sequence calls
// just after its removal finds nothing instead of a freed object.
class LinkRegistry {
public:
    static LinkRegistry& Get() {
        static LinkRegistry registry;
        return registry;
    }

    uint64_t Add(std::shared_ptr<SequenceNotifier::Link> link) {
        platform::MutexLock lock(m_mutex);
        const uint64_t id = m_ullNextId++;
        m_links.emplace(id, std::move(link));
        return id;
    }

    std::shared_ptr<SequenceNotifier::Link> Find(uint64_t id) {
        platform::MutexLock lock(m_mutex);
        const auto it = m_links.find(id);
        return it == m_links.end() ? nullptr : it->second;
    }

    void Remove(uint64_t id) {
        std::shared_ptr<SequenceNotifier::Link> link; // released outside the lock
        platform::MutexLock lock(m_mutex);
        if (const auto it = m_links.find(id); it != m_links.end()) {
            link = std::move(it->second);
            m_links.erase(it);
        }
    }

private:
    platform::Mutex m_mutex;
    std::unordered_map<uint64_t, std::shared_ptr<SequenceNotifier::Link>>
        m_links KAVRIN_GUARDED_BY(m_mutex);
    uint64_t m_ullNextId KAVRIN_GUARDED_BY(m_mutex) = 1; // 0 is never an id
};

} // namespace

void SequenceNotifier::Link::Deliver(uint32_t code, int64_t value, bool synchronous) {
    if (synchronous && m_receiver.IsReceiverThread()) {
        Run(code, value);
        return;
    }
    {
        platform::MutexLock lock(m_mutex);
        if (!m_bAttached)
            return;
        ++m_uHandingOver;
    }
    std::shared_ptr<Link> self = shared_from_this();
    if (!synchronous) {
        m_receiver.Post([self, code, value] { self->Run(code, value); });
    } else {
        const auto call = std::make_shared<SyncCall>();
        m_receiver.Post([self, call, code, value] {
            self->Run(code, value);
            self->Finish(*call);
        });
        platform::MutexLock lock(m_mutex);
        // Detach releases the wait: the receiver may be the thread that detaches.
        while (!call->done.load() && m_bAttached)
            m_cond.wait(m_mutex);
    }
    platform::MutexLock lock(m_mutex);
    --m_uHandingOver;
    m_cond.notify_all();
}

void SequenceNotifier::Link::Run(uint32_t code, int64_t value) {
    {
        platform::MutexLock lock(m_mutex);
        if (!m_bAttached)
            return;
        ++m_uRunning;
    }
    m_handler(code, value);
    platform::MutexLock lock(m_mutex);
    --m_uRunning;
    m_cond.notify_all();
}

void SequenceNotifier::Link::Finish(SyncCall& call) {
    platform::MutexLock lock(m_mutex);
    call.done.store(true);
    m_cond.notify_all();
}

void SequenceNotifier::Link::Close() {
    // On the receiver's thread no other handler call can be running (handlers run only there),
    // and one that is running is this thread's caller.
    const bool onReceiverThread = m_receiver.IsReceiverThread();
    platform::MutexLock lock(m_mutex);
    m_bAttached = false;
    m_cond.notify_all();
    while (m_uHandingOver > 0 || (!onReceiverThread && m_uRunning > 0))
        m_cond.wait(m_mutex);
}

NotificationQueue::NotificationQueue() : m_receiverThread(std::this_thread::get_id()) {}

bool NotificationQueue::IsReceiverThread() const {
    return std::this_thread::get_id() == m_receiverThread;
}

void NotificationQueue::Post(std::function<void()> task) {
    platform::MutexLock lock(m_mutex);
    m_tasks.push_back(std::move(task));
    m_cond.notify_all();
}

size_t NotificationQueue::Drain(std::chrono::milliseconds timeout) {
    std::deque<std::function<void()>> batch;
    {
        platform::MutexLock lock(m_mutex);
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        while (m_tasks.empty() && std::chrono::steady_clock::now() < deadline)
            m_cond.wait_until(m_mutex, deadline);
        batch.swap(m_tasks);
    }
    for (std::function<void()>& task : batch)
        task();
    return batch.size();
}

SequenceNotifier::SequenceNotifier(NotificationReceiver& receiver, Handler handler)
    : m_receiver(receiver), m_handler(std::move(handler)) {}

SequenceNotifier::~SequenceNotifier() {
    Detach();
}

void SequenceNotifier::Attach(CSequenceBase& sequence) {
    Detach();
    m_pLink = std::make_shared<Link>(m_receiver, m_handler);
    m_ullLinkId = LinkRegistry::Get().Add(m_pLink);
    m_pSequence = &sequence;
    sequence.SetNotifyCallback(&SequenceNotifier::OnNotify, m_ullLinkId);
}

void SequenceNotifier::Detach() {
    if (!m_pSequence)
        return;
    m_pSequence->SetNotifyCallback(nullptr, 0);
    LinkRegistry::Get().Remove(m_ullLinkId);
    m_pLink->Close();
    m_pLink.reset();
    m_pSequence = nullptr;
    m_ullLinkId = 0;
}

void SequenceNotifier::OnNotify(uint64_t context, uint32_t code, int64_t value, bool synchronous) {
    if (const std::shared_ptr<Link> link = LinkRegistry::Get().Find(context))
        link->Deliver(code, value, synchronous);
}
