// The main window over a real quick scan of a fixture image: the files the
// image's manifest says were deleted are found, counted by kind in the type
// tree and found again by folder.
#include <gtest/gtest.h>

#include <QStackedWidget>
#include <fstream>
#include <map>
#include <sstream>

#include "main_wnd_support.h"
#include "results/type_view.h"
#include "ui/custom_controls.h"
#include "ui/file_list_model.h"
#include "ui/file_tree_model.h"
#include "ui/type_tree.h"

namespace brinvale::ui {
namespace {

struct ManifestFile {
  std::string state;
  std::string path;  // "/Photos/logo.png"
};

// The files (not folders) of a fixture's manifest.
std::vector<ManifestFile> ManifestFiles(const std::string& fixture) {
  std::vector<ManifestFile> files;
  std::ifstream in(brinvale::test::FixturePath(fixture + ".manifest"));
  std::string line;
  while (std::getline(in, line)) {
    if (line.empty() || line[0] == '#') continue;
    std::istringstream fields(line);
    ManifestFile file;
    std::getline(fields, file.state, '\t');
    std::getline(fields, file.path, '\t');
    if (!file.path.empty() && file.path.back() != '/') files.push_back(file);
  }
  return files;
}

std::string BaseName(const std::string& path) { return path.substr(path.find_last_of('/') + 1); }

TEST(MainWndFixture, AQuickScanOfAnImageIsBrowsedByTypeAndByFolder) {
  test::MainWndHarness h("mw-fixture");
  h.imagesToChoose = {QString::fromStdString(brinvale::test::FixturePath("sample.img").string())};
  CMainWnd& window = h.Window();
  h.Click("BtnDeletedRecovery");
  h.Click("BtnLoadImage");
  h.Click("BtnScan");
  ASSERT_EQ(h.Find<QStackedWidget>("TabPage")->currentIndex(), CMainWnd::kResultsPage);
  EXPECT_TRUE(h.runner.boxes.empty());

  // What was deleted, by kind, as the manifest tells it; live files in live
  // folders are not what a quick scan lists.
  std::array<size_t, kCategoryCount> expected{};
  std::map<std::string, size_t> perExtension;
  size_t deleted = 0;
  for (const ManifestFile& file : ManifestFiles("sample.img")) {
    if (file.state == "live") continue;
    ++deleted;
    const std::string group = ExtensionGroupOf(BaseName(file.path));
    ++expected[size_t(TypeTreeCategoryOf(group))];
    ++perExtension[group];
  }
  ASSERT_GT(deleted, 0u);
  EXPECT_EQ(window.SearchResults().size(), deleted);

  auto* tree = h.Find<QTreeWidget>("TypeTree");
  CTypeTree types(*tree);
  const char* keys[] = {"MSG0807", "MSG0808", "MSG0809", "MSG0810", "MSG0811", "MSG0812"};
  for (size_t i = 0; i < kCategoryCount; ++i) {
    QTreeWidgetItem* node = types.CategoryNode(CTypeTree::kNodeNames[i]);
    ASSERT_NE(node, nullptr);
    EXPECT_EQ(node->text(0).toStdString(), test::ShippedTexts().Text("Messages", keys[i]) + " (" +
                                               std::to_string(expected[i]) + ")");
  }
  QTreeWidgetItem* photo = types.CategoryNode("NodePhoto");
  ASSERT_EQ(photo->childCount(), 1);
  EXPECT_EQ(photo->child(0)->text(0), TypeNodeText("jpg", perExtension["jpg"]));

  // By folder: the image's root counts every file found; its Photos folder
  // holds the deleted photo, with its folder path.
  h.Click("TabScan");
  auto* folders = h.Find<CFileTreeUI>("FileTree");
  QAbstractItemModel* model = folders->model();
  ASSERT_EQ(model->rowCount(), 1);
  const QModelIndex root = model->index(0, 0);
  EXPECT_EQ(root.data().toString(), QStringLiteral("sample.img (%1)").arg(deleted));
  folders->expand(root);
  QModelIndex photos;
  for (int i = 0; i < model->rowCount(root); ++i)
    if (model->index(i, 0, root).data().toString().startsWith("Photos ("))
      photos = model->index(i, 0, root);
  ASSERT_TRUE(photos.isValid());
  folders->setCurrentIndex(photos);
  CFileListModel& list = window.FileListModel();
  std::vector<std::string> names;
  for (int row = 0; row < list.rowCount(); ++row) names.emplace_back(list.RecordAt(row)->Name());
  std::vector<std::string> deletedPhotos;
  for (const ManifestFile& file : ManifestFiles("sample.img"))
    if (file.state != "live" && file.path.rfind("/Photos/", 0) == 0)
      deletedPhotos.push_back(BaseName(file.path));
  EXPECT_EQ(names, deletedPhotos);
  ASSERT_GT(list.rowCount(), 0);
  EXPECT_EQ(list.index(0, CFileListModel::kPath).data().toString(), "Photos\\");
  EXPECT_EQ(list.index(0, CFileListModel::kType).data().toString(), "JPG");
}

}  // namespace
}  // namespace brinvale::ui
