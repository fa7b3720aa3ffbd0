#include "app/image_window_job.h"

#include <mutex>

#include "app/duration_text.h"
#include "app/message_format.h"
#include "common/error_codes.h"
#include "platform/text.h"

namespace brinvale {
int ReportImageProgress(IJobWindow& window, JobState& state, const MessageLookup& messages,
                        const ImageProgress& p) {
  std::lock_guard<JobLock> guard(state.lock);
  if (state.CancelRequested()) return kCancelled;
  window.SetText("percent",
                 FormatMessage("%s %d%%", {Text(messages, "MSG0301"), int64_t(p.percent)}));
  window.SetProgress("progress", p.percent);
  window.SetText("time", p.secondsLeft == -1
                             ? Text(messages, "MSG0304")
                             : FormatMessage("%s %s", {Text(messages, "MSG0305"),
                                                       DurationText(p.secondsLeft)}));
  window.SetText("sectors", FormatMessage("%s %I64u / %I64u", {Text(messages, "MSG0303"),
                                                               p.sectorsDone, p.totalSectors}));
  return kOk;
}

int RunImageWindowJob(const ImageJobSetup& setup, IJobWindow& window, JobState& state) {
  window.SetText("stage", FormatMessage("%s %s", {Text(setup.messages, "MSG0302"),
                                                  platform::PathToUtf8(setup.imagePath)}));
  CImageJob job(setup.source, setup.imagePath, setup.copier);
  job.SetObserver([&](const ImageProgress& progress) {
    if (ReportImageProgress(window, state, setup.messages, progress) == kCancelled)
      job.RequestCancel();
  });
  // A cancel confirmed before the copy began stops it at once.
  if (state.CancelRequested()) job.RequestCancel();
  const int rc = job.Run();
  if (setup.lastProgress) *setup.lastProgress = job.Progress();
  state.jobFinished.store(1);
  window.Close(CloseCode(ImageJobCloseCode(rc)));
  return rc;
}

}  // namespace brinvale
