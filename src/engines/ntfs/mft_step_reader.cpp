#include "engines/ntfs/mft_step_reader.h"

#include <system_error>

namespace brinvale {

MftStepReader::MftStepReader(SectorReader& reader, uint32_t bytesPerSector,
                             std::span<const MftStep> steps, size_t batchBytes)
    : m_reader(reader), m_bytesPerSector(bytesPerSector) {
  for (const MftStep& step : steps)
    if (!step.sparse) m_reads.push_back(&step);
  const bool sideBySide = m_reader.source && m_reader.source->ReadsSideBySide();
  // One step or none is not worth a thread.
  const size_t batches = sideBySide && m_reads.size() > 1 ? kBatches : 1;
  m_batches.resize(batches);
  for (Batch& batch : m_batches) batch.bytes.assign(batchBytes, 0);
  if (batches == 1) return;
  try {
    m_thread = std::thread([this] { Run(); });
  } catch (const std::system_error&) {
    m_batches.resize(1);  // read as asked, on the user's thread
  }
}

MftStepReader::~MftStepReader() {
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_stop = true;
  }
  m_changed.notify_all();
  if (m_thread.joinable()) m_thread.join();
}

void MftStepReader::Read(const MftStep& step, Batch& batch) {
  batch.whole = ReadMftStep(m_reader, m_bytesPerSector, step, batch.bytes.data() + step.carry);
}

MftStepReader::Batch& MftStepReader::Next() {
  const size_t j = m_handed;
  Batch& batch = m_batches[j % m_batches.size()];
  if (!m_thread.joinable()) {
    ++m_handed;
    Read(*m_reads[j], batch);
    return batch;
  }
  std::unique_lock<std::mutex> lock(m_mutex);
  ++m_handed;  // gives back the batch held until now
  m_changed.notify_all();
  m_changed.wait(lock, [&] { return m_ready > j || m_broken; });
  if (m_ready <= j) {
    // The thread has stopped before this step; what it read stands.
    lock.unlock();
    Read(*m_reads[j], batch);
  }
  return batch;
}

void MftStepReader::Run() noexcept {
  try {
    const size_t ring = m_batches.size();
    for (size_t j = 0; j < m_reads.size(); ++j) {
      {
        std::unique_lock<std::mutex> lock(m_mutex);
        // Step j's batch is free when no step had it before, or once the
        // user has been handed step j - ring + 1 and so given back step
        // j - ring.
        m_changed.wait(lock, [&] { return m_stop || j < ring || j + 1 < m_handed + ring; });
        if (m_stop) return;
      }
      Read(*m_reads[j], m_batches[j % ring]);
      {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_ready = j + 1;
      }
      m_changed.notify_all();
    }
  } catch (...) {
    {
      std::lock_guard<std::mutex> lock(m_mutex);
      m_broken = true;
    }
    m_changed.notify_all();
  }
}

}  // namespace brinvale
