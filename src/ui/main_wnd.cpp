#include "ui/main_wnd.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QHeaderView>
#include <QIcon>
#include <QLabel>
#include <QScreen>
#include <QSettings>
#include <QStackedWidget>
#include <QStandardPaths>
#include <QThread>
#include <QTextBrowser>
#include <QTimer>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <algorithm>

#include "app/message_format.h"
#include "app/scan_history.h"
#include "app/search_job.h"
#include "common/error_codes.h"
#include "common/size_text.h"
#include "output/image_name.h"
#include "output/same_medium_check.h"
#include "platform/text.h"
#include "results/scan_log_folders.h"
#include "ui/assist_menu.h"
#include "ui/create_image_process_wnd.h"
#include "ui/custom_controls.h"
#include "ui/device_change_watcher.h"
#include "ui/file_list_model.h"
#include "ui/file_tree_model.h"
#include "ui/image_partitions.h"
#include "ui/message_box.h"
#include "ui/popup_wnd.h"
#include "ui/recover_process_wnd.h"
#include "ui/scan_process_wnd.h"
#include "ui/search_process_wnd.h"
#include "ui/skin_loader.h"
#include "ui/skin_markup.h"
#include "ui/type_tree.h"

namespace brinvale::ui {
namespace {

// The product's pages for the assist menu.
const char* const kGuideUrl = "https://brinvale.orlenta.example/guide/";
const char* const kAboutUrl = "https://brinvale.orlenta.example/about/";
const char* const kSupportUrl = "https://brinvale.orlenta.example/support/";

// Image sources' partitions take keys from here up, clear of the image
// tags that count from 1 and of the letters.
constexpr uint32_t kFirstImagePartitionKey = 0x100;

// The captions of the type tree's categories, in FileCategory order.
constexpr std::array<const char*, kCategoryCount> kCategoryKeys = {"MSG0807", "MSG0808", "MSG0809",
                                                                   "MSG0810", "MSG0811", "MSG0812"};

constexpr int kConfirmBox = 1;
constexpr int kInformationBox = 2;
constexpr int kWarningBox = 3;
constexpr int kQuestionBox = 4;

// Where the desktop program keeps its own choices, beside the language
// settings.
QString DesktopSettingsFile() {
  return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
         QStringLiteral("/OrlentaBrinvaleRecovery/desktop.ini");
}

QString FromUtf8(const std::string& text) { return QString::fromStdString(text); }

bool IsLetterKey(uint32_t key) { return (key >= 'A' && key <= 'Z') || (key >= 'a' && key <= 'z'); }

// The texts of the "MainWnd" section, set on the layout's labels and
// buttons by name and on the file list's column headers.
class MainTexts : public IControlTexts {
 public:
  MainTexts(QWidget& form, std::array<QString, CFileListModel::kColumnCount>& headers)
      : m_form(form), m_headers(headers) {}
  void SetControlText(std::string_view control, std::string_view text) override {
    const QString name = QString::fromUtf8(control.data(), qsizetype(control.size()));
    const QString value = QString::fromUtf8(text.data(), qsizetype(text.size()));
    for (size_t i = 0; i < CFileListModel::kColumnCount; ++i)
      if (name == QLatin1String(CFileListModel::kColumnNames[i])) m_headers[i] = value;
    QWidget* widget = m_form.findChild<QWidget*>(name);
    if (auto* label = qobject_cast<QLabel*>(widget))
      label->setText(value);
    else if (auto* button = qobject_cast<QAbstractButton*>(widget))
      button->setText(value);
  }

 private:
  QWidget& m_form;
  std::array<QString, CFileListModel::kColumnCount>& m_headers;
};

// The top node text of a scanned source in the folder tree.
QString SourceName(const ScanSource& source) {
  if (source.IsPartition()) {
    const VolumeInfo& p = *source.partition;
    if (HasDriveLetter(p)) return QStringLiteral("%1:\\").arg(QChar(p.driveLetter));
    return QStringLiteral("%1:\\").arg(int(p.driveLetter));
  }
  return FromUtf8(source.ImageName());
}

}  // namespace

CMainWnd::CMainWnd(const UiContext& context, MainWndServices services)
    : m_context(context), m_services(std::move(services)) {
  setObjectName(QStringLiteral("RidiRedazuvoWnd"));
  setWindowTitle(QStringLiteral("Free Brinvale"));
  InitSkinResource();
  setWindowIcon(QIcon(SkinPath(QStringLiteral("logo.png"))));
  m_history = m_services.history ? m_services.history : &ScanHistory::Instance();
  if (m_services.previewFolder.empty()) m_services.previewFolder = ScanLogBaseFolder();
  m_results = std::make_shared<RecordList>();
  m_fileList = new CFileListModel(m_selection, this);
  m_fileList->SetPathLookup([this](const ScanRecord& record) { return PathOf(record); });
  m_fileList->SetVerdictLookup(
      [this](const ScanRecord& record) { return KnownVerdictOfRecord(record); });
  m_fileTree = new CFileTreeModel(this);

  m_form = LoadSkinLayout(QStringLiteral("xml\\skin.xml"), this);
  if (m_form) {
    auto* box = new QVBoxLayout(this);
    box->setContentsMargins(0, 0, 0, 0);
    box->addWidget(m_form);
  }
  LookUpControls();
  m_preview = new CFilePreview(m_context, this,
                               m_form ? m_form->findChild<QTextBrowser*>("PreviewEdit") : nullptr,
                               m_services.previewFolder, m_services.preview);
  Wire();
  ApplyTexts();
  resize(kWidth, kHeight);

  m_deviceTimer = new QTimer(this);
  m_deviceTimer->setObjectName(QStringLiteral("DeviceChangeTimer"));
  m_deviceTimer->setSingleShot(true);
  m_deviceTimer->setInterval(kDeviceSettleMs);
  connect(m_deviceTimer, &QTimer::timeout, this, &CMainWnd::RefreshDiskList);
  if (m_services.watchDevices) {
    auto* watcher = new CDeviceChangeWatcher(this);
    connect(watcher, &CDeviceChangeWatcher::devicesChanged, this, &CMainWnd::OnDeviceChange);
  }

  m_disks = m_services.makeDisks ? m_services.makeDisks() : std::make_unique<DiskEnumerator>();
  RefreshDiskList();
  ShowPage(kModePage);
  UpdateSelectionSummary();
  if (m_mainInfo) m_mainInfo->clear();
}

CMainWnd::~CMainWnd() {
  // The views let go of the engines before the sources go.
  m_fileList->Clear();
  m_fileTree->Clear();
}

void CMainWnd::CenterOnScreen() {
  if (QScreen* s = screen()) move(s->availableGeometry().center() - rect().center());
}

void CMainWnd::LookUpControls() {
  if (!m_form) return;
  auto find = [this]<typename T>(T*& member, const char* name) {
    member = m_form->findChild<T*>(QLatin1String(name));
  };
  find(m_pages, "TabPage");
  find(m_resultTabs, "ResultTabs");
  find(m_diskList, "DiskList");
  find(m_typeTreeWidget, "TypeTree");
  find(m_fileTreeView, "FileTree");
  find(m_fileListView, "FileList");
  find(m_pagination, "Pagination");
  find(m_checkAll, "CheckAll");
  find(m_mainInfo, "TxtMainInfo");
  find(m_selectedInfo, "SelectedFileInfo");
  find(m_subBar1, "SubBar1");
  find(m_subBar2, "SubBar2");
  find(m_scanButton, "BtnScan");
  for (size_t i = 0; i < m_infoLabels.size(); ++i)
    m_infoLabels[i] = m_form->findChild<QLabel*>(QStringLiteral("Label%1").arg(i + 1));
  if (m_typeTreeWidget) m_typeTree = std::make_unique<CTypeTree>(*m_typeTreeWidget);
}

void CMainWnd::Wire() {
  if (!m_form) return;
  for (QAbstractButton* button : m_form->findChildren<QAbstractButton*>()) {
    if (button == m_checkAll) continue;
    connect(button, &QAbstractButton::clicked, this,
            [this, button] { OnClick(button->objectName()); });
  }
  for (const char* name :
       {"BtnDeletedRecovery", "BtnFormattedRecovery", "BtnDeepRecovery", "BtnCreateImageMode"})
    if (auto* button = m_form->findChild<QWidget*>(QLatin1String(name)))
      button->installEventFilter(this);

  if (m_diskList)
    connect(m_diskList, &QTreeWidget::currentItemChanged, this,
            [this](QTreeWidgetItem* row) { OnDiskRowSelected(row); });
  if (m_typeTreeWidget) {
    connect(m_typeTreeWidget, &QTreeWidget::currentItemChanged, this,
            [this](QTreeWidgetItem* node) { OnTypeNodeChosen(node); });
    connect(m_typeTreeWidget, &QTreeWidget::itemChanged, this,
            [this](QTreeWidgetItem* node) { OnTypeNodeChecked(node); });
  }
  if (m_fileTreeView) {
    m_fileTreeView->setModel(m_fileTree);
    connect(m_fileTreeView->selectionModel(), &QItemSelectionModel::currentChanged, this,
            [this](const QModelIndex& index) { OnFolderChosen(index); });
  }
  if (m_fileListView) {
    m_fileListView->setModel(m_fileList);
    QHeaderView* header = m_fileListView->header();
    header->setSectionsClickable(true);
    header->setSectionResizeMode(QHeaderView::Interactive);
    header->resizeSection(CFileListModel::kFileName, 170);
    header->resizeSection(CFileListModel::kSize, 70);
    header->resizeSection(CFileListModel::kType, 50);
    header->resizeSection(CFileListModel::kModifiedTime, 125);
    header->resizeSection(CFileListModel::kCreatedTime, 125);
    connect(header, &QHeaderView::sectionClicked, this,
            [this](int column) { m_fileList->SortByHeader(column); });
    connect(m_fileListView, &QAbstractItemView::doubleClicked, this,
            &CMainWnd::OnFileRowActivated);
    connect(m_fileListView->selectionModel(), &QItemSelectionModel::currentChanged, this,
            &CMainWnd::OnFileRowCurrent);
  }
  if (m_pagination)
    connect(m_pagination, &Pagination::updatePage, this,
            [this](int page) { m_fileList->SetPage(page); });
  if (m_checkAll)
    connect(m_checkAll, &QCheckBox::clicked, this,
            [this] { m_fileList->SetAllChecked(m_fileList->AllCheckState() != Qt::Checked); });
  connect(m_fileList, &CFileListModel::rowsReordered, this, &CMainWnd::ShowPageOfList);
  connect(m_fileList, &CFileListModel::checksChanged, this, [this] {
    if (m_checkAll) m_checkAll->setCheckState(m_fileList->AllCheckState());
    UpdateSelectionSummary();
  });
}

bool CMainWnd::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::Enter) OnHover(watched->objectName());
  return QWidget::eventFilter(watched, event);
}

void CMainWnd::OnHover(const QString& name) {
  static const std::pair<const char*, const char*> kDescriptions[] = {
      {"BtnDeletedRecovery", "MSG0101"},
      {"BtnFormattedRecovery", "MSG0102"},
      {"BtnDeepRecovery", "MSG0103"},
      {"BtnCreateImageMode", "MSG0104"},
  };
  for (const auto& [button, key] : kDescriptions)
    if (name == QLatin1String(button) && m_mainInfo) m_mainInfo->setText(Message(key));
}

void CMainWnd::ApplyTexts() {
  if (!m_form) return;
  std::array<QString, CFileListModel::kColumnCount> headers;
  for (size_t i = 0; i < headers.size(); ++i)
    headers[i] = QLatin1String(CFileListModel::kColumnNames[i]);
  MainTexts texts(*m_form, headers);
  m_context.texts.ApplySection("MainWnd", texts);
  m_fileList->SetHeaderTexts(headers);
  if (m_diskList) {
    m_diskList->SetDiskCaptions(Message("MSG0201"), Message("MSG0202"));
    ShowDiskInfo(CDiskListUI::SourceOf(m_diskList->currentItem()));
  }
  // The captions of the type tree follow the language too.
  if (m_typeTree && m_typeTreeWidget && m_typeTreeWidget->topLevelItemCount() > 0) {
    const QSignalBlocker quiet(m_typeTreeWidget);
    for (size_t i = 0; i < kCategoryCount; ++i) {
      QTreeWidgetItem* node = m_typeTree->CategoryNode(CTypeTree::kNodeNames[i]);
      if (!node) continue;
      size_t total = 0;
      for (const std::string& ext : CTypeTree::ExtensionsOf(node)) {
        auto it = m_groups.find(ext);
        if (it != m_groups.end()) total += it->second.size();
      }
      node->setText(0, QStringLiteral("%1 (%2)").arg(Message(kCategoryKeys[i])).arg(total));
    }
  }
  UpdateSelectionSummary();
}

QString CMainWnd::Message(const char* key) const {
  return FromUtf8(m_context.texts.Text("Messages", key));
}

void CMainWnd::OnClick(const QString& name) {
  if (name == QLatin1String("BtnStart") || name == QLatin1String("BtnFormattedRecovery") ||
      name == QLatin1String("BtnDeepRecovery")) {
    m_mode = ScanMode::kFull;
    m_imagePage = false;
    GoToDeviceStep();
  } else if (name == QLatin1String("BtnDeletedRecovery")) {
    m_mode = ScanMode::kQuick;
    m_imagePage = false;
    GoToDeviceStep();
  } else if (name == QLatin1String("BtnCreateImageMode")) {
    m_imagePage = true;
    GoToDeviceStep();
  } else if (name == QLatin1String("BtnScan")) {
    // The image page's action button makes an image.
    if (m_imagePage)
      CreateImage();
    else
      StartScan();
  } else if (name == QLatin1String("BtnRecover")) {
    RecoverSelected();
  } else if (name == QLatin1String("BtnCreateImage") || name == QLatin1String("BtnAdvanceScan")) {
    CreateImage();
  } else if (name == QLatin1String("BtnPrev")) {
    Step(-1);
  } else if (name == QLatin1String("BtnNext")) {
    Step(1);
  } else if (name == QLatin1String("BtnLoadImage")) {
    ChooseAndLoadImage();
  } else if (name == QLatin1String("BtnAssist")) {
    OpenAssistMenu();
  } else if (name == QLatin1String("BtnLikeIt")) {
    ShowLikeIt();
  } else if (name == QLatin1String("TabFileType")) {
    ShowResultView(kByType);
  } else if (name == QLatin1String("TabScan")) {
    ShowResultView(kByFolder);
  } else if (name == QLatin1String("TabRecover")) {
    ShowResultView(kRecoverTab);
  }
}

void CMainWnd::ShowPage(Page page) {
  if (m_pages) m_pages->setCurrentIndex(int(page));
  const bool modePage = page == kModePage;
  if (m_subBar1) m_subBar1->setVisible(modePage);
  if (m_subBar2) m_subBar2->setVisible(!modePage);
  if (auto* recover = m_form ? m_form->findChild<QWidget*>(QStringLiteral("BtnRecover")) : nullptr)
    recover->setVisible(page == kResultsPage);
  if (auto* scan = m_scanButton) scan->setVisible(page == kDevicePage && !m_imagePage);
  for (const char* name : {"BtnCreateImage", "BtnAdvanceScan"})
    if (auto* image = m_form ? m_form->findChild<QWidget*>(QLatin1String(name)) : nullptr)
      image->setVisible(page == kDevicePage && m_imagePage);
  if (auto* load = m_form ? m_form->findChild<QWidget*>(QStringLiteral("BtnLoadImage")) : nullptr)
    load->setVisible(page == kDevicePage && !m_imagePage);
  if (auto* next = m_form ? m_form->findChild<QWidget*>(QStringLiteral("BtnNext")) : nullptr)
    next->setEnabled(page != kResultsPage);
  if (m_mainInfo && page != kResultsPage) m_mainInfo->clear();
  if (page == kResultsPage) UpdateSelectionSummary();
}

void CMainWnd::GoToDeviceStep() {
  if (m_scanButton) {
    m_scanButton->setIcon(QIcon(SkinPath(m_imagePage ? QStringLiteral("btn_create_image.png")
                                                     : QStringLiteral("btn_scan.png"))));
    m_scanButton->setIconSize(m_imagePage ? QSize(28, 32) : QSize(32, 32));
  }
  if (auto* banner = m_form ? m_form->findChild<QWidget*>(QStringLiteral("banner")) : nullptr)
    banner->setStyleSheet(
        QStringLiteral("QFrame#banner { border: none; border-image: url(%1) 0 0 0 70 stretch; }"
                       "QLabel { color: #0089BE; }")
            .arg(SkinPath(QStringLiteral("banner_bg.png"))));
  if (auto* picture =
          m_form ? m_form->findChild<QLabel*>(QStringLiteral("bannerPicture")) : nullptr)
    picture->setPixmap(QPixmap(SkinPath(QStringLiteral("scan_files.png"))).scaled(50, 50));
  ShowPage(kDevicePage);
  if (!m_diskList) return;
  m_diskList->SetImageRowsVisible(!m_imagePage);
  QTreeWidgetItem* row = m_diskList->FirstRemovablePartitionRow();
  if (!row) {
    std::vector<QTreeWidgetItem*> rows;
    for (QTreeWidgetItem* r : m_diskList->AllRows())
      if (!r->isHidden() && !(r->parent() && r->parent()->isHidden())) rows.push_back(r);
    if (rows.size() > 1) row = rows[1];
  }
  if (row) m_diskList->setCurrentItem(row);
  OnDiskRowSelected(m_diskList->currentItem());
}

void CMainWnd::Step(int delta) {
  const int page = m_pages ? m_pages->currentIndex() : 0;
  if (delta > 0) {
    if (page == kModePage) {
      GoToDeviceStep();
    } else if (page == kDevicePage) {
      if (!m_diskSelected) {
        ShowMessage(m_context, kInformationBox, this, "Please select disk media for next step!");
        return;
      }
      ShowPage(kResultsPage);
    }
  } else if (page > kModePage) {
    ShowPage(Page(page - 1));
  }
}

void CMainWnd::OnDiskRowSelected(QTreeWidgetItem* row) {
  m_diskSelected = row && !row->isHidden() && !CDiskListUI::SourcesToScan(row).empty();
  ShowDiskInfo(row ? CDiskListUI::SourceOf(row) : nullptr);
}

void CMainWnd::ShowDiskInfo(const ScanSource* source) {
  for (QLabel* label : m_infoLabels)
    if (label) label->clear();
  if (!source) return;
  auto set = [this](size_t line, const std::string& text) {
    if (m_infoLabels[line]) m_infoLabels[line]->setText(FromUtf8(text));
  };
  auto text = [this](const char* key) { return m_context.texts.Text("Messages", key); };
  if (source->IsPartition()) {
    const VolumeInfo& p = *source->partition;
    if (HasDriveLetter(p))
      set(0, FormatMessage("%s %c", {text("MSG0203"), char32_t(p.driveLetter)}));
    else
      set(0, FormatMessage("%s %d", {text("MSG0203"), int64_t(p.driveLetter)}));
    set(1, p.label.empty() ? text("MSG0204") : FormatMessage("%s %s", {text("MSG0204"), p.label}));
    set(2, FormatMessage("%s %s", {text("MSG0205"), p.fileSystemName}));
    set(3, FormatMessage("%s %s", {text("MSG0206"), SizeText(int64_t(p.totalBytes))}));
    set(4, FormatMessage("%s %s", {text("MSG0207"), SizeText(int64_t(p.usedBytes))}));
    set(5, FormatMessage("%s %s", {text("MSG0208"), SizeText(int64_t(p.freeBytes))}));
    set(6, FormatMessage("%s %I64u", {text("MSG0209"), p.start}));
    set(7, FormatMessage("%s %I64u", {text("MSG0210"), p.length}));
    return;
  }
  // An image, or one partition of it.
  std::error_code ec;
  uint64_t bytes = std::filesystem::file_size(source->imagePath, ec);
  if (ec) bytes = 0;
  uint64_t start = 0;
  uint64_t length = bytes / 512;
  if (source->imagePartition) {
    start = source->imagePartition->start;
    length = source->imagePartition->length;
    bytes = length * 512;
  }
  set(0, FormatMessage("%s %s", {text("MSG0203"), source->ImageName()}));
  if (auto it = m_imageFileSystems.find(source); it != m_imageFileSystems.end())
    set(2, FormatMessage("%s %s", {text("MSG0205"), it->second}));
  set(3, FormatMessage("%s %s", {text("MSG0206"), SizeText(int64_t(bytes))}));
  set(6, FormatMessage("%s %I64u", {text("MSG0209"), start}));
  set(7, FormatMessage("%s %I64u", {text("MSG0210"), length}));
}

std::vector<ScanSource*> CMainWnd::SourcePointers() const {
  std::vector<ScanSource*> pointers;
  pointers.reserve(m_sources.size());
  for (const auto& source : m_sources) pointers.push_back(source.get());
  return pointers;
}

ScanSource& CMainWnd::AddSource(ScanSource source) {
  m_sources.push_back(std::make_unique<ScanSource>(std::move(source)));
  return *m_sources.back();
}

void CMainWnd::RefreshDiskList() {
  if (!m_disks || !m_diskList) return;
  RefreshDisks(*m_disks);
  m_diskList->ClearDisks();
  // A volume seen before keeps its source, and with it the engine of its
  // last scan; one that is gone keeps its source too, as found files may
  // still name it.
  auto sourceFor = [this](const VolumeInfo& volume) -> ScanSource& {
    for (const auto& s : m_sources) {
      if (!s->IsPartition()) continue;
      const VolumeInfo& p = *s->partition;
      if (p.kind == volume.kind && p.diskNumber == volume.diskNumber && p.start == volume.start &&
          p.length == volume.length) {
        s->partition = volume;
        return *s;
      }
    }
    ScanSource source;
    source.partition = volume;
    return AddSource(std::move(source));
  };
  for (const auto& [disk, records] : m_disks->Disks()) {
    bool removable = false;
    const VolumeInfo* whole = nullptr;
    std::vector<const VolumeInfo*> volumes;
    for (const VolumeInfo& record : records) {
      removable = removable || record.removable;
      if (record.kind == VolumeInfo::Kind::kWholeDisk) whole = &record;
      if (record.kind == VolumeInfo::Kind::kVolume) volumes.push_back(&record);
    }
    ScanSource* own = whole && volumes.empty() ? &sourceFor(*whole) : nullptr;
    QTreeWidgetItem* row =
        m_diskList->AddDiskRow(disk, removable, Message(removable ? "MSG0202" : "MSG0201"), own);
    for (const VolumeInfo* volume : volumes) m_diskList->AddPartitionRow(row, sourceFor(*volume));
  }
  m_diskList->SetImageRowsVisible(!m_imagePage);
  OnDiskRowSelected(m_diskList->currentItem());
}

void CMainWnd::OnDeviceChange() { m_deviceTimer->start(); }

void CMainWnd::ChooseAndLoadImage() {
  const QStringList filters{QStringLiteral("Image Files (*.img)"),
                            QStringLiteral("All Files(*.*)")};
  QString path;
  if (m_services.chooseImageFile)
    path = m_services.chooseImageFile(this, filters);
  else
    path = QFileDialog::getOpenFileName(this, QString(), QString(), filters.join(";;"));
  if (path.isEmpty()) return;
  if (QTreeWidgetItem* row = LoadImage(path)) m_diskList->setCurrentItem(row);
}

QTreeWidgetItem* CMainWnd::LoadImage(const QString& path) {
  if (!m_diskList) return nullptr;
  const QFileInfo info(path);
  if (!info.isFile() || !info.isReadable()) return nullptr;
  const std::filesystem::path file = platform::PathFromUtf8(path.toStdString());
  std::vector<ScanSource*> pointers = SourcePointers();
  // The next image's tag counts the images loaded; a tag some other source
  // holds already is passed over.
  uint16_t tag = uint16_t(m_imagesLoaded + 1);
  if (FindSourceByKey(pointers, tag) || IsLetterKey(tag)) tag = UnusedSourceKey(pointers);
  ScanSource image;
  image.imagePath = file;
  image.sourceTag = tag;
  ++m_imagesLoaded;
  ScanSource& source = AddSource(std::move(image));
  QTreeWidgetItem* row = m_diskList->AddImageRow(source, uint64_t(info.size()));
  const std::vector<ImagePartitionInfo> partitions = ListImagePartitions(file);
  if (partitions.empty()) m_imageFileSystems[&source] = ImageFileSystem(file);
  for (const ImagePartitionInfo& part : partitions) {
    pointers = SourcePointers();
    uint32_t key = kFirstImagePartitionKey;
    while (key <= 0xFFFF && FindSourceByKey(pointers, uint16_t(key))) ++key;
    if (key > 0xFFFF) break;
    ScanSource partition;
    partition.imagePath = file;
    partition.imagePartition = ImagePartition{part.number, part.start, part.length};
    partition.sourceTag = uint16_t(key);
    ScanSource& added = AddSource(std::move(partition));
    m_imageFileSystems[&added] = part.fileSystem;
    m_diskList->AddImagePartitionRow(row, added, FromUtf8(part.fileSystem), part.length * 512);
  }
  m_diskList->SetImageRowsVisible(!m_imagePage);
  return row;
}

void CMainWnd::StartScan() {
  if (m_imagePage || !m_diskList) return;
  QTreeWidgetItem* row = m_diskList->currentItem();
  std::vector<ScanSource*> sources = CDiskListUI::SourcesToScan(row);
  if (!m_diskSelected || !row || sources.empty()) {
    ShowMessage(m_context, kInformationBox, this, m_context.texts.Text("Messages", "MSG0505"));
    return;
  }
  // The views let go of every engine: the scan replaces some of them on
  // its worker.
  m_fileList->Clear();
  m_fileTree->Clear();
  if (m_typeTree) m_typeTree->Clear();
  m_groups.clear();
  m_results = std::make_shared<RecordList>();
  if (m_currentSource && m_currentSource->engine) {
    m_currentSource->engine.reset();
    // The log of the last quick scan is only a scratch copy.
    if (m_previousMode == ScanMode::kQuick && !m_previousQuickFolder.empty())
      m_history->ForgetFolder(m_previousQuickFolder);
  }
  m_currentSource = sources.back();
  m_scanned = sources;

  ScanJobSetup setup;
  setup.sources = sources;
  setup.mode = m_mode;
  setup.history = m_history;
  setup.previewFolder = m_services.previewFolder;
  setup.messages = m_context.Messages();
  setup.makeEngine = m_services.makeEngine;
  int code = 0;
  {
    CScanProcessWnd window(m_context, std::move(setup));
    window.CreatePopUp(this, CScanProcessWnd::kWidth, CScanProcessWnd::kHeight);
    m_busy = true;
    code = window.ShowModal();
  }
  m_previousMode = m_mode;
  m_previousQuickFolder.clear();
  if (m_mode == ScanMode::kQuick) m_previousQuickFolder = m_history->CurrentFolder();
  if (code == int(CloseCode::kFailed))
    ShowMessage(m_context, kWarningBox, this, m_context.texts.Text("Messages", "MSG0504"));
  m_busy = false;
  RunPendingMessages();
}

void CMainWnd::OnFileRowActivated(const QModelIndex& index) {
  const ScanRecord* record = index.isValid() ? m_fileList->RecordAt(index.row()) : nullptr;
  if (!record || m_busy) return;
  // The list may change under the preview window: keep a copy.
  const ScanRecord file = *record;
  m_busy = true;
  m_preview->Show(file, SourcePointers());
  m_busy = false;
  RunPendingMessages();
}

void CMainWnd::customEvent(QEvent* event) {
  const int type = int(event->type());
  if (type == kLanguageChanged) {
    ApplyTexts();
    return;
  }
  if (type != kScanFinished && type != kSearchFinished) return QWidget::customEvent(event);
  // A job's end arrives while its window is still open; it is taken up
  // once the window has gone.
  m_pending.push_back(type);
  if (!m_busy) RunPendingMessages();
}

void CMainWnd::RunPendingMessages() {
  while (!m_pending.empty() && !m_busy) {
    const int type = m_pending.front();
    m_pending.erase(m_pending.begin());
    if (type == kScanFinished)
      AfterScan();
    else
      AfterSearch();
  }
}

void CMainWnd::AfterScan() {
  std::vector<ScanSource*> scanned;
  for (ScanSource* source : m_scanned)
    if (source->engine) scanned.push_back(source);
  if (scanned.empty()) return;
  m_selection.Clear();
  m_fileList->SelectionChanged();
  UpdateSelectionSummary();
  // A new list: the one before may still hold marked files.
  m_results = std::make_shared<RecordList>();
  if (m_diskList && !m_diskList->currentItem() && m_diskList->topLevelItemCount() > 0)
    m_diskList->setCurrentItem(m_diskList->topLevelItem(0));

  // Every kind of file the engines found: the five lists, and the others.
  SearchJobSetup setup;
  setup.sources = scanned;
  setup.filter = SearchFilterText({}) + "|*.other";
  setup.results = m_results.get();
  setup.messages = m_context.Messages();
  {
    CSearchProcessWnd window(m_context, std::move(setup));
    window.CreatePopUp(this, CSearchProcessWnd::kWidth, CSearchProcessWnd::kHeight);
    m_busy = true;
    window.ShowModal();
  }
  m_busy = false;
}

void CMainWnd::AfterSearch() {
  m_fileList->Clear();
  if (m_mainInfo) m_mainInfo->clear();
  GroupByExtension(*m_results, m_groups);
  ShowPage(kResultsPage);

  std::array<QString, kCategoryCount> captions;
  for (size_t i = 0; i < kCategoryCount; ++i) captions[i] = Message(kCategoryKeys[i]);
  if (m_typeTree) {
    const QSignalBlocker quiet(m_typeTreeWidget);
    m_typeTree->Fill(m_groups, captions);
  }
  std::vector<ScanSource*> scanned;
  std::vector<QString> names;
  for (ScanSource* source : m_scanned) {
    if (!source->engine) continue;
    scanned.push_back(source);
    names.push_back(SourceName(*source));
  }
  m_fileTree->SetSources(scanned, names);
  if (m_fileTreeView && m_fileTree->rowCount() > 0) m_fileTreeView->expand(m_fileTree->index(0, 0));

  ShowResultView(kByType);
  // The first kind of file found is shown.
  if (m_typeTreeWidget) {
    for (int i = 0; i < m_typeTreeWidget->topLevelItemCount(); ++i) {
      QTreeWidgetItem* category = m_typeTreeWidget->topLevelItem(i);
      if (category->childCount() > 0) {
        m_typeTreeWidget->setCurrentItem(category->child(0));
        break;
      }
    }
  }
  UpdateSelectionSummary();
}

void CMainWnd::ShowResultView(ResultView view) {
  if (m_resultTabs) m_resultTabs->setCurrentIndex(int(view));
  const char* tabs[] = {"TabFileType", "TabScan", "TabRecover"};
  for (int i = 0; i < 3; ++i)
    if (auto* tab = m_form ? m_form->findChild<QAbstractButton*>(QLatin1String(tabs[i])) : nullptr)
      tab->setChecked(i == int(view));
  if (view == kByType && m_typeTreeWidget) OnTypeNodeChosen(m_typeTreeWidget->currentItem());
  if (view == kByFolder && m_fileTreeView) {
    QModelIndex current = m_fileTreeView->currentIndex();
    if (!current.isValid() && m_fileTree->rowCount() > 0) {
      m_fileTreeView->setCurrentIndex(m_fileTree->index(0, 0));
    } else {
      OnFolderChosen(current);
    }
  }
}

void CMainWnd::OnTypeNodeChosen(QTreeWidgetItem* node) {
  if (!node) return;
  std::vector<uint32_t> order;
  const ScanRecord* first = m_results->data();
  for (const std::string& ext : CTypeTree::ExtensionsOf(node)) {
    auto it = m_groups.find(ext);
    if (it == m_groups.end()) continue;
    for (const ScanRecord* record : it->second) order.push_back(uint32_t(record - first));
  }
  m_fileList->SetRows(m_results, std::move(order));
  ShowPageOfList();
}

void CMainWnd::OnTypeNodeChecked(QTreeWidgetItem* node) {
  // A category's box follows its children's, which carry the marks.
  if (!CTypeTree::IsTypeNode(node)) return;
  auto it = m_groups.find(CTypeTree::ExtensionOf(node));
  if (it == m_groups.end()) return;
  const bool checked = node->checkState(0) == Qt::Checked;
  for (const ScanRecord* record : it->second) {
    if (checked)
      m_selection.Add(*record, m_results);
    else
      m_selection.Remove(*record);
  }
  m_fileList->SelectionChanged();
}

void CMainWnd::OnFolderChosen(const QModelIndex& index) {
  std::shared_ptr<const RecordList> listing = m_fileTree->Listing(index);
  if (!listing) {
    m_fileList->Clear();
    ShowPageOfList();
    return;
  }
  std::vector<uint32_t> files;
  for (size_t i = 0; i < listing->size(); ++i)
    if (!(*listing)[i].IsFolder()) files.push_back(uint32_t(i));
  m_fileList->SetRows(listing, std::move(files));
  ShowPageOfList();
}

void CMainWnd::ShowPageOfList() {
  if (m_pagination) m_pagination->SetPageCount(m_fileList->PageCount());
  m_fileList->SetPage(1);
  if (m_checkAll) m_checkAll->setCheckState(m_fileList->AllCheckState());
}

void CMainWnd::UpdateSelectionSummary() {
  const size_t count = m_selection.Count();
  if (m_selectedInfo) {
    m_selectedInfo->setTextFormat(Qt::RichText);
    m_selectedInfo->setText(Message("MSG0801").toHtmlEscaped() + QLatin1Char(' ') +
                            MarkupToHtml(QStringLiteral("{f 7}{c #316D1E}%1{/c}{/f}").arg(count)) +
                            QLatin1Char(' ') + Message("MSG0802").toHtmlEscaped());
  }
  if (!m_mainInfo || !m_pages || m_pages->currentIndex() != kResultsPage) return;
  if (count == 0)
    m_mainInfo->setText(Message("MSG0803"));
  else
    m_mainInfo->setText(
        FromUtf8(FormatMessage(m_context.texts.Text("Messages", "MSG0804"),
                               {SizeText(int64_t(m_selection.TotalBytes())), uint64_t(count)})));
}

std::optional<CarvedVerdict> CMainWnd::KnownVerdictOfRecord(const ScanRecord& record) const {
  ScanSource* source = FindSourceByKey(SourcePointers(), uint16_t(record.SourceKey()));
  if (!source || !source->engine || m_busy) return std::nullopt;
  return KnownVerdictOf(*source->engine, record);
}

void CMainWnd::OnFileRowCurrent(const QModelIndex& index) {
  // Only the file chosen is read for its verdict: the rows drawn show what
  // is known, so that paging and sorting stay fast.
  const ScanRecord* record = index.isValid() ? m_fileList->RecordAt(index.row()) : nullptr;
  if (!record || record->IsFolder() || m_busy) return;
  ScanSource* source = FindSourceByKey(SourcePointers(), uint16_t(record->SourceKey()));
  if (!source || !source->engine) return;
  (void)CarvedVerdictOf(*source->engine, *record);
  m_fileList->VerdictKnown(index.row());
}

std::string CMainWnd::PathOf(const ScanRecord& record) const {
  ScanSource* source = FindSourceByKey(SourcePointers(), uint16_t(record.SourceKey()));
  if (!source || !source->engine || m_busy) return {};
  std::string path;
  if (source->engine->GetRecordPath(record, path, 260) != kOk) return {};
  return path;
}

void CMainWnd::OpenAssistMenu() {
  delete m_menu;
  m_menu = new CAssistMenu(m_context.texts, this);
  connect(m_menu, &CAssistMenu::itemChosen, this, &CMainWnd::OnMenuItem);
  connect(m_menu, &CAssistMenu::languageChosen, this, &CMainWnd::OnLanguageChosen);
  QPoint at = mapToGlobal(QPoint(width() - CAssistMenu::kWidth, 40));
  if (auto* button = m_form ? m_form->findChild<QWidget*>(QStringLiteral("BtnAssist")) : nullptr)
    at = button->mapToGlobal(QPoint(button->width() - CAssistMenu::kWidth, button->height()));
  m_menu->PopUp(at);
}

void CMainWnd::OnMenuItem(const QString& item) {
  auto open = [this](const char* url) {
    const QUrl page(QString::fromLatin1(url));
    if (m_services.openUrl)
      m_services.openUrl(page);
    else
      QDesktopServices::openUrl(page);
  };
  if (item == QLatin1String("item_help") || item == QLatin1String("item_faq"))
    open(kGuideUrl);
  else if (item == QLatin1String("item_about"))
    open(kAboutUrl);
  else if (item == QLatin1String("item_support"))
    open(kSupportUrl);
  else if (item == QLatin1String("item_exit"))
    m_services.quit ? m_services.quit() : QCoreApplication::quit();
}

void CMainWnd::OnLanguageChosen(const QString& name) {
  if (m_context.texts.ChangeLanguage(name.toStdString()) != kOk) return;
  QCoreApplication::postEvent(this, new QEvent(QEvent::Type(kLanguageChanged)));
}

void CMainWnd::ShowLikeIt() {
  CPopUpWnd like(m_context, QStringLiteral("LikeItWnd"), QStringLiteral("LikeItWnd.xml"),
                 QStringLiteral("LikeItWnd"), {});
  like.CreatePopUp(this, 360, 220);
  like.ShowModal();
}

void CMainWnd::RecoverSelected() {
  if (m_selection.Count() == 0) {
    ShowMessage(m_context, kInformationBox, this, m_context.texts.Text("Messages", "MSG0803"));
    return;
  }
  RecoveryFolderTexts texts{QStringLiteral("Select location for recovery"), Message("MSG0813"),
                            Message("MSG0814"), Message("MSG0815")};
  const RecoveryLayout last = LastRecoveryLayout();
  const std::optional<RecoveryFolderChoice> choice =
      m_services.chooseRecoveryFolder ? m_services.chooseRecoveryFolder(this, texts, last)
                                      : ChooseRecoveryFolder(this, texts, last);
  if (!choice || choice->folder.isEmpty()) return;
  if (choice->layout != last) KeepRecoveryLayout(choice->layout);
  m_targetFolder = platform::PathFromUtf8(WithoutTrailingSeparator(choice->folder).toStdString());
  // Writing onto a scanned medium may overwrite what is still to be
  // recovered; one question is enough.
  if (TargetOnScannedMedium(m_targetFolder) &&
      ShowMessage(m_context, kConfirmBox, this, m_context.texts.Text("Messages", "MSG0805")) != 1)
    return;

  RecoveryJobSetup setup;
  setup.selection.reserve(m_selection.Count());
  for (const auto& [key, record] : m_selection.Files()) setup.selection.push_back(*record);
  setup.sources = SourcePointers();
  setup.targetFolder = m_targetFolder;
  setup.messages = m_context.Messages();
  setup.asFound = choice->layout == RecoveryLayout::kAsFound;
  {
    CRecoverProcessWnd window(m_context, std::move(setup), m_services.openUrl);
    window.CreatePopUp(this, CRecoverProcessWnd::kWidth, CRecoverProcessWnd::kHeight);
    m_busy = true;
    window.ShowModal();
  }
  m_busy = false;
  RunPendingMessages();
}

bool CMainWnd::TargetOnScannedMedium(const std::filesystem::path& folder) const {
  static const DiskMap kNoDisks;
  const DiskMap& disks = m_disks ? m_disks->Disks() : kNoDisks;
  for (const auto& source : m_sources) {
    if (!source->engine) continue;
    ImageSource medium;
    if (source->IsPartition()) {
      medium = ImageSourceFromVolume(*source->partition);
    } else {
      medium.kind = ImageSource::Kind::kImageFile;
      medium.imageFile = source->imagePath;
    }
    if (TargetOnSourceMedium(folder, medium, disks)) return true;
  }
  return false;
}

RecoveryLayout CMainWnd::LastRecoveryLayout() const {
  if (m_services.loadRecoveryLayout) return m_services.loadRecoveryLayout();
  const QSettings settings(DesktopSettingsFile(), QSettings::IniFormat);
  return settings.value(QStringLiteral("Recovery/Layout")).toString() == QLatin1String("found")
             ? RecoveryLayout::kAsFound
             : RecoveryLayout::kByType;
}

void CMainWnd::KeepRecoveryLayout(RecoveryLayout layout) {
  if (m_services.saveRecoveryLayout) return m_services.saveRecoveryLayout(layout);
  QSettings settings(DesktopSettingsFile(), QSettings::IniFormat);
  settings.setValue(QStringLiteral("Recovery/Layout"), layout == RecoveryLayout::kAsFound
                                                           ? QStringLiteral("found")
                                                           : QStringLiteral("type"));
}

bool CMainWnd::ImageSourceOfRow(const QTreeWidgetItem* row, ImageSource& source,
                                QString& name) const {
  if (!row) return false;
  const ScanSource* own = CDiskListUI::SourceOf(row);
  switch (CDiskListUI::KindOf(row)) {
    case DiskRowKind::kDisk: {
      // A disk with partition rows is copied whole, as is one without.
      int disk = -1;
      if (own && own->partition) disk = own->partition->diskNumber;
      for (int i = 0; disk < 0 && i < row->childCount(); ++i)
        if (const ScanSource* part = CDiskListUI::SourceOf(row->child(i)); part && part->partition)
          disk = part->partition->diskNumber;
      if (disk < 0) return false;
      source = ImageSource{};
      source.kind = ImageSource::Kind::kWholeDisk;
      source.diskNumber = disk;
      name = FromUtf8(ProposeDiskImageName(disk));
      return true;
    }
    case DiskRowKind::kPartition: {
      if (!own || !own->partition) return false;
      const VolumeInfo& p = *own->partition;
      source = ImageSourceFromVolume(p);
      name = FromUtf8(ProposePartitionImageName(p));
      return true;
    }
    case DiskRowKind::kImage:
      if (!own) return false;
      source = ImageSource{};
      source.kind = ImageSource::Kind::kImageFile;
      source.imageFile = own->imagePath;
      name = QFileInfo(FromUtf8(platform::PathToUtf8(own->imagePath))).completeBaseName();
      return true;
    default: return false;
  }
}

QString CMainWnd::ChooseImageTarget(const QString& proposedName) const {
  const QString filter = QStringLiteral("Image Files (*.img)");
  if (m_services.chooseImageTarget)
    return m_services.chooseImageTarget(const_cast<CMainWnd*>(this), proposedName, filter);
  QFileDialog dialog(const_cast<CMainWnd*>(this));
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setFileMode(QFileDialog::AnyFile);
  dialog.setNameFilter(filter);
  dialog.setDefaultSuffix(QStringLiteral("img"));
  dialog.selectFile(proposedName);
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
  return dialog.selectedFiles().front();
}

void CMainWnd::CreateImage() {
  QTreeWidgetItem* row = m_diskList ? m_diskList->currentItem() : nullptr;
  ImageSource source;
  QString proposed;
  if (!m_diskSelected || !ImageSourceOfRow(row, source, proposed)) {
    ShowMessage(m_context, kInformationBox, this, m_context.texts.Text("Messages", "MSG0216"));
    return;
  }
  // A disk that cannot be measured counts as empty for the checks.
  uint64_t imageBytes = 0;
  if (ImageSourceBytes(source, imageBytes) != kOk) imageBytes = 0;
  static const DiskMap kNoDisks;
  const DiskMap& disks = m_disks ? m_disks->Disks() : kNoDisks;

  // Each refused file goes back to the dialog.
  std::filesystem::path imagePath;
  for (;;) {
    const QString chosen = ChooseImageTarget(proposed);
    if (chosen.isEmpty()) return;
    proposed = chosen;
    imagePath = platform::PathFromUtf8(chosen.toStdString());
    const ImageTargetFacts facts = m_services.describeImageTarget
                                       ? m_services.describeImageTarget(imagePath, source, disks)
                                       : DescribeImageTarget(imagePath, source, disks);
    const ImageTargetProblem problem = CheckImageTarget(facts, imageBytes);
    if (problem == ImageTargetProblem::kNone) break;
    ShowMessage(m_context, kInformationBox, this,
                m_context.texts.Text("Messages", ImageTargetMessageKey(problem)));
  }

  ImageJobSetup setup;
  setup.source = source;
  setup.imagePath = imagePath;
  if (m_services.copyImage) setup.copier = m_services.copyImage;
  setup.messages = m_context.Messages();
  int code = 0;
  {
    CCreateImageProcessWnd window(m_context, std::move(setup));
    window.CreatePopUp(this, CCreateImageProcessWnd::kWidth, CCreateImageProcessWnd::kHeight);
    m_busy = true;
    code = window.ShowModal();
  }
  m_busy = false;
  if (code == int(CloseCode::kFailed)) {
    QThread::msleep(100);
    ShowMessage(m_context, kInformationBox, this, m_context.texts.Text("Messages", "MSG0217"));
  }
  // Even a partial image may be worth a scan.
  if (ShowMessage(m_context, kQuestionBox, this, m_context.texts.Text("Messages", "MSG0214")) ==
      1) {
    OnClick(QStringLiteral("BtnDeepRecovery"));
    if (QTreeWidgetItem* image = LoadImage(FromUtf8(platform::PathToUtf8(imagePath)))) {
      m_diskList->setCurrentItem(image);
      StartScan();
    }
  }
  RunPendingMessages();
}

}  // namespace brinvale::ui
