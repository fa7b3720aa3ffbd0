#include "common/work_crew.h"

#include <algorithm>
#include <utility>

namespace brinvale {

WorkCrew::WorkCrew(size_t members) {
  const size_t threads = std::max<size_t>(members, 1) - 1;
  m_threads.reserve(threads);
  try {
    for (size_t i = 0; i < threads; ++i) m_threads.emplace_back([this] { Serve(); });
  } catch (...) {
    {
      std::lock_guard<std::mutex> lock(m_mutex);
      m_stop = true;
    }
    m_work.notify_all();
    for (std::thread& t : m_threads) t.join();
    throw;
  }
}

WorkCrew::~WorkCrew() {
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_stop = true;
  }
  m_work.notify_all();
  for (std::thread& t : m_threads) t.join();
}

size_t WorkCrew::MembersFor(size_t wanted, size_t cap) {
  if (wanted == 0) wanted = std::thread::hardware_concurrency();
  return std::clamp<size_t>(wanted, 1, std::max<size_t>(cap, 1));
}

void WorkCrew::TakeParts(std::unique_lock<std::mutex>& lock) {
  while (m_next < m_parts) {
    const size_t index = m_next++;
    const std::function<void(size_t)>& part = *m_part;
    lock.unlock();
    std::exception_ptr error;
    try {
      part(index);
    } catch (...) {
      error = std::current_exception();
    }
    lock.lock();
    if (error && !m_error) m_error = error;
    if (++m_finished == m_parts) m_done.notify_all();
  }
}

void WorkCrew::Serve() {
  std::unique_lock<std::mutex> lock(m_mutex);
  uint64_t seen = 0;
  for (;;) {
    m_work.wait(lock, [&] { return m_stop || (m_job != seen && m_next < m_parts); });
    if (m_stop) return;
    seen = m_job;
    TakeParts(lock);
  }
}

void WorkCrew::Run(size_t parts, const std::function<void(size_t)>& part) {
  if (parts == 0) return;
  if (m_threads.empty()) {
    for (size_t i = 0; i < parts; ++i) part(i);
    return;
  }
  std::unique_lock<std::mutex> lock(m_mutex);
  m_part = &part;
  m_parts = parts;
  m_next = 0;
  m_finished = 0;
  m_error = nullptr;
  ++m_job;
  m_work.notify_all();
  TakeParts(lock);
  m_done.wait(lock, [&] { return m_finished == m_parts; });
  m_part = nullptr;
  m_parts = 0;
  m_next = 0;
  if (std::exception_ptr error = std::exchange(m_error, nullptr)) std::rethrow_exception(error);
}

}  // namespace brinvale
