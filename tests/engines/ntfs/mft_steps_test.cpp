// The MFT read in planned steps, ahead of the record pass: the plan's
// arithmetic, the reader's bytes with and without its thread, and whole
// scans that must write the same log whichever way the MFT is read.
#include "engines/ntfs/mft_steps.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <filesystem>
#include <memory>
#include <set>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "common/error_codes.h"
#include "device/byte_source.h"
#include "engines/ntfs/fast_ntfs_recovery.h"
#include "engines/ntfs/mft_step_reader.h"
#include "engines/ntfs/record_to_sector.h"
#include "support/fixture_path.h"

namespace brinvale {
namespace {

namespace fs = std::filesystem;

// A medium in memory with sectors that cannot be read, that may refuse to
// be read from two threads, and that may throw once on the thread that did
// not make it.
class TestMedium final : public ByteSource {
 public:
  TestMedium(std::vector<uint8_t> bytes, std::set<uint64_t> bad, bool sideBySide)
      : m_memory(std::move(bytes)), m_bad(std::move(bad)), m_sideBySide(sideBySide) {}

  int ReadAt(uint64_t offset, void* buffer, size_t length, size_t& got) override {
    if (m_throwOnOtherThread && std::this_thread::get_id() != m_maker &&
        !m_thrown.exchange(true))
      throw std::runtime_error("the medium went away");
    got = 0;
    for (uint64_t s = offset / 512; s * 512 < offset + length; ++s)
      if (m_bad.count(s)) return kErrReadFault;
    return m_memory.ReadAt(offset, buffer, length, got);
  }
  bool ReadsSideBySide() const override { return m_sideBySide; }
  void ThrowOnceOnAnotherThread() { m_throwOnOtherThread = true; }
  bool Thrown() const { return m_thrown; }

 private:
  MemoryByteSource m_memory;
  std::set<uint64_t> m_bad;
  bool m_sideBySide;
  bool m_throwOnOtherThread = false;
  std::atomic<bool> m_thrown{false};
  std::thread::id m_maker = std::this_thread::get_id();
};

SectorReader ReaderOver(std::unique_ptr<ByteSource> source, uint64_t sectors) {
  SectorReader reader;
  OpenSourceReader(reader, std::move(source), sectors);
  return reader;
}

NtfsVolume SmallVolume(uint32_t sectorsPerCluster) {
  NtfsVolume v;
  v.bytesPerSector = 512;
  v.recordSize = 1024;
  v.sectorsPerRecord = 2;
  v.sectorsPerCluster = sectorsPerCluster;
  return v;
}

TEST(MftSteps, StepsFollowTheRunsAndCarryARecordSplitBetweenTwoRuns) {
  // One-sector clusters, 1 KiB records, a batch of four records.
  const NtfsVolume v = SmallVolume(1);
  const std::vector<PlacedRun> runs = {
      {10, 3, false},   // a record and a half
      {100, 5, false},  // the other half, then two records
      {0, 4, true},     // two records that are not on the medium
      {200, 20, false},
  };
  const std::vector<MftStep> steps = PlanMftSteps(v, runs, 4096);
  ASSERT_EQ(steps.size(), 6u);
  auto expect = [&](size_t i, uint64_t first, uint64_t sectors, bool sparse, uint64_t record,
                    size_t carry) {
    EXPECT_EQ(steps[i].first, first) << i;
    EXPECT_EQ(steps[i].sectors, sectors) << i;
    EXPECT_EQ(steps[i].sparse, sparse) << i;
    EXPECT_EQ(steps[i].firstRecord, record) << i;
    EXPECT_EQ(steps[i].carry, carry) << i;
  };
  expect(0, 10, 3, false, 0, 0);
  // Half a record is carried: the step reads only what fills the batch.
  expect(1, 100, 5, false, 1, 512);
  expect(2, 0, 4, true, 4, 0);
  expect(3, 200, 8, false, 6, 0);
  expect(4, 208, 8, false, 10, 0);
  expect(5, 216, 4, false, 14, 0);
}

TEST(MftSteps, ARunTheVolumeCannotHoldEndsThePlan) {
  NtfsVolume v = SmallVolume(8);
  v.startSector = 64;
  const std::vector<PlacedRun> runs = {{4, 2, false}, {UINT64_MAX / 4, 1, false}, {50, 1, false}};
  const std::vector<MftStep> steps = PlanMftSteps(v, runs, 1024 * 1024);
  ASSERT_EQ(steps.size(), 1u);
  EXPECT_EQ(steps[0].first, 64u + 4 * 8);
  EXPECT_EQ(steps[0].sectors, 16u);
  // No geometry, no steps.
  v.sectorsPerCluster = 0;
  EXPECT_TRUE(PlanMftSteps(v, runs, 1024 * 1024).empty());
  EXPECT_TRUE(PlanMftSteps(SmallVolume(8), runs, 512).empty());  // smaller than a record
}

// 400 sectors, each filled with its own number's low byte and a marker.
std::vector<uint8_t> NumberedSectors(uint64_t count) {
  std::vector<uint8_t> bytes(count * 512);
  for (uint64_t s = 0; s < count; ++s)
    for (size_t i = 0; i < 512; ++i) bytes[s * 512 + i] = uint8_t(s * 7 + i % 3);
  return bytes;
}

void ExpectStepsRead(MftStepReader& reader, const std::vector<MftStep>& steps,
                     const std::vector<uint8_t>& medium, const std::set<uint64_t>& bad) {
  for (const MftStep& step : steps) {
    if (step.sparse) continue;
    MftStepReader::Batch& batch = reader.Next();
    bool whole = true;
    for (uint64_t k = 0; k < step.sectors; ++k) {
      const uint64_t s = step.first + k;
      const uint8_t* got = batch.bytes.data() + step.carry + k * 512;
      if (bad.count(s)) {
        whole = false;
        EXPECT_TRUE(std::all_of(got, got + 512, [](uint8_t b) { return b == 0; })) << s;
      } else {
        EXPECT_EQ(std::memcmp(got, medium.data() + s * 512, 512), 0) << s;
      }
    }
    EXPECT_EQ(batch.whole, whole) << step.first;
  }
}

TEST(MftStepReader, GivesEveryStepItsSectorsWithAndWithoutItsThread) {
  const std::vector<uint8_t> medium = NumberedSectors(400);
  const std::set<uint64_t> bad = {13, 101, 102, 250};
  const NtfsVolume v = SmallVolume(1);
  // Uneven runs, so that steps carry; a batch of three records (six sectors).
  const std::vector<PlacedRun> runs = {{5, 33, false}, {90, 61, false}, {0, 10, true},
                                       {200, 129, false}, {380, 1, false}};
  const std::vector<MftStep> steps = PlanMftSteps(v, runs, 3072);
  ASSERT_GT(steps.size(), 30u);
  for (bool sideBySide : {true, false}) {
    SCOPED_TRACE(sideBySide ? "read ahead" : "read as asked");
    SectorReader sectors =
        ReaderOver(std::make_unique<TestMedium>(medium, bad, sideBySide), 400);
    MftStepReader reader(sectors, 512, steps, 3072);
    EXPECT_EQ(reader.ReadsAhead(), sideBySide);
    ExpectStepsRead(reader, steps, medium, bad);
  }
}

TEST(MftStepReader, AThreadThatFailsLeavesTheRestToThePass) {
  const std::vector<uint8_t> medium = NumberedSectors(400);
  const NtfsVolume v = SmallVolume(1);
  const std::vector<PlacedRun> runs = {{0, 400, false}};
  const std::vector<MftStep> steps = PlanMftSteps(v, runs, 2048);
  auto source = std::make_unique<TestMedium>(medium, std::set<uint64_t>{}, true);
  TestMedium* flaky = source.get();
  flaky->ThrowOnceOnAnotherThread();
  SectorReader sectors = ReaderOver(std::move(source), 400);
  MftStepReader reader(sectors, 512, steps, 2048);
  ASSERT_TRUE(reader.ReadsAhead());
  ExpectStepsRead(reader, steps, medium, {});
  EXPECT_TRUE(flaky->Thrown());
}

TEST(MftStepReader, CanBeDroppedWithStepsLeft) {
  const std::vector<uint8_t> medium = NumberedSectors(400);
  const std::vector<PlacedRun> runs = {{0, 400, false}};
  const std::vector<MftStep> steps = PlanMftSteps(SmallVolume(1), runs, 1024);
  SectorReader sectors =
      ReaderOver(std::make_unique<TestMedium>(medium, std::set<uint64_t>{}, true), 400);
  {
    MftStepReader reader(sectors, 512, steps, 1024);
    (void)reader.Next();
    (void)reader.Next();
  }  // a cancelled pass: the thread stops between steps
  SUCCEED();
}

// The bytes of every file of a scan's log, in the order of their names.
std::vector<std::vector<uint8_t>> LogBytes(const fs::path& folder) {
  std::vector<fs::path> files;
  for (const auto& entry : fs::recursive_directory_iterator(folder))
    if (entry.is_regular_file()) files.push_back(entry.path());
  std::sort(files.begin(), files.end());
  std::vector<std::vector<uint8_t>> bytes;
  for (const fs::path& file : files) bytes.push_back(test::ReadFileBytes(file));
  return bytes;
}

struct ScanWay {
  const char* name;
  uint32_t stepRecords;
  bool sideBySide;
};

class MftStepsScan : public ::testing::TestWithParam<const char*> {
 protected:
  // The log of a quick scan of the fixture with sectors `bad` unreadable.
  std::vector<std::vector<uint8_t>> ScanLog(const ScanWay& way, const std::set<uint64_t>& bad,
                                            uint64_t& found) {
    std::vector<uint8_t> image = test::ReadFileBytes(test::FixturePath(std::string(GetParam()) + ".img"));
    EXPECT_FALSE(image.empty());
    const uint64_t sectors = image.size() / 512;
    test::TempDir logs("mft-steps-" + std::string(GetParam()) + "-" + way.name +
                       (bad.empty() ? "" : "-bad"));
    CFastNtfsRecovery engine;
    EXPECT_EQ(engine.OpenReader(ReaderOver(std::make_unique<TestMedium>(std::move(image), bad,
                                                                        way.sideBySide),
                                           sectors),
                                0, sectors, 512, u'N'),
              kOk);
    engine.SetScanLogFolder(logs.Path());
    engine.SetStepRecords(way.stepRecords);
    EXPECT_EQ(engine.Scan(nullptr), kOk);
    found = engine.GetRecordCount();
    return LogBytes(logs.Path());
  }
};

TEST_P(MftStepsScan, WritesOneLogWhicheverWayTheMftIsRead) {
  const ScanWay ways[] = {{"one-step", 1024, true},
                          {"small-steps-ahead", 3, true},
                          {"small-steps-as-asked", 3, false},
                          {"odd-steps-ahead", 7, true}};
  // The first sectors of a record with a deleted file in every image
  // (frag_deleted.bin, record 146) and of record 40.
  CFastNtfsRecovery probe;
  ASSERT_EQ(probe.OpenImage(test::FixturePath(std::string(GetParam()) + ".img"), u'N'), kOk);
  const NtfsVolume& v = probe.Volume();
  uint64_t record146 = 0, record40 = 0;
  ASSERT_EQ(RecordToSector(v, 146, record146), kOk);
  ASSERT_EQ(RecordToSector(v, 40, record40), kOk);
  const uint64_t perSector = v.bytesPerSector / 512;  // image sectors in one volume sector
  const std::set<uint64_t> bad = {record146 * perSector, record40 * perSector};

  std::vector<std::vector<uint8_t>> clean;
  for (const std::set<uint64_t>& faults : {std::set<uint64_t>{}, bad}) {
    SCOPED_TRACE(faults.empty() ? "clean" : "bad sectors");
    uint64_t foundFirst = 0;
    const auto first = ScanLog(ways[0], faults, foundFirst);
    ASSERT_FALSE(first.empty());
    EXPECT_GT(foundFirst, 0u);
    for (const ScanWay& way : ways) {
      uint64_t found = 0;
      EXPECT_EQ(ScanLog(way, faults, found), first) << way.name;
      EXPECT_EQ(found, foundFirst) << way.name;
    }
    if (faults.empty())
      clean = first;
    else
      EXPECT_NE(first, clean);  // the bad sectors cost a deleted file
  }
}

INSTANTIATE_TEST_SUITE_P(Images, MftStepsScan,
                         ::testing::Values("ntfs_c4k", "ntfs_4kn", "ntfs_c64k"));

}  // namespace
}  // namespace brinvale
