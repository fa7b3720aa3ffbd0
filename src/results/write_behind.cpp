#include "results/write_behind.h"

#include <algorithm>
#include <chrono>
#include <span>
#include <string_view>
#include <system_error>

#include "common/error_codes.h"
#include "common/sha256.h"
#include "platform/file.h"
#include "platform/path_compare.h"
#include "platform/system_error.h"
#include "platform/text.h"
#include "results/name_fit.h"
#include "results/target_paths.h"

namespace brinvale {
namespace {

thread_local WriteBehind* t_current = nullptr;

// How long a writer with nothing to do sleeps before it looks again.
constexpr std::chrono::milliseconds kLongestWait{20};

// The error of an exclusive create where something is already.
bool PathWasTaken(int error) { return error == kErrFileExists || error == kErrAlreadyExists; }

// A hash of the folder part of `target`'s text, without making a path of
// it. Only a hint for which writer takes a file: two spellings of one
// folder may hash apart, two folders may hash alike.
size_t FolderHash(const std::filesystem::path& target) {
  using Text = std::basic_string_view<std::filesystem::path::value_type>;
  static constexpr std::filesystem::path::value_type kSeparators[] = {
      '/', std::filesystem::path::preferred_separator, 0};
  const Text text(target.native());
  const size_t cut = text.find_last_of(kSeparators);
  return std::hash<Text>{}(cut == Text::npos ? Text() : text.substr(0, cut));
}

}  // namespace

WriteBehind::WriteBehind(size_t writers) {
  writers = std::max<size_t>(writers, 1);
  try {
    m_busyFolders.resize(writers);
    // Sized now, so that PickJob's note never allocates under the lock.
    m_fruitless.assign(writers, FruitlessLook{0, std::vector<std::optional<size_t>>(writers)});
    m_threads.reserve(writers);
    for (size_t i = 0; i < writers; ++i) m_threads.emplace_back([this, i] { Serve(i); });
  } catch (...) {
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

std::string WriteBehind::LooseKey(const std::filesystem::path& path) {
  std::string key = platform::PathToUtf8(path);
  for (char& c : key) {
    const auto u = static_cast<unsigned char>(c);
    if (u >= 0x80) c = '?';
    else if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
  }
  return key;
}

void WriteBehind::Claim(const std::filesystem::path& target) {
  NoteTaken(target);
  ++m_claims[platform::PathKeyText(target)];
  ++m_looseClaims[LooseKey(target)];
}

void WriteBehind::NoteTaken(const std::filesystem::path& path) {
  m_taken.insert(std::hash<std::string>{}(LooseKey(path)));
}

void WriteBehind::NoteFreshFolder(const std::filesystem::path& folder) {
  m_freshFolders.insert(platform::PathKeyText(folder));
}

void WriteBehind::NoteKnownFolder(const std::filesystem::path& folder) {
  m_knownFolders.insert(platform::PathKeyText(folder));
}

bool WriteBehind::KnownFolder(const std::filesystem::path& folder) const {
  return !m_knownFolders.empty() && m_knownFolders.count(platform::PathKeyText(folder)) != 0;
}

bool WriteBehind::SurelyFree(const std::filesystem::path& path) const {
  if (m_freshFolders.empty()) return false;
  const std::string name = platform::PathToUtf8(path.filename());
  if (name.empty() || name.back() == '.' || name.back() == ' ') return false;
  for (char c : name) {
    if (c < 0x20 || c > 0x7E || c == '~') return false;
  }
  return m_freshFolders.count(platform::PathKeyText(path.parent_path())) != 0 &&
         m_taken.count(std::hash<std::string>{}(LooseKey(path))) == 0;
}

bool WriteBehind::MayBeTakenByAWrite(const std::filesystem::path& path) const {
  if (m_claims.empty()) return false;
  if (platform::PathToUtf8(path.filename()).find('~') != std::string::npos) return true;
  return m_looseClaims.count(LooseKey(path)) != 0;
}

void WriteBehind::WaitForWrites() {
  std::unique_lock<std::mutex> lock(m_mutex);
  WaitForWritesLocked(lock);
}

void WriteBehind::WaitForWritesLocked(std::unique_lock<std::mutex>& lock) {
  m_work.notify_all();  // a batch still short waits for no one now
  m_ended.wait(lock, [this] { return m_pendingFiles == 0; });
}

bool WriteBehind::IsClaimed(const std::filesystem::path& target) const {
  return !m_claims.empty() && m_claims.count(platform::PathKeyText(target)) != 0;
}

void WriteBehind::Unclaim(const std::filesystem::path& target) {
  const auto claim = m_claims.find(platform::PathKeyText(target));
  if (claim == m_claims.end()) return;
  if (--claim->second == 0) m_claims.erase(claim);
  const auto loose = m_looseClaims.find(LooseKey(target));
  if (loose != m_looseClaims.end() && --loose->second == 0) m_looseClaims.erase(loose);
}

void WriteBehind::Submit(const std::filesystem::path& target, ReadBytes& bytes,
                         RecordTimes times) {
  const size_t folder = FolderHash(target);
  std::unique_lock<std::mutex> lock(m_mutex);
  const size_t size = bytes.size();
  // A file larger than the whole budget still goes once nothing else waits.
  auto room = [&] {
    return m_pendingFiles == 0 || (m_pendingFiles < kMostPendingFiles &&
                                   m_pendingBytes + size <= kMostPendingBytes);
  };
  if (!room()) {
    m_work.notify_all();
    m_ended.wait(lock, room);
  }
  Job& job = m_jobs.emplace_back();
  try {
    job.target = target;
  } catch (...) {
    m_jobs.pop_back();
    throw;
  }
  job.submitted = true;
  job.bytes = std::move(bytes);
  job.times = times;
  job.folder = folder;
  m_pendingBytes += size;
  ++m_pendingFiles;
  ++m_unstartedFiles;
  // A writer asleep is woken for a batch of files rather than for each:
  // waking a thread costs about as much as writing a small file. Whoever
  // waits for the writes wakes them all first.
  const bool wake = m_idleWriters > 0 && m_unstartedFiles >= kWakeBatch;
  lock.unlock();
  if (wake) m_work.notify_one();
}

void WriteBehind::AddEnded(const std::filesystem::path& target, int error) {
  std::lock_guard<std::mutex> lock(m_mutex);
  Job& job = m_jobs.emplace_back();
  job.started = job.done = true;
  job.ended.target = job.ended.claimed = target;
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
    if (wait) WaitForWritesLocked(lock);
    // Room for the ended front only: most calls find one file or none, of
    // up to thousands pending.
    size_t front = 0;
    while (front < m_jobs.size() && m_jobs[front].done) ++front;
    if (front == 0) return ended;
    ended.reserve(front);
    while (!m_jobs.empty() && m_jobs.front().done) {
      Job& job = m_jobs.front();
      // The bytes of a file whose path was taken are still here: it is
      // written now, on this thread, where names are claimed.
      if (job.submitted && PathWasTaken(job.ended.error)) {
        lock.unlock();
        try {
          WriteNumbered(job);
        } catch (...) {
          job.ended.error = platform::SystemErrorFromCurrentException();
          job.ended.created = false;
        }
        lock.lock();
      }
      if (job.ended.target.empty()) job.ended.target = job.ended.claimed;
      ended.push_back(std::move(job.ended));
      m_jobs.pop_front();
      ++m_jobsTaken;
      if (m_nextJob > 0) --m_nextJob;
    }
  }
  for (const EndedWrite& write : ended) Unclaim(write.claimed);
  return ended;
}

void WriteBehind::WriteNumbered(Job& job) {
  const std::filesystem::path claimed = job.ended.claimed;
  job.ended.target = claimed;
  job.ended.created = false;
  // The name's room in its folder, as the name was fitted to it.
  const size_t room =
      FileNameRoom(platform::PathToUtf8(claimed.parent_path()), TargetSystem::kHost);
  // A few rounds: a name found free may be taken again before it is made.
  // Each probes from the claimed name, which stays claimed meanwhile.
  for (int round = 0; round < 8; ++round) {
    const std::filesystem::path numbered =
        room > 0 ? MakeUniquePath(claimed, room, TargetSystem::kHost) : claimed;
    if (numbered.empty() || numbered == claimed) break;
    job.ended = WriteNew(numbered, job.bytes, job.times);
    job.ended.claimed = claimed;
    if (!PathWasTaken(job.ended.error)) break;
    job.ended.target = claimed;  // nothing of its own is anywhere
  }
  ReadBytes().swap(job.bytes);
}

size_t WriteBehind::PickJob(size_t writer) {
  auto busyElsewhere = [&](size_t folder) {
    for (size_t w = 0; w < m_busyFolders.size(); ++w)
      if (w != writer && m_busyFolders[w] == folder) return true;
    return false;
  };
  if (!busyElsewhere(m_jobs[m_nextJob].folder)) return m_nextJob;
  const size_t end = std::min(m_jobs.size(), m_nextJob + 1 + kFolderLookAhead);
  size_t from = m_nextJob + 1;
  // All files in one folder (a recovery by type) would have every writer
  // look through the same jobs again for each file.
  FruitlessLook& last = m_fruitless[writer];
  if (last.busy == m_busyFolders && last.until > m_jobsTaken)
    from = std::max<size_t>(from, size_t(last.until - m_jobsTaken));
  for (size_t i = from; i < end; ++i)
    if (!m_jobs[i].started && !busyElsewhere(m_jobs[i].folder)) return i;
  last.until = m_jobsTaken + std::max(from, end);
  last.busy = m_busyFolders;
  return m_nextJob;
}

void WriteBehind::Serve(size_t writer) {
  std::unique_lock<std::mutex> lock(m_mutex);
  for (;;) {
    while (m_nextJob < m_jobs.size() && m_jobs[m_nextJob].started) ++m_nextJob;
    if (m_nextJob == m_jobs.size()) {
      if (m_stop) return;
      // Files short of a batch wait at most a moment: the recovery's thread
      // may be busy on a large file for long.
      ++m_idleWriters;
      m_work.wait_for(lock, kLongestWait);
      --m_idleWriters;
      continue;
    }
    // A deque keeps its elements in place as others are added at its end,
    // and a job is only taken off it once done.
    const size_t picked = PickJob(writer);
    if (picked == m_nextJob) ++m_nextJob;
    Job& job = m_jobs[picked];
    job.started = true;
    --m_unstartedFiles;
    m_busyFolders[writer] = job.folder;
    lock.unlock();
    EndedWrite ended;
    try {
      ended = WriteNew(job.target, job.bytes, job.times);
    } catch (...) {
      ended.error = platform::SystemErrorFromCurrentException();
    }
    lock.lock();
    const size_t size = job.bytes.size();
    job.ended = std::move(ended);
    // Only moves here: nothing under the lock throws. A write that threw
    // before it named its target is named by TakeEnded.
    job.ended.claimed = std::move(job.target);
    job.done = true;
    m_busyFolders[writer].reset();
    m_pendingBytes -= size;
    --m_pendingFiles;
    // A file whose path was taken keeps its bytes for TakeEnded.
    if (!PathWasTaken(job.ended.error)) ReadBytes().swap(job.bytes);
    m_ended.notify_all();
  }
}

EndedWrite WriteBehind::WriteNew(const std::filesystem::path& target,
                                 const ReadBytes& bytes, const RecordTimes& t) {
  EndedWrite ended;
  ended.target = target;
  platform::UniqueHandle file;
  ended.error = platform::OpenFile(target, platform::OpenMode::kWriteNew, file);
  if (ended.error != kOk) return ended;
  ended.created = true;
  ended.error = platform::WriteAll(file, 0, bytes.data(), bytes.size());
  if (ended.error != kOk) return ended;
  if (t.created != 0 || t.accessed != 0 || t.written != 0)
    (void)platform::SetFileTimes(file, t.created, t.accessed, t.written);
  // A target that completes writes late reports their failure here: the
  // file is then not whole.
  ended.error = file.Close();
  if (ended.error != kOk) return ended;
  Sha256 hash;
  hash.Update(std::span<const uint8_t>(bytes));
  ended.written = WrittenDigest{bytes.size(), hash.HexDigest(), true};
  return ended;
}

WriteBehind* CurrentWriteBehind() { return t_current; }

WriteBehindScope::WriteBehindScope(WriteBehind* writeBehind) : m_earlier(t_current) {
  t_current = writeBehind != nullptr && writeBehind->Running() ? writeBehind : nullptr;
}

WriteBehindScope::~WriteBehindScope() { t_current = m_earlier; }

}  // namespace brinvale
