#pragma once

#include <filesystem>

#include "app/job_state.h"
#include "app/job_window.h"
#include "output/image_job.h"
#include "output/image_source.h"

namespace brinvale {

// What the image job is given.
struct ImageJobSetup {
  ImageSource source;
  std::filesystem::path imagePath;
  CImageJob::Copier copier = CopyImageSource;  // replaceable in tests
  MessageLookup messages;                      // the "Messages" section
  ImageProgress* lastProgress = nullptr;       // when given, the copy's last progress
};

// The image job under the progress-window protocol, run on the image
// window's worker: the stage ("MSG0302" and the image path), then the copy
// with its percent, time left and sector counter. A confirmed cancel stops
// the copy at its next progress report. The job is then marked finished
// and the window closes with 1 after a whole copy, 2 after a cancel, 3 after
// a failure; the partial file stays. Returns the copy's result.
int RunImageWindowJob(const ImageJobSetup& setup, IJobWindow& window, JobState& state);

// The image progress report's work: `percent`, `progress`, `time` and
// `sectors` under the job's lock; kCancelled once a cancel is set.
int ReportImageProgress(IJobWindow& window, JobState& state, const MessageLookup& messages,
                        const ImageProgress& progress);

}  // namespace brinvale
