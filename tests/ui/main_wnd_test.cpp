#include <gtest/gtest.h>

#include <QCheckBox>
#include <QHeaderView>
#include <QStackedWidget>
#include <QTimer>
#include <algorithm>
#include <set>

#include "app/message_format.h"
#include "main_wnd_support.h"
#include "ui/assist_menu.h"
#include "ui/custom_controls.h"
#include "ui/file_list_model.h"
#include "ui/type_tree.h"

namespace brinvale::ui {
namespace {

namespace fs = std::filesystem;
using test::FoundFile;
using test::ListedEngine;
using test::MainWndHarness;

std::string Text(const char* key) { return test::ShippedTexts().Text("Messages", key); }
QString QText(const char* key) { return QString::fromStdString(Text(key)); }

int CurrentPage(MainWndHarness& h) { return h.Find<QStackedWidget>("TabPage")->currentIndex(); }

// An engine maker that notes the sources it was asked for and gives each an
// engine that lists `records`.
SourceEngineMaker ListingEngines(std::vector<std::string>& made, RecordList records) {
  return [&made, records](const ScanSource& source, ScanMode, const EngineSetup&) {
    made.push_back(source.IsPartition() ? std::string(1, char(source.partition->driveLetter))
                                        : source.ImageName());
    return std::unique_ptr<IRidiRedazuvoParse>(new ListedEngine(records));
  };
}

std::vector<std::string> ListedNames(const CFileListModel& model) {
  std::vector<std::string> names;
  for (int row = 0; row < model.rowCount(); ++row) names.emplace_back(model.RecordAt(row)->Name());
  return names;
}

TEST(MainWndModes, TheModeButtonsSetTheModeAndHoveringDescribesThem) {
  MainWndHarness h("mw-modes");
  CMainWnd& window = h.Window();
  EXPECT_EQ(CurrentPage(h), CMainWnd::kModePage);
  EXPECT_TRUE(h.Find("SubBar1")->isVisible());
  EXPECT_FALSE(h.Find("SubBar2")->isVisible());
  const std::pair<const char*, const char*> hovers[] = {{"BtnDeletedRecovery", "MSG0101"},
                                                        {"BtnFormattedRecovery", "MSG0102"},
                                                        {"BtnDeepRecovery", "MSG0103"},
                                                        {"BtnCreateImageMode", "MSG0104"}};
  for (const auto& [button, key] : hovers) {
    QEvent enter(QEvent::Enter);
    QCoreApplication::sendEvent(h.Find(button), &enter);
    EXPECT_EQ(h.Find<QLabel>("TxtMainInfo")->text(), QText(key)) << button;
  }
  h.Click("BtnDeletedRecovery");
  EXPECT_EQ(window.Mode(), ScanMode::kQuick);
  EXPECT_FALSE(window.ImagePage());
  EXPECT_EQ(CurrentPage(h), CMainWnd::kDevicePage);
  EXPECT_FALSE(h.Find("SubBar1")->isVisible());
  EXPECT_TRUE(h.Find("SubBar2")->isVisible());
  h.Click("BtnPrev");
  EXPECT_EQ(CurrentPage(h), CMainWnd::kModePage);
  h.Click("BtnDeepRecovery");
  EXPECT_EQ(window.Mode(), ScanMode::kFull);
  h.Click("BtnPrev");
  h.Click("BtnCreateImageMode");
  EXPECT_TRUE(window.ImagePage());
  EXPECT_EQ(window.Mode(), ScanMode::kFull) << "the image page keeps the scan mode";
  h.Click("BtnPrev");
  h.Click("BtnStart");
  EXPECT_EQ(window.Mode(), ScanMode::kFull);
  EXPECT_FALSE(window.ImagePage());
  EXPECT_TRUE(h.runner.boxes.empty());
}

TEST(MainWndDevices, NextWithoutADiskAsksForOneAndTheLikeItWindowOpens) {
  MainWndHarness h("mw-next");
  h.Window();
  h.Click("BtnStart");
  ASSERT_FALSE(h.Window().DiskSelected());
  h.Click("BtnNext");
  ASSERT_EQ(h.runner.boxes.size(), 1u);
  EXPECT_EQ(h.runner.boxes[0].kind, 2);
  EXPECT_EQ(h.runner.boxes[0].text, "Please select disk media for next step!");
  EXPECT_EQ(CurrentPage(h), CMainWnd::kDevicePage);
  h.Click("BtnScan");
  ASSERT_EQ(h.runner.boxes.size(), 2u);
  EXPECT_EQ(h.runner.boxes[1].text, Text("MSG0505"));
  h.Click("BtnLikeIt");
  EXPECT_EQ(h.runner.windows, std::vector<QString>{"LikeItWnd"});
}

TEST(MainWndDevices, DisksAndPartitionsAreListedAndTheFirstRemovablePartitionIsChosen) {
  brinvale::testing::FakeDiskEnumeration system = test::DiskWithVolumes(u"C", false, 0);
  brinvale::testing::FakeDiskEnumeration usb = test::DiskWithVolumes(u"EF", true, 1);
  system.disks[1] = usb.disks[1];
  system.volumes.insert(system.volumes.end(), usb.volumes.begin(), usb.volumes.end());
  system.volumes[1].label = "STICK";
  MainWndHarness h("mw-disks", system);
  h.Window();
  CDiskListUI& list = h.DiskList();
  ASSERT_EQ(list.topLevelItemCount(), 2);
  QTreeWidgetItem* disk0 = list.topLevelItem(0);
  QTreeWidgetItem* disk1 = list.topLevelItem(1);
  EXPECT_EQ(disk0->text(0), QText("MSG0201") + " 0");
  EXPECT_EQ(disk1->text(0), QText("MSG0202") + " 1");
  ASSERT_EQ(disk1->childCount(), 2);
  EXPECT_EQ(disk1->child(0)->text(0), "E:\\ FAT32");
  EXPECT_EQ(disk1->child(0)->text(2), "64.00 MB");

  h.Click("BtnStart");
  ASSERT_EQ(list.currentItem(), disk1->child(0)) << "the first partition of a removable disk";
  EXPECT_TRUE(h.Window().DiskSelected());
  EXPECT_EQ(h.Find<QLabel>("Label1")->text(), QText("MSG0203") + " E");
  EXPECT_EQ(h.Find<QLabel>("Label2")->text(), QText("MSG0204") + " STICK");
  EXPECT_EQ(h.Find<QLabel>("Label3")->text(), QText("MSG0205") + " FAT32");
  EXPECT_EQ(h.Find<QLabel>("Label4")->text(), QText("MSG0206") + " 64.00 MB");
  list.setCurrentItem(disk0->child(0));
  EXPECT_EQ(h.Find<QLabel>("Label2")->text(), QText("MSG0204")) << "no label: the caption alone";
}

TEST(MainWndDevices, WithoutARemovableDiskTheSecondRowIsChosen) {
  // The second volume has no letter: it shows the number given in its place.
  MainWndHarness h("mw-second", test::DiskWithVolumes(std::u16string(u"C\0", 2)));
  h.Window();
  h.Click("BtnDeletedRecovery");
  QTreeWidgetItem* disk = h.DiskList().topLevelItem(0);
  EXPECT_EQ(h.DiskList().currentItem(), disk->child(0));
  ASSERT_EQ(disk->childCount(), 2);
  EXPECT_EQ(disk->child(1)->text(0), "2:\\ FAT32");
  h.DiskList().setCurrentItem(disk->child(1));
  EXPECT_EQ(h.Find<QLabel>("Label1")->text(), QText("MSG0203") + " 2");
}

TEST(MainWndDevices, ADeviceChangeReadsTheDisksAgainAfterFiveSeconds) {
  MainWndHarness h("mw-change", test::DiskWithVolumes(u"C"));
  h.Window();
  ASSERT_EQ(h.DiskList().topLevelItemCount(), 1);
  brinvale::testing::FakeDiskEnumeration more = test::DiskWithVolumes(u"G", true, 2);
  h.disks->disks[2] = more.disks[2];
  h.disks->volumes.push_back(more.volumes[0]);
  h.Window().OnDeviceChange();
  auto* timer = h.Window().findChild<QTimer*>("DeviceChangeTimer");
  ASSERT_NE(timer, nullptr);
  EXPECT_TRUE(timer->isActive());
  EXPECT_TRUE(timer->isSingleShot());
  EXPECT_EQ(timer->interval(), 5000);
  QTest::qWait(200);
  EXPECT_EQ(h.DiskList().topLevelItemCount(), 1) << "not before the disks settle";
  ASSERT_TRUE(QTest::qWaitFor([&] { return h.DiskList().topLevelItemCount() == 2; }, 6000));
  EXPECT_EQ(h.DiskList().topLevelItem(1)->text(0), QText("MSG0202") + " 2");
}

TEST(MainWndImages, TwoImagesGetTagsOneAndTwoUnderOneParentRow) {
  MainWndHarness h("mw-images");
  h.imagesToChoose = {QString::fromStdString(brinvale::test::FixturePath("fat12.img").string()),
                      QString::fromStdString(brinvale::test::FixturePath("sample.img").string())};
  h.Window();
  h.Click("BtnStart");
  h.Click("BtnLoadImage");
  EXPECT_EQ(h.shownFilters, QStringList({"Image Files (*.img)", "All Files(*.*)"}));
  h.Click("BtnLoadImage");
  h.Click("BtnLoadImage");  // cancelled: nothing more
  QTreeWidgetItem* parent = h.DiskList().ImageParentRow();
  ASSERT_NE(parent, nullptr);
  EXPECT_EQ(parent->text(0), "Image File");
  ASSERT_EQ(parent->childCount(), 2);
  ScanSource* first = CDiskListUI::SourceOf(parent->child(0));
  ScanSource* second = CDiskListUI::SourceOf(parent->child(1));
  ASSERT_TRUE(first && second);
  EXPECT_EQ(first->sourceTag, 1);
  EXPECT_EQ(second->sourceTag, 2);
  EXPECT_EQ(parent->child(0)->text(0), "fat12.img");
  EXPECT_EQ(parent->child(0)->text(2), "1.41 MB");
  EXPECT_EQ(h.DiskList().currentItem(), parent->child(1)) << "the image just loaded";
  EXPECT_EQ(h.Find<QLabel>("Label1")->text(), QText("MSG0203") + " sample.img");
  EXPECT_EQ(h.Find<QLabel>("Label3")->text(), QText("MSG0205") + " FAT");
  EXPECT_EQ(h.Find<QLabel>("Label4")->text(), QText("MSG0206") + " 40.00 MB");
  EXPECT_TRUE(h.Window().DiskSelected());

  // The image page hides the images.
  h.Click("BtnPrev");
  h.Click("BtnCreateImageMode");
  EXPECT_TRUE(parent->isHidden());
  h.Click("BtnPrev");
  h.Click("BtnStart");
  EXPECT_FALSE(parent->isHidden());
}

TEST(MainWndImages, AWholeDiskImageListsItsPartitionsUnderItsRow) {
  MainWndHarness h("mw-mbr");
  h.Window();
  QTreeWidgetItem* row = h.Window().LoadImage(
      QString::fromStdString(brinvale::test::FixturePath("mbr_disk.img").string()));
  ASSERT_NE(row, nullptr);
  ASSERT_EQ(row->childCount(), 2);
  EXPECT_EQ(row->child(0)->text(0), "#1 FAT");
  EXPECT_EQ(row->child(1)->text(0), "#2 NTFS");
  EXPECT_EQ(row->child(0)->text(2), "34.00 MB");
  ScanSource* fat = CDiskListUI::SourceOf(row->child(0));
  ASSERT_TRUE(fat && fat->imagePartition);
  EXPECT_EQ(fat->imagePartition->start, 2048u);
  EXPECT_EQ(fat->imagePartition->length, 69632u);
  EXPECT_NE(fat->Key(), CDiskListUI::SourceOf(row)->Key());
  EXPECT_NE(fat->Key(), CDiskListUI::SourceOf(row->child(1))->Key());
  // The image row scans its partitions.
  EXPECT_EQ(CDiskListUI::SourcesToScan(row),
            (std::vector<ScanSource*>{fat, CDiskListUI::SourceOf(row->child(1))}));
}

TEST(MainWndScan, ADiskRowScansItsPartitionsInOrderAndSearchesThem) {
  MainWndHarness h("mw-order", test::DiskWithVolumes(u"EFG"));
  std::vector<std::string> made;
  h.services.makeEngine = ListingEngines(made, {FoundFile(u'E', 1, "a.txt", 10)});
  h.Window();
  h.Click("BtnDeletedRecovery");
  h.DiskList().setCurrentItem(h.DiskList().topLevelItem(0));
  h.Click("BtnScan");
  EXPECT_EQ(made, (std::vector<std::string>{"E", "F", "G"}));
  EXPECT_EQ(h.runner.windows, (std::vector<QString>{"UIScanProcessWnd", "UISearchProcessWnd"}));
  EXPECT_EQ(h.runner.sizes, (std::vector<QSize>{{450, 250}, {450, 220}}));
  EXPECT_EQ(h.Window().SearchResults().size(), 3u) << "one match from each partition";
  EXPECT_EQ(CurrentPage(h), CMainWnd::kResultsPage);
  EXPECT_TRUE(h.runner.boxes.empty());
}

// A disk on which the system shows no volume lists the partitions of its
// own table, and its row scans them in table order.
TEST(MainWndScan, ADiskWithoutVolumesListsAndScansThePartitionsOfItsTable) {
  brinvale::testing::FakeDiskEnumeration system;
  system.disks[0] = brinvale::testing::MakeDisk(16065ull * 100);
  MainWndHarness h("mw-table", system);
  brinvale::testing::FakeDiskEnumeration* fake = h.disks;
  h.services.makeDisks = [fake] {
    DiskTableReader tables = [](int, uint32_t, PartitionTable& out) {
      out.scheme = PartitionScheme::kMbr;
      out.diskSectors = 16065ull * 100;
      for (uint32_t n = 1; n <= 2; ++n) {
        PartitionEntry e;
        e.number = n;
        e.start = 2048 + (n - 1) * 131072;
        e.length = 131072;
        e.type = 0x0C;
        out.partitions.push_back(e);
      }
      return kOk;
    };
    return std::make_unique<DiskEnumerator>(std::unique_ptr<platform::DiskEnumeration>(fake),
                                            tables);
  };
  std::vector<uint64_t> starts;
  h.services.makeEngine = [&starts](const ScanSource& source, ScanMode, const EngineSetup&) {
    starts.push_back(source.partition->start);
    return std::unique_ptr<IRidiRedazuvoParse>(new ListedEngine({}));
  };
  h.Window();
  QTreeWidgetItem* disk = h.DiskList().topLevelItem(0);
  ASSERT_NE(disk, nullptr);
  ASSERT_EQ(disk->childCount(), 2);
  EXPECT_EQ(CDiskListUI::SourceOf(disk->child(0))->partition->origin,
            VolumeInfo::Origin::kPartitionTable);
  h.Click("BtnDeletedRecovery");
  h.DiskList().setCurrentItem(disk);
  h.Click("BtnScan");
  EXPECT_EQ(starts, (std::vector<uint64_t>{2048, 2048 + 131072}));
}

TEST(MainWndScan, AnEngineThatCannotBeMadeSaysSo) {
  MainWndHarness h("mw-fail", test::DiskWithVolumes(u"E"));
  h.services.makeEngine = [](const ScanSource&, ScanMode, const EngineSetup&) {
    return std::unique_ptr<IRidiRedazuvoParse>();
  };
  h.Window();
  h.Click("BtnDeletedRecovery");
  h.Click("BtnScan");
  ASSERT_EQ(h.runner.boxes.size(), 1u);
  EXPECT_EQ(h.runner.boxes[0].kind, 3);
  EXPECT_EQ(h.runner.boxes[0].text, Text("MSG0504"));
  EXPECT_EQ(h.runner.windows, std::vector<QString>{"UIScanProcessWnd"}) << "no search";
  EXPECT_EQ(CurrentPage(h), CMainWnd::kDevicePage);
}

// The numbered folders under the history's base folder.
std::set<std::string> LogFolders(const fs::path& base) {
  std::set<std::string> folders;
  std::error_code ec;
  for (const auto& entry : fs::directory_iterator(base, ec))
    if (entry.is_directory()) folders.insert(entry.path().filename().string());
  return folders;
}

TEST(MainWndScan, AQuickScanLogIsDeletedByTheNextScanAndAFullScanLogIsKept) {
  MainWndHarness h("mw-logs");
  h.imagesToChoose = {QString::fromStdString(brinvale::test::FixturePath("fat12.img").string())};
  CMainWnd& window = h.Window();
  h.Click("BtnDeletedRecovery");
  h.Click("BtnLoadImage");
  h.Click("BtnScan");
  ASSERT_EQ(CurrentPage(h), CMainWnd::kResultsPage);
  const fs::path firstQuick = window.PreviousQuickFolder();
  ASSERT_FALSE(firstQuick.empty());
  ASSERT_TRUE(fs::exists(firstQuick));

  // Two quick scans in a row: the first one's folder goes.
  h.Click("BtnPrev");
  h.Click("BtnScan");
  const fs::path secondQuick = window.PreviousQuickFolder();
  EXPECT_FALSE(fs::exists(firstQuick));
  ASSERT_TRUE(fs::exists(secondQuick));
  EXPECT_NE(secondQuick, firstQuick);

  // A full scan after a quick one: the quick one's folder goes.
  h.Click("BtnPrev");
  h.Click("BtnPrev");
  h.Click("BtnFormattedRecovery");
  h.DiskList().setCurrentItem(h.DiskList().ImageParentRow()->child(0));
  const std::set<std::string> beforeFull = LogFolders(h.history.BaseFolder());
  h.Click("BtnScan");
  EXPECT_FALSE(fs::exists(secondQuick));
  EXPECT_TRUE(window.PreviousQuickFolder().empty());
  std::set<std::string> full = LogFolders(h.history.BaseFolder());
  ASSERT_FALSE(full.empty());

  // A quick scan after a full one deletes nothing.
  h.Click("BtnPrev");
  h.Click("BtnPrev");
  h.Click("BtnDeletedRecovery");
  h.DiskList().setCurrentItem(h.DiskList().ImageParentRow()->child(0));
  h.Click("BtnScan");
  const std::set<std::string> after = LogFolders(h.history.BaseFolder());
  for (const std::string& folder : full) EXPECT_TRUE(after.contains(folder)) << folder;
  EXPECT_EQ(after.size(), full.size() + 1) << "the new quick scan's folder";
  (void)beforeFull;
}

// A window whose one partition E: has been scanned and searched, the
// search listing `records`.
struct ScannedWindow {
  explicit ScannedWindow(const std::string& name, RecordList records)
      : h(name, test::DiskWithVolumes(u"E", true)) {
    h.services.makeEngine = ListingEngines(made, std::move(records));
    h.Window();
    h.Click("BtnDeletedRecovery");
    h.Click("BtnScan");
  }
  std::vector<std::string> made;
  MainWndHarness h;
};

TEST(MainWndResults, TheTypeTreeCountsFilesPerExtensionAndCategory) {
  ScannedWindow w("mw-types", {FoundFile(u'E', 1, "a.jpg", 1), FoundFile(u'E', 2, "B.JPG", 2),
                               FoundFile(u'E', 3, "c.jpeg", 3), FoundFile(u'E', 4, "d.png", 4),
                               FoundFile(u'E', 5, "e.png", 5), FoundFile(u'E', 6, "song.mp3", 6),
                               FoundFile(u'E', 7, "README", 7)});
  MainWndHarness& h = w.h;
  ASSERT_EQ(CurrentPage(h), CMainWnd::kResultsPage);
  auto* tree = h.Find<QTreeWidget>("TypeTree");
  ASSERT_NE(tree, nullptr);
  CTypeTree types(*tree);
  ASSERT_EQ(tree->topLevelItemCount(), 6);
  QTreeWidgetItem* photo = types.CategoryNode("NodePhoto");
  ASSERT_NE(photo, nullptr);
  EXPECT_EQ(photo->text(0), QText("MSG0807") + " (5)");
  ASSERT_EQ(photo->childCount(), 2);
  EXPECT_EQ(photo->child(0)->text(0), "jpg Files (3)");
  EXPECT_EQ(photo->child(1)->text(0), "png Files (2)");
  EXPECT_EQ(types.CategoryNode("NodeAudio")->text(0), QText("MSG0808") + " (1)");
  EXPECT_EQ(types.CategoryNode("NodeVideo")->text(0), QText("MSG0809") + " (0)");
  EXPECT_EQ(types.CategoryNode("NodeOffice")->text(0), QText("MSG0810") + " (0)");
  EXPECT_EQ(types.CategoryNode("NodeZip")->text(0), QText("MSG0811") + " (0)");
  QTreeWidgetItem* other = types.CategoryNode("NodeOther");
  EXPECT_EQ(other->text(0), QText("MSG0812") + " (1)");
  ASSERT_EQ(other->childCount(), 1);
  EXPECT_EQ(other->child(0)->text(0), "unknow (1)");

  // The first kind is shown; choosing another shows its files.
  CFileListModel& list = h.Window().FileListModel();
  EXPECT_EQ(ListedNames(list), (std::vector<std::string>{"a.jpg", "B.JPG", "c.jpeg"}));
  tree->setCurrentItem(photo);
  EXPECT_EQ(list.TotalRows(), 5u) << "a category shows all of its kinds";
  tree->setCurrentItem(photo->child(1));
  EXPECT_EQ(ListedNames(list), (std::vector<std::string>{"d.png", "e.png"}));

  // Ticking a kind marks its files.
  photo->child(0)->setCheckState(0, Qt::Checked);
  EXPECT_EQ(h.Window().Selection().Count(), 3u);
  EXPECT_EQ(photo->checkState(0), Qt::PartiallyChecked);
  photo->setCheckState(0, Qt::Checked);
  EXPECT_EQ(h.Window().Selection().Count(), 5u);
  EXPECT_EQ(h.Find<QCheckBox>("CheckAll")->checkState(), Qt::Checked);
  photo->setCheckState(0, Qt::Unchecked);
  EXPECT_EQ(h.Window().Selection().Count(), 0u);
}

TEST(MainWndResults, RowsAreTickedOneByOneOrAllAndTheSummaryFollows) {
  ScannedWindow w("mw-ticks", {FoundFile(u'E', 1, "a.jpg", 1024), FoundFile(u'E', 2, "b.jpg", 1024),
                               FoundFile(u'E', 3, "c.jpg", 2048)});
  MainWndHarness& h = w.h;
  CFileListModel& list = h.Window().FileListModel();
  auto* checkAll = h.Find<QCheckBox>("CheckAll");
  auto* info = h.Find<QLabel>("TxtMainInfo");
  ASSERT_EQ(list.TotalRows(), 3u);
  EXPECT_EQ(info->text(), QText("MSG0803"));
  EXPECT_EQ(checkAll->checkState(), Qt::Unchecked);

  list.setData(list.index(1, 0), Qt::Checked, Qt::CheckStateRole);
  EXPECT_EQ(checkAll->checkState(), Qt::PartiallyChecked);
  EXPECT_EQ(info->text().toStdString(),
            FormatMessage(Text("MSG0804"), {std::string("1.00 KB"), uint64_t(1)}));
  QTest::mouseClick(checkAll, Qt::LeftButton);
  EXPECT_EQ(checkAll->checkState(), Qt::Checked);
  EXPECT_EQ(h.Window().Selection().Count(), 3u);
  EXPECT_EQ(info->text().toStdString(),
            FormatMessage(Text("MSG0804"), {std::string("4.00 KB"), uint64_t(3)}));
  const QString count = h.Find<QLabel>("SelectedFileInfo")->text();
  EXPECT_TRUE(count.startsWith(QText("MSG0801").toHtmlEscaped())) << count.toStdString();
  EXPECT_TRUE(count.contains("color:#316D1E\">3</span>")) << count.toStdString();
  EXPECT_TRUE(count.endsWith(QText("MSG0802").toHtmlEscaped())) << count.toStdString();
  QTest::mouseClick(checkAll, Qt::LeftButton);
  EXPECT_EQ(checkAll->checkState(), Qt::Unchecked);
  EXPECT_EQ(h.Window().Selection().Count(), 0u);
  EXPECT_EQ(info->text(), QText("MSG0803"));
}

// Clicks the header of `column` of the file list.
void ClickHeader(MainWndHarness& h, int column) {
  QHeaderView* header = h.Find<CListExUI>("FileList")->header();
  const QPoint at(header->sectionViewportPosition(column) + 5, header->height() / 2);
  QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, at);
}

TEST(MainWndResults, HeaderClicksSortSizeDescendingAndNamesAscendingFirst) {
  ScannedWindow w("mw-sort", {FoundFile(u'E', 1, "b.jpg", 300), FoundFile(u'E', 2, "C.jpg", 100),
                              FoundFile(u'E', 3, "a.jpg", 200)});
  MainWndHarness& h = w.h;
  CFileListModel& list = h.Window().FileListModel();
  ClickHeader(h, CFileListModel::kSize);
  EXPECT_EQ(list.Direction(CFileListModel::kSize), -1);
  EXPECT_EQ(ListedNames(list), (std::vector<std::string>{"b.jpg", "a.jpg", "C.jpg"}));
  ClickHeader(h, CFileListModel::kSize);
  EXPECT_EQ(ListedNames(list), (std::vector<std::string>{"C.jpg", "a.jpg", "b.jpg"}));
  ClickHeader(h, CFileListModel::kFileName);
  EXPECT_EQ(list.Direction(CFileListModel::kFileName), 1);
  EXPECT_EQ(ListedNames(list), (std::vector<std::string>{"a.jpg", "b.jpg", "C.jpg"}))
      << "names compare without case";
  ClickHeader(h, CFileListModel::kFileName);
  EXPECT_EQ(ListedNames(list), (std::vector<std::string>{"C.jpg", "b.jpg", "a.jpg"}));
  EXPECT_EQ(list.SortColumn(), CFileListModel::kFileName);
  EXPECT_FALSE(
      list.headerData(CFileListModel::kFileName, Qt::Horizontal, Qt::DecorationRole).isNull());
  EXPECT_TRUE(list.headerData(CFileListModel::kSize, Qt::Horizontal, Qt::DecorationRole).isNull());
}

TEST(MainWndResults, ALongListIsShownPageByPage) {
  RecordList many;
  for (uint32_t i = 1; i <= 250; ++i)
    many.push_back(FoundFile(u'E', i, "f" + std::to_string(i) + ".jpg", i));
  ScannedWindow w("mw-pages", many);
  MainWndHarness& h = w.h;
  CFileListModel& list = h.Window().FileListModel();
  auto* pages = h.Find<Pagination>("Pagination");
  ASSERT_NE(pages, nullptr);
  EXPECT_EQ(pages->PageCount(), 3);
  EXPECT_EQ(list.rowCount(), 100);
  EXPECT_EQ(pages->EntryTexts(), QStringList({"1", "2", "3"}));
  EXPECT_FALSE(h.Find<QAbstractButton>("Prev")->isEnabled());
  h.Click("Next");
  EXPECT_EQ(list.Page(), 2);
  EXPECT_EQ(std::string(list.RecordAt(0)->Name()), "f101.jpg");
  h.Click("Page3");
  EXPECT_EQ(list.rowCount(), 50);
  EXPECT_FALSE(h.Find<QAbstractButton>("Next")->isEnabled());
  // A sort goes back to page 1.
  ClickHeader(h, CFileListModel::kSize);
  EXPECT_EQ(list.Page(), 1);
  EXPECT_EQ(pages->CurrentPage(), 1);
  EXPECT_EQ(std::string(list.RecordAt(0)->Name()), "f250.jpg");
}

TEST(MainWndMenu, TheAssistMenuOpensPagesQuitsAndChangesTheLanguage) {
  // A data folder of the test's own, so the language change is written
  // there.
  brinvale::test::TempDir data("mw-menu-data");
  fs::copy(BRINVALE_PROGRAM_DATA_DIR "/config.ini", data.Path() / "config.ini");
  fs::copy(BRINVALE_PROGRAM_DATA_DIR "/Languages", data.Path() / "Languages",
           fs::copy_options::recursive);
  MessageTable texts(MessageTableFiles{data.Path(), {}}, [](const fs::path&) { return true; });
  MainWndHarness h("mw-menu", test::DiskWithVolumes(u"E"), &texts);
  h.Window();
  EXPECT_EQ(h.Find<QAbstractButton>("BtnStart")->text(), "Start");

  h.Click("BtnAssist");
  auto* menu = h.Window().findChild<CAssistMenu*>();
  ASSERT_NE(menu, nullptr);
  EXPECT_TRUE(menu->isVisible());
  auto* english = menu->findChild<QAbstractButton*>("language_English");
  auto* german = menu->findChild<QAbstractButton*>("language_German");
  ASSERT_TRUE(english && german);
  EXPECT_TRUE(english->isChecked());
  EXPECT_FALSE(english->icon().isNull()) << "the current language is marked";
  EXPECT_TRUE(german->icon().isNull());
  EXPECT_EQ(german->text(), "Deutsch");
  QTest::mouseClick(menu->findChild<QAbstractButton*>("item_help"), Qt::LeftButton);
  EXPECT_FALSE(menu->isVisible());
  ASSERT_EQ(h.opened.size(), 1u);
  EXPECT_EQ(h.opened[0].scheme(), "https");

  h.Click("BtnAssist");
  menu = h.Window().findChild<CAssistMenu*>();
  QTest::mouseClick(menu->findChild<QAbstractButton*>("language_German"), Qt::LeftButton);
  EXPECT_EQ(texts.Language(), "German");
  // The change reaches the window as its message 1030.
  ASSERT_TRUE(QTest::qWaitFor(
      [&] { return h.Find<QAbstractButton>("BtnStart")->text() != "Start"; }, 5000));
  EXPECT_EQ(h.Find<QAbstractButton>("BtnStart")->text().toStdString(),
            texts.Text("MainWnd", "BtnStart"));
  EXPECT_EQ(h.DiskList().topLevelItem(0)->text(0).toStdString(),
            texts.Text("Messages", "MSG0201") + " 0")
      << "the disk rows speak the new language too";
  EXPECT_NE(texts.Text("Messages", "MSG0201"), Text("MSG0201"));

  h.Click("BtnAssist");
  menu = h.Window().findChild<CAssistMenu*>();
  EXPECT_TRUE(menu->findChild<QAbstractButton*>("language_German")->isChecked());
  QTest::mouseClick(menu->findChild<QAbstractButton*>("item_exit"), Qt::LeftButton);
  EXPECT_EQ(h.quits, 1);
}

}  // namespace
}  // namespace brinvale::ui
