// The main window end to end over fixture images: found files recovered
// byte for byte into their category folders or their found folders, with
// the manifest beside them; an image made and scanned as a new source.
#include <gtest/gtest.h>

#include <QStackedWidget>
#include <fstream>
#include <iterator>
#include <map>
#include <sstream>

#include "app/message_format.h"
#include "main_wnd_support.h"
#include "output/image_job.h"
#include "support/sha256.h"
#include "ui/file_list_model.h"
#include "ui/type_tree.h"

namespace brinvale::ui {
namespace {

namespace fs = std::filesystem;
using test::MainWndHarness;

std::string Text(const char* key) { return test::ShippedTexts().Text("Messages", key); }

// The SHA-256 of each file of a fixture's manifest, by its path there.
std::map<std::string, std::string> ManifestHashes(const std::string& fixture) {
  std::map<std::string, std::string> hashes;
  std::ifstream in(brinvale::test::FixturePath(fixture + ".manifest"));
  std::string line;
  while (std::getline(in, line)) {
    if (line.empty() || line[0] == '#') continue;
    std::istringstream fields(line);
    std::string state, path, size, sha;
    std::getline(fields, state, '\t');
    std::getline(fields, path, '\t');
    std::getline(fields, size, '\t');
    std::getline(fields, sha, '\t');
    if (!path.empty() && path.back() != '/') hashes[path] = sha;
  }
  return hashes;
}

std::string FileHash(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  const std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)),
                                   std::istreambuf_iterator<char>());
  return brinvale::test::Sha256Hex(bytes);
}

std::string FileText(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// Ticks the found files named `names` in the file list, kind by kind as
// the type tree shows them.
void TickFiles(MainWndHarness& h, const std::vector<std::string>& names) {
  auto* tree = h.Find<QTreeWidget>("TypeTree");
  CFileListModel& list = h.Window().FileListModel();
  for (int c = 0; c < tree->topLevelItemCount(); ++c) {
    QTreeWidgetItem* category = tree->topLevelItem(c);
    for (int t = 0; t < category->childCount(); ++t) {
      tree->setCurrentItem(category->child(t));
      for (int row = 0; row < list.rowCount(); ++row)
        if (std::find(names.begin(), names.end(), list.RecordAt(row)->Name()) != names.end())
          list.setData(list.index(row, 0), Qt::Checked, Qt::CheckStateRole);
    }
  }
}

TEST(MainWndRecoverFixture, TickedFilesAreRecoveredByTypeAndAsFoundWithTheirManifest) {
  MainWndHarness h("mw-rec-fixture");
  h.imagesToChoose = {QString::fromStdString(brinvale::test::FixturePath("sample.img").string())};
  h.Window();
  h.Click("BtnDeletedRecovery");
  h.Click("BtnLoadImage");
  h.Click("BtnScan");
  ASSERT_EQ(h.Find<QStackedWidget>("TabPage")->currentIndex(), CMainWnd::kResultsPage);
  TickFiles(h, {"beach at dusk.jpg", "old letter.txt", "itinerary.txt"});
  ASSERT_EQ(h.Window().Selection().Count(), 3u);

  const std::map<std::string, std::string> hashes = ManifestHashes("sample.img");
  const fs::path byType = h.work.Path() / "by type";
  const fs::path asFound = h.work.Path() / "as found";
  h.foldersToChoose = {{QString::fromStdString(byType.string()), RecoveryLayout::kByType},
                       {QString::fromStdString(asFound.string()), RecoveryLayout::kAsFound}};
  const std::string allDone =
      FormatMessage(Text("MSG1102"), {int64_t(3), int64_t(3), int64_t(3), int64_t(0)});
  h.Click("BtnRecover");
  EXPECT_TRUE(h.runner.boxes.empty()) << "an image file is not a scanned drive";
  ASSERT_EQ(h.runner.windows.back(), "UIRecoverProcessWnd");
  EXPECT_EQ(h.runner.recovered, allDone);
  ASSERT_EQ(h.runner.detailRows.size(), 3u);
  for (const auto& [path, result] : h.runner.detailRows) EXPECT_EQ(result, "Success") << path;
  EXPECT_EQ(FileHash(byType / "photo" / "beach at dusk.jpg"),
            hashes.at("/Photos/beach at dusk.jpg"));
  EXPECT_EQ(FileHash(byType / "document" / "old letter.txt"),
            hashes.at("/Documents/old letter.txt"));
  EXPECT_EQ(FileHash(byType / "document" / "itinerary.txt"), hashes.at("/Trip 2019/itinerary.txt"));
  const std::string csv = FileText(byType / "recovery.csv");
  for (const char* name : {"beach at dusk.jpg", "old letter.txt", "itinerary.txt"})
    EXPECT_NE(csv.find(name), std::string::npos) << name;
  EXPECT_TRUE(fs::is_regular_file(byType / "recovery.json"));

  h.Click("BtnRecover");
  EXPECT_EQ(h.runner.recovered, allDone);
  EXPECT_EQ(FileHash(asFound / "Photos" / "beach at dusk.jpg"),
            hashes.at("/Photos/beach at dusk.jpg"));
  EXPECT_EQ(FileHash(asFound / "Documents" / "old letter.txt"),
            hashes.at("/Documents/old letter.txt"));
  EXPECT_EQ(FileHash(asFound / "Trip 2019" / "itinerary.txt"),
            hashes.at("/Trip 2019/itinerary.txt"));
  EXPECT_FALSE(fs::exists(asFound / "photo"));
  EXPECT_FALSE(fs::exists(asFound / "document"));
  EXPECT_TRUE(fs::is_regular_file(asFound / "recovery.csv"));
  EXPECT_TRUE(fs::is_regular_file(asFound / "recovery.json"));
}

// The disk being copied is played by a fixture image: the copy reads its
// bytes through the image copier, the rest of the way is the program's.
TEST(MainWndRecoverFixture, AnImageIsMadeAndScannedAsANewSourceAfterYes) {
  // Disk 7, clear of the disks of the machine the test runs on.
  MainWndHarness h("mw-img-fixture", test::DiskWithVolumes(u"E", false, 7));
  const fs::path fixture = brinvale::test::FixturePath("fat12.img");
  h.services.copyImage = [fixture](ImageCopyJob& job, const ImageSource&, const fs::path& path,
                                   void* user) {
    ImageSource file;
    file.kind = ImageSource::Kind::kImageFile;
    file.imageFile = fixture;
    return CopyImageSource(job, file, path, user);
  };
  const fs::path image = h.work.Path() / "copy.img";
  h.imageTargets = {QString::fromStdString(image.string())};
  h.Window();
  h.Click("BtnCreateImageMode");
  h.DiskList().setCurrentItem(h.DiskList().topLevelItem(0));
  h.Click("BtnAdvanceScan");
  EXPECT_EQ(h.proposedNames, (std::vector<QString>{"Physical Disk 8"}));
  ASSERT_TRUE(fs::is_regular_file(image));
  EXPECT_EQ(FileHash(image), FileHash(fixture));
  ASSERT_FALSE(h.runner.boxes.empty());
  EXPECT_EQ(h.runner.boxes.front().text, Text("MSG0214"));
  EXPECT_EQ(h.runner.windows,
            (std::vector<QString>{"UIScanProcessWnd", "UIScanProcessWnd", "UISearchProcessWnd"}))
      << "the image, then its scan and search";

  EXPECT_EQ(h.Window().Mode(), ScanMode::kFull);
  EXPECT_FALSE(h.Window().ImagePage());
  const ScanSource* loaded = nullptr;
  for (const auto& source : h.Window().Sources())
    if (source->imagePath == image) loaded = source.get();
  ASSERT_NE(loaded, nullptr);
  EXPECT_NE(loaded->engine, nullptr) << "the new source was scanned";
  EXPECT_EQ(CDiskListUI::SourceOf(h.DiskList().currentItem()), loaded);
  EXPECT_EQ(h.Find<QStackedWidget>("TabPage")->currentIndex(), CMainWnd::kResultsPage);
  EXPECT_FALSE(h.Window().SearchResults().empty());
}

}  // namespace
}  // namespace brinvale::ui
