#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "device/sector_reader.h"

namespace brinvale {

// Reads a run of sectors ahead of its user on a thread of its own, in
// requests of a fixed number of sectors, so that waiting for the medium and
// working on what arrived overlap. The user takes the requests in order
// with Next; Seek moves the run (forward after a skip, or to another
// range), dropping what was read ahead. Owns its reader, which nothing else
// may use. One user thread; not copyable.
class ReadAhead {
 public:
  struct Chunk {
    uint64_t start = 0;  // first sector
    uint32_t count = 0;  // sectors asked for
    uint32_t got = 0;    // whole sectors that arrived
    int result = 0;      // ReadSectors' result
    std::vector<uint8_t> bytes;
  };

  // Starts the reading thread; throws std::system_error when it cannot.
  ReadAhead(SectorReader reader, uint32_t bytesPerSector, uint32_t sectorsPerRequest,
            size_t requestsAhead);
  ~ReadAhead();
  ReadAhead(const ReadAhead&) = delete;
  ReadAhead& operator=(const ReadAhead&) = delete;

  // From now on reads [start, end), the last request cut at `end`.
  void Seek(uint64_t start, uint64_t end);
  // The next request of the run, waiting for it; valid until the next call
  // of Next or Seek. Only to be called while the run has sectors left.
  // Should the reading thread fail (it catches everything), the requests
  // still come, in order, each with nothing read and the failure's code.
  const Chunk& Next();

 private:
  void Run();
  // The thread's body: Run, and whatever it throws turned into m_broken.
  void RunCatching() noexcept;

  SectorReader m_reader;
  const uint32_t m_bytesPerSector;
  const uint32_t m_requestSectors;

  std::mutex m_mutex;
  std::condition_variable m_changed;
  std::vector<std::unique_ptr<Chunk>> m_free;
  std::deque<std::unique_ptr<Chunk>> m_ready;
  std::unique_ptr<Chunk> m_current;  // the one the user holds
  uint64_t m_next = 0;               // the next sector the thread reads
  uint64_t m_end = 0;
  uint64_t m_generation = 0;  // a Seek makes reads already under way stale
  uint64_t m_handedEnd = 0;   // the end of the last request handed out
  bool m_stop = false;
  int m_broken = 0;  // the code of what ended the thread early; 0 while it runs
  Chunk m_failed;    // the request handed out after that
  std::thread m_thread;  // last: started once everything above is set
};

}  // namespace brinvale
