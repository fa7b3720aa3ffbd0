#include "preview/archive_reader.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>

#include "common/error_codes.h"
#include "preview/zip_view.h"
#include "preview_files.h"

namespace brinvale::preview {
namespace {

using test::DamagedCopies;
using test::PreviewBytes;
using test::PreviewFile;

const ArchiveEntry* Named(const std::vector<ArchiveEntry>& entries, const std::string& name) {
  auto it = std::find_if(entries.begin(), entries.end(),
                         [&](const ArchiveEntry& e) { return e.name == name; });
  return it == entries.end() ? nullptr : &*it;
}

TEST(ListArchive, ListsNamesSizesAndDatesOfEveryKind) {
  for (const char* file : {"listing.zip", "listing.tar", "listing.tar.gz", "listing.7z"}) {
    SCOPED_TRACE(file);
    std::vector<ArchiveEntry> entries;
    ASSERT_EQ(ListArchive(PreviewFile(file), entries), kOk);
    const ArchiveEntry* readme = Named(entries, "notes/readme.txt");
    const ArchiveEntry* data = Named(entries, "notes/data.bin");
    ASSERT_TRUE(readme && data);
    EXPECT_EQ(readme->size, 31);
    EXPECT_EQ(data->size, 4096);
    EXPECT_FALSE(readme->isFolder);
    // 2024-03-05 10:20:00 UTC, as the fixture script set it.
    EXPECT_EQ(readme->modified, 1709634000);
  }
}

TEST(ListArchive, ALoneCompressedFileIsOneEntryWithItsSize) {
  std::vector<ArchiveEntry> entries;
  ASSERT_EQ(ListArchive(PreviewFile("single.txt.gz"), entries), kOk);
  ASSERT_EQ(entries.size(), 1u);
  EXPECT_EQ(entries[0].size, 2000);
}

TEST(ListArchive, BytesOfNoArchiveAreRefused) {
  std::vector<ArchiveEntry> entries;
  EXPECT_EQ(ListArchive(PreviewFile("picture.png"), entries), kErrInvalidParameter);
  EXPECT_EQ(ListArchive(PreviewFile("no such file.zip"), entries), kErrInvalidParameter);
  const std::vector<uint8_t> text(300, 'a');
  EXPECT_EQ(ListArchiveBytes(text, entries), kErrInvalidParameter);
  EXPECT_TRUE(entries.empty());
}

TEST(ListArchive, ABombIsCutAtTheMemberLimit) {
  ArchiveLimits limits;
  limits.maxMemberBytes = 1u << 20;
  std::vector<ArchiveEntry> entries;
  ASSERT_EQ(ListArchive(PreviewFile("bomb.zip"), entries, limits), kOk);
  ASSERT_EQ(entries.size(), 1u);
  EXPECT_EQ(entries[0].size, int64_t(64) << 20) << "a zip says its sizes: nothing is inflated";

  size_t seen = 0;
  ASSERT_EQ(ReadArchiveMembers(
                PreviewFile("bomb.zip"), [](const std::string&) { return true; },
                [&](const std::string&, const std::string& bytes) {
                  seen = bytes.size();
                  return true;
                },
                limits),
            kOk);
  EXPECT_EQ(seen, size_t(1) << 20);
}

TEST(ListArchive, EntriesStopAtTheEntryLimit) {
  ArchiveLimits limits;
  limits.maxEntries = 1;
  std::vector<ArchiveEntry> entries;
  ASSERT_EQ(ListArchive(PreviewFile("listing.tar"), entries, limits), kOk);
  EXPECT_EQ(entries.size(), 1u);
}

TEST(ListArchive, DamagedArchivesNeverCrashOrHang) {
  for (const char* file : {"listing.zip", "listing.tar.gz", "listing.7z", "single.txt.gz"}) {
    SCOPED_TRACE(file);
    const auto start = std::chrono::steady_clock::now();
    for (const std::vector<uint8_t>& copy : DamagedCopies(PreviewBytes(file))) {
      std::vector<ArchiveEntry> entries;
      const int rc = ListArchiveBytes(copy, entries);
      EXPECT_TRUE(rc == kOk || rc == kErrInvalidParameter) << rc;
      EXPECT_LE(entries.size(), ArchiveLimits{}.maxEntries);
    }
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(20));
  }
}

TEST(CZIP, TheListingNamesEachEntryWithSizeAndDate) {
  CZIP view;
  QString text;
  std::filesystem::path picture;
  ASSERT_EQ(view.Convert(PreviewFile("listing.zip"), text, picture), kOk);
  EXPECT_TRUE(picture.empty());
  EXPECT_TRUE(text.contains(QStringLiteral("notes/readme.txt  31 Bytes  2024-03-05"))) << qPrintable(text);
  EXPECT_TRUE(text.contains(QStringLiteral("notes/data.bin  4.00 KB"))) << qPrintable(text);
  EXPECT_TRUE(text.contains(QStringLiteral("notes/\n")) || text.contains(QStringLiteral("notes/  ")));
  EXPECT_EQ(view.Convert(PreviewFile("picture.png"), text, picture), kErrInvalidParameter);
}

}  // namespace
}  // namespace brinvale::preview
