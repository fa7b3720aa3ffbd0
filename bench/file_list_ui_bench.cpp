// The desktop file list at the scale of a large scan: 100,000 and 1,000,000
// found files in one list. Each step runs once per size, in order: fill
// (group the search results by extension and give the list every file),
// sort by size, by name and by modified time (the text-keyed column; how
// long the interface waits, and how long until the sorted rows are drawn:
// a long list sorts on a thread of its own), page
// changes (first, middle, last page, each drawn by the view), and a sort
// followed by drawing page 1. Prints the milliseconds of each step and the
// peak memory (VmHWM). Runs offscreen; no display needed.
#include <QApplication>
#include <QEventLoop>
#include <QHeaderView>
#include <QTreeView>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <memory>
#include <random>
#include <string>

#include "results/type_view.h"
#include "ui/file_list_model.h"
#include "ui/file_selection.h"

namespace {

using brinvale::RecordList;
using brinvale::ScanRecord;
using brinvale::ui::CFileListModel;
using brinvale::ui::CFileSelection;
using Clock = std::chrono::steady_clock;

double PeakMemoryMiB() {
  std::ifstream in("/proc/self/status");
  std::string line;
  while (std::getline(in, line))
    if (line.rfind("VmHWM:", 0) == 0) return std::stod(line.substr(6)) / 1024.0;
  return 0;
}

double MsSince(Clock::time_point start) {
  return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

std::shared_ptr<RecordList> MakeResults(size_t count) {
  static const char* const kExtensions[] = {"jpg", "png", "mp3", "doc", "pdf", "zip", "txt", "mov"};
  std::mt19937 random(7);
  auto results = std::make_shared<RecordList>();
  results->reserve(count);
  for (size_t i = 0; i < count; ++i) {
    ScanRecord r;
    r.SetSourceKey(u'E');
    r.SetNumber(uint32_t(i + 1));
    r.SetContentCheck(1);
    r.SetFileSize(random() % (64u << 20));
    r.SetWritten(132000000000000000ull + (random() % 100000000ull) * 10000000ull);
    r.SetName("IMG_" + std::to_string(random() % 1000000) + "." + kExtensions[i % 8]);
    results->push_back(r);
  }
  return results;
}

// Lays the view out and draws it now, as the event loop would.
void Draw(QTreeView& view) {
  QCoreApplication::processEvents();
  view.viewport()->repaint();
}

void Step(const char* what, size_t count, Clock::time_point start) {
  std::printf("%-38s %9zu files %10.1f ms   peak %7.1f MiB\n", what, count, MsSince(start),
              PeakMemoryMiB());
}

void Run(size_t count, QTreeView& view) {
  auto start = Clock::now();
  auto results = MakeResults(count);
  Step("make records", count, start);
  CFileSelection selection;
  CFileListModel model(selection);
  model.SetPathLookup([](const ScanRecord&) { return std::string("DCIM\\100CANON\\"); });

  start = Clock::now();
  brinvale::ExtensionGroups groups;
  brinvale::GroupByExtension(*results, groups);
  model.SetRows(results);
  view.setModel(&model);
  Draw(view);
  Step("fill (group + list + draw)", count, start);

  for (auto [column, name] :
       {std::pair{CFileListModel::kSize, "Size"}, std::pair{CFileListModel::kFileName, "FileName"},
        std::pair{CFileListModel::kModifiedTime, "ModifiedTime"}}) {
    // How long the interface waits, then how long until the rows are in
    // their new order and drawn.
    start = Clock::now();
    model.SortByHeader(column);
    Step(("sort by " + std::string(name) + ": answers").c_str(), count, start);
    while (model.Sorting()) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    Draw(view);
    Step(("sort by " + std::string(name) + ": sorted + drawn").c_str(), count, start);
  }

  for (int page : {2, model.PageCount() / 2, model.PageCount()}) {
    start = Clock::now();
    model.SetPage(page);
    Draw(view);
    Step(("page " + std::to_string(page) + " + draw").c_str(), count, start);
  }
  start = Clock::now();
  model.SetAllChecked(true);
  Step("tick all", count, start);
  view.setModel(nullptr);
}

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  QTreeView view;
  view.setRootIsDecorated(false);
  view.setUniformRowHeights(true);
  view.resize(780, 400);
  view.show();
  for (size_t count : {size_t(100'000), size_t(1'000'000)}) Run(count, view);
  return 0;
}
