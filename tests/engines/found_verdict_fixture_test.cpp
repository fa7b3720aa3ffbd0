// Verdicts of files found through FAT and NTFS, over images made by real
// tools (tests/fixtures/make_fsverdict_fixture.sh): files deleted intact are
// "complete" and recovered byte for byte at their recorded size; a deleted
// file whose clusters another file took is "damaged"; the check reads the
// very bytes recovery writes, through the chain, the runs (a fragmented
// file) or the resident value; the full scan gives the same verdicts.
#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "app/scan_history.h"
#include "common/error_codes.h"
#include "deepscan/carved_bytes.h"
#include "device/byte_source.h"
#include "device/sector_reader.h"
#include "engines/fat/fast_fat_recovery.h"
#include "engines/ntfs/fast_ntfs_recovery.h"
#include "engines/ntfs/ntfs_data_extents.h"
#include "engines/professional_recovery.h"
#include "results/carved_condition.h"
#include "support/fixture_path.h"
#include "support/sha256.h"

namespace brinvale {
namespace {

namespace fs = std::filesystem;

// One line of fsverdict.manifest.
struct FoundRow {
  std::string image, state, condition;
  uint64_t size = 0;
  std::string sha256, name, note;
};

std::vector<FoundRow> Rows(const std::string& image) {
  std::vector<FoundRow> rows;
  std::ifstream in(test::FixturePath("fsverdict.manifest"));
  std::string line;
  while (std::getline(in, line)) {
    if (line.empty() || line[0] == '#') continue;
    std::istringstream fields(line);
    FoundRow r;
    std::string size;
    std::getline(fields, r.image, '\t');
    std::getline(fields, r.state, '\t');
    std::getline(fields, r.condition, '\t');
    std::getline(fields, size, '\t');
    std::getline(fields, r.sha256, '\t');
    std::getline(fields, r.name, '\t');
    std::getline(fields, r.note, '\t');
    r.size = std::stoull(size);
    if (r.image == image) rows.push_back(r);
  }
  return rows;
}

class Scratch : public test::TempDir {
 public:
  Scratch() : TempDir("fsverdict-" + std::to_string(Next())) {}

 private:
  static int Next() {
    static std::atomic<int> counter{0};
    return counter++;
  }
};

// The files of the top level by name.
std::map<std::string, ScanRecord> TopFiles(IRidiRedazuvoParse& engine) {
  RecordList list;
  EXPECT_EQ(engine.ListChildren(nullptr, 0, list), kOk);
  std::map<std::string, ScanRecord> out;
  for (const ScanRecord& r : list)
    if (!r.IsFolder()) out.emplace(std::string(r.Name()), r);
  return out;
}

std::vector<uint8_t> ReadAllOf(CarvedBytes& file) {
  std::vector<uint8_t> bytes(size_t(file.Extent()));
  EXPECT_TRUE(file.Read(0, bytes));
  return bytes;
}

// Checks every row of `image` against `engine`'s top level: the verdict,
// the recovered file, and that the bytes the check walks (`checkedBytes`)
// are the bytes recovery wrote.
void ExpectVerdicts(IRidiRedazuvoParse& engine, const std::string& image, const fs::path& out,
                    const std::function<std::vector<uint8_t>(const ScanRecord&)>& checkedBytes) {
  const auto files = TopFiles(engine);
  const auto rows = Rows(image);
  ASSERT_FALSE(rows.empty());
  for (const FoundRow& row : rows) {
    SCOPED_TRACE(image + " " + row.name);
    const auto it = files.find(row.name);
    ASSERT_NE(it, files.end());
    const ScanRecord& r = it->second;
    ASSERT_EQ(r.FileSize(), row.size);
    const CarvedVerdict verdict = CarvedVerdictOf(engine, r);
    EXPECT_EQ(CarvedConditionName(verdict.condition), row.condition);
    // Asked again: the same, from the session's verdicts.
    EXPECT_EQ(CarvedVerdictOf(engine, r), verdict);
    const fs::path target = out / row.name;
    ASSERT_EQ(engine.RecoverRecord(r, target, 0), kOk);
    const std::vector<uint8_t> written = test::ReadFileBytes(target);
    // Recovery keeps the recorded size whatever the verdict.
    EXPECT_EQ(written.size(), row.size);
    if (row.condition == "complete") {
      EXPECT_EQ(verdict.exactLength, row.size);
      EXPECT_EQ(Sha256Hex(written), row.sha256);
    } else {
      EXPECT_EQ(verdict.condition, CarvedCondition::kDamaged);
      EXPECT_NE(Sha256Hex(written), row.sha256);
    }
    EXPECT_EQ(checkedBytes(r), written);
  }
}

TEST(FoundVerdictFixture, QuickFatChecksTheChainRecoveryReads) {
  Scratch scratch;
  CFastFatRecovery engine;
  engine.SetScanLogFolder(scratch.Path() / "logs");
  fs::create_directories(scratch.Path() / "logs");
  ASSERT_EQ(engine.OpenImage(test::FixturePath("fsv_fat.img"), u'I'), kOk);
  ASSERT_EQ(engine.Scan(nullptr), kOk);
  SectorReader reader;
  ASSERT_EQ(OpenImageReader(reader, test::FixturePath("fsv_fat.img")), kOk);
  ExpectVerdicts(engine, "fsv_fat.img", scratch.Path(), [&](const ScanRecord& r) {
    FileExtentMap map;
    EXPECT_TRUE(engine.DataExtents(r, map));
    CarvedBytes file(reader, 512, map, r.FileSize());
    return ReadAllOf(file);
  });
}

TEST(FoundVerdictFixture, QuickNtfsChecksRunsAndResidentValues) {
  Scratch scratch;
  CFastNtfsRecovery engine;
  engine.SetScanLogFolder(scratch.Path() / "logs");
  fs::create_directories(scratch.Path() / "logs");
  ASSERT_EQ(engine.OpenImage(test::FixturePath("fsv_ntfs.img"), u'I'), kOk);
  ASSERT_EQ(engine.Scan(nullptr), kOk);
  SectorReader reader;
  ASSERT_EQ(OpenImageReader(reader, test::FixturePath("fsv_ntfs.img")), kOk);
  std::map<std::string, NtfsFileData> seen;
  ExpectVerdicts(engine, "fsv_ntfs.img", scratch.Path(), [&](const ScanRecord& r) {
    NtfsFileData& data = seen[std::string(r.Name())];
    EXPECT_EQ(NtfsDataExtents(engine.Volume(), reader, r, data), kOk);
    if (data.resident) return data.value;
    CarvedBytes file(reader, engine.Volume().bytesPerSector, data.extents, r.FileSize());
    return ReadAllOf(file);
  });
  // The fragmented file was checked through its runs, the small one in its
  // record.
  for (const FoundRow& row : Rows("fsv_ntfs.img")) {
    if (row.name == "Fragment.jpg") {
      EXPECT_GE(seen[row.name].extents.size(), 2u);
      EXPECT_EQ("runs=" + std::to_string(seen[row.name].extents.size()), row.note);
    }
    if (row.name == "Tiny.png") {
      EXPECT_TRUE(seen[row.name].resident);
    }
  }
}

// A medium that counts the bytes read from it.
class CountingSource final : public ByteSource {
 public:
  CountingSource(std::vector<uint8_t> bytes, std::shared_ptr<uint64_t> served)
      : m_bytes(std::move(bytes)), m_served(std::move(served)) {}
  int ReadAt(uint64_t offset, void* buffer, size_t length, size_t& got) override {
    got = offset >= m_bytes.size() ? 0 : size_t(std::min<uint64_t>(length, m_bytes.size() - offset));
    std::memcpy(buffer, m_bytes.data() + offset, got);
    *m_served += got;
    return kOk;
  }

 private:
  std::vector<uint8_t> m_bytes;
  std::shared_ptr<uint64_t> m_served;
};

TEST(FoundVerdictFixture, EachFileIsReadOncePerSession) {
  Scratch scratch;
  std::vector<uint8_t> image = test::ReadFileBytes(test::FixturePath("fsv_fat.img"));
  ASSERT_FALSE(image.empty());
  const uint64_t sectors = image.size() / 512;
  auto served = std::make_shared<uint64_t>(0);
  CFastFatRecovery engine;
  engine.SetScanLogFolder(scratch.Path());
  ASSERT_EQ(engine.OpenSource(std::make_unique<CountingSource>(std::move(image), served), sectors,
                              u'I'),
            kOk);
  ASSERT_EQ(engine.Scan(nullptr), kOk);
  const auto files = TopFiles(engine);
  ASSERT_EQ(files.count("Picture.png"), 1u);
  const ScanRecord& picture = files.at("Picture.png");
  const uint64_t before = *served;
  EXPECT_EQ(CarvedVerdictOf(engine, picture).condition, CarvedCondition::kComplete);
  const uint64_t first = *served - before;
  EXPECT_GE(first, picture.FileSize());
  EXPECT_EQ(CarvedVerdictOf(engine, picture).condition, CarvedCondition::kComplete);
  EXPECT_EQ(*served - before, first);
}

TEST(FoundVerdictFixture, TheFullScanAsksTheQuickEngine) {
  for (const std::string image : {"fsv_fat.img", "fsv_ntfs.img"}) {
    SCOPED_TRACE(image);
    Scratch scratch;
    ScanHistory history(scratch.Path());
    CProfessionalRecovery engine(history);
    ASSERT_EQ(engine.OpenImage(test::FixturePath(image), u'I'), kOk);
    ASSERT_EQ(engine.Scan(nullptr), kOk);
    const auto files = TopFiles(engine);
    for (const FoundRow& row : Rows(image)) {
      SCOPED_TRACE(row.name);
      const auto it = files.find(row.name);
      ASSERT_NE(it, files.end());
      EXPECT_NE(it->second.Engine(), EngineCode::kContent);
      const CarvedVerdict verdict = CarvedVerdictOf(engine, it->second);
      EXPECT_EQ(CarvedConditionName(verdict.condition), row.condition);
      if (row.condition == "complete") {
        EXPECT_EQ(verdict.exactLength, row.size);
      }
    }
  }
}

}  // namespace
}  // namespace brinvale
