#include "results/folder_entry_file.h"

#include <gtest/gtest.h>

#include <vector>

#include "common/bytes.h"

namespace brinvale {
namespace {

TEST(FolderEntryFile, WholeEntriesLoadAndAPartialOneIsIgnored) {
  std::vector<uint8_t> bytes(268 * 2 + 100, 0);
  StoreLe32(bytes, 0, 2);                                     // entry 0: first cluster
  StoreLe32(bytes, 4, 17);                                    // entry 0: record number
  bytes[8] = 'D', bytes[9] = 'C';                             // entry 0: name "DC"
  StoreLe32(bytes, 268 + 0, 0xFFFFFFFF);                      // entry 1: first cluster
  StoreLe32(bytes, 268 + 4, 3);                               // entry 1: record number
  for (size_t i = 0; i < 260; ++i) bytes[268 + 8 + i] = 'n';  // entry 1: name, no NUL
  std::vector<FolderEntry> out;
  ParseFolderEntries(bytes, out);
  ASSERT_EQ(out.size(), 2u);
  EXPECT_EQ(out[0].cluster, 2u);
  EXPECT_EQ(out[0].number, 17u);
  EXPECT_EQ(out[0].name, "DC");
  EXPECT_EQ(out[1].cluster, 0xFFFFFFFFu);
  EXPECT_EQ(out[1].name, std::string(259, 'n'));
}

TEST(FolderEntryFile, EncodeCutsLongNamesAtACharacterBoundary) {
  std::string name(257, 'x');
  name += "\xE2\x82\xAC";  // U+20AC, bytes 257..259: does not fit in 259
  FolderEntry e = MakeFolderEntry(9, 4, name);
  EXPECT_EQ(e.name, std::string(257, 'x'));
  std::vector<uint8_t> bytes(268, 0xAA);
  EncodeFolderEntry(e, bytes);
  EXPECT_EQ(LoadLe32(bytes, 0), 9u);
  EXPECT_EQ(LoadLe32(bytes, 4), 4u);
  EXPECT_EQ(bytes[8 + 256], 'x');
  EXPECT_EQ(bytes[8 + 257], 0);
  EXPECT_EQ(bytes[267], 0);
  std::vector<FolderEntry> back;
  ParseFolderEntries(bytes, back);
  ASSERT_EQ(back.size(), 1u);
  EXPECT_EQ(back[0].name, e.name);
}

}  // namespace
}  // namespace brinvale
