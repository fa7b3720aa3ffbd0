#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QSignalSpy>
#include <QTest>
#include <memory>

#include "platform/clock.h"
#include "ui/file_icons.h"
#include "ui/file_list_model.h"
#include "ui/pagination.h"
#include "ui/skin_markup.h"

namespace brinvale::ui {
namespace {

// Page numbers as texts, "..." for 0.
std::vector<std::string> Window(int pages, int current, int buttons) {
  std::vector<std::string> texts;
  for (int page : PageButtonWindow(pages, current, buttons))
    texts.push_back(page == 0 ? "..." : std::to_string(page));
  return texts;
}
using Texts = std::vector<std::string>;

TEST(PageButtonWindow, AllPagesWhenTheyFit) {
  EXPECT_EQ(Window(0, 0, 7), Texts{});
  EXPECT_EQ(Window(1, 1, 7), Texts{"1"});
  EXPECT_EQ(Window(7, 4, 7), (Texts{"1", "2", "3", "4", "5", "6", "7"}));
}

TEST(PageButtonWindow, SevenPagesOnFiveButtons) {
  // h = 2: the first pages up to page 3, the last from page 5.
  EXPECT_EQ(Window(7, 1, 5), (Texts{"1", "2", "3", "4", "5", "..."}));
  EXPECT_EQ(Window(7, 3, 5), (Texts{"1", "2", "3", "4", "5", "..."}));
  EXPECT_EQ(Window(7, 4, 5), (Texts{"...", "2", "3", "4", "5", "6", "..."}));
  EXPECT_EQ(Window(7, 5, 5), (Texts{"...", "3", "4", "5", "6", "7"}));
  EXPECT_EQ(Window(7, 7, 5), (Texts{"...", "3", "4", "5", "6", "7"}));
}

TEST(PageButtonWindow, FiftyPagesOnSevenButtons) {
  // h = 3: the first pages up to page 4, the last from page 47.
  EXPECT_EQ(Window(50, 1, 7), (Texts{"1", "2", "3", "4", "5", "6", "7", "..."}));
  EXPECT_EQ(Window(50, 4, 7), (Texts{"1", "2", "3", "4", "5", "6", "7", "..."}));
  EXPECT_EQ(Window(50, 5, 7), (Texts{"...", "2", "3", "4", "5", "6", "7", "8", "..."}));
  EXPECT_EQ(Window(50, 25, 7), (Texts{"...", "22", "23", "24", "25", "26", "27", "28", "..."}));
  EXPECT_EQ(Window(50, 46, 7), (Texts{"...", "43", "44", "45", "46", "47", "48", "49", "..."}));
  EXPECT_EQ(Window(50, 47, 7), (Texts{"...", "44", "45", "46", "47", "48", "49", "50"}));
  EXPECT_EQ(Window(50, 50, 7), (Texts{"...", "44", "45", "46", "47", "48", "49", "50"}));
}

TEST(Pagination, PrevNextAndPageButtonsChangeThePageAndSaySo) {
  Pagination row;
  auto* prev = row.findChild<QAbstractButton*>("Prev");
  auto* next = row.findChild<QAbstractButton*>("Next");
  ASSERT_TRUE(prev && next);
  row.SetPageCount(1);
  EXPECT_EQ(row.EntryTexts(), QStringList{"1"});
  EXPECT_FALSE(prev->isEnabled());
  EXPECT_FALSE(next->isEnabled());

  row.SetPageCount(50);
  QSignalSpy changes(&row, &Pagination::updatePage);
  EXPECT_EQ(row.CurrentPage(), 1);
  EXPECT_FALSE(prev->isEnabled());
  EXPECT_TRUE(next->isEnabled());
  next->click();
  EXPECT_EQ(row.CurrentPage(), 2);
  row.GoToPage(25);
  EXPECT_EQ(row.EntryTexts(),
            QStringList({"...", "22", "23", "24", "25", "26", "27", "28", "..."}));
  auto* page27 = row.findChild<QAbstractButton*>("Page27");
  ASSERT_NE(page27, nullptr);
  EXPECT_EQ(page27->width(), Pagination::kButtonWidth);
  page27->click();
  EXPECT_EQ(row.CurrentPage(), 27);
  EXPECT_TRUE(row.findChild<QAbstractButton*>("Page27")->isChecked());
  row.GoToPage(50);
  EXPECT_FALSE(next->isEnabled());
  EXPECT_TRUE(prev->isEnabled());
  row.GoToPage(51);  // out of range
  row.GoToPage(50);  // already there
  prev->click();
  ASSERT_EQ(changes.size(), 5);
  const int expected[] = {2, 25, 27, 50, 49};
  for (int i = 0; i < 5; ++i) EXPECT_EQ(changes[i][0].toInt(), expected[i]);
}

TEST(SkinMarkup, RowsKeepTheirWordsAndPicture) {
  const MarkupParts disk = SplitMarkup("{f 5}{x 5}{i physical_drive.png 1 0}{x 2}Disk 0{/5}");
  EXPECT_EQ(disk.text, "Disk 0");
  EXPECT_EQ(disk.icon, "physical_drive.png");
  EXPECT_EQ(SplitMarkup("{f 4}{x 2}E:\\ FAT32{/f}").text, "E:\\ FAT32");
  EXPECT_EQ(MarkupToHtml("{f 7}{c #316D1E}12{/c}{/f}"),
            "<b><span style=\"color:#316D1E\">12</span></b>");
  EXPECT_EQ(MarkupToHtml("a<b {f 4}x"), "a&lt;b <span>x</span>");
}

ScanRecord Named(const std::string& name, uint32_t check = 1, bool folder = false) {
  ScanRecord r;
  r.SetName(name);
  r.SetContentCheck(check);
  r.SetIsFolder(folder);
  return r;
}

TEST(FileIcons, ByKindWithTheErrorFormForFilesNotInGoodCondition) {
  EXPECT_EQ(FileIconName(Named("DCIM", 1, true)), "FileIcon/folder.png");
  EXPECT_EQ(FileIconName(Named("setup.EXE")), "FileIcon/exe.png");
  EXPECT_EQ(FileIconName(Named("a.jpg")), "FileIcon/image.png");
  EXPECT_EQ(FileIconName(Named("a.jpg", 0)), "FileIcon/image_error.png");
  EXPECT_EQ(FileIconName(Named("a.mp3")), "FileIcon/music.png");
  EXPECT_EQ(FileIconName(Named("a.pdf", 0)), "FileIcon/doc_error.png");
  EXPECT_EQ(FileIconName(Named("a.mkv")), "FileIcon/video.png");
  EXPECT_EQ(FileIconName(Named("a.7z")), "FileIcon/zip.png");
  EXPECT_EQ(FileIconName(Named("a.qqq")), "FileIcon/default.png");
  EXPECT_EQ(FileIconName(Named("README", 0)), "FileIcon/default_error.png");
  EXPECT_FALSE(FileIcon(Named("a.zip")).isNull());
}

uint64_t FileTime(int year, int month, int day, int hour, int minute, int second) {
  platform::SystemTime t;
  t.year = year;
  t.month = month;
  t.day = day;
  t.hour = hour;
  t.minute = minute;
  t.second = second;
  return *platform::SystemTimeToFileTime(t);
}

TEST(FileListModel, ShowsTheColumnsOfARecord) {
  CFileSelection selection;
  CFileListModel model(selection);
  auto records = std::make_shared<RecordList>();
  ScanRecord r = Named("Holiday.jpeg", 0);
  r.SetFileSize(1536);
  r.SetWritten(FileTime(2019, 7, 4, 9, 5, 3));
  r.SetCreated(FileTime(2018, 12, 25, 18, 0, 0));
  records->push_back(r);
  model.SetRows(records);
  model.SetPathLookup([](const ScanRecord&) { return std::string("DCIM\\100\\"); });
  auto cell = [&](int column) { return model.index(0, column).data().toString().toStdString(); };
  EXPECT_EQ(cell(CFileListModel::kFileName), "Holiday.jpeg");
  EXPECT_EQ(cell(CFileListModel::kSize), "1.50 KB");
  EXPECT_EQ(cell(CFileListModel::kType), "JPG");
  EXPECT_EQ(cell(CFileListModel::kModifiedTime), "2019-7-4 09:05:03");
  EXPECT_EQ(cell(CFileListModel::kCreatedTime), "2018-12-25 18:00:00");
  EXPECT_EQ(cell(CFileListModel::kPath), "DCIM\\100\\");
  EXPECT_EQ(FileListDateText(0), "") << "no time recorded";
  EXPECT_EQ(model.index(0, 0).data(Qt::CheckStateRole).toInt(), Qt::Unchecked);
  EXPECT_TRUE(model.setData(model.index(0, 0), Qt::Checked, Qt::CheckStateRole));
  EXPECT_EQ(selection.Count(), 1u);
  EXPECT_EQ(selection.TotalBytes(), 1536u);
  EXPECT_EQ(model.AllCheckState(), Qt::Checked);
}

TEST(FileListModel, DatesSortAsTheirTextsAndPathKeepsItsDirection) {
  CFileSelection selection;
  CFileListModel model(selection);
  auto records = std::make_shared<RecordList>();
  // As texts, "2019-12-1" sorts before "2019-5-1".
  for (auto [name, month] : {std::pair{"may", 5}, std::pair{"dec", 12}, std::pair{"jan", 1}}) {
    ScanRecord r = Named(std::string(name) + ".txt");
    r.SetWritten(FileTime(2019, month, 1, 0, 0, 0));
    records->push_back(r);
  }
  model.SetRows(records);
  auto names = [&] {
    std::vector<std::string> out;
    for (int i = 0; i < model.rowCount(); ++i) out.emplace_back(model.RecordAt(i)->Name());
    return out;
  };
  model.SortByHeader(CFileListModel::kModifiedTime);
  EXPECT_EQ(model.Direction(CFileListModel::kModifiedTime), -1);
  EXPECT_EQ(names(), (std::vector<std::string>{"may.txt", "dec.txt", "jan.txt"}));
  model.SortByHeader(CFileListModel::kModifiedTime);
  EXPECT_EQ(names(), (std::vector<std::string>{"jan.txt", "dec.txt", "may.txt"}));
  model.SortByHeader(CFileListModel::kPath);
  EXPECT_EQ(model.Direction(CFileListModel::kPath), 0) << "Path keeps its direction";
  model.SortByHeader(CFileListModel::kType);
  EXPECT_EQ(model.Direction(CFileListModel::kType), 1);
}

// A long list sorts on a thread of its own: the call returns at once and
// the rows take their order when it arrives; new rows meanwhile make the
// sort stale.
TEST(FileListModel, ALongListSortsInTheBackground) {
  CFileSelection selection;
  CFileListModel model(selection);
  model.SetBackgroundSortRows(2);
  auto records = std::make_shared<RecordList>();
  for (const char* name : {"b.txt", "c.txt", "a.txt"}) records->push_back(Named(name));
  model.SetRows(records);
  QSignalSpy reordered(&model, &CFileListModel::rowsReordered);
  model.SortByHeader(CFileListModel::kFileName);
  EXPECT_TRUE(model.Sorting());
  EXPECT_EQ(model.Direction(CFileListModel::kFileName), 1) << "the header turns at once";
  ASSERT_TRUE(QTest::qWaitFor([&] { return !model.Sorting(); }, 10000));
  ASSERT_EQ(reordered.size(), 1);
  EXPECT_EQ(std::string(model.RecordAt(0)->Name()), "a.txt");
  EXPECT_EQ(std::string(model.RecordAt(2)->Name()), "c.txt");

  model.SortByHeader(CFileListModel::kFileName);  // descending, then other rows
  auto others = std::make_shared<RecordList>();
  for (const char* name : {"y.txt", "x.txt", "z.txt"}) others->push_back(Named(name));
  model.SetRows(others);
  ASSERT_TRUE(QTest::qWaitFor([&] { return !model.Sorting(); }, 10000));
  EXPECT_EQ(reordered.size(), 1) << "the stale order is dropped";
  EXPECT_EQ(std::string(model.RecordAt(0)->Name()), "y.txt");
}

}  // namespace
}  // namespace brinvale::ui
