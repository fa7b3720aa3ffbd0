#include "app/search_job.h"

#include <exception>
#include <mutex>

#include "app/message_format.h"
#include "common/error_codes.h"
#include "results/file_categories.h"

namespace brinvale {
namespace {

struct SearchProgressContext {
  IJobWindow& window;
  JobState& state;
  const MessageLookup& messages;
};

int OnSearchProgress(void* user, int percent, int) {
  auto& c = *static_cast<SearchProgressContext*>(user);
  return ReportSearchProgress(c.window, c.state, c.messages, percent);
}

// Whether a language text holds a conversion to fill.
bool HasConversion(const std::string& text) {
  for (size_t i = 0; i + 1 < text.size(); ++i) {
    if (text[i] != '%') continue;
    if (text[i + 1] == '%') {
      ++i;
      continue;
    }
    return true;
  }
  return false;
}

}  // namespace

std::string SearchFilterText(const std::vector<std::string>& chosenExtensions) {
  if (chosenExtensions.empty()) {
    std::string all;
    for (std::string_view list :
         {kPhotoList, kAudioList, kVideoList, kDocumentList, kArchiveList}) {
      if (!all.empty()) all += '|';
      all += list;
    }
    return all;
  }
  std::string filter;
  for (const std::string& ext : chosenExtensions) {
    if (!filter.empty()) filter += '|';
    filter += "*." + ext;
  }
  return filter;
}

std::string SearchStageText(const ScanSource& source, const MessageLookup& messages) {
  if (source.IsPartition())
    return PartitionStageText(*source.partition, Text(messages, "MSG1201"),
                              Text(messages, "MSG1202"));
  // The image text takes the name as its argument; a text that has no
  // place for it is followed by the name.
  const std::string text = Text(messages, "MSG1203");
  if (HasConversion(text)) return FormatMessage(text, {source.ImageName()});
  return FormatMessage("%s %s", {text, source.ImageName()});
}

int ReportSearchProgress(IJobWindow& window, JobState& state, const MessageLookup& messages,
                         int percent) {
  std::lock_guard<JobLock> guard(state.lock);
  if (state.CancelRequested()) return kCancelled;
  window.SetText("percent",
                 FormatMessage("%s %d%%", {Text(messages, "MSG1204"), int64_t(percent)}));
  window.SetProgress("progress", percent);
  return kOk;
}

void RunSearchJob(const SearchJobSetup& setup, IJobWindow& window, JobState& state) {
  if (setup.results == nullptr) return;
  setup.results->clear();
  SearchProgressContext context{window, state, setup.messages};
  for (ScanSource* source : setup.sources) {
    if (!source->engine) {
      state.jobFinished.store(1);
      window.Close(CloseCode::kDone);
      return;
    }
    window.SetText("stage", SearchStageText(*source, setup.messages));
    source->engine->SetSearchCallback(OnSearchProgress, &context);
    // Each engine's search fills a list of its own, which is added to the
    // matches of the sources before it.
    RecordList found;
    int rc = kOk;
    try {
      rc = source->engine->Search(setup.filter, found);
      setup.results->insert(setup.results->end(), found.begin(), found.end());
    } catch (const std::exception&) {
      rc = kErrOutOfMemory;
    }
    if (rc == kCancelled) break;
  }
  state.jobFinished.store(1);
  if (!setup.sources.empty()) window.PostToParent(kSearchFinishedMessage);
  window.Close(CloseCode::kDone);
}

}  // namespace brinvale
