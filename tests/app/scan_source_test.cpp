#include "app/scan_source.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace brinvale {
namespace {

ScanSource Volume(char16_t letter, bool numbered) {
  ScanSource s;
  VolumeInfo v;
  v.driveLetter = letter;
  v.numbered = numbered;
  s.partition = v;
  return s;
}

ScanSource Image(uint16_t tag) {
  ScanSource s;
  s.imagePath = "disk.img";
  s.sourceTag = tag;
  return s;
}

// A new image's key must differ from the number a letterless volume shows,
// or its found files would find that volume's engine.
TEST(UnusedSourceKey, AvoidsNumberedVolumesOtherImagesAndLetters) {
  ScanSource first = Volume(1, true);  // letterless, first in the list
  ScanSource e = Volume(u'E', false);
  ScanSource image = Image(2);
  std::vector<ScanSource*> sources = {&first, &e, &image};
  EXPECT_EQ(UnusedSourceKey(sources), 3);
  ASSERT_EQ(FindSourceByKey(sources, 1), &first);

  // Every key below the letters taken: the next free one is past 'Z'.
  std::vector<std::unique_ptr<ScanSource>> owned;
  std::vector<ScanSource*> full;
  for (uint16_t key = 1; key < 'A'; ++key) {
    owned.push_back(std::make_unique<ScanSource>(Image(key)));
    full.push_back(owned.back().get());
  }
  EXPECT_EQ(UnusedSourceKey(full), uint16_t('Z' + 1));
  for (uint16_t key = 'Z' + 1; key < 'a'; ++key) {
    owned.push_back(std::make_unique<ScanSource>(Image(key)));
    full.push_back(owned.back().get());
  }
  EXPECT_EQ(UnusedSourceKey(full), uint16_t('z' + 1));
  EXPECT_EQ(UnusedSourceKey({}), 1);
}

}  // namespace
}  // namespace brinvale
