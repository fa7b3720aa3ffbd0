#include "results/result_tree.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "common/error_codes.h"
#include "store_test_support.h"

namespace brinvale {
namespace {

using namespace brinvale::testing;
using ::testing::ElementsAre;

class ResultTreeTest : public TempFolderTest {};

TEST_F(ResultTreeTest, FolderRecordAndLevelReachItsChildren) {
  ScanLogStore s;
  ASSERT_EQ(s.OpenLog(folder, "L"), kOk);
  s.AddRelation(Key(0, 2), s.AppendRecord(Folder("DCIM", 10)), 10, "DCIM");
  s.AddRelation(Key(0, 2), s.AppendRecord(File("top.txt")));
  s.AddRelation(Key(1, 10), s.AppendRecord(File("in.jpg", 5, 0)));  // hidden photo
  s.AddRelation(Key(1, 10), s.AppendRecord(File("in.txt")));
  std::vector<ScanRecord> root;
  ASSERT_EQ(ListChildrenOf(s, nullptr, 0, root), kOk);
  ASSERT_THAT(Names(root), ElementsAre("top.txt", "DCIM"));
  std::vector<ScanRecord> inner;
  ASSERT_EQ(ListChildrenOf(s, &root[1], 1, inner), kOk);
  EXPECT_THAT(Names(inner), ElementsAre("in.txt"));
  ASSERT_EQ(ListChildrenOf(s, &root[1], 2, inner), kOk);
  EXPECT_TRUE(inner.empty()) << "the same cluster one level deeper is another folder";
  uint32_t count = 0;
  ASSERT_EQ(CountFilesOf(s, nullptr, 0, count), kOk);
  EXPECT_EQ(count, 3u);
  ASSERT_EQ(CountFilesOf(s, &root[1], 1, count), kOk);
  EXPECT_EQ(count, 2u);
  EXPECT_EQ(ListChildrenOf(s, nullptr, 1, inner), kErrInvalidParameter);
  EXPECT_EQ(CountFilesOf(s, nullptr, 3, count), kErrInvalidParameter);
}

}  // namespace
}  // namespace brinvale
