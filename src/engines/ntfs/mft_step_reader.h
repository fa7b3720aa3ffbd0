#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <span>
#include <thread>
#include <vector>

#include "device/sector_reader.h"
#include "engines/ntfs/mft_steps.h"

namespace brinvale {

// Reads the read steps of a planned MFT pass ahead of the pass, on a thread
// of its own, into a few batches that the pass then works on in place: the
// pass tests records while the next steps arrive. Shares the engine's
// reader, so it reads on a thread only where the medium takes reads side
// by side; elsewhere, and without a thread to be had, each step is read
// when the pass asks for it. Which bytes every step gets is the same
// either way. One user thread; not copyable.
class MftStepReader {
 public:
  struct Batch {
    std::vector<uint8_t> bytes;  // batchBytes long
    bool whole = true;           // every sector of the step arrived
  };

  // `steps` must outlive the reader. Throws std::bad_alloc when the
  // batches cannot be had.
  MftStepReader(SectorReader& reader, uint32_t bytesPerSector, std::span<const MftStep> steps,
                size_t batchBytes);
  ~MftStepReader();
  MftStepReader(const MftStepReader&) = delete;
  MftStepReader& operator=(const MftStepReader&) = delete;

  // The batch of the next read step (sparse steps are no read steps), with
  // the step's sectors after its carry; its first `carry` bytes are the
  // caller's to fill. Valid until the next call. Only to be called while
  // read steps are left.
  Batch& Next();

  // Whether steps are read on a thread of their own (tests).
  bool ReadsAhead() const { return m_thread.joinable(); }

 private:
  static constexpr size_t kBatches = 3;  // one worked on, two read ahead

  void Read(const MftStep& step, Batch& batch);
  void Run() noexcept;

  SectorReader& m_reader;
  const uint32_t m_bytesPerSector;
  std::vector<const MftStep*> m_reads;  // the read steps, in order
  std::vector<Batch> m_batches;         // read step j goes into m_batches[j % size]

  std::mutex m_mutex;
  std::condition_variable m_changed;
  size_t m_handed = 0;  // read steps handed to the user; the last one is held
  size_t m_ready = 0;   // read steps the thread has read
  bool m_stop = false;
  bool m_broken = false;  // the thread ended early: the user reads the rest
  std::thread m_thread;   // last: started once everything above is set
};

}  // namespace brinvale
