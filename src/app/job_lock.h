#pragma once

#include <mutex>

namespace brinvale {

// The lock that a progress window shares with its job's worker thread.
// Every progress callback reads the cancel request and updates the window
// under it, and the window's thread holds it while it asks the cancel
// question, so the job pauses while the question is open.
//
// The window owns its JobLock (a member) from its initialisation until it is
// destroyed; the worker only borrows it. It meets the standard Lockable
// requirements, so use it through std::lock_guard or std::unique_lock.
// Not copyable or movable: the worker holds a reference to it.
class JobLock {
 public:
  JobLock() = default;
  JobLock(const JobLock&) = delete;
  JobLock& operator=(const JobLock&) = delete;

  void lock() { m_mutex.lock(); }
  bool try_lock() { return m_mutex.try_lock(); }
  void unlock() { m_mutex.unlock(); }

 private:
  std::mutex m_mutex;
};

}  // namespace brinvale
