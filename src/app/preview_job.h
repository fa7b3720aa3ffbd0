#pragma once

#include <chrono>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "app/job_state.h"
#include "app/job_window.h"
#include "app/scan_source.h"
#include "results/scan_record.h"

namespace brinvale {

// The document view that turns an extracted file into something to show,
// chosen by the file's extension.
enum class DocumentViewKind { kNone, kWord, kPowerPoint, kExcel, kPdf, kArchive };

// How a found file is previewed, from its lowercased extension: the audio
// and video lists make a media file (the audio list the audio player), the
// preview-document list a document with a view chosen from the view lists
// in their order (Word, PowerPoint, Excel, PDF, archive), first match wins.
struct PreviewKind {
  bool isMedia = false;
  bool useAudioPlayer = false;
  bool isDocument = false;
  bool isPdf = false;
  DocumentViewKind view = DocumentViewKind::kNone;
};
PreviewKind PreviewKindOf(std::string_view fileName);

// What one preview leaves for the front end to show; kept from one preview
// to the next, so that the file extracted last time is deleted first.
struct PreviewState {
  ScanRecord record;
  PreviewKind kind;
  // Where the engine wrote the file; empty when nothing was written.
  std::filesystem::path extractedPath;
  // Text the engine returned instead of a file.
  std::vector<uint8_t> text;
};

struct PreviewJobSetup {
  ScanRecord record;
  std::vector<ScanSource*> sources;  // the record's engine is found among them by its key
  PreviewState* state = nullptr;     // required
  // Stops every player an earlier preview started (may be empty).
  std::function<void()> stopPlayers;
  // How long to wait after stopping the players before a media preview,
  // so that they let go of the previous file.
  std::chrono::milliseconds mediaWait{1000};
  MessageLookup messages;
};

// Bytes of text an engine may return instead of a file.
inline constexpr size_t kPreviewTextBytes = 65536;

// A preview copies at most this much of a file: enough for any picture or
// document page and for the start of a video, never gigabytes.
inline constexpr uint64_t kPreviewExtractBytes = 64ull << 20;

// The preview extraction job, run on the worker thread of the preview
// window: the record's engine copies the file out for the preview after the
// previous extracted file is deleted, at most kPreviewExtractBytes of it. The
// window closes with code 2 after a
// cancel, else 1 (also when the engine failed or no engine has the record:
// then nothing was extracted).
void RunPreviewJob(const PreviewJobSetup& setup, IJobWindow& window, JobState& state);

// The preview progress callback's work: `percent` and `progress` under the
// job's lock; kCancelled once a cancel is set.
int ReportPreviewProgress(IJobWindow& window, JobState& state, const MessageLookup& messages,
                          int percent);

}  // namespace brinvale
