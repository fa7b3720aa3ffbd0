#include "ui/file_tree_model.h"

#include <gtest/gtest.h>

#include <QTest>
#include <QTreeView>
#include <map>

namespace brinvale::ui {
namespace {

ScanRecord Entry(uint32_t key, const std::string& name, bool folder) {
  ScanRecord r;
  r.SetEntryKey(key);
  r.SetName(name);
  r.SetIsFolder(folder);
  r.SetContentCheck(1);
  return r;
}

// A tree of folders in which every call is counted: the root holds DCIM
// (key 10) and a.txt; DCIM holds 100 (key 11) and b.jpg; 100 holds c.jpg.
class CountingEngine : public CNullRecoveryEngine {
 public:
  int listCalls = 0;
  int countCalls = 0;
  std::vector<std::pair<uint32_t, uint32_t>> listed;  // (parent key, depth)

  int ListChildren(const ScanRecord* parent, uint32_t depth, RecordList& out) override {
    ++listCalls;
    if (!parent && depth != 0) return kErrInvalidParameter;
    const uint32_t key = parent ? parent->EntryKey() : 0;
    listed.emplace_back(key, depth);
    out.clear();
    if (key == 0) out = {Entry(20, "a.txt", false), Entry(10, "DCIM", true)};
    if (key == 10 && depth == 1) out = {Entry(21, "b.jpg", false), Entry(11, "100", true)};
    if (key == 11 && depth == 2) out = {Entry(22, "c.jpg", false)};
    return kOk;
  }
  int CountFiles(const ScanRecord* parent, uint32_t, uint32_t& count) override {
    ++countCalls;
    const uint32_t key = parent ? parent->EntryKey() : 0;
    count = key == 0 ? 3 : key == 10 ? 2 : 1;
    return kOk;
  }
};

TEST(FileTreeModel, FoldersAreAskedOfTheEngineOnlyWhenOpened) {
  ScanSource source;
  source.imagePath = "card.img";
  auto* engine = new CountingEngine;
  source.engine.reset(engine);
  ScanSource unscanned;  // no engine: no node
  CFileTreeModel model;
  model.SetSources({&source, &unscanned}, {"card.img", "other.img"});
  ASSERT_EQ(model.rowCount(), 1);
  EXPECT_EQ(engine->listCalls, 0) << "nothing is listed before it is opened";
  const QModelIndex root = model.index(0, 0);
  EXPECT_TRUE(model.hasChildren(root));
  EXPECT_EQ(root.data().toString(), "card.img (3)");
  EXPECT_EQ(engine->countCalls, 1);
  EXPECT_EQ(model.rowCount(root), 0);

  ASSERT_TRUE(model.canFetchMore(root));
  model.fetchMore(root);
  EXPECT_FALSE(model.canFetchMore(root));
  ASSERT_EQ(model.rowCount(root), 1) << "folders only";
  const QModelIndex dcim = model.index(0, 0, root);
  EXPECT_EQ(dcim.data().toString(), "DCIM (2)");
  EXPECT_EQ(engine->listCalls, 1);
  // The listing of a node holds its files and folders, asked once.
  std::shared_ptr<const RecordList> top = model.Listing(root);
  ASSERT_NE(top, nullptr);
  EXPECT_EQ(top->size(), 2u);
  EXPECT_EQ(engine->listCalls, 1);

  std::shared_ptr<const RecordList> inDcim = model.Listing(dcim);
  ASSERT_NE(inDcim, nullptr);
  EXPECT_EQ(std::string((*inDcim)[0].Name()), "b.jpg");
  const QModelIndex hundred = model.index(0, 0, dcim);
  EXPECT_EQ(hundred.data().toString(), "100 (1)");
  EXPECT_EQ(model.parent(hundred), dcim);
  model.fetchMore(hundred);
  EXPECT_FALSE(model.hasChildren(hundred)) << "100 holds no folder";
  // Each level is asked with its depth below the root.
  EXPECT_EQ(engine->listed, (std::vector<std::pair<uint32_t, uint32_t>>{{0, 0}, {10, 1}, {11, 2}}));
  const std::optional<CFileTreeModel::Place> place = model.PlaceOf(hundred);
  ASSERT_TRUE(place.has_value());
  EXPECT_EQ(place->source, &source);
  EXPECT_EQ(place->depth, 2u);
  EXPECT_EQ(place->folder->EntryKey(), 11u);

  // A view opens nodes through the same calls.
  CFileTreeModel fresh;
  fresh.SetSources({&source}, {"card.img"});
  QTreeView view;
  view.setModel(&fresh);
  view.show();
  view.expand(fresh.index(0, 0));
  EXPECT_TRUE(QTest::qWaitFor([&] { return fresh.rowCount(fresh.index(0, 0)) == 1; }, 5000));
}

}  // namespace
}  // namespace brinvale::ui
