#include "app/job_cancel.h"

#include <mutex>
#include <thread>

namespace brinvale {

bool ConfirmCancel(JobState& state, IJobWindow& window, const std::string& question,
                   std::chrono::milliseconds poll) {
  {
    std::lock_guard<JobLock> guard(state.lock);
    if (window.Ask(kQuestionBoxKind, question) != 1) return false;
    state.cancelRequested.store(1);
  }
  while (!state.JobFinished()) std::this_thread::sleep_for(poll);
  return true;
}

}  // namespace brinvale
