// GCC 12's win32-threads runtime has no std::mutex and no
// std::condition_variable, yet GoogleTest's Windows build names them in the
// one class it starts threads with. Forced into GoogleTest and the Windows
// tests only; the program itself uses no threads.
#pragma once

#ifdef __cplusplus
#include <condition_variable>
#include <mutex>

#if !defined(_GLIBCXX_HAS_GTHREADS)
#include <windows.h>

namespace std {

class mutex {
 public:
  mutex() = default;
  mutex(const mutex&) = delete;
  mutex& operator=(const mutex&) = delete;
  void lock() { AcquireSRWLockExclusive(&lock_); }
  void unlock() { ReleaseSRWLockExclusive(&lock_); }
  PSRWLOCK native_handle() { return &lock_; }

 private:
  SRWLOCK lock_ = SRWLOCK_INIT;
};

class condition_variable {
 public:
  void notify_all() { WakeAllConditionVariable(&condition_); }
  template <class Predicate>
  void wait(unique_lock<mutex>& lock, Predicate ready) {
    while (!ready()) SleepConditionVariableSRW(&condition_, lock.mutex()->native_handle(), INFINITE, 0);
  }

 private:
  CONDITION_VARIABLE condition_ = CONDITION_VARIABLE_INIT;
};

}  // namespace std
#endif
#endif
