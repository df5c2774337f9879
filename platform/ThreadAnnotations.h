// Clang thread-safety annotations (-Wthread-safety) and the annotated locks the engine uses.
// With another compiler the macros expand to nothing and the locks are the plain standard ones.
//
//   mutable platform::RecursiveMutex m_mutex;
//   uint64_t m_count KAVRIN_GUARDED_BY(m_mutex) = 0;
//   void Touch() { platform::RecursiveLock lock(m_mutex); ++m_count; }
#pragma once

#include <mutex>

#if defined(__clang__)
#define KAVRIN_TSA(x) __attribute__((x))
#else
#define KAVRIN_TSA(x)
#endif

#define KAVRIN_CAPABILITY(name) KAVRIN_TSA(capability(name))
#define KAVRIN_SCOPED_CAPABILITY KAVRIN_TSA(scoped_lockable)
#define KAVRIN_GUARDED_BY(m) KAVRIN_TSA(guarded_by(m))
#define KAVRIN_PT_GUARDED_BY(m) KAVRIN_TSA(pt_guarded_by(m))
#define KAVRIN_REQUIRES(...) KAVRIN_TSA(requires_capability(__VA_ARGS__))
#define KAVRIN_EXCLUDES(...) KAVRIN_TSA(locks_excluded(__VA_ARGS__))
#define KAVRIN_ACQUIRE(...) KAVRIN_TSA(acquire_capability(__VA_ARGS__))
#define KAVRIN_RELEASE(...) KAVRIN_TSA(release_capability(__VA_ARGS__))
#define KAVRIN_TRY_ACQUIRE(...) KAVRIN_TSA(try_acquire_capability(__VA_ARGS__))
#define KAVRIN_ACQUIRED_BEFORE(...) KAVRIN_TSA(acquired_before(__VA_ARGS__))
#define KAVRIN_ACQUIRED_AFTER(...) KAVRIN_TSA(acquired_after(__VA_ARGS__))
#define KAVRIN_RETURN_CAPABILITY(m) KAVRIN_TSA(lock_returned(m))
#define KAVRIN_NO_THREAD_SAFETY_ANALYSIS KAVRIN_TSA(no_thread_safety_analysis)

namespace platform {

// A std::recursive_mutex the analysis knows as a capability. Recursion is allowed at run
// time; the analysis treats the mutex as held once per scope.
class KAVRIN_CAPABILITY("mutex") RecursiveMutex {
public:
    void lock() KAVRIN_ACQUIRE() { m_mutex.lock(); }
    void unlock() KAVRIN_RELEASE() { m_mutex.unlock(); }
    bool try_lock() KAVRIN_TRY_ACQUIRE(true) { return m_mutex.try_lock(); }

private:
    std::recursive_mutex m_mutex;
};

// A std::mutex the analysis knows as a capability.
class KAVRIN_CAPABILITY("mutex") Mutex {
public:
    void lock() KAVRIN_ACQUIRE() { m_mutex.lock(); }
    void unlock() KAVRIN_RELEASE() { m_mutex.unlock(); }
    bool try_lock() KAVRIN_TRY_ACQUIRE(true) { return m_mutex.try_lock(); }
    // For std::condition_variable_any and the like.
    std::mutex& native() KAVRIN_RETURN_CAPABILITY(this) { return m_mutex; }

private:
    std::mutex m_mutex;
};

// Holds a RecursiveMutex or a Mutex for one scope.
template <typename M>
class KAVRIN_SCOPED_CAPABILITY ScopedLock {
public:
    explicit ScopedLock(M& mutex) KAVRIN_ACQUIRE(mutex) : m_mutex(mutex) { m_mutex.lock(); }
    ~ScopedLock() KAVRIN_RELEASE() { m_mutex.unlock(); }
    ScopedLock(const ScopedLock&) = delete;
    ScopedLock& operator=(const ScopedLock&) = delete;

private:
    M& m_mutex;
};

using RecursiveLock = ScopedLock<RecursiveMutex>;
using MutexLock = ScopedLock<Mutex>;

} // namespace platform
