// The file list over a real quick scan of fsv_fat.img (tests/fixtures/
// make_fsverdict_fixture.sh): the file chosen in the list is checked, a
// damaged one takes the "_error" icon and its name's tooltip tells the
// verdict; rows not chosen show only what is known, so drawing a page reads
// nothing.
#include <gtest/gtest.h>

#include <QStackedWidget>
#include <QTreeView>

#include "main_wnd_support.h"
#include "ui/custom_controls.h"
#include "ui/file_icons.h"
#include "ui/file_list_model.h"
#include "ui/file_tree_model.h"

namespace brinvale::ui {
namespace {

int RowOf(CFileListModel& list, const std::string& name) {
  for (int row = 0; row < list.rowCount(); ++row)
    if (list.RecordAt(row)->Name() == name) return row;
  return -1;
}

TEST(FoundVerdictUi, TheChosenFileShowsItsVerdict) {
  test::MainWndHarness h("mw-fsverdict");
  h.imagesToChoose = {
      QString::fromStdString(brinvale::test::FixturePath("fsv_fat.img").string())};
  CMainWnd& window = h.Window();
  h.Click("BtnDeletedRecovery");
  h.Click("BtnLoadImage");
  h.Click("BtnScan");
  ASSERT_EQ(h.Find<QStackedWidget>("TabPage")->currentIndex(), CMainWnd::kResultsPage);

  // The image's root folder in the folder tree lists the deleted files.
  h.Click("TabScan");
  auto* folders = h.Find<CFileTreeUI>("FileTree");
  ASSERT_NE(folders, nullptr);
  ASSERT_EQ(folders->model()->rowCount(), 1);
  folders->setCurrentIndex(folders->model()->index(0, 0));
  CFileListModel& list = window.FileListModel();
  auto* view = h.Find<QTreeView>("FileList");
  ASSERT_NE(view, nullptr);

  const int victim = RowOf(list, "Victim.jpg");
  const int photo = RowOf(list, "Photo.jpg");
  ASSERT_GE(victim, 0);
  ASSERT_GE(photo, 0);
  const QModelIndex victimName = list.index(victim, CFileListModel::kFileName);
  const QModelIndex photoName = list.index(photo, CFileListModel::kFileName);
  const ScanRecord victimRecord = *list.RecordAt(victim);
  auto iconKey = [](const QModelIndex& index) {
    return index.data(Qt::DecorationRole).value<QIcon>().cacheKey();
  };

  // Not chosen yet: nothing is known, the plain icon and the plain name.
  EXPECT_EQ(iconKey(victimName), FileIcon(victimRecord, false).cacheKey());
  EXPECT_EQ(victimName.data(Qt::ToolTipRole).toString(), "Victim.jpg");

  view->setCurrentIndex(victimName);
  EXPECT_EQ(iconKey(victimName), FileIcon(victimRecord, true).cacheKey());
  EXPECT_EQ(FileIconName(victimRecord, true), "FileIcon/image_error.png");
  EXPECT_TRUE(victimName.data(Qt::ToolTipRole).toString().startsWith("Victim.jpg (damaged: "))
      << victimName.data(Qt::ToolTipRole).toString().toStdString();

  view->setCurrentIndex(photoName);
  EXPECT_EQ(photoName.data(Qt::ToolTipRole).toString(), "Photo.jpg (complete)");
  EXPECT_EQ(iconKey(photoName), FileIcon(*list.RecordAt(photo), false).cacheKey());
  // The damaged file stays marked once it is known.
  EXPECT_EQ(iconKey(victimName), FileIcon(victimRecord, true).cacheKey());
}

}  // namespace
}  // namespace brinvale::ui
