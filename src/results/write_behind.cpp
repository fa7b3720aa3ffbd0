#include "results/write_behind.h"

#include <algorithm>
#include <span>
#include <system_error>

#include "common/error_codes.h"
#include "common/sha256.h"
#include "platform/file.h"
#include "platform/path_compare.h"
#include "platform/system_error.h"

namespace brinvale {
namespace {

thread_local WriteBehind* t_current = nullptr;

}  // namespace

WriteBehind::WriteBehind(size_t writers) {
  writers = std::max<size_t>(writers, 1);
  try {
    for (size_t i = 0; i < writers; ++i) m_threads.emplace_back([this] { Serve(); });
  } catch (const std::system_error&) {
    // Fewer writers than asked still work; none means no write-behind.
  }
}

WriteBehind::~WriteBehind() {
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_stop = true;
  }
  m_work.notify_all();
  for (std::thread& thread : m_threads) thread.join();
}

size_t WriteBehind::WritersForThisMachine() {
  const size_t cores = std::max<size_t>(std::thread::hardware_concurrency(), 1);
  // Creating files is mostly the kernel's work: two writers gain even on
  // two cores, where the recovery's own thread mostly waits on them.
  return std::clamp<size_t>(cores, 2, 4);
}

void WriteBehind::Claim(const std::filesystem::path& target) {
  m_claims.insert(platform::PathKeyText(target));
}

bool WriteBehind::IsClaimed(const std::filesystem::path& target) const {
  return !m_claims.empty() && m_claims.count(platform::PathKeyText(target)) != 0;
}

void WriteBehind::Unclaim(const std::filesystem::path& target) {
  m_claims.erase(platform::PathKeyText(target));
}

void WriteBehind::Submit(const std::filesystem::path& target, std::vector<uint8_t> bytes,
                         RecordTimes times) {
  std::unique_lock<std::mutex> lock(m_mutex);
  const size_t size = bytes.size();
  // A file larger than the whole budget still goes once nothing else waits.
  m_ended.wait(lock, [&] {
    return m_pendingFiles == 0 || (m_pendingFiles < kMostPendingFiles &&
                                   m_pendingBytes + size <= kMostPendingBytes);
  });
  Job& job = m_jobs.emplace_back();
  job.target = target;
  job.bytes = std::move(bytes);
  job.times = times;
  m_pendingBytes += size;
  ++m_pendingFiles;
  lock.unlock();
  m_work.notify_one();
}

void WriteBehind::AddEnded(const std::filesystem::path& target, int error) {
  std::lock_guard<std::mutex> lock(m_mutex);
  Job& job = m_jobs.emplace_back();
  job.started = job.done = true;
  job.ended.target = target;
  job.ended.error = error;
}

void WriteBehind::SetTimesAtEnd(const std::filesystem::path& path, RecordTimes times) {
  m_folderTimes.emplace_back(path, times);
}

void WriteBehind::ApplyFolderTimes() {
  for (const auto& [path, t] : m_folderTimes)
    (void)platform::SetFileTimes(path, t.created, t.accessed, t.written);
  m_folderTimes.clear();
}

std::vector<EndedWrite> WriteBehind::TakeEnded(bool wait) {
  std::vector<EndedWrite> ended;
  {
    std::unique_lock<std::mutex> lock(m_mutex);
    if (wait) m_ended.wait(lock, [this] { return m_pendingFiles == 0; });
    while (!m_jobs.empty() && m_jobs.front().done) {
      ended.push_back(std::move(m_jobs.front().ended));
      m_jobs.pop_front();
      if (m_nextJob > 0) --m_nextJob;
    }
  }
  for (const EndedWrite& write : ended) Unclaim(write.target);
  return ended;
}

void WriteBehind::Serve() {
  std::unique_lock<std::mutex> lock(m_mutex);
  for (;;) {
    while (m_nextJob < m_jobs.size() && m_jobs[m_nextJob].started) ++m_nextJob;
    if (m_nextJob == m_jobs.size()) {
      if (m_stop) return;
      m_work.wait(lock);
      continue;
    }
    // A deque keeps its elements in place as others are added at its end,
    // and a job is only taken off it once done.
    Job& job = m_jobs[m_nextJob++];
    job.started = true;
    lock.unlock();
    EndedWrite ended;
    try {
      ended = Write(job);
    } catch (...) {
      ended = {job.target, platform::SystemErrorFromCurrentException(), std::nullopt};
    }
    lock.lock();
    job.ended = std::move(ended);
    job.done = true;
    m_pendingBytes -= job.bytes.size();
    --m_pendingFiles;
    std::vector<uint8_t>().swap(job.bytes);
    m_ended.notify_all();
  }
}

EndedWrite WriteBehind::Write(Job& job) {
  EndedWrite ended{job.target, kOk, std::nullopt};
  platform::UniqueHandle file;
  ended.error = platform::OpenFile(job.target, platform::OpenMode::kWriteTruncate, file);
  if (ended.error != kOk) return ended;
  ended.error = platform::WriteAll(file, 0, job.bytes.data(), job.bytes.size());
  if (ended.error != kOk) return ended;
  const RecordTimes& t = job.times;
  if (t.created != 0 || t.accessed != 0 || t.written != 0)
    (void)platform::SetFileTimes(file, t.created, t.accessed, t.written);
  file.Reset();
  Sha256 hash;
  hash.Update(std::span<const uint8_t>(job.bytes));
  ended.written = WrittenDigest{job.bytes.size(), hash.HexDigest()};
  return ended;
}

WriteBehind* CurrentWriteBehind() { return t_current; }

WriteBehindScope::WriteBehindScope(WriteBehind* writeBehind) : m_earlier(t_current) {
  t_current = writeBehind != nullptr && writeBehind->Running() ? writeBehind : nullptr;
}

WriteBehindScope::~WriteBehindScope() { t_current = m_earlier; }

}  // namespace brinvale
