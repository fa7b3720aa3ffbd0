#pragma once

#include <atomic>

#include "app/job_lock.h"

namespace brinvale {

// The messages a job posts to the main window when it ends.
inline constexpr int kScanFinishedMessage = 1025;
inline constexpr int kSearchFinishedMessage = 1026;

// What a progress window's modal loop answers when it closes.
enum class CloseCode : int {
  kDone = 1,       // the job ran to its end (also after a cancelled scan)
  kCancelled = 2,  // the user cancelled (search, recovery, image, preview)
  kFailed = 3,     // no engine could be made, or the image could not be written
};

// The state a progress window shares with its job's worker thread: the
// user's confirmed cancel, the worker's last act, and the lock under which
// every progress callback reads the one and updates the window. The window
// owns it for its whole life; the worker borrows it. Not copyable.
struct JobState {
  // Set by the window's thread once the user confirmed a cancel.
  std::atomic<int> cancelRequested{0};
  // Set by the worker as its last act on the job.
  std::atomic<int> jobFinished{0};
  JobLock lock;

  bool CancelRequested() const { return cancelRequested.load() != 0; }
  bool JobFinished() const { return jobFinished.load() != 0; }
};

}  // namespace brinvale
