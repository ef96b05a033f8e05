// A mutex and its scoped lock that clang's thread-safety analysis understands: a member marked
// QV_GUARDED_BY(mutex_) may only be touched while mutex_ is held, and a function marked
// QV_REQUIRES(mutex_) only called so; the clang build of the test command checks this
// (-Wthread-safety). Other compilers see plain std::mutex and no attributes. A MutexLock can be
// unlocked and locked again, so std::condition_variable_any waits on it; a wait's predicate is
// a lambda marked QV_REQUIRES, as the analysis does not look into lambdas on its own.
#pragma once

#include <mutex>

#if defined(__clang__)
#define QV_THREAD_ATTRIBUTE(x) __attribute__((x))
#else
#define QV_THREAD_ATTRIBUTE(x)
#endif

#define QV_CAPABILITY(x) QV_THREAD_ATTRIBUTE(capability(x))
#define QV_SCOPED_CAPABILITY QV_THREAD_ATTRIBUTE(scoped_lockable)
#define QV_GUARDED_BY(x) QV_THREAD_ATTRIBUTE(guarded_by(x))
#define QV_REQUIRES(...) QV_THREAD_ATTRIBUTE(requires_capability(__VA_ARGS__))
#define QV_EXCLUDES(...) QV_THREAD_ATTRIBUTE(locks_excluded(__VA_ARGS__))
#define QV_ACQUIRE(...) QV_THREAD_ATTRIBUTE(acquire_capability(__VA_ARGS__))
#define QV_RELEASE(...) QV_THREAD_ATTRIBUTE(release_capability(__VA_ARGS__))

namespace qvlink {

class QV_CAPABILITY("mutex") Mutex {
  public:
    void lock() QV_ACQUIRE() { mutex_.lock(); }
    void unlock() QV_RELEASE() { mutex_.unlock(); }

  private:
    std::mutex mutex_;
};

// Holds `mutex` for its scope; unlock and lock in between (a condition variable's wait does).
class QV_SCOPED_CAPABILITY MutexLock {
  public:
    explicit MutexLock(Mutex& mutex) QV_ACQUIRE(mutex) : mutex_(mutex) { mutex_.lock(); }
    ~MutexLock() QV_RELEASE() {
        if (held_) mutex_.unlock();
    }
    MutexLock(const MutexLock&) = delete;
    MutexLock& operator=(const MutexLock&) = delete;

    void lock() QV_ACQUIRE() {
        mutex_.lock();
        held_ = true;
    }
    void unlock() QV_RELEASE() {
        held_ = false;
        mutex_.unlock();
    }

  private:
    Mutex& mutex_;
    bool held_ = true;
};

}  // namespace qvlink
