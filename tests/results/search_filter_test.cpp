// Which found files a search filter selects.
#include <gtest/gtest.h>

#include <string>

#include "results/type_view.h"
#include "results/record_rules.h"

namespace brinvale {
namespace {

ScanRecord Named(const std::string& name, bool folder = false) {
  ScanRecord r;
  r.SetName(name);
  r.SetContentCheck(1);
  r.SetIsFolder(folder);
  return r;
}

TEST(SearchFilter, EverythingFindsEveryFileWhateverItsExtension) {
  // The five lists and ".other": what a recovery of everything searches
  // with. Extensions that occur inside a listed one without its dot ("ts"
  // in "*.mts", "peg" in "*.jpeg") are in no list, so
  // they are "other" files and must be found too.
  SearchFilter everything(BuildTypeFilter({}) + "|.other");
  for (const char* name : {"1.jpg", "2.mts", "3.ts", "4.peg", "6.mp2", "7.qqq", "8",
                           "9.DOCX", "10.Ts"})
    EXPECT_TRUE(everything.Matches(Named(name), true)) << name;
  EXPECT_FALSE(everything.Matches(Named("DCIM", true), true));
  // Without ".other" allowed only listed extensions are found.
  EXPECT_TRUE(everything.Matches(Named("2.mts"), false));
  EXPECT_FALSE(everything.Matches(Named("3.ts"), false));
}

TEST(SearchFilter, ChosenExtensionsWithOther) {
  SearchFilter chosen("*.jpg|.other");
  EXPECT_TRUE(chosen.Matches(Named("x.jpg"), true));
  EXPECT_TRUE(chosen.Matches(Named("x.qqq"), true));
  EXPECT_TRUE(chosen.Matches(Named("x.ts"), true));
  EXPECT_TRUE(chosen.Matches(Named("noextension"), true));
  EXPECT_FALSE(chosen.Matches(Named("x.mp3"), true));
  EXPECT_FALSE(chosen.Matches(Named("x.mts"), true));
  // ".doc" stands inside "*.docx" as written: a known extension.
  EXPECT_FALSE(chosen.Matches(Named("x.doc"), true));

  SearchFilter plain("*.ts");
  EXPECT_TRUE(plain.Matches(Named("x.ts"), true));
  EXPECT_FALSE(plain.Matches(Named("x.qqq"), true));
}

}  // namespace
}  // namespace brinvale
