// Pictures every window of the desktop program, drawn offscreen, into the
// folder given: the main window, each kind of message box and each
// progress window while its job runs over a fixture image. A reviewer looks
// at them; nothing here checks them.
#include <stdlib.h>

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QProgressBar>
#include <QAbstractItemView>
#include <QTest>
#include <QToolTip>
#include <QTreeView>
#include <QTreeWidget>
#include <cstdio>
#include <filesystem>
#include <thread>

#include "app/message_table.h"
#include "app/scan_history.h"
#include "app/scan_job.h"
#include "app/search_job.h"
#include "common/error_codes.h"
#include "engines/engine_factory.h"
#include "screenshots/paced_engine.h"
#include "support/fake_disk_enumeration.h"
#include "support/fixture_path.h"
#include "results/preview_target.h"
#include "ui/create_image_process_wnd.h"
#include "ui/file_list_model.h"
#include "ui/main_wnd.h"
#include "ui/message_box.h"
#include "ui/preview_process_wnd.h"
#include "ui/recover_process_wnd.h"
#include "ui/scan_process_wnd.h"
#include "ui/search_process_wnd.h"
#include "ui/skin_loader.h"

namespace brinvale::ui::shots {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

QDir g_out;
int g_failures = 0;

void Save(QWidget& widget, const QString& name) {
  const QString path = g_out.filePath(name + ".png");
  if (widget.grab().save(path)) {
    std::printf("%s\n", path.toLocal8Bit().constData());
  } else {
    std::fprintf(stderr, "screenshots: could not write %s\n", path.toLocal8Bit().constData());
    ++g_failures;
  }
}

bool WaitUntil(const std::function<bool()>& ready, int ms = 120000) {
  if (QTest::qWaitFor(ready, ms)) return true;
  std::fprintf(stderr, "screenshots: a window did not get where it was waited for\n");
  ++g_failures;
  return false;
}

int Progress(QWidget& window) {
  auto* bar = window.findChild<QProgressBar*>("progress");
  return bar ? bar->value() : -1;
}

// Waits for `window` to close, then lets its last queued calls arrive.
void Finish(CPopUpWnd& window) {
  WaitUntil([&] { return window.ClosedWith().has_value(); });
  QTest::qWait(20);
}

// The captions of a layout's buttons, by name.
class ButtonTexts : public IControlTexts {
 public:
  explicit ButtonTexts(QWidget& root) : m_root(root) {}
  void SetControlText(std::string_view control, std::string_view text) override {
    const QString name = QString::fromUtf8(control.data(), qsizetype(control.size()));
    if (auto* button = m_root.findChild<QAbstractButton*>(name))
      button->setText(QString::fromUtf8(text.data(), qsizetype(text.size())));
  }

 private:
  QWidget& m_root;
};

// An image copy that lingers after each progress report it passes on.
struct PacedCopy {
  ImageCopyProgress progress;
  void* user;
};

int PacedCopyProgress(void* user, int percent, uint64_t done, uint64_t total, int secondsLeft) {
  auto& paced = *static_cast<PacedCopy*>(user);
  const int rc = paced.progress(paced.user, percent, done, total, secondsLeft);
  std::this_thread::sleep_for(30ms);
  return rc;
}

int CopyPaced(ImageCopyJob& job, const ImageSource& source, const fs::path& path, void* user) {
  PacedCopy paced{job.progress, user};
  job.progress = PacedCopyProgress;
  return CopyImageSource(job, source, path, &paced);
}

std::unique_ptr<IRidiRedazuvoParse> QuickEngine(const ScanSource& source, const fs::path& logs) {
  EngineSetup setup;
  setup.logFolder = logs;
  setup.previewFolder = logs;
  auto engine =
      CreateEngineForImage(source.imagePath, char16_t(source.sourceTag), ScanMode::kQuick, setup);
  if (engine && engine->Scan(nullptr) != kOk) engine.reset();
  return engine;
}

ScanSource Fixture(const char* name, uint16_t tag) {
  ScanSource source;
  source.imagePath = brinvale::test::FixturePath(name);
  source.sourceTag = tag;
  return source;
}

void MessageBoxes(MessageTable& texts, QWidget& owner) {
  const UiContext context{texts, {}};
  struct Shot {
    int kind;
    const char* name;
    std::string text;
  } shots[] = {
      {0, "MessageBox_Error", texts.Text("Messages", "MSG0504")},
      {1, "MessageBox_Confirm", texts.Text("Messages", "MSG0805")},
      {2, "MessageBox_Information", "Orlenta Brinvale is running."},
      {3, "MessageBox_Warning", texts.Text("Messages", "MSG0218")},
      {4, "MessageBox_Question", texts.Text("Messages", "MSG1206")},
  };
  for (const Shot& shot : shots) {
    CMessageBox box(context, shot.kind, QString::fromStdString(shot.text));
    box.CreatePopUp(&owner, CMessageBox::kWidth, CMessageBox::kHeight);
    box.show();
    QTest::qWait(20);
    Save(box, shot.name);
  }
}

void Click(QWidget& window, const char* name) {
  if (auto* button = window.findChild<QAbstractButton*>(name))
    QTest::mouseClick(button, Qt::LeftButton);
  else
    std::fprintf(stderr, "screenshots: no button %s\n", name), ++g_failures;
}

// The main window's pages: the mode page with a mode described, the device
// page with a fixture image loaded, and the results of its quick scan by
// type and by folder.
void MainWindowPages(CMainWnd& main) {
  QEvent enter(QEvent::Enter);
  if (QWidget* deep = main.findChild<QWidget*>("BtnDeepRecovery"))
    QCoreApplication::sendEvent(deep, &enter);
  Save(main, "MainWnd_Mode");
  Click(main, "BtnDeletedRecovery");
  QTreeWidgetItem* image =
      main.LoadImage(QString::fromStdString(brinvale::test::FixturePath("sample.img").string()));
  if (auto* list = main.findChild<QTreeWidget*>("DiskList"); list && image)
    list->setCurrentItem(image);
  QTest::qWait(20);
  Save(main, "MainWnd_Device");
  Click(main, "BtnScan");
  QTest::qWait(50);
  if (auto* tree = main.findChild<QTreeWidget*>("TypeTree");
      tree && tree->topLevelItemCount() > 0) {
    QTreeWidgetItem* photo = tree->topLevelItem(0);
    if (photo->childCount() > 0) photo->child(0)->setCheckState(0, Qt::Checked);
  }
  QTest::qWait(20);
  Save(main, "MainWnd_ByType");
  Click(main, "TabScan");
  if (auto* folders = main.findChild<QTreeView*>("FileTree")) {
    QAbstractItemModel* model = folders->model();
    const QModelIndex root = model ? model->index(0, 0) : QModelIndex();
    if (root.isValid()) folders->expand(root);
    if (root.isValid() && model->rowCount(root) > 0)
      folders->setCurrentIndex(model->index(0, 0, root));
  }
  QTest::qWait(20);
  Save(main, "MainWnd_ByFolder");
}

// The results of a quick scan of fsv_fat.img by folder, with the deleted
// file whose clusters another file took chosen: its icon is the "_error"
// one and the tooltip of its name tells why.
void DamagedFileChosen(const UiContext& context, const fs::path& work) {
  ScanHistory history(work / "verdict-logs");
  MainWndServices services;
  services.history = &history;
  services.previewFolder = work;
  services.watchDevices = false;
  CMainWnd main(context, services);
  main.CenterOnScreen();
  main.show();
  Click(main, "BtnDeletedRecovery");
  QTreeWidgetItem* image =
      main.LoadImage(QString::fromStdString(brinvale::test::FixturePath("fsv_fat.img").string()));
  if (auto* list = main.findChild<QTreeWidget*>("DiskList"); list && image)
    list->setCurrentItem(image);
  Click(main, "BtnScan");
  QTest::qWait(50);
  Click(main, "TabScan");
  auto* folders = main.findChild<QTreeView*>("FileTree");
  auto* files = main.findChild<QTreeView*>("FileList");
  if (!folders || !files || !folders->model() || folders->model()->rowCount() == 0) {
    std::fprintf(stderr, "screenshots: no results of fsv_fat.img\n");
    ++g_failures;
    return;
  }
  folders->setCurrentIndex(folders->model()->index(0, 0));
  CFileListModel& list = main.FileListModel();
  for (int row = 0; row < list.rowCount(); ++row)
    if (list.RecordAt(row)->Name() == "Victim.jpg") {
      const QModelIndex name = list.index(row, CFileListModel::kFileName);
      files->setCurrentIndex(name);
      QToolTip::showText(files->viewport()->mapToGlobal(files->visualRect(name).center()),
                         name.data(Qt::ToolTipRole).toString(), files->viewport());
    }
  QTest::qWait(50);
  Save(main, "MainWnd_DamagedFile");
  // The tooltip is a window of its own.
  for (QWidget* top : QApplication::topLevelWidgets())
    if (top->isVisible() && top->inherits("QTipLabel")) Save(*top, "MainWnd_DamagedFile_Tooltip");
  QToolTip::hideText();
}

// The main window's own recovery and image creation, paced: the recovery
// window with its detail list open, the message of a refused image file
// and the image window mid-copy. The disk list holds one made-up volume E,
// whose copy reads a fixture image.
void MainWindowRecoveryAndImage(MessageTable& texts, const fs::path& work) {
  ScanHistory history(work / "flow-logs");
  MainWndServices services;
  services.history = &history;
  services.previewFolder = work;
  services.watchDevices = false;
  services.makeDisks = [] {
    auto fake = std::make_unique<brinvale::testing::FakeDiskEnumeration>();
    // Disk 7, clear of the disks of the machine it runs on.
    fake->disks[7] = brinvale::testing::MakeDisk(16065ull * 100);
    fake->volumes.push_back(brinvale::testing::MakeVolume(7, 1 << 20, 64ull << 20, "FAT32", u'E'));
    return std::make_unique<DiskEnumerator>(std::move(fake));
  };
  services.makeEngine = [](const ScanSource& source, ScanMode mode, const EngineSetup& setup) {
    std::unique_ptr<IRidiRedazuvoParse> engine = MakeSourceEngine(source, mode, setup);
    if (engine) engine = std::make_unique<PacedEngine>(std::move(engine), 150ms);
    return engine;
  };
  services.loadRecoveryLayout = [] { return RecoveryLayout::kByType; };
  services.saveRecoveryLayout = [](RecoveryLayout) {};
  services.chooseRecoveryFolder = [&](QWidget*, const RecoveryFolderTexts&, RecoveryLayout) {
    return std::optional<RecoveryFolderChoice>(RecoveryFolderChoice{
        QString::fromStdString((work / "flow-recovered").string()), RecoveryLayout::kByType});
  };
  // A drive without room first, then one with it.
  int asked = 0;
  services.chooseImageTarget = [&](QWidget*, const QString&, const QString&) {
    ++asked;
    if (asked > 2) return QString();
    const fs::path path = asked == 1 ? work / "full" / "E.img" : work / "E.img";
    return QString::fromStdString(path.string());
  };
  services.describeImageTarget = [](const fs::path& path, const ImageSource& source,
                                    const DiskMap& disks) {
    ImageTargetFacts facts = DescribeImageTarget(path, source, disks);
    if (path.parent_path().filename() == "full") facts.freeBytes = 0;
    return facts;
  };
  services.copyImage = [](ImageCopyJob& job, const ImageSource&, const fs::path& path, void* user) {
    ImageSource file;
    file.kind = ImageSource::Kind::kImageFile;
    file.imageFile = brinvale::test::FixturePath("fat32.img");
    return CopyPaced(job, file, path, user);
  };
  const UiContext context{
      texts, [&](CPopUpWnd& window) {
        window.show();
        if (auto* box = dynamic_cast<CMessageBox*>(&window)) {
          QTest::qWait(20);
          const bool question = int(box->Kind()) == 4;
          if (!question) Save(window, "MainWnd_ImageCheck");
          Click(window, question ? "cancelbtn" : "okbtn");
          return window.ClosedWith().value_or(2);
        }
        if (window.GetWindowClassName() == QLatin1String("UIRecoverProcessWnd")) {
          if (WaitUntil([&] { return Progress(window) > 0; })) Click(window, "DetailBtn");
          auto* finish = window.findChild<QAbstractButton*>("FinishBtn");
          if (finish && WaitUntil([&] { return !finish->isHidden(); })) {
            QTest::qWait(20);
            Save(window, "MainWnd_Recover_details");
            QTest::mouseClick(finish, Qt::LeftButton);
          }
        } else if (window.GetSkinFile().contains(QLatin1String("CreateImageProcessWnd"))) {
          if (WaitUntil([&] { return Progress(window) >= 20; }))
            Save(window, "MainWnd_CreateImage");
        }
        WaitUntil([&] { return window.ClosedWith().has_value(); });
        return window.ClosedWith().value_or(2);
      }};
  CMainWnd main(context, services);
  main.show();
  Click(main, "BtnDeletedRecovery");
  QTreeWidgetItem* image =
      main.LoadImage(QString::fromStdString(brinvale::test::FixturePath("sample.img").string()));
  auto* list = main.findChild<QTreeWidget*>("DiskList");
  if (list && image) list->setCurrentItem(image);
  Click(main, "BtnScan");
  QTest::qWait(50);
  if (auto* tree = main.findChild<QTreeWidget*>("TypeTree");
      tree && tree->topLevelItemCount() > 0 && tree->topLevelItem(0)->childCount() > 0)
    tree->topLevelItem(0)->child(0)->setCheckState(0, Qt::Checked);
  Click(main, "BtnRecover");

  Click(main, "BtnCreateImageMode");
  if (list && list->topLevelItemCount() > 0 && list->topLevelItem(0)->childCount() > 0)
    list->setCurrentItem(list->topLevelItem(0)->child(0));
  Click(main, "BtnCreateImage");
}

// An engine whose found files are the preview's fixture files: it lists
// them and copies one out as the engines do.
class PreviewFilesEngine : public CNullRecoveryEngine {
 public:
  PreviewFilesEngine(RecordList records, fs::path folder)
      : m_records(std::move(records)), m_folder(std::move(folder)) {}
  int Search(const std::string&, RecordList& out) override {
    out = m_records;
    return kOk;
  }
  int ExtractRecord(const ScanRecord& record, fs::path& path, uint8_t*, uint64_t& size,
                    ExtractProgressCallback, void*) override {
    size = 0;
    path = PreviewTarget(record.Name(), m_folder);
    fs::path source = brinvale::test::FixturePath("preview") / std::string(record.Name());
    if (record.Name() == "photo.jpg") source = brinvale::test::FixturePath("preview") / "picture.png";
    std::error_code ec;
    fs::create_directories(m_folder, ec);
    fs::copy_file(source, path, fs::copy_options::overwrite_existing, ec);
    return ec ? kErrFileNotFound : kOk;
  }

 private:
  RecordList m_records;
  fs::path m_folder;
};

// The results page with a picture, a PDF's first page, a document's text
// and an archive's listing in the preview control.
void PreviewPages(const UiContext& context, const fs::path& work) {
  RecordList records;
  uint32_t number = 0;
  for (const char* name : {"photo.jpg", "page.pdf", "letter.docx", "listing.zip"}) {
    ScanRecord r;
    r.SetSourceKey(1);
    r.SetEngine(EngineCode::kQuickFat);
    r.SetNumber(++number);
    r.SetContentCheck(1);
    r.SetName(name);
    std::error_code ec;
    r.SetFileSize(fs::file_size(brinvale::test::FixturePath("preview") /
                                    (std::string(name) == "photo.jpg" ? "picture.png" : name),
                                ec));
    records.push_back(r);
  }
  ScanHistory history(work / "preview-logs");
  MainWndServices services;
  services.history = &history;
  services.previewFolder = work / "preview";
  services.watchDevices = false;
  services.makeEngine = [&](const ScanSource&, ScanMode, const EngineSetup&) {
    return std::unique_ptr<IRidiRedazuvoParse>(
        new PreviewFilesEngine(records, services.previewFolder));
  };
  CMainWnd main(context, services);
  main.show();
  Click(main, "BtnDeletedRecovery");
  QTreeWidgetItem* image =
      main.LoadImage(QString::fromStdString(brinvale::test::FixturePath("sample.img").string()));
  if (auto* list = main.findChild<QTreeWidget*>("DiskList"); list && image)
    list->setCurrentItem(image);
  Click(main, "BtnScan");
  QTest::qWait(50);
  // The rows name the scanned image as their source.
  for (const auto& source : main.Sources())
    if (source->engine)
      for (ScanRecord& r : records) r.SetSourceKey(source->Key());
  main.FileListModel().SetRows(std::make_shared<RecordList>(records));
  auto* view = main.findChild<QAbstractItemView*>("FileList");
  if (!view) return;
  const char* const shots[] = {"MainWnd_Preview_Picture", "MainWnd_Preview_Pdf",
                               "MainWnd_Preview_Document", "MainWnd_Preview_Archive"};
  for (int row = 0; row < int(records.size()); ++row) {
    emit view->doubleClicked(main.FileListModel().index(row, 0));
    QTest::qWait(30);
    Save(main, shots[row]);
  }
}

int Run(const fs::path& work) {
  MessageTable texts(MessageTableFiles{BRINVALE_PROGRAM_DATA_DIR, {}});
  // Questions the jobs ask are answered no, and pictured.
  int questions = 0;
  const UiContext context{texts, [&](CPopUpWnd& window) {
                            window.show();
                            QTest::qWait(20);
                            Save(window, QStringLiteral("Question_%1").arg(++questions));
                            if (auto* no = window.findChild<QAbstractButton*>("cancelbtn"))
                              QTest::mouseClick(no, Qt::LeftButton);
                            return window.ClosedWith().value_or(2);
                          }};

  ScanHistory mainHistory(work / "main-logs");
  MainWndServices services;
  services.history = &mainHistory;
  services.previewFolder = work;
  services.watchDevices = false;
  // The main window's job windows run to their end; its message boxes are
  // answered OK.
  const UiContext mainContext{texts, [&](CPopUpWnd& window) {
                                window.show();
                                if (auto* ok = window.findChild<QAbstractButton*>("okbtn"))
                                  QTest::mouseClick(ok, Qt::LeftButton);
                                WaitUntil([&] { return window.ClosedWith().has_value(); });
                                return window.ClosedWith().value_or(2);
                              }};
  CMainWnd main(mainContext, services);
  main.CenterOnScreen();
  main.show();
  QTest::qWait(50);
  Save(main, "MainWnd");
  MainWindowPages(main);
  DamagedFileChosen(mainContext, work);
  {
    QWidget holder;
    if (QWidget* menu = LoadSkinLayout("menu_assist.xml", &holder)) {
      ButtonTexts menuTexts(*menu);
      texts.ApplySection("MenuWnd", menuTexts);
      menu->resize(160, 200);
      Save(*menu, "menu_assist");
    }
    if (QWidget* like = LoadSkinLayout("LikeItWnd.xml", &holder)) {
      like->resize(360, 220);
      Save(*like, "LikeItWnd");
    }
  }
  MessageBoxes(texts, main);
  PreviewPages(mainContext, work);

  // The scan window during a full scan.
  ScanHistory history(work / "logs");
  ScanSource fat32 = Fixture("fat32.img", 1);
  {
    ScanJobSetup setup;
    setup.sources = {&fat32};
    setup.mode = ScanMode::kFull;
    setup.history = &history;
    setup.previewFolder = work;
    CScanProcessWnd window(context, setup);
    window.CreatePopUp(&main, CScanProcessWnd::kWidth, CScanProcessWnd::kHeight);
    window.show();
    if (WaitUntil([&] { return Progress(window) >= 12; })) Save(window, "ScanProcessWnd");
    // The cancel question, answered no; the scan goes on to its end.
    QTest::mouseClick(window.findChild<QAbstractButton*>("cancelbtn"), Qt::LeftButton);
    Finish(window);
  }

  // Search, recovery and preview over a quick scan, paced.
  ScanSource sample = Fixture("sample.img", 2);
  sample.engine = QuickEngine(sample, work / "quick");
  if (!sample.engine) {
    std::fprintf(stderr, "screenshots: the sample image could not be scanned\n");
    return 1;
  }
  sample.engine = std::make_unique<PacedEngine>(std::move(sample.engine), 120ms);
  RecordList found;
  {
    CSearchProcessWnd window(context, {{&sample}, SearchFilterText({}), &found, {}});
    window.CreatePopUp(&main, CSearchProcessWnd::kWidth, CSearchProcessWnd::kHeight);
    window.show();
    if (WaitUntil([&] { return Progress(window) > 0; })) Save(window, "SearchProcessWnd");
    Finish(window);
  }
  {
    CRecoverProcessWnd window(context, {found, {&sample}, work / "recovered", {}},
                              [](const QUrl&) { return true; });
    window.CreatePopUp(&main, CRecoverProcessWnd::kWidth, CRecoverProcessWnd::kHeight);
    window.show();
    if (WaitUntil([&] { return Progress(window) > 0; })) Save(window, "RecoverProcessWnd");
    QTest::mouseClick(window.findChild<QAbstractButton*>("DetailBtn"), Qt::LeftButton);
    auto* list = window.findChild<QTreeWidget*>("DetailList");
    if (WaitUntil([&] { return list->topLevelItemCount() >= 3; }))
      Save(window, "RecoverProcessWnd_details");
    auto* finish = window.findChild<QAbstractButton*>("FinishBtn");
    if (WaitUntil([&] { return !finish->isHidden(); })) Save(window, "RecoverProcessWnd_finished");
    QTest::mouseClick(finish, Qt::LeftButton);
  }
  if (!found.empty()) {
    PreviewState state;
    PreviewJobSetup job;
    job.record = found.front();
    job.sources = {&sample};
    job.state = &state;
    job.mediaWait = 0ms;
    CPreviewProcessWnd window(context, job);
    window.CreatePopUp(&main, CPreviewProcessWnd::kWidth, CPreviewProcessWnd::kHeight);
    window.show();
    if (WaitUntil([&] { return Progress(window) > 0; })) Save(window, "PreviewProcessWnd");
    Finish(window);
    std::error_code ec;
    if (!state.extractedPath.empty()) fs::remove(state.extractedPath, ec);
  }

  // The image window while it copies an image file.
  {
    ImageJobSetup setup;
    setup.source.kind = ImageSource::Kind::kImageFile;
    setup.source.imageFile = brinvale::test::FixturePath("fat32.img");
    setup.imagePath = work / "copy.img";
    setup.copier = CopyPaced;
    CCreateImageProcessWnd window(context, setup);
    window.CreatePopUp(&main, CCreateImageProcessWnd::kWidth, CCreateImageProcessWnd::kHeight);
    window.show();
    if (WaitUntil([&] { return Progress(window) >= 20; })) Save(window, "CreateImageProcessWnd");
    Finish(window);
  }
  MainWindowRecoveryAndImage(texts, work);
  return g_failures == 0 ? 0 : 1;
}

}  // namespace
}  // namespace brinvale::ui::shots

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: brinvale_screenshots DIR\n");
    return 2;
  }
  namespace fs = std::filesystem;
  char pattern[] = "/tmp/brv-shots-XXXXXX";
  const char* made = mkdtemp(pattern);
  if (!made) return 1;
  const fs::path work = made;
  for (const char* sub : {"data", "config", "runtime"}) fs::create_directories(work / sub);
  fs::permissions(work / "runtime", fs::perms::owner_all);
  setenv("XDG_DATA_HOME", (work / "data").c_str(), 1);
  setenv("XDG_CONFIG_HOME", (work / "config").c_str(), 1);
  setenv("XDG_RUNTIME_DIR", (work / "runtime").c_str(), 1);
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  int rc = 1;
  {
    QApplication app(argc, argv);
    brinvale::ui::shots::g_out = QDir(QString::fromLocal8Bit(argv[1]));
    brinvale::ui::shots::g_out.mkpath(".");
    rc = brinvale::ui::shots::Run(work);
  }
  std::error_code ec;
  fs::remove_all(work, ec);
  return rc;
}
