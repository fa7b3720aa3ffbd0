#include "app/scan_job.h"

#include <exception>
#include <mutex>

#include "app/duration_text.h"
#include "app/message_format.h"
#include "common/error_codes.h"
#include "engines/professional_recovery.h"

namespace brinvale {
namespace {

struct ScanProgressContext {
  IJobWindow& window;
  JobState& state;
  const MessageLookup& messages;
};

int OnScanProgress(void* user, int percent, int scale, int secondsLeft, uint64_t currentSector,
                   uint64_t totalSectors, uint64_t filesFound, int) {
  auto& c = *static_cast<ScanProgressContext*>(user);
  return ReportScanProgress(c.window, c.state, c.messages, percent, scale, secondsLeft,
                            currentSector, totalSectors, filesFound);
}

}  // namespace

std::unique_ptr<IRidiRedazuvoParse> MakeSourceEngine(const ScanSource& source, ScanMode mode,
                                                     const EngineSetup& setup) {
  if (source.IsPartition()) {
    const VolumeInfo& p = *source.partition;
    return CreateEngineForPartition(p.diskNumber, p.start, p.length, p.driveLetter, mode, setup);
  }
  if (source.imagePath.empty()) return nullptr;
  if (source.imagePartition)
    return CreateEngineForImagePartition(source.imagePath, source.imagePartition->start,
                                         source.imagePartition->length,
                                         char16_t(source.sourceTag), mode, setup);
  return CreateEngineForImage(source.imagePath, char16_t(source.sourceTag), mode, setup);
}

std::string ScanStageText(const ScanSource& source, const MessageLookup& messages) {
  if (source.IsPartition())
    return PartitionStageText(*source.partition, Text(messages, "MSG0701"),
                              Text(messages, "MSG0702"));
  return FormatMessage("%s %s", {Text(messages, "MSG0703"), source.ImageName()});
}

int ReportScanProgress(IJobWindow& window, JobState& state, const MessageLookup& messages,
                       int percent, int scale, int secondsLeft, uint64_t currentSector,
                       uint64_t totalSectors, uint64_t filesFound) {
  const int shown = ScaledPercent(percent, scale);
  std::lock_guard<JobLock> guard(state.lock);
  if (state.CancelRequested()) return kCancelled;
  const std::string time = secondsLeft == -1
                               ? Text(messages, "MSG0705")
                               : Text(messages, "MSG0708") + DurationText(secondsLeft);
  window.SetProgress("progress", shown);
  window.SetText("time", time);
  window.SetText("percent", FormatMessage("%s %d%%", {Text(messages, "MSG0704"), int64_t(shown)}));
  if (totalSectors != 0) {
    window.SetText("sectors", FormatMessage("%s %I64u / %I64u", {Text(messages, "MSG0706"),
                                                                 currentSector, totalSectors}));
    window.SetText("totalfile", FormatMessage("%s %I64u", {Text(messages, "MSG0707"), filesFound}));
    window.SetVisible("sectors", true);
    window.SetVisible("totalfile", true);
  } else {
    window.SetVisible("sectors", false);
    window.SetVisible("totalfile", false);
  }
  return kOk;
}

void RunScanJob(const ScanJobSetup& setup, IJobWindow& window, JobState& state) {
  ScanProgressContext context{window, state, setup.messages};
  const SourceEngineMaker make = setup.makeEngine ? setup.makeEngine : MakeSourceEngine;
  IScanHistory& history = *setup.history;
  for (ScanSource* source : setup.sources) {
    window.SetText("stage", ScanStageText(*source, setup.messages));
    source->engine.reset();
    source->scanResult = kOk;

    // A quick scan writes into a fresh numbered folder, which its engine is
    // given when it is made.
    if (setup.mode == ScanMode::kQuick) history.BeginNewFolder();
    EngineSetup engineSetup;
    engineSetup.logFolder = history.CurrentFolder();
    engineSetup.previewFolder = setup.previewFolder;
    engineSetup.history = &history;
    try {
      source->engine = make(*source, setup.mode, engineSetup);
    } catch (const std::exception&) {
      source->engine.reset();
    }
    if (!source->engine) {
      if (setup.mode == ScanMode::kQuick) history.TakeBackFolder();
      // The worker is done with the window all the same: a window that
      // waits for the job must not wait forever.
      state.jobFinished.store(1);
      window.Close(CloseCode::kFailed);
      return;
    }

    if (auto* full = dynamic_cast<CProfessionalRecovery*>(source->engine.get());
        full != nullptr && full->HasEarlierScan()) {
      window.ShowWindow(false);
      const int answer = window.Ask(kQuestionBoxKind, Text(setup.messages, "MSG1206"));
      if (answer != 1) full->DeclineEarlierScan();
      window.ShowWindow(true);
    }

    source->engine->SetProgressCallback(OnScanProgress, nullptr, &context, 100);
    int rc = kOk;
    try {
      rc = source->engine->Scan(nullptr);
    } catch (const std::exception&) {
      rc = kErrOutOfMemory;  // an engine that threw is done; the next source goes on
    }
    source->scanResult = rc;
    if (rc == kCancelled) break;
  }
  state.jobFinished.store(1);
  window.PostToParent(kScanFinishedMessage);
  window.Close(CloseCode::kDone);
}

}  // namespace brinvale
