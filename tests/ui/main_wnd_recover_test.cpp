// The main window's recovery of the marked files and its images of disks
// and partitions: the folder and file choices, the checks on where things
// go, and the windows they lead to.
#include <gtest/gtest.h>

#include <QStackedWidget>

#include "common/size_text.h"
#include "main_wnd_support.h"
#include "platform/disk_enumeration.h"
#include "ui/file_list_model.h"

namespace brinvale::ui {
namespace {

namespace fs = std::filesystem;
using test::FoundFile;
using test::ListedEngine;
using test::MainWndHarness;

std::string Text(const char* key) { return test::ShippedTexts().Text("Messages", key); }

// The partition row of drive `letter`.
QTreeWidgetItem* PartitionRow(CDiskListUI& list, char16_t letter) {
  for (QTreeWidgetItem* row : list.AllRows())
    if (CDiskListUI::KindOf(row) == DiskRowKind::kPartition &&
        CDiskListUI::SourceOf(row)->partition->driveLetter == letter)
      return row;
  return nullptr;
}

std::vector<std::string> BoxTexts(const test::WindowRunner& runner) {
  std::vector<std::string> texts;
  for (const auto& box : runner.boxes) texts.push_back(box.text);
  return texts;
}

constexpr uint64_t kGiB = 1ull << 30;

// A disk with an NTFS volume E of 5 GiB and F of 3 GiB.
brinvale::testing::FakeDiskEnumeration DiskWithLargeVolumes() {
  brinvale::testing::FakeDiskEnumeration system;
  system.disks[0] = brinvale::testing::MakeDisk(16065ull * 1200);
  system.volumes.push_back(brinvale::testing::MakeVolume(0, 1 << 20, 5 * kGiB, "NTFS", u'E'));
  system.volumes.push_back(
      brinvale::testing::MakeVolume(0, (1 << 20) + 5 * kGiB, 3 * kGiB, "NTFS", u'F'));
  return system;
}

TEST(MainWndImage, TheSaveDialogProposesTheSourcesNameAndNothingIsCopiedWhenCancelled) {
  MainWndHarness h("mw-img-names", DiskWithLargeVolumes());
  h.Window();
  h.Click("BtnCreateImageMode");
  EXPECT_TRUE(h.Find("BtnCreateImage")->isVisible());
  EXPECT_TRUE(h.Find("BtnAdvanceScan")->isVisible());
  EXPECT_FALSE(h.Find("BtnScan")->isVisible());
  h.DiskList().setCurrentItem(h.DiskList().topLevelItem(0));
  h.Click("BtnCreateImage");
  h.DiskList().setCurrentItem(PartitionRow(h.DiskList(), u'E'));
  h.Click("BtnAdvanceScan");
  const QString partition =
      QStringLiteral("E (NTFS, %1)").arg(QString::fromStdString(SizeText(int64_t(5 * kGiB))));
  EXPECT_EQ(h.proposedNames, (std::vector<QString>{"Physical Disk 1", partition}));
  EXPECT_EQ(h.imageFilters, (std::vector<QString>{"Image Files (*.img)", "Image Files (*.img)"}));
  EXPECT_TRUE(h.runner.windows.empty());
  EXPECT_TRUE(h.runner.boxes.empty());
}

TEST(MainWndImage, NoRowSelectedAsksForOne) {
  MainWndHarness h("mw-img-none", DiskWithLargeVolumes());
  h.Window();
  h.Click("BtnCreateImageMode");
  h.DiskList().setCurrentItem(nullptr);
  h.Click("BtnCreateImage");
  EXPECT_EQ(BoxTexts(h.runner), (std::vector<std::string>{Text("MSG0216")}));
  EXPECT_TRUE(h.proposedNames.empty());
}

// The size checks, in order, each going back to the dialog; the file that
// passes them is copied, and "MSG0214" follows whatever the copy did.
TEST(MainWndImage, TheTargetChecksRefuseInOrderAndGoBackToTheDialog) {
  MainWndHarness h("mw-img-checks", DiskWithLargeVolumes());
  std::vector<fs::path> described;
  h.services.describeImageTarget = [&](const fs::path& path, const ImageSource& source,
                                       const DiskMap&) {
    described.push_back(path);
    ImageTargetFacts facts;
    const std::string folder = path.parent_path().filename().string();
    facts.fileSystemName = folder == "fat32" ? "FAT32" : folder == "fat16" ? "FAT" : "NTFS";
    // The "exact" drive has exactly the image's size free.
    facts.freeBytes = folder == "exact" ? source.sectorCount * 512 : 100 * kGiB;
    return facts;
  };
  std::vector<fs::path> copied;
  h.services.copyImage = [&](ImageCopyJob&, const ImageSource& source, const fs::path& path,
                             void*) {
    copied.push_back(path);
    EXPECT_EQ(source.kind, ImageSource::Kind::kPartition);
    EXPECT_EQ(source.sectorCount, 3 * kGiB / 512);
    return 0;
  };
  h.runner.answer = [](const test::WindowRunner::Box& box) {
    return box.kind == 4 ? QStringLiteral("cancelbtn") : QStringLiteral("okbtn");
  };
  h.Window();
  h.Click("BtnCreateImageMode");
  auto target = [&](const char* folder, const char* name) {
    fs::create_directories(h.work.Path() / folder);
    return QString::fromStdString((h.work.Path() / folder / name).string());
  };

  // 5 GiB: too large for FAT32; exactly enough free bytes is not enough.
  h.DiskList().setCurrentItem(PartitionRow(h.DiskList(), u'E'));
  h.imageTargets = {target("fat32", "e.img"), target("exact", "e.img")};
  h.Click("BtnCreateImage");
  EXPECT_EQ(BoxTexts(h.runner), (std::vector<std::string>{Text("MSG0220"), Text("MSG0221")}));
  ASSERT_EQ(h.proposedNames.size(), 3u) << "the dialog again after each refusal";
  EXPECT_EQ(h.proposedNames[1], target("fat32", "e.img"));
  EXPECT_TRUE(copied.empty());
  EXPECT_TRUE(h.runner.windows.empty());

  // 3 GiB: too large for FAT16, fine on FAT32.
  h.DiskList().setCurrentItem(PartitionRow(h.DiskList(), u'F'));
  h.imageTargets = {target("fat16", "f.img"), target("fat32", "f.img")};
  h.Click("BtnCreateImage");
  EXPECT_EQ(BoxTexts(h.runner), (std::vector<std::string>{Text("MSG0220"), Text("MSG0221"),
                                                          Text("MSG0219"), Text("MSG0214")}));
  std::vector<int> kinds;
  for (const auto& box : h.runner.boxes) kinds.push_back(box.kind);
  EXPECT_EQ(kinds, (std::vector<int>{2, 2, 2, 4}));
  EXPECT_EQ(copied, (std::vector<fs::path>{h.work.Path() / "fat32" / "f.img"}));
  EXPECT_EQ(h.runner.windows, (std::vector<QString>{"UIScanProcessWnd"}));
  EXPECT_EQ(h.runner.sizes, (std::vector<QSize>{{450, 250}}));
  EXPECT_EQ(described.size(), 4u);
  // "No" to the scan leaves the image page as it was.
  EXPECT_EQ(h.Window().Mode(), ScanMode::kFull);
  EXPECT_TRUE(h.Window().ImagePage());
}

// The image may not go onto the drive being copied: the file system of
// the chosen folder is one the volume being copied holds.
TEST(MainWndImage, AFileOnTheVolumeBeingCopiedIsRefused) {
  MainWndHarness h("mw-img-same");
  uint64_t device = 0;
  ASSERT_EQ(platform::VolumeDeviceIdOfPath(h.work.Path(), device), kOk);
  h.disks->disks[0] = brinvale::testing::MakeDisk(16065ull * 100);
  auto volume = brinvale::testing::MakeVolume(0, 1 << 20, 64ull << 20, "FAT32", u'E');
  volume.deviceId = device;
  h.disks->volumes.push_back(volume);
  h.Window();
  h.Click("BtnCreateImageMode");
  h.DiskList().setCurrentItem(PartitionRow(h.DiskList(), u'E'));
  h.imageTargets = {QString::fromStdString((h.work.Path() / "e.img").string())};
  h.Click("BtnCreateImage");
  EXPECT_EQ(BoxTexts(h.runner), (std::vector<std::string>{Text("MSG0218")}));
  EXPECT_EQ(h.proposedNames.size(), 2u);
  EXPECT_TRUE(h.runner.windows.empty());
  EXPECT_FALSE(fs::exists(h.work.Path() / "e.img"));
}

// A recovery into a folder on a scanned volume asks first; "no" ends it
// before any window, "yes" goes on into the recovery window.
TEST(MainWndRecover, AFolderOnAScannedVolumeAsksFirst) {
  MainWndHarness h("mw-rec-same");
  uint64_t device = 0;
  ASSERT_EQ(platform::VolumeDeviceIdOfPath(h.work.Path(), device), kOk);
  h.disks->disks[0] = brinvale::testing::MakeDisk(16065ull * 100);
  auto volume = brinvale::testing::MakeVolume(0, 1 << 20, 64ull << 20, "FAT32", u'E');
  volume.deviceId = device;
  h.disks->volumes.push_back(volume);
  h.services.makeEngine = [](const ScanSource&, ScanMode, const EngineSetup&) {
    return std::unique_ptr<IRidiRedazuvoParse>(
        new ListedEngine({FoundFile(u'E', 1, "a.txt", 10), FoundFile(u'E', 2, "b.jpg", 20)}));
  };
  h.Window();
  h.Click("BtnRecover");
  EXPECT_EQ(BoxTexts(h.runner), (std::vector<std::string>{Text("MSG0803")}))
      << "nothing marked yet";
  h.runner.boxes.clear();

  h.Click("BtnDeletedRecovery");
  h.DiskList().setCurrentItem(PartitionRow(h.DiskList(), u'E'));
  h.Click("BtnScan");
  CFileListModel& list = h.Window().FileListModel();
  h.Click("TabScan");
  ASSERT_EQ(list.rowCount(), 2);
  list.setData(list.index(0, 0), Qt::Checked, Qt::CheckStateRole);
  list.setData(list.index(1, 0), Qt::Checked, Qt::CheckStateRole);
  ASSERT_EQ(h.Window().Selection().Count(), 2u);

  const fs::path out = h.work.Path() / "out";
  h.foldersToChoose = {{QString::fromStdString(out.string()) + "/", RecoveryLayout::kByType},
                       {QString::fromStdString(out.string()), RecoveryLayout::kAsFound}};
  h.runner.answer = [](const test::WindowRunner::Box&) { return QStringLiteral("cancelbtn"); };
  const size_t windowsBefore = h.runner.windows.size();
  h.Click("BtnRecover");
  EXPECT_EQ(h.folderTitles, (std::vector<QString>{"Select location for recovery"}));
  ASSERT_EQ(h.runner.boxes.size(), 1u);
  EXPECT_EQ(h.runner.boxes[0].kind, 1);
  EXPECT_EQ(h.runner.boxes[0].text, Text("MSG0805"));
  EXPECT_EQ(h.runner.windows.size(), windowsBefore) << "no recovery window after a no";
  EXPECT_EQ(h.Window().TargetFolder(), out) << "the trailing separator is gone";
  EXPECT_FALSE(fs::exists(out));

  h.runner.answer = [](const test::WindowRunner::Box&) { return QStringLiteral("okbtn"); };
  h.Click("BtnRecover");
  EXPECT_EQ(h.offeredLayouts.back(), RecoveryLayout::kByType);
  EXPECT_EQ(h.keptLayout, RecoveryLayout::kAsFound) << "the new choice is kept";
  ASSERT_EQ(h.runner.boxes.size(), 2u);
  ASSERT_EQ(h.runner.windows.size(), windowsBefore + 1);
  EXPECT_EQ(h.runner.windows.back(), "UIRecoverProcessWnd");
  EXPECT_EQ(h.runner.sizes.back(), QSize(500, 250));
}

}  // namespace
}  // namespace brinvale::ui
