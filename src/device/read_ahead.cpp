#include "device/read_ahead.h"

#include <algorithm>

#include "platform/system_error.h"

namespace brinvale {

ReadAhead::ReadAhead(SectorReader reader, uint32_t bytesPerSector, uint32_t sectorsPerRequest,
                     size_t requestsAhead)
    : m_reader(std::move(reader)),
      m_bytesPerSector(bytesPerSector),
      m_requestSectors(std::max<uint32_t>(sectorsPerRequest, 1)) {
  // One more than the requests read ahead: the user holds one meanwhile.
  for (size_t i = 0; i < std::max<size_t>(requestsAhead, 1) + 1; ++i) {
    auto chunk = std::make_unique<Chunk>();
    chunk->bytes.resize(size_t(m_requestSectors) * m_bytesPerSector);
    m_free.push_back(std::move(chunk));
  }
  m_thread = std::thread([this] { RunCatching(); });
}

ReadAhead::~ReadAhead() {
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_stop = true;
  }
  m_changed.notify_all();
  m_thread.join();
}

void ReadAhead::Seek(uint64_t start, uint64_t end) {
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    ++m_generation;
    while (!m_ready.empty()) {
      m_free.push_back(std::move(m_ready.front()));
      m_ready.pop_front();
    }
    if (m_current) m_free.push_back(std::move(m_current));
    m_next = start;
    m_end = end;
    m_handedEnd = start;
  }
  m_changed.notify_all();
}

const ReadAhead::Chunk& ReadAhead::Next() {
  std::unique_lock<std::mutex> lock(m_mutex);
  if (m_current) {
    m_free.push_back(std::move(m_current));
    m_changed.notify_all();
  }
  m_changed.wait(lock, [this] { return !m_ready.empty() || m_broken != 0; });
  if (m_ready.empty()) {
    m_failed.start = m_handedEnd;
    m_failed.count =
        uint32_t(std::min<uint64_t>(m_requestSectors, m_end > m_handedEnd ? m_end - m_handedEnd : 1));
    m_failed.got = 0;
    m_failed.result = m_broken;
    m_handedEnd += m_failed.count;
    return m_failed;
  }
  m_current = std::move(m_ready.front());
  m_ready.pop_front();
  m_handedEnd = m_current->start + m_current->count;
  return *m_current;
}

void ReadAhead::RunCatching() noexcept {
  try {
    Run();
  } catch (...) {
    const int rc = platform::SystemErrorFromCurrentException();
    {
      std::lock_guard<std::mutex> lock(m_mutex);
      m_broken = rc;
    }
    m_changed.notify_all();
  }
}

void ReadAhead::Run() {
  std::unique_lock<std::mutex> lock(m_mutex);
  for (;;) {
    m_changed.wait(lock, [this] { return m_stop || (m_next < m_end && !m_free.empty()); });
    if (m_stop) return;
    std::unique_ptr<Chunk> chunk = std::move(m_free.back());
    m_free.pop_back();
    const uint64_t generation = m_generation;
    chunk->start = m_next;
    chunk->count = uint32_t(std::min<uint64_t>(m_requestSectors, m_end - m_next));
    m_next += chunk->count;
    lock.unlock();
    chunk->got = 0;
    chunk->result = ReadSectors(chunk->count, m_reader, chunk->bytes.data(), chunk->start,
                                m_bytesPerSector, chunk->got);
    lock.lock();
    if (generation == m_generation)
      m_ready.push_back(std::move(chunk));
    else
      m_free.push_back(std::move(chunk));
    m_changed.notify_all();
  }
}

}  // namespace brinvale
