// The walkers over real files made by real tools (tests/fixtures/
// streams.tar.xz): gzip, bzip2, xz, tar, SQLite, TrueType, OpenType,
// Windows executables and cabinets, planted in random data and in zeros
// (each "complete" at its own length), cut short and with a structure
// byte changed ("damaged", or "complete" at the stated length where
// nothing checks the bytes in its place). Every planted file is walked
// where it lies, its extent the rest of the image; the carved families
// are also found by the scan, checked, and recovered byte for byte.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "common/error_codes.h"
#include "deepscan/carved_bytes.h"
#include "deepscan/carved_check.h"
#include "deepscan/content_fixture.h"
#include "deepscan/file_type_recovery.h"
#include "deepscan/stream_decoder.h"
#include "device/byte_source.h"
#include "device/sector_reader.h"
#include "support/planted_files.h"
#include "support/sha256.h"

namespace brinvale {
namespace {

namespace fs = std::filesystem;
using Position = CFileTypeRecovery::ScanPosition;

// The families the scan carves from this image. (The TrueType detector
// wants the first table to start with version 1.0, which these fonts'
// first tables do not; executables are found but never reported.)
const std::set<std::string> kCarved = {"gz", "db", "cab"};

bool Decodes(const std::string& family) {
  if (family == "bz2") return CanDecode(StreamCodec::kBzip2);
  if (family == "xz") return CanDecode(StreamCodec::kXz);
  return true;
}

class StreamFixture : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    s_rows = test::LoadPlantedCopies("streams.manifest");
    s_image = test::ReadFileBytes(test::FixturePath("streams.img"));
  }
  void SetUp() override {
    ASSERT_FALSE(s_rows.empty());
    ASSERT_EQ(s_image.size() % 512, 0u);
  }
  static std::vector<test::PlantedCopy> s_rows;
  static std::vector<uint8_t> s_image;
};
std::vector<test::PlantedCopy> StreamFixture::s_rows;
std::vector<uint8_t> StreamFixture::s_image;

TEST_F(StreamFixture, EveryPlantedFileWalkedWhereItLies) {
  SectorReader reader;
  const uint64_t sectors = s_image.size() / 512;
  OpenSourceReader(reader, std::make_unique<MemoryByteSource>(s_image), sectors);
  // family -> {complete, damaged, unchecked, byte-exact}
  std::map<std::string, std::array<int, 4>> table;
  for (const test::PlantedCopy& p : s_rows) {
    SCOPED_TRACE(p.name + " " + p.how + " at " + std::to_string(p.offset));
    const std::string family = test::FamilyOf(p.name);
    const CarvedWalker walk = WalkerForExtension(family);
    ASSERT_NE(walk, nullptr);
    CarvedBytes file(reader, 512, p.offset / 512, s_image.size() - p.offset);
    const CarvedVerdict verdict = walk(file);
    auto& counts = table[family];
    ++counts[size_t(verdict.condition == CarvedCondition::kComplete  ? 0
                    : verdict.condition == CarvedCondition::kDamaged ? 1
                                                                     : 2)];
    if (!Decodes(family)) {
      EXPECT_EQ(verdict, CarvedVerdict{}) << "no decoder in this build";
      continue;
    }
    EXPECT_EQ(CarvedConditionName(verdict.condition), p.condition)
        << CarvedFaultText(verdict.fault);
    if (p.condition == "complete") {
      EXPECT_EQ(verdict.exactLength, p.size);
      if (p.sha256 != "-" && verdict.exactLength == p.size) {
        const std::vector<uint8_t> bytes(s_image.begin() + p.offset,
                                         s_image.begin() + p.offset + p.size);
        EXPECT_EQ(test::Sha256Hex(bytes), p.sha256);
        ++counts[3];
      }
    }
  }
  std::printf("family   complete damaged unchecked byte-exact\n");
  for (const auto& [family, c] : table)
    std::printf("%-8s %8d %7d %9d %10d\n", family.c_str(), c[0], c[1], c[2], c[3]);
}

TEST_F(StreamFixture, CarvedFamiliesFoundCheckedAndRecovered) {
  test::ScratchFolder dir("brinvale_streams_");
  CFileTypeRecovery engine;
  engine.SetScanLogFolder(dir.Path() / "log");
  ASSERT_EQ(engine.OpenForImage(512, {}, u'C', test::FixturePath("streams.img")), kOk);
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
  int checked = 0;
  for (const test::PlantedCopy& p : s_rows) {
    if (!kCarved.count(test::FamilyOf(p.name))) continue;
    SCOPED_TRACE(p.name + " " + p.how + " at " + std::to_string(p.offset));
    const auto it = found.find(p.offset / 512);
    ASSERT_NE(it, found.end()) << "not found";
    const ScanRecord& r = it->second;
    const CarvedVerdict verdict = engine.CarvedVerdictOf(r);
    EXPECT_EQ(CarvedConditionName(verdict.condition), p.condition)
        << CarvedFaultText(verdict.fault);
    const fs::path target = dir.Path() / "out" / (p.how + "_" + std::string(r.Name()));
    ASSERT_EQ(engine.RecoverRecord(r, target, 0), kOk);
    const std::vector<uint8_t> copied = test::ReadFileBytes(target);
    if (p.condition == "complete") {
      EXPECT_EQ(copied.size(), p.size);
      if (p.sha256 != "-") {
        EXPECT_EQ(test::Sha256Hex(copied), p.sha256);
      }
    } else {
      EXPECT_EQ(copied.size(), r.FileSize());
    }
    ++checked;
  }
  EXPECT_EQ(checked, 4 * 4);  // two gzip files, a database, a cabinet; four ways each
}

}  // namespace
}  // namespace brinvale
