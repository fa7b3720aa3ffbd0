// The check step over real audio and video files made by real tools
// (tests/fixtures/media.tar.xz): planted in random data and in zeros, each
// one whose format states its length comes back "complete" and byte for
// byte; cut and corrupted copies come back "damaged" (or "unchecked" where
// the format states no length) and are recovered at the scan's size. Ogg
// and M4A files, which the format table has no row for, are walked as
// files found by name.
#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "common/error_codes.h"
#include "deepscan/carved_bytes.h"
#include "deepscan/carved_check.h"
#include "deepscan/content_fixture.h"
#include "deepscan/file_type_recovery.h"
#include "device/byte_source.h"
#include "device/sector_reader.h"
#include "support/planted_files.h"
#include "support/sha256.h"
#include "results/scan_record.h"
#include "results/type_view.h"

namespace brinvale {
namespace {

namespace fs = std::filesystem;
using Position = CFileTypeRecovery::ScanPosition;

// Formats without a row of the table: never carved, checked by name.
bool FoundByNameOnly(const std::string& name) {
  const std::string ext = test::FamilyOf(name);
  return ext == "ogg" || ext == "m4a";
}

class MediaFixture : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    s_rows = test::LoadPlantedCopies("media.manifest");
    s_image = test::ReadFileBytes(test::FixturePath("media.img"));
  }
  void SetUp() override {
    ASSERT_FALSE(s_rows.empty());
    ASSERT_EQ(s_image.size() % 512, 0u);
  }

  static std::vector<test::PlantedCopy> s_rows;
  static std::vector<uint8_t> s_image;
  test::ScratchFolder m_dir{"brinvale_media_"};
};
std::vector<test::PlantedCopy> MediaFixture::s_rows;
std::vector<uint8_t> MediaFixture::s_image;

// family -> {complete, damaged, unchecked, byte-exact}
using Table = std::map<std::string, std::array<int, 4>>;

void Count(Table& table, const std::string& name, const CarvedVerdict& verdict, bool exact) {
  auto& c = table[test::FamilyOf(name)];
  ++c[size_t(verdict.condition == CarvedCondition::kComplete  ? 0
             : verdict.condition == CarvedCondition::kDamaged ? 1
                                                              : 2)];
  if (exact) ++c[3];
}

TEST_F(MediaFixture, EveryCarvedFileGetsItsConditionAndComesBackAsItShould) {
  CFileTypeRecovery engine;
  engine.SetScanLogFolder(m_dir.Path() / "log");
  ASSERT_EQ(engine.OpenForImage(512, {}, u'C', test::FixturePath("media.img")), kOk);
  const uint64_t total = s_image.size() / 512;
  uint64_t foundCount = 0;
  for (uint64_t s = 0; s < total;) {
    uint64_t step = 1;
    (void)engine.RecordFoundFile(std::span<const uint8_t>(s_image).subspan(s * 512, 512), s,
                                 Position{s, total, -1}, step, foundCount);
    s += step;
  }
  ASSERT_EQ(engine.CheckCarvedFiles(nullptr, nullptr), kOk);
  RecordList list;
  ASSERT_EQ(engine.ListChildren(nullptr, 0, list), kOk);
  std::map<uint64_t, ScanRecord> found;
  for (const ScanRecord& r : list) found[r.MetadataSector()] = r;
  // A recovery of everything searches with the five lists and ".other":
  // every file found must be in its result (transport streams were not).
  RecordList everything;
  ASSERT_EQ(engine.Search(BuildTypeFilter({}) + "|.other", everything), kOk);
  EXPECT_EQ(everything.size(), list.size());

  Table table;
  for (const test::PlantedCopy& p : s_rows) {
    if (FoundByNameOnly(p.name)) continue;
    SCOPED_TRACE(p.name + " " + p.how + " at " + std::to_string(p.offset));
    const auto it = found.find(p.offset / 512);
    if (it == found.end()) {
      ADD_FAILURE() << "not found";
      continue;
    }
    const ScanRecord& r = it->second;
    const CarvedVerdict verdict = engine.CarvedVerdictOf(r);
    EXPECT_EQ(CarvedConditionName(verdict.condition), p.condition)
        << CarvedFaultText(verdict.fault);
    const fs::path target = m_dir.Path() / "out" / (p.how + "_" + std::string(r.Name()));
    ASSERT_EQ(engine.RecoverRecord(r, target, 0), kOk);
    const std::vector<uint8_t> copied = test::ReadFileBytes(target);
    // Whether the copy is the planted file byte for byte, whatever told
    // its length (the table's last column).
    const bool exact = p.sha256 != "-" && test::Sha256Hex(copied) == p.sha256;
    if (p.condition == "complete") {
      EXPECT_EQ(verdict.exactLength, p.size);
      EXPECT_EQ(copied.size(), p.size);
      if (p.sha256 != "-") {
        EXPECT_TRUE(exact);
      }
    } else if (verdict.streamEnd != 0) {
      // A stream that states no length comes back up to where its units
      // stop: a whole one exactly, a cut or corrupted one with all that was
      // planted of it.
      EXPECT_EQ(copied.size(), verdict.streamEnd);
      EXPECT_LE(copied.size(), r.FileSize());
      if (p.how == "noise" || p.how == "zeros") {
        EXPECT_TRUE(exact);
      } else {
        EXPECT_GE(copied.size(), p.size);
      }
    } else {
      EXPECT_EQ(copied.size(), r.FileSize());  // nothing that might be data is cut
    }
    Count(table, p.name, verdict, exact);
  }
  std::printf("family  complete damaged unchecked byte-exact\n");
  for (const auto& [family, c] : table)
    std::printf("%-7s %8d %7d %9d %10d\n", family.c_str(), c[0], c[1], c[2], c[3]);
}

// As the check of a file found in a file system: its walker by extension,
// over the file's size rounded up to whole sectors.
TEST_F(MediaFixture, FilesWithoutTableRowsAreWalkedByName) {
  SectorReader reader;
  const uint64_t sectors = s_image.size() / 512;
  OpenSourceReader(reader, std::make_unique<MemoryByteSource>(std::vector<uint8_t>(s_image)),
                   sectors);
  Table table;
  int walked = 0;
  for (const test::PlantedCopy& p : s_rows) {
    if (!FoundByNameOnly(p.name)) continue;
    SCOPED_TRACE(p.name + " " + p.how + " at " + std::to_string(p.offset));
    const CarvedWalker walk = WalkerForExtension(test::FamilyOf(p.name));
    ASSERT_NE(walk, nullptr);
    const uint64_t start = p.offset / 512;
    CarvedBytes file(reader, 512, start, CheckedExtent(p.size, 512, start, sectors));
    const CarvedVerdict verdict = walk(file);
    EXPECT_EQ(CarvedConditionName(verdict.condition), p.condition)
        << CarvedFaultText(verdict.fault);
    bool exact = false;
    if (verdict.condition == CarvedCondition::kComplete) {
      EXPECT_EQ(verdict.exactLength, p.size);
      const auto bytes = std::span<const uint8_t>(s_image).subspan(p.offset, verdict.exactLength);
      exact = test::Sha256Hex(std::vector<uint8_t>(bytes.begin(), bytes.end())) == p.sha256;
      EXPECT_TRUE(exact);
    }
    Count(table, p.name, verdict, exact);
    ++walked;
  }
  EXPECT_EQ(walked, 8);  // two files, four ways each
  for (const auto& [family, c] : table)
    std::printf("%-7s %8d %7d %9d %10d\n", family.c_str(), c[0], c[1], c[2], c[3]);
}

}  // namespace
}  // namespace brinvale
