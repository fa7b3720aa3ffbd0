#include "app/preview_job.h"

#include <exception>
#include <mutex>
#include <system_error>
#include <thread>

#include "app/message_format.h"
#include "common/error_codes.h"
#include "results/file_categories.h"

namespace brinvale {
namespace {

struct PreviewProgressContext {
  IJobWindow& window;
  JobState& state;
  const MessageLookup& messages;
};

int OnPreviewProgress(void* user, int percent, int) {
  auto& c = *static_cast<PreviewProgressContext*>(user);
  return ReportPreviewProgress(c.window, c.state, c.messages, percent);
}

// The document views by the extensions they take, in the order they are
// tried.
struct ViewRow {
  std::string_view extensions;
  DocumentViewKind view;
};
constexpr ViewRow kViewRows[] = {
    {"*.doc|*.dot|*.docx|*.dotx|*.docm|*.dotm|*.rtf|*.odt", DocumentViewKind::kWord},
    {"*.ppt|*.pptx|*.pptm|*.pps|*.ppsx|*.ppsm|*.odp", DocumentViewKind::kPowerPoint},
    {"*.xls|*.xlsx|*.xlsm|*.csv|*.odc|*.vsd|*.vsdm|*.vsdx|*.pub|*.mpp|*.ics|*.vcf|*.msg",
     DocumentViewKind::kExcel},
    {"*.pdf", DocumentViewKind::kPdf},
    {"*.zip|*.rar|*.gzip|*.tar|*.7z|*.cab|*.arj|*.lzh|*.ace|*.gz|*.uue|*.bz2|*.jar|*.iso",
     DocumentViewKind::kArchive},
};

}  // namespace

PreviewKind PreviewKindOf(std::string_view fileName) {
  PreviewKind kind;
  const std::string ext = ExtensionOf(fileName);
  if (InList(ext, kAudioList)) {
    kind.isMedia = true;
    kind.useAudioPlayer = true;
  } else if (InList(ext, kVideoList)) {
    kind.isMedia = true;
  }
  if (InList(ext, kPreviewDocumentList)) {
    kind.isDocument = true;
    kind.isPdf = ext == "pdf";
    for (const ViewRow& row : kViewRows) {
      if (InList(ext, row.extensions)) {
        kind.view = row.view;
        break;
      }
    }
  }
  return kind;
}

int ReportPreviewProgress(IJobWindow& window, JobState& state, const MessageLookup& messages,
                          int percent) {
  std::lock_guard<JobLock> guard(state.lock);
  if (state.CancelRequested()) return kCancelled;
  window.SetText("percent",
                 FormatMessage("%s %d%%", {Text(messages, "MSG0901"), int64_t(percent)}));
  window.SetProgress("progress", percent);
  return kOk;
}

void RunPreviewJob(const PreviewJobSetup& setup, IJobWindow& window, JobState& state) {
  PreviewState& preview = *setup.state;
  preview.record = setup.record;
  preview.kind = PreviewKindOf(setup.record.Name());
  preview.text.clear();

  if (setup.stopPlayers) setup.stopPlayers();
  if (preview.kind.isMedia && setup.mediaWait.count() > 0)
    std::this_thread::sleep_for(setup.mediaWait);

  // The previous preview's file goes before the next one is written.
  if (!preview.extractedPath.empty()) {
    std::error_code ec;
    std::filesystem::remove(preview.extractedPath, ec);
    preview.extractedPath.clear();
  }

  int rc = kErrInvalidParameter;
  ScanSource* source = FindSourceByKey(setup.sources, setup.record.SourceKey());
  if (source != nullptr && source->engine) {
    PreviewProgressContext context{window, state, setup.messages};
    std::filesystem::path path;
    try {
      std::vector<uint8_t> buffer(kPreviewTextBytes);
      uint64_t size = buffer.size();
      // The engines copy as much as the record's size says.
      ScanRecord capped = setup.record;
      capped.SetFileSize(std::min(capped.FileSize(), kPreviewExtractBytes));
      rc = source->engine->ExtractRecord(capped, path, buffer.data(), size, OnPreviewProgress,
                                         &context);
      if (rc == kOk) {
        preview.extractedPath = path;
        if (path.empty()) {
          buffer.resize(std::min<uint64_t>(size, buffer.size()));
          preview.text = std::move(buffer);
        }
      } else if (!path.empty()) {
        // A stopped or failed extraction leaves nothing behind.
        std::error_code ec;
        std::filesystem::remove(path, ec);
      }
    } catch (const std::exception&) {
      rc = kErrOutOfMemory;
    }
  }
  state.jobFinished.store(1);
  window.Close(rc == kCancelled ? CloseCode::kCancelled : CloseCode::kDone);
}

}  // namespace brinvale
