#pragma once

#include <QString>
#include <QUrl>
#include <QWidget>
#include <array>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <vector>

#include "app/scan_job.h"
#include "app/scan_source.h"
#include "device/disk_map.h"
#include "output/image_job.h"
#include "output/image_source.h"
#include "output/image_target_check.h"
#include "results/carved_condition.h"
#include "results/scan_history_interface.h"
#include "results/type_view.h"
#include "ui/file_preview.h"
#include "ui/file_selection.h"
#include "ui/recovery_folder_dialog.h"
#include "ui/ui_context.h"

class QAbstractButton;
class QCheckBox;
class QLabel;
class QStackedWidget;
class QTimer;
class QTreeWidget;
class QTreeWidgetItem;

namespace brinvale::ui {

class CAssistMenu;
class CDiskListUI;
class CFileListModel;
class CFileTreeModel;
class CFileTreeUI;
class CListExUI;
class CTypeTree;
class Pagination;

// What the main window works with besides its texts; every part may be left
// empty for the running system's own.
struct MainWndServices {
  // The disk list's enumerator; empty: the system's disks.
  std::function<std::unique_ptr<DiskEnumerator>()> makeDisks;
  // The scan history; null: the per-user one. Borrowed.
  IScanHistory* history = nullptr;
  // Where previews extract to; empty: the scan history's own folder.
  std::filesystem::path previewFolder;
  // Makes a source's engine for a scan; empty: the engine factory's.
  SourceEngineMaker makeEngine;
  // Asks for an image file to load, with the filters "Image Files (*.img)"
  // and "All Files(*.*)"; the path, or empty when cancelled. Empty: the
  // system's open dialog.
  std::function<QString(QWidget* owner, const QStringList& filters)> chooseImageFile;
  // Opens a web page, or a folder in the file manager; empty: the
  // system's browser and file manager.
  std::function<bool(const QUrl&)> openUrl;
  // Asks for a recovery's target folder and layout; nothing when cancelled.
  // Empty: ChooseRecoveryFolder.
  std::function<std::optional<RecoveryFolderChoice>(
      QWidget* owner, const RecoveryFolderTexts& texts, RecoveryLayout current)>
      chooseRecoveryFolder;
  // The layout chosen last, and where a new choice is kept. Empty: the
  // per-user settings.
  std::function<RecoveryLayout()> loadRecoveryLayout;
  std::function<void(RecoveryLayout)> saveRecoveryLayout;
  // Asks where an image goes: the save dialog with the proposed file name
  // and the filter "Image Files (*.img)"; the path, or empty when
  // cancelled. Empty: the system's save dialog.
  std::function<QString(QWidget* owner, const QString& proposedName, const QString& filter)>
      chooseImageTarget;
  // What is known about an image's target drive. Empty: DescribeImageTarget.
  std::function<ImageTargetFacts(const std::filesystem::path& imagePath, const ImageSource& source,
                                 const DiskMap& disks)>
      describeImageTarget;
  // The copy of a disk or partition into an image. Empty: CopyImageSource.
  CImageJob::Copier copyImage;
  // Ends the message loop; empty: QCoreApplication::quit.
  std::function<void()> quit;
  // Whether disks coming and going are watched.
  bool watchDevices = true;
  // The preview's player and document views.
  FilePreviewServices preview;
};

// The program's one top-level window, "Free Brinvale", built from the
// skin's main layout ("xml\\skin.xml", texts from "MainWnd"). It leads the
// user through the steps: choose a mode, choose a disk, partition or image,
// scan, then browse the found files by type or by folder and mark them.
// It owns the scan sources and their engines for the whole run, the search
// results and the selection; scans and searches run as the application's
// jobs behind their progress windows, and their ends arrive as the posted
// events 1025 and 1026. Interface thread only.
class CMainWnd : public QWidget {
  Q_OBJECT
 public:
  static constexpr int kWidth = 800;
  static constexpr int kHeight = 500;
  static constexpr int kScanFinished = 1025;
  static constexpr int kSearchFinished = 1026;
  static constexpr int kLanguageChanged = 1030;
  // How long the disk list waits after a device change before it is read
  // again.
  static constexpr int kDeviceSettleMs = 5000;

  // The pages of `TabPage`.
  enum Page { kModePage = 0, kDevicePage = 1, kResultsPage = 2 };
  // The trees of the results page's left side.
  enum ResultView { kByType = 0, kByFolder = 1, kRecoverTab = 2 };

  // Borrows `context`.
  explicit CMainWnd(const UiContext& context, MainWndServices services = {});
  ~CMainWnd() override;

  // Centres the window on its screen.
  void CenterOnScreen();

  // The run's state, as the window shows it.
  ScanMode Mode() const { return m_mode; }
  bool ImagePage() const { return m_imagePage; }
  const std::vector<std::unique_ptr<ScanSource>>& Sources() const { return m_sources; }
  const RecordList& SearchResults() const { return *m_results; }
  const ExtensionGroups& Groups() const { return m_groups; }
  const CFileSelection& Selection() const { return m_selection; }
  const std::filesystem::path& PreviousQuickFolder() const { return m_previousQuickFolder; }
  CFileListModel& FileListModel() const { return *m_fileList; }
  bool DiskSelected() const { return m_diskSelected; }
  // The folder of the last recovery, without a trailing separator.
  const std::filesystem::path& TargetFolder() const { return m_targetFolder; }
  const CFilePreview& Preview() const { return *m_preview; }

  // Loads `path` as an image source (as BtnLoadImage does after its
  // dialog): a row under "Image File", and one row per partition of its
  // table when it holds a whole disk. The new row, or null when the file
  // cannot be read.
  QTreeWidgetItem* LoadImage(const QString& path);
  // Reads the disk list again and rebuilds its disk rows.
  void RefreshDiskList();
  // Disks came or went: the disk list is read again once things have
  // settled for kDeviceSettleMs.
  void OnDeviceChange();

 protected:
  void customEvent(QEvent* event) override;
  // Hovering over a mode button describes it.
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void LookUpControls();
  void Wire();
  void ApplyTexts();
  void OnClick(const QString& name);
  void OnHover(const QString& name);

  void GoToDeviceStep();
  void ShowPage(Page page);
  void Step(int delta);

  void OnDiskRowSelected(QTreeWidgetItem* row);
  void ShowDiskInfo(const ScanSource* source);
  void ChooseAndLoadImage();

  void StartScan();
  void AfterScan();
  void AfterSearch();
  void RunPendingMessages();

  void RecoverSelected();
  bool TargetOnScannedMedium(const std::filesystem::path& folder) const;
  RecoveryLayout LastRecoveryLayout() const;
  void KeepRecoveryLayout(RecoveryLayout layout);
  void CreateImage();
  bool ImageSourceOfRow(const QTreeWidgetItem* row, ImageSource& source, QString& name) const;
  QString ChooseImageTarget(const QString& proposedName) const;

  void ShowResultView(ResultView view);
  void OnTypeNodeChosen(QTreeWidgetItem* node);
  void OnTypeNodeChecked(QTreeWidgetItem* node);
  void OnFolderChosen(const QModelIndex& index);
  void ShowPageOfList();
  void OnFileRowActivated(const QModelIndex& index);
  // A row of the file list became the current one: its file's verdict is
  // checked now (kept by its engine) and its icon and tooltip show it.
  void OnFileRowCurrent(const QModelIndex& index);
  std::optional<CarvedVerdict> KnownVerdictOfRecord(const ScanRecord& record) const;
  void UpdateSelectionSummary();
  void OpenAssistMenu();
  void OnMenuItem(const QString& item);
  void OnLanguageChosen(const QString& name);
  void ShowLikeIt();

  QString Message(const char* key) const;
  std::string PathOf(const ScanRecord& record) const;
  std::vector<ScanSource*> SourcePointers() const;
  ScanSource& AddSource(ScanSource source);

  const UiContext& m_context;
  MainWndServices m_services;
  IScanHistory* m_history = nullptr;
  std::unique_ptr<DiskEnumerator> m_disks;
  QWidget* m_form = nullptr;  // the layout, a child

  // Controls of the layout, found once by name; any may be null.
  QStackedWidget* m_pages = nullptr;       // TabPage
  QStackedWidget* m_resultTabs = nullptr;  // ResultTabs
  CDiskListUI* m_diskList = nullptr;
  QTreeWidget* m_typeTreeWidget = nullptr;
  CFileTreeUI* m_fileTreeView = nullptr;
  CListExUI* m_fileListView = nullptr;
  Pagination* m_pagination = nullptr;
  QCheckBox* m_checkAll = nullptr;
  QLabel* m_mainInfo = nullptr;           // TxtMainInfo
  QLabel* m_selectedInfo = nullptr;       // SelectedFileInfo
  std::array<QLabel*, 8> m_infoLabels{};  // Label1 to Label8
  QWidget* m_subBar1 = nullptr;
  QWidget* m_subBar2 = nullptr;
  QAbstractButton* m_scanButton = nullptr;

  std::unique_ptr<CTypeTree> m_typeTree;
  CFileTreeModel* m_fileTree = nullptr;  // a child
  CFileListModel* m_fileList = nullptr;  // a child
  CAssistMenu* m_menu = nullptr;         // a child, while open
  QTimer* m_deviceTimer = nullptr;
  CFilePreview* m_preview = nullptr;  // a child

  // The run.
  ScanMode m_mode = ScanMode::kFull;
  bool m_imagePage = false;
  std::vector<std::unique_ptr<ScanSource>> m_sources;
  int m_imagesLoaded = 0;
  ScanSource* m_currentSource = nullptr;
  std::vector<ScanSource*> m_scanned;  // the sources of the last scan, in order
  ScanMode m_previousMode = ScanMode::kFull;
  std::filesystem::path m_previousQuickFolder;
  bool m_busy = false;
  std::vector<int> m_pending;  // job messages that arrived while a job window was open
  // What starts each loaded image and image partition ("FAT", ...).
  std::map<const ScanSource*, std::string> m_imageFileSystems;
  std::shared_ptr<RecordList> m_results;
  ExtensionGroups m_groups;
  CFileSelection m_selection;
  bool m_diskSelected = false;
  std::filesystem::path m_targetFolder;
};

}  // namespace brinvale::ui
