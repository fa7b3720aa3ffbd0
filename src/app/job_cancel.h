#pragma once

#include <chrono>
#include <string>

#include "app/job_state.h"
#include "app/job_window.h"

namespace brinvale {

// The cancel question of a running job, asked on the window's thread when
// the user clicks its close or cancel button. The job's lock is held while
// the question is open, so the worker waits at its next progress report.
// On a yes the cancel is set and this waits, polling every `poll`, until the
// worker has finished; true then. On any other answer the job goes on and
// the answer is false.
bool ConfirmCancel(JobState& state, IJobWindow& window, const std::string& question,
                   std::chrono::milliseconds poll = std::chrono::milliseconds(50));

}  // namespace brinvale
