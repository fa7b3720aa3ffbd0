#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <exception>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace brinvale {

// A fixed crew of threads that run the parts of one job side by side with
// the thread that hands the job out, which waits until every part is done.
// A crew of one has no threads: the caller runs every part itself.
// One caller thread; not copyable.
class WorkCrew {
 public:
  // `members` counts the caller; at least 1. Throws std::system_error
  // when a thread cannot be started.
  explicit WorkCrew(size_t members);
  ~WorkCrew();
  WorkCrew(const WorkCrew&) = delete;
  WorkCrew& operator=(const WorkCrew&) = delete;

  size_t Members() const { return m_threads.size() + 1; }

  // Runs `part`(0) ... `part`(parts - 1), each once, spread over the crew,
  // and returns when all are done. Parts are taken in order, and the
  // calling thread takes part 0. The first exception a part throws is
  // thrown again here, after the others have finished.
  void Run(size_t parts, const std::function<void(size_t)>& part);

  // The members a pass uses when asked for `wanted` (0: one per core, at
  // most `cap`).
  static size_t MembersFor(size_t wanted, size_t cap);

 private:
  void Serve();
  // Runs parts of the current job until none is left to take.
  void TakeParts(std::unique_lock<std::mutex>& lock);

  std::mutex m_mutex;
  std::condition_variable m_work;  // a job was handed out, or the crew stops
  std::condition_variable m_done;  // the job's last part finished
  const std::function<void(size_t)>* m_part = nullptr;
  size_t m_parts = 0;
  size_t m_next = 0;      // the next part to take
  size_t m_finished = 0;  // parts done
  uint64_t m_job = 0;     // counts jobs, so a member takes each one once
  std::exception_ptr m_error;
  bool m_stop = false;
  std::vector<std::thread> m_threads;  // last: started once the above is set
};

}  // namespace brinvale
