#pragma once

// What the main window's tests share: a runner that answers message boxes
// and runs job windows to their end, a disk list the test makes, engines
// that list records the test gives, and a window over them.

#include <QAbstractButton>
#include <QLabel>
#include <QTest>
#include <QTreeWidget>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/scan_history.h"
#include "device/disk_map.h"
#include "results/recovery_engine.h"
#include "support/fake_disk_enumeration.h"
#include "support/fixture_path.h"
#include "ui/disk_list_ui.h"
#include "ui/main_wnd.h"
#include "ui/message_box.h"
#include "ui/ui_test_support.h"

namespace brinvale::ui::test {

// Runs the windows the main window shows modally: a message box is noted
// and answered by `answer` (OK unless told otherwise); the recovery window
// is waited for until its job is done, its counts and detail rows noted,
// and closed by `FinishBtn`; any other window (the scan, search and image
// windows, the like-it window) is shown and waited for until it closes by
// itself or, when it has no job, by its close button.
class WindowRunner {
 public:
  struct Box {
    int kind = -1;
    std::string text;
  };
  std::vector<Box> boxes;
  std::vector<QString> windows;  // the class names of the other windows, in order
  std::vector<QSize> sizes;      // and their sizes
  // The button that answers a box: "okbtn", "cancelbtn" or "closebtn".
  std::function<QString(const Box&)> answer = [](const Box&) { return QStringLiteral("okbtn"); };
  // What the last recovery window showed when its job was done.
  std::string recovered;
  std::vector<std::pair<std::string, std::string>> detailRows;

  UiContext Context(MessageTable& texts) {
    return UiContext{texts, [this](CPopUpWnd& window) { return Run(window); }};
  }

 private:
  int Run(CPopUpWnd& window) {
    window.show();
    if (auto* box = dynamic_cast<CMessageBox*>(&window)) {
      auto* message = window.findChild<QLabel*>("message");
      boxes.push_back({int(box->Kind()), message ? message->text().toStdString() : std::string()});
      if (auto* button = window.findChild<QAbstractButton*>(answer(boxes.back())))
        QTest::mouseClick(button, Qt::LeftButton);
      return window.ClosedWith().value_or(-1);
    }
    windows.push_back(window.GetWindowClassName());
    sizes.push_back(window.size());
    if (window.GetWindowClassName() == QLatin1String("UIRecoverProcessWnd")) {
      auto* finish = window.findChild<QAbstractButton*>("FinishBtn");
      if (!finish || !QTest::qWaitFor([&] { return !finish->isHidden(); }, 120000)) return -1;
      auto* label = window.findChild<QLabel*>("recovered");
      recovered = label ? label->text().toStdString() : std::string();
      detailRows.clear();
      if (auto* list = window.findChild<QTreeWidget*>("DetailList"))
        for (int i = 0; i < list->topLevelItemCount(); ++i)
          detailRows.emplace_back(list->topLevelItem(i)->text(0).toStdString(),
                                  list->topLevelItem(i)->text(1).toStdString());
      QTest::mouseClick(finish, Qt::LeftButton);
    }
    if (window.GetWindowClassName() == QLatin1String("LikeItWnd"))
      if (auto* close = window.findChild<QAbstractButton*>("closebtn"))
        QTest::mouseClick(close, Qt::LeftButton);
    if (!QTest::qWaitFor([&] { return window.ClosedWith().has_value(); }, 120000)) return -1;
    return window.ClosedWith().value_or(-1);
  }
};

// An engine that scans at once and whose search lists the records given.
class ListedEngine : public CNullRecoveryEngine {
 public:
  explicit ListedEngine(RecordList records) : m_records(std::move(records)) {}
  int Search(const std::string&, RecordList& out) override {
    out = m_records;
    return kOk;
  }
  int ListChildren(const ScanRecord* parent, uint32_t, RecordList& out) override {
    out.clear();
    if (!parent) out = m_records;
    return kOk;
  }
  int CountFiles(const ScanRecord* parent, uint32_t, uint32_t& count) override {
    count = parent ? 0 : uint32_t(m_records.size());
    return kOk;
  }

 private:
  RecordList m_records;
};

// A found file of source `key`.
inline ScanRecord FoundFile(char16_t key, uint32_t number, const std::string& name, uint64_t size) {
  ScanRecord r;
  r.SetSourceKey(key);
  r.SetEngine(EngineCode::kQuickFat);
  r.SetNumber(number);
  r.SetContentCheck(1);
  r.SetName(name);
  r.SetFileSize(size);
  return r;
}

// The main window over a disk list, a scan history and a scratch folder of
// the test's own.
class MainWndHarness {
 public:
  // `texts` null: the shipped English texts.
  explicit MainWndHarness(const std::string& name,
                          brinvale::testing::FakeDiskEnumeration disks = {},
                          MessageTable* texts = nullptr)
      : work(name),
        history(work.Path() / "logs"),
        context(runner.Context(texts ? *texts : ShippedTexts())) {
    auto* fake = new brinvale::testing::FakeDiskEnumeration(std::move(disks));
    this->disks = fake;
    services.makeDisks = [fake] {
      return std::make_unique<DiskEnumerator>(std::unique_ptr<platform::DiskEnumeration>(fake));
    };
    services.history = &history;
    services.previewFolder = work.Path();
    services.watchDevices = false;
    services.chooseImageFile = [this](QWidget*, const QStringList& filters) {
      shownFilters = filters;
      if (imagesToChoose.empty()) return QString();
      QString next = imagesToChoose.front();
      imagesToChoose.erase(imagesToChoose.begin());
      return next;
    };
    services.openUrl = [this](const QUrl& url) {
      opened.push_back(url);
      return true;
    };
    services.quit = [this] { ++quits; };
    services.chooseRecoveryFolder = [this](QWidget*, const RecoveryFolderTexts& texts,
                                           RecoveryLayout current) {
      folderTitles.push_back(texts.title);
      offeredLayouts.push_back(current);
      std::optional<RecoveryFolderChoice> next;
      if (!foldersToChoose.empty()) {
        next = foldersToChoose.front();
        foldersToChoose.erase(foldersToChoose.begin());
      }
      return next;
    };
    services.loadRecoveryLayout = [this] { return keptLayout; };
    services.saveRecoveryLayout = [this](RecoveryLayout layout) { keptLayout = layout; };
    services.chooseImageTarget = [this](QWidget*, const QString& proposed, const QString& filter) {
      proposedNames.push_back(proposed);
      imageFilters.push_back(filter);
      if (imageTargets.empty()) return QString();
      QString next = imageTargets.front();
      imageTargets.erase(imageTargets.begin());
      return next;
    };
  }

  // Makes the window; the services can be changed until then.
  CMainWnd& Window() {
    if (!window) {
      window = std::make_unique<CMainWnd>(context, services);
      window->show();
    }
    return *window;
  }
  template <typename T = QWidget>
  T* Find(const char* name) {
    return Window().findChild<T*>(QLatin1String(name));
  }
  void Click(const char* name) {
    auto* button = Find<QAbstractButton>(name);
    ASSERT_NE(button, nullptr) << name;
    QTest::mouseClick(button, Qt::LeftButton);
  }
  CDiskListUI& DiskList() { return *Find<CDiskListUI>("DiskList"); }

  brinvale::test::TempDir work;
  ScanHistory history;
  WindowRunner runner;
  UiContext context;
  MainWndServices services;
  brinvale::testing::FakeDiskEnumeration* disks = nullptr;  // owned by the window's enumerator
  std::vector<QString> imagesToChoose;
  QStringList shownFilters;
  std::vector<QUrl> opened;
  int quits = 0;
  // The recovery folder chooser's answers, in turn, and what it was shown.
  std::vector<RecoveryFolderChoice> foldersToChoose;
  std::vector<QString> folderTitles;
  std::vector<RecoveryLayout> offeredLayouts;
  RecoveryLayout keptLayout = RecoveryLayout::kByType;
  // The image save dialog's answers, in turn, and what it proposed.
  std::vector<QString> imageTargets;
  std::vector<QString> proposedNames;
  std::vector<QString> imageFilters;
  std::unique_ptr<CMainWnd> window;
};

// A system with one disk that holds the volumes `letters` (FAT32, 64 MiB
// each, in that order); removable when asked.
inline brinvale::testing::FakeDiskEnumeration DiskWithVolumes(const std::u16string& letters,
                                                              bool removable = false,
                                                              int diskNumber = 0) {
  brinvale::testing::FakeDiskEnumeration system;
  platform::SystemDisk disk = brinvale::testing::MakeDisk(16065ull * 100);
  disk.removable = removable;
  system.disks[diskNumber] = disk;
  uint64_t start = 2048 * 512;
  for (char16_t letter : letters) {
    system.volumes.push_back(
        brinvale::testing::MakeVolume(diskNumber, start, 64ull << 20, "FAT32", letter));
    start += 64ull << 20;
  }
  return system;
}

}  // namespace brinvale::ui::test
