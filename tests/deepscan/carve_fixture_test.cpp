// The check step over real files made by real tools (tests/fixtures/
// carve.tar.xz): planted in random data, in zeros and right before another
// format's start, each comes back "complete" and byte for byte; cut and
// corrupted copies come back "damaged" and are recovered at the scan's size.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "common/error_codes.h"
#include "deepscan/carved_check.h"
#include "deepscan/content_fixture.h"
#include "deepscan/file_type_recovery.h"
#include "support/planted_files.h"
#include "support/sha256.h"

namespace brinvale {
namespace {

namespace fs = std::filesystem;
using Position = CFileTypeRecovery::ScanPosition;

class CarveFixture : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    s_rows = test::LoadPlantedCopies("carve.manifest");
    s_image = test::ReadFileBytes(test::FixturePath("carve.img"));
  }
  void SetUp() override {
    ASSERT_FALSE(s_rows.empty());
    m_engine = std::make_unique<CFileTypeRecovery>();
    m_engine->SetScanLogFolder(m_dir.Path() / "log");
    ASSERT_EQ(m_engine->OpenForImage(512, {}, u'C', test::FixturePath("carve.img")), kOk);
  }
  // Offers every sector as the full scan's pass does.
  void ScanAll(CFileTypeRecovery& engine) {
    const uint64_t total = s_image.size() / 512;
    uint64_t found = 0;
    for (uint64_t s = 0; s < total;) {
      uint64_t step = 1;
      (void)engine.RecordFoundFile(std::span<const uint8_t>(s_image).subspan(s * 512, 512), s,
                                   Position{s, total, -1}, step, found);
      s += step;
    }
  }
  std::map<uint64_t, ScanRecord> BySector(CFileTypeRecovery& engine) {
    RecordList list;
    EXPECT_EQ(engine.ListChildren(nullptr, 0, list), kOk);
    std::map<uint64_t, ScanRecord> out;
    for (const ScanRecord& r : list) out[r.MetadataSector()] = r;
    return out;
  }

  static std::vector<test::PlantedCopy> s_rows;
  static std::vector<uint8_t> s_image;
  test::ScratchFolder m_dir{"brinvale_carve_"};
  std::unique_ptr<CFileTypeRecovery> m_engine;
};
std::vector<test::PlantedCopy> CarveFixture::s_rows;
std::vector<uint8_t> CarveFixture::s_image;

TEST_F(CarveFixture, EveryPlantedFileGetsItsConditionAndComesBackAsItShould) {
  ScanAll(*m_engine);
  ASSERT_EQ(m_engine->CheckCarvedFiles(nullptr, nullptr), kOk);
  const auto found = BySector(*m_engine);
  // family -> {complete, damaged, unchecked, missed}
  std::map<std::string, std::array<int, 4>> table;
  for (const test::PlantedCopy& p : s_rows) {
    SCOPED_TRACE(p.name + " " + p.how + " at " + std::to_string(p.offset));
    auto& counts = table[test::FamilyOf(p.name)];
    const auto it = found.find(p.offset / 512);
    if (it == found.end()) {
      ++counts[3];
      ADD_FAILURE() << "not found";
      continue;
    }
    const ScanRecord& r = it->second;
    const CarvedVerdict verdict = m_engine->CarvedVerdictOf(r);
    ++counts[size_t(verdict.condition == CarvedCondition::kComplete  ? 0
                    : verdict.condition == CarvedCondition::kDamaged ? 1
                                                                     : 2)];
    EXPECT_EQ(CarvedConditionName(verdict.condition), p.condition)
        << CarvedFaultText(verdict.fault);
    const fs::path target = m_dir.Path() / "out" / (p.how + "_" + std::string(r.Name()));
    ASSERT_EQ(m_engine->RecoverRecord(r, target, 0), kOk);
    const std::vector<uint8_t> copied = test::ReadFileBytes(target);
    if (p.condition == "complete") {
      EXPECT_EQ(verdict.exactLength, p.size);
      EXPECT_EQ(copied.size(), p.size);
      if (p.sha256 != "-") {
        EXPECT_EQ(test::Sha256Hex(copied), p.sha256);
      }
    } else {
      // Nothing that might be data is cut: the scan's size, whole.
      EXPECT_EQ(copied.size(), r.FileSize());
    }
  }
  // Records the manifest does not plant: a run of random data that looks
  // like a file start.
  for (const auto& [sector, r] : found) {
    const bool planted = std::any_of(s_rows.begin(), s_rows.end(), [&](const test::PlantedCopy& p) {
      return p.offset / 512 == sector;
    });
    if (!planted)
      std::printf("not planted: %s, %llu bytes\n", std::string(r.Name()).c_str(),
                  (unsigned long long)r.FileSize());
  }
  std::printf("family   complete damaged unchecked missed\n");
  for (const auto& [family, c] : table)
    std::printf("%-8s %8d %7d %9d %6d\n", family.c_str(), c[0], c[1], c[2], c[3]);
}

// The verdicts live beside the log: a stopped check keeps what it checked,
// an engine opened over the same log has them at once, and the next check
// step goes on with the rest.
struct StopAfter {
  int calls = 0;
  int stopAt = 0;
  static int Callback(void* user, int, int, int, uint64_t, uint64_t, uint64_t, int) {
    auto* self = static_cast<StopAfter*>(user);
    return ++self->calls == self->stopAt ? kCancelled : kOk;
  }
};

TEST_F(CarveFixture, StoppedCheckKeepsWhatItCheckedAndResumes) {
  ScanAll(*m_engine);
  const uint64_t records = m_engine->GetRecordCount();
  ASSERT_GT(records, 20u);
  StopAfter stop{0, 7};
  EXPECT_EQ(m_engine->CheckCarvedFiles(&StopAfter::Callback, &stop), kCancelled);
  ASSERT_NE(m_engine->Conditions(), nullptr);
  EXPECT_EQ(m_engine->Conditions()->Count(), 7u);
  const fs::path log = m_engine->Store()->RecordPath();
  m_engine.reset();

  CFileTypeRecovery again;
  ASSERT_EQ(again.OpenForImage(512, log, u'C', test::FixturePath("carve.img")), kOk);
  ASSERT_NE(again.Conditions(), nullptr);
  EXPECT_EQ(again.Conditions()->Count(), 7u);
  StopAfter count{0, -1};
  EXPECT_EQ(again.CheckCarvedFiles(&StopAfter::Callback, &count), kOk);
  EXPECT_EQ(again.Conditions()->Count(), records);
  // Only the files not checked before were checked again: one entry each.
  uint64_t size = 0;
  const fs::path file = log.parent_path() / CarvedConditionFileName(log.filename().string());
  ASSERT_EQ(platform::FileSize(file, size), kOk);
  EXPECT_EQ(size, carved::kHeaderSize + records * carved::kEntrySize);
}

TEST_F(CarveFixture, RecordsTheCheckHasNotReachedAreCheckedWhenAsked) {
  ScanAll(*m_engine);
  const auto found = BySector(*m_engine);
  const test::PlantedCopy& first = s_rows.front();
  const ScanRecord& r = found.at(first.offset / 512);
  EXPECT_EQ(m_engine->Conditions()->Count(), 0u);
  const CarvedVerdict verdict = CarvedVerdictOf(*m_engine, r);  // the front ends' query
  EXPECT_EQ(verdict, CompleteVerdict(first.size));
  EXPECT_EQ(m_engine->Conditions()->Count(), 1u);
  // A record of another engine has no verdict.
  ScanRecord other = r;
  other.SetEngine(EngineCode::kQuickFat);
  EXPECT_EQ(CarvedVerdictOf(*m_engine, other), CarvedVerdict{});
}

}  // namespace
}  // namespace brinvale
