#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <filesystem>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <vector>

#include "common/read_bytes.h"
#include "results/record_times.h"
#include "results/written_files.h"

// Small recovered files written out by other threads while the recovery
// reads the next ones: creating many small files costs the target's file
// system more than reading them costs the medium, and two threads create
// them about twice as fast as one.
//
// A recovery that wants it makes a WriteBehind and puts it in place on its
// own thread (WriteBehindScope). From then on RecoveredFileWriter keeps a
// small file's bytes in memory and hands the whole file over as it is
// finished; larger files and files that do not finish are written on the
// recovery's thread as before. A file's write ends some time after the
// engine reported it done, so the recovery lists it once TakeEnded gives its
// outcome. Until then its path is claimed (IsClaimed): the unique-name probe
// treats it as taken, so no later file gets the same name.
//
// Every member is called on the recovery's thread, except what the writer
// threads do inside.
namespace brinvale {

// How one file handed to a WriteBehind ended: 0 or the system error of its
// creation or writing (then the file may hold part of the bytes), and the
// size and SHA-256 of what was written whole. `target` is where the bytes
// are, `claimed` the path the file was given: they differ when something
// took that path on the target meanwhile and the file got a numbered name.
struct EndedWrite {
  std::filesystem::path target;
  int error = 0;
  std::optional<WrittenDigest> written;
  std::filesystem::path claimed;
  // This write created the file at `target`: what is there is its own. A
  // file that failed without it must leave whatever is there alone.
  bool created = false;
};

class WriteBehind {
 public:
  // Files up to this size are held and handed over; larger ones are written
  // where they are read.
  static constexpr size_t kMostFileBytes = size_t(1) << 20;
  // Bytes handed over and not yet written, at most: Submit waits above it.
  static constexpr size_t kMostPendingBytes = size_t(64) << 20;
  // Files handed over and not yet written, at most.
  static constexpr size_t kMostPendingFiles = 4096;
  // Files handed over and not started that wake a writer asleep; fewer
  // wait until a writer looks again by itself, a few milliseconds later.
  static constexpr size_t kWakeBatch = 8;
  // How far past the next file a writer looks for one in a folder no other
  // writer is creating files in.
  static constexpr size_t kFolderLookAhead = 256;

  // Starts `writers` threads (at least 1). When no thread can be started
  // the WriteBehind is not Running and nothing should be handed to it.
  explicit WriteBehind(size_t writers);
  // Waits for every file handed over.
  ~WriteBehind();
  WriteBehind(const WriteBehind&) = delete;
  WriteBehind& operator=(const WriteBehind&) = delete;

  bool Running() const { return !m_threads.empty(); }

  // The writers a recovery uses on this machine: one per core, at least
  // two, at most four.
  static size_t WritersForThisMachine();

  // Marks `target` as a file that this WriteBehind will end: taken for every
  // unique-name probe until TakeEnded gives its outcome. Claims count: each
  // Claim is released once.
  void Claim(const std::filesystem::path& target);
  bool IsClaimed(const std::filesystem::path& target) const;
  // Whether a file still to be written may take `path` on the target
  // although its own path differs: a name that differs only in case (a
  // target that folds case), or a name like an 8.3 alias ("~" in it).
  // A probe of such a path waits for the writes first (WaitForWrites), so
  // that it sees the target as a recovery that writes every file at once.
  bool MayBeTakenByAWrite(const std::filesystem::path& path) const;
  // Waits until every file handed over is on the target (or failed).
  void WaitForWrites();

  // What this recovery made, so that the unique-name probe need not ask
  // the target for every file. Every path the recovery may create is noted
  // (NoteTaken): the names the probe hands out, the files claimed, the
  // folders made on the way to a target. A folder this recovery made itself
  // (NoteFreshFolder) held nothing then; what is in it since was noted, so
  // a plain name in it that was never noted is free without asking
  // (SurelyFree). Anything else is asked of the target as before: names
  // noted in any case, names with "~", trailing dots or blanks, or other
  // than printable ASCII, which a target may take as another name.
  void NoteTaken(const std::filesystem::path& path);
  void NoteFreshFolder(const std::filesystem::path& folder);
  bool SurelyFree(const std::filesystem::path& path) const;
  // Folders this recovery made or found on the way to its targets: each is
  // asked of the target once (CreateTargetFolders).
  void NoteKnownFolder(const std::filesystem::path& folder);
  bool KnownFolder(const std::filesystem::path& folder) const;

  // Hands over a whole file claimed before: it is created, given `bytes`
  // (taken once it is queued) and `times`, and closed on a writer thread.
  // Nothing there is ever replaced: when something took the path meanwhile
  // (a name that differs only in case on a target that folds it, say),
  // TakeEnded writes the file under a numbered name. Waits while too much
  // is pending.
  void Submit(const std::filesystem::path& target, ReadBytes& bytes, RecordTimes times);
  // Ends a claimed file that was written on this thread after all, so that
  // a report waiting for its end is released with `error`.
  void AddEnded(const std::filesystem::path& target, int error);
  // Gives up one claim without an outcome: the file is on the target now.
  void Unclaim(const std::filesystem::path& target);

  // Gives the folder at `path` `times` once everything is written: the
  // files made in a folder move its times. ApplyFolderTimes sets them.
  void SetTimesAtEnd(const std::filesystem::path& path, RecordTimes times);
  // Sets the times SetTimesAtEnd was given, in the order given. Call it
  // after the last TakeEnded, once the rows are settled (a failed file is
  // renamed in its folder).
  void ApplyFolderTimes();

  // The files whose writes ended since the last call, in the order they
  // were handed over, and releases their claims. With `wait`, waits for
  // every file handed over first.
  std::vector<EndedWrite> TakeEnded(bool wait);

 private:
  struct Job {
    bool submitted = false;  // handed over with its bytes (not AddEnded)
    std::filesystem::path target;
    ReadBytes bytes;
    RecordTimes times;
    size_t folder = 0;  // hash of the folder's path
    bool started = false;
    bool done = false;
    EndedWrite ended;
  };

  // The loop of writer number `writer`.
  void Serve(size_t writer);
  // The job writer number `writer` starts next: the next one in order,
  // unless another writer is creating files in its folder and one of the
  // jobs shortly after it is in a folder no other writer is in. Creating files in one folder takes the
  // folder's lock, so two writers in one folder mostly wait on each other.
  size_t PickJob(size_t writer);
  // WaitForWrites with m_mutex held in `lock`.
  void WaitForWritesLocked(std::unique_lock<std::mutex>& lock);
  // Creates `target` (never replacing anything) with `bytes` and `times`.
  static EndedWrite WriteNew(const std::filesystem::path& target,
                             const ReadBytes& bytes, const RecordTimes& times);
  // Writes a file whose path was taken under the first free numbered name.
  static void WriteNumbered(Job& job);
  // The claim key of `path` with case and every non-ASCII character
  // blurred: equal for any two names a case-folding target may take as one.
  static std::string LooseKey(const std::filesystem::path& path);
  // The recovery's thread only:
  std::unordered_map<std::filesystem::path::string_type, size_t> m_claims;
  std::unordered_map<std::string, size_t> m_looseClaims;  // by LooseKey
  // Hashes of the LooseKey of every path noted: two names that hash alike
  // are only asked of the target.
  std::unordered_set<size_t> m_taken;
  std::unordered_set<std::filesystem::path::string_type> m_freshFolders;  // by PathKeyText
  std::unordered_set<std::filesystem::path::string_type> m_knownFolders;  // by PathKeyText
  std::vector<std::pair<std::filesystem::path, RecordTimes>> m_folderTimes;

  mutable std::mutex m_mutex;
  std::condition_variable m_work;   // a job was handed over, or stop
  std::condition_variable m_ended;  // a job was done
  std::deque<Job> m_jobs;           // in the order handed over
  size_t m_nextJob = 0;             // where a writer looks for a job to start
  size_t m_pendingBytes = 0;        // of jobs not done
  size_t m_pendingFiles = 0;
  size_t m_unstartedFiles = 0;      // handed over, no writer on them yet
  size_t m_idleWriters = 0;         // writers waiting for a job
  // The folder each writer is creating a file in, when it is.
  std::vector<std::optional<size_t>> m_busyFolders;
  // What a writer's last look ahead found: no job to take before the job
  // numbered `until` (counted from the first one handed over) while the
  // writers were in the folders `busy`. Such jobs stay of no use while
  // the folders do: a started job stays started, a job keeps its folder.
  struct FruitlessLook {
    uint64_t until = 0;
    std::vector<std::optional<size_t>> busy;
  };
  std::vector<FruitlessLook> m_fruitless;  // by writer
  uint64_t m_jobsTaken = 0;                // jobs taken off the front of m_jobs
  bool m_stop = false;
  std::vector<std::thread> m_threads;  // last: started once the above is set
};

// The WriteBehind in place on this thread, or null.
WriteBehind* CurrentWriteBehind();

// Puts `writeBehind` in place on this thread for the scope's life (null
// puts none), and the earlier one back after it.
class WriteBehindScope {
 public:
  explicit WriteBehindScope(WriteBehind* writeBehind);
  ~WriteBehindScope();
  WriteBehindScope(const WriteBehindScope&) = delete;
  WriteBehindScope& operator=(const WriteBehindScope&) = delete;

 private:
  WriteBehind* m_earlier;
};

}  // namespace brinvale
