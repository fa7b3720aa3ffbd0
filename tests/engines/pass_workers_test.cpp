// The full scan's pass gives the same scan logs, byte for byte, whatever
// the number of threads it tests sectors on: over every fixture image, and
// over media made to put sector runs of every kind across the boundaries of
// the parts the threads share.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <filesystem>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "app/scan_history.h"
#include "common/error_codes.h"
#include "deepscan/file_type_recovery.h"
#include "engines/professional_recovery.h"
#include "support/fixture_path.h"

namespace brinvale {
namespace {

namespace fs = std::filesystem;

class Scratch : public test::TempDir {
 public:
  Scratch() : TempDir("passworkers-" + std::to_string(Next())) {}

 private:
  static int Next() {
    static std::atomic<int> counter{0};
    return counter++;
  }
};

// The name of a log with the date and time it was made taken out, so that
// the logs of two scans pair up: the time follows an underscore, as digits
// (and a space before a one-digit minute), at least nine of them; the
// sectors in names are shorter on these media.
std::string WithoutTime(const std::string& name) {
  std::string result;
  size_t i = 0;
  while (i < name.size()) {
    size_t j = i;
    if (i > 0 && name[i - 1] == '_')
      while (j < name.size() && ((name[j] >= '0' && name[j] <= '9') || name[j] == ' ')) ++j;
    if (j - i >= 9) {
      result += 'T';
      i = j;
    } else {
      result += name[i++];
    }
  }
  return result;
}

// Every file of the scan's log folder by its name without times, with its
// bytes (the times taken out of the list of logs as well).
std::map<std::string, std::vector<uint8_t>> LogFiles(const fs::path& folder) {
  std::map<std::string, std::vector<uint8_t>> files;
  std::error_code ec;
  for (const auto& entry : fs::recursive_directory_iterator(folder, ec)) {
    if (!entry.is_regular_file()) continue;
    const std::string relative = fs::relative(entry.path(), folder).generic_string();
    std::vector<uint8_t> bytes = test::ReadFileBytes(entry.path());
    // The list of the logs with their checksums names them too.
    if (relative == ".logcheck") {
      const std::string text = WithoutTime(std::string(bytes.begin(), bytes.end()));
      bytes.assign(text.begin(), text.end());
    }
    files[WithoutTime(relative)] = std::move(bytes);
  }
  return files;
}

// A full scan of `image` with `workers` threads; its logs, or empty with a
// failure recorded. `names` gets the names of the carved files.
std::map<std::string, std::vector<uint8_t>> ScanLogs(const fs::path& image, size_t workers,
                                                     uint64_t& records,
                                                     std::vector<std::string>* names = nullptr) {
  Scratch base;
  ScanHistory history(base.Path());
  CProfessionalRecovery engine(history);
  engine.SetPassWorkers(workers);
  if (engine.OpenImage(image, u'I') != kOk) {
    ADD_FAILURE() << "cannot open " << image;
    return {};
  }
  EXPECT_EQ(engine.PassWorkers(), workers);
  const int rc = engine.Scan(nullptr);
  EXPECT_EQ(rc, kOk) << image << " with " << workers << " workers";
  records = engine.GetRecordCount();
  if (names != nullptr) {
    RecordList carved;
    EXPECT_EQ(engine.ContentEngine().ListChildren(nullptr, 0, carved), kOk);
    for (const ScanRecord& r : carved) names->emplace_back(r.Name());
  }
  return LogFiles(engine.LogFolder());
}

void ExpectSameLogs(const fs::path& image, const std::vector<size_t>& counts) {
  SCOPED_TRACE(image.filename().string());
  uint64_t oneRecords = 0;
  const auto one = ScanLogs(image, 1, oneRecords);
  ASSERT_FALSE(one.empty());
  for (size_t workers : counts) {
    uint64_t records = 0;
    const auto many = ScanLogs(image, workers, records);
    EXPECT_EQ(records, oneRecords) << workers << " workers";
    ASSERT_EQ(many.size(), one.size()) << workers << " workers";
    for (auto a = one.begin(), b = many.begin(); a != one.end(); ++a, ++b) {
      EXPECT_EQ(a->first, b->first);
      EXPECT_TRUE(a->second == b->second)
          << a->first << " differs with " << workers << " workers (" << a->second.size() << " and "
          << b->second.size() << " bytes)";
    }
  }
}

TEST(PassWorkers, TimesAreTakenOutOfLogNames) {
  EXPECT_EQ(WithoutTime("Content_0_2026129205 7.log"), "Content_0_T.log");
  EXPECT_EQ(WithoutTime("Quick_2048_202612112031_rel.dat"), "Quick_2048_T_rel.dat");
}

TEST(PassWorkers, EveryFixtureImageGivesTheSameLogs) {
  std::vector<fs::path> images;
  std::error_code ec;
  for (const auto& entry : fs::recursive_directory_iterator(test::FixtureDir(), ec))
    if (entry.is_regular_file() && entry.path().extension() == ".img")
      images.push_back(entry.path());
  std::sort(images.begin(), images.end());
  ASSERT_GE(images.size(), 20u) << "fixture images missing under " << test::FixtureDir();
  for (const fs::path& image : images) {
    // Three threads on two cores share the parts unevenly: a good test.
    const bool small = fs::file_size(image, ec) <= (64u << 20);
    ExpectSameLogs(image, small ? std::vector<size_t>{2, 3} : std::vector<size_t>{3});
  }
}

// Sectors of every kind the pass tells apart, in runs that start and end
// anywhere: FILE records (some cut by the end of a request), FAT folder
// starts and directory sectors, sectors whose first bytes start a file, and
// sectors that start nothing.
TEST(PassWorkers, MixedSectorsAcrossPartBoundariesGiveTheSameLogs) {
  const fs::path sample = test::FixturePath("content.img");
  const std::vector<uint8_t> content = test::ReadFileBytes(sample);
  ASSERT_FALSE(content.empty());
  const std::vector<uint8_t> fat = test::ReadFileBytes(test::FixturePath("fat16.img"));
  const std::vector<uint8_t> ntfs = test::ReadFileBytes(test::FixturePath("ntfs_reformat.img"));
  ASSERT_FALSE(fat.empty());
  ASSERT_FALSE(ntfs.empty());
  std::mt19937_64 random(20261209);
  std::vector<uint8_t> medium;
  const size_t target = 24u << 20;
  while (medium.size() < target) {
    const int kind = int(random() % 4);
    const size_t sectors = 1 + random() % 700;
    const std::vector<uint8_t>& from = kind == 0 ? content : kind == 1 ? fat : ntfs;
    if (kind == 3) {
      for (size_t i = 0; i < sectors * 512; ++i) medium.push_back(uint8_t(random()));
      continue;
    }
    const size_t at = (random() % (from.size() / 512 - sectors)) * 512;
    medium.insert(medium.end(), from.begin() + long(at), from.begin() + long(at + sectors * 512));
  }
  // The pass reads FILE records from the FAT volume's start on: keep the
  // first sector free of a boot sector so the medium is read whole.
  std::fill(medium.begin(), medium.begin() + 512, uint8_t(0));
  test::TempFile image("pass-workers-mixed.img");
  test::WriteFileBytes(image.Path(), medium);
  ExpectSameLogs(image.Path(), {2, 3, 5});
}

// A sector that starts no file, offered between two that do, leaves the
// stream flags of a sector that matched nothing: a transport stream right
// after it, whose packets seem to carry on from it, is taken as part of an
// earlier stream, with one thread and with several alike. The runs sit
// across the boundary of two parts of a request.
TEST(PassWorkers, ASectorThatStartsNothingStillCountsForTheStreamRules) {
  const std::vector<uint8_t> content = test::ReadFileBytes(test::FixturePath("content.img"));
  ASSERT_GE(content.size(), 175104u + 6956u);
  const auto piece = [&](size_t offset, size_t size) {
    return std::vector<uint8_t>(content.begin() + long(offset),
                                content.begin() + long(offset + size));
  };
  const std::vector<uint8_t> gif = piece(9728, 205);
  const std::vector<uint8_t> ts = piece(175104, 6956);
  std::vector<uint8_t> medium(2048 * 512, 0);
  const size_t gifSector = 510;
  std::copy(gif.begin(), gif.end(), medium.begin() + long(gifSector * 512));
  // Starts nothing (no detector takes 0x01 first), but has a packet's sync
  // byte one packet back from its end.
  uint8_t* quiet = medium.data() + (gifSector + 1) * 512;
  for (size_t i = 0; i < 512; ++i) quiet[i] = uint8_t(0x01 + i % 7);
  quiet[512 - 188] = 0x47;
  std::copy(ts.begin(), ts.end(), medium.begin() + long((gifSector + 2) * 512));
  test::TempFile image("pass-workers-stream.img");
  test::WriteFileBytes(image.Path(), medium);

  for (size_t workers : {1u, 2u}) {
    uint64_t records = 0;
    std::vector<std::string> names;
    (void)ScanLogs(image.Path(), workers, records, &names);
    const std::string gifName = std::to_string(gifSector) + ".gif";
    const std::string tsName = std::to_string(gifSector + 2) + ".ts";
    EXPECT_NE(std::find(names.begin(), names.end(), gifName), names.end()) << workers;
    EXPECT_EQ(std::find(names.begin(), names.end(), tsName), names.end()) << workers;
  }
  ExpectSameLogs(image.Path(), {2, 3});
}

}  // namespace
}  // namespace brinvale
