#include "cli/scan_options.h"

#include <cctype>
#include <set>

#include "results/file_categories.h"
#include "results/type_view.h"

namespace brinvale::cli {
namespace {

constexpr std::string_view kOtherSwitch = ".other";

std::string Lower(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = char(std::tolower(static_cast<unsigned char>(c)));
  return out;
}

std::optional<FileCategory> CategoryByName(std::string_view name) {
  if (name == "photo" || name == "photos") return FileCategory::kPhoto;
  if (name == "audio") return FileCategory::kAudio;
  if (name == "video" || name == "videos") return FileCategory::kVideo;
  if (name == "document" || name == "documents") return FileCategory::kDocument;
  if (name == "archive" || name == "archives") return FileCategory::kArchive;
  if (name == "other" || name == "others") return FileCategory::kOther;
  return std::nullopt;
}

// The extensions of a category list text "*.a|*.b|...".
void AddListExtensions(std::string_view list, std::set<std::string>& out) {
  size_t start = 0;
  while (start < list.size()) {
    size_t end = list.find('|', start);
    if (end == std::string_view::npos) end = list.size();
    std::string_view pattern = list.substr(start, end - start);
    if (pattern.rfind("*.", 0) == 0 && pattern.size() > 2) out.emplace(pattern.substr(2));
    start = end + 1;
  }
}

}  // namespace

std::string FilterForEverything() {
  return BuildTypeFilter({}) + "|" + std::string(kOtherSwitch);
}

std::optional<std::string> FilterForTypes(const std::string& list, std::string& error) {
  std::set<std::string> extensions;
  bool other = false;
  size_t start = 0;
  while (start <= list.size()) {
    size_t end = list.find(',', start);
    if (end == std::string::npos) end = list.size();
    std::string item = Lower(list.substr(start, end - start));
    start = end + 1;
    while (!item.empty() && item.front() == ' ') item.erase(item.begin());
    while (!item.empty() && item.back() == ' ') item.pop_back();
    if (item.empty()) continue;
    if (auto category = CategoryByName(item)) {
      if (*category == FileCategory::kOther)
        other = true;
      else
        AddListExtensions(CategoryListText(*category), extensions);
      continue;
    }
    if (item.rfind("*.", 0) == 0) item.erase(0, 2);
    if (item.rfind(".", 0) == 0) item.erase(0, 1);
    if (item.empty() || item.find_first_of("|*./\\") != std::string::npos) {
      error = "--types: \"" + item + "\" is neither an extension nor a category";
      return std::nullopt;
    }
    extensions.insert(item);
  }
  if (extensions.empty() && !other) {
    error = "--types names no extension or category";
    return std::nullopt;
  }
  std::string filter = extensions.empty() ? std::string() : BuildTypeFilter(extensions);
  if (other) filter += (filter.empty() ? "" : "|") + std::string(kOtherSwitch);
  return filter;
}

std::optional<ScanOptions> ParseScanOptions(const std::vector<std::string>& args,
                                            std::string& error) {
  ScanOptions options;
  std::optional<std::string> sourceText;
  std::string types;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    auto value = [&](const char* flag) -> std::optional<std::string> {
      if (i + 1 >= args.size()) {
        error = std::string(flag) + " needs a value";
        return std::nullopt;
      }
      return args[++i];
    };
    if (a == "--mode") {
      auto v = value("--mode");
      if (!v) return std::nullopt;
      if (*v == "quick") {
        options.fullScan = false;
      } else if (*v == "full") {
        options.fullScan = true;
      } else {
        error = "--mode takes quick or full, not \"" + *v + "\"";
        return std::nullopt;
      }
    } else if (a == "--list") {
      options.list = true;
    } else if (a == "--check") {
      options.check = true;
    } else if (a == "--json") {
      options.json = true;
    } else if (a == "--keep-paths") {
      options.keepPaths = true;
    } else if (a == "--allow-same-medium") {
      options.allowSameMedium = true;
    } else if (a == "--resume" || a == "--fresh") {
      const ResumeChoice choice = a == "--resume" ? ResumeChoice::kResume : ResumeChoice::kFresh;
      if (options.resume != ResumeChoice::kAsk && options.resume != choice) {
        error = "--resume and --fresh contradict each other; give one of them";
        return std::nullopt;
      }
      options.resume = choice;
    } else if (a == "--workers") {
      auto v = value("--workers");
      if (!v) return std::nullopt;
      uint32_t n = 0;
      bool digits = !v->empty() && v->size() <= 3;
      for (char c : *v) {
        if (c < '0' || c > '9') digits = false;
        n = n * 10 + uint32_t(c - '0');
      }
      if (!digits || n == 0 || n > 64) {
        error = "--workers takes a number of threads from 1 to 64, not \"" + *v + "\"";
        return std::nullopt;
      }
      options.workers = n;
    } else if (a == "--partition") {
      auto v = value("--partition");
      if (!v) return std::nullopt;
      uint64_t n = 0;
      bool digits = !v->empty() && v->size() <= 9;
      for (char c : *v) {
        if (c < '0' || c > '9') digits = false;
        n = n * 10 + uint64_t(c - '0');
      }
      if (!digits || n == 0) {
        error = "--partition takes a partition number from 1, not \"" + *v + "\"";
        return std::nullopt;
      }
      options.partition = uint32_t(n);
    } else if (a == "--types") {
      auto v = value("--types");
      if (!v) return std::nullopt;
      types = *v;
      options.typesGiven = true;
    } else if (a == "--recover-to") {
      auto v = value("--recover-to");
      if (!v) return std::nullopt;
      if (v->empty()) {
        error = "--recover-to needs a folder";
        return std::nullopt;
      }
      options.recoverTo = *v;
    } else if (a.rfind("--", 0) == 0) {
      error = "unknown option \"" + a + "\"";
      return std::nullopt;
    } else if (!sourceText) {
      sourceText = a;
    } else {
      error = "more than one SOURCE given (\"" + *sourceText + "\" and \"" + a + "\")";
      return std::nullopt;
    }
  }
  if (!sourceText) {
    error = "no SOURCE given";
    return std::nullopt;
  }
  auto source = ParseSourceSpec(*sourceText, error);
  if (!source) return std::nullopt;
  options.source = *source;
  if (options.keepPaths && options.recoverTo.empty()) {
    error = "--keep-paths goes with --recover-to";
    return std::nullopt;
  }
  if (options.allowSameMedium && options.recoverTo.empty()) {
    error = "--allow-same-medium goes with --recover-to";
    return std::nullopt;
  }
  if (options.keepPaths && options.typesGiven) {
    error = "--keep-paths recovers whole folders and cannot be combined with --types";
    return std::nullopt;
  }
  if (options.typesGiven) {
    auto filter = FilterForTypes(types, error);
    if (!filter) return std::nullopt;
    options.filter = *filter;
  } else {
    options.filter = FilterForEverything();
  }
  return options;
}

}  // namespace brinvale::cli
