// Recovered files keep the times of their records: images made by mkfs.fat
// with mtools and by mkntfs through an ntfs-3g mount
// (tests/fixtures/make_time_fixtures.sh), whose deleted files carry known
// times.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <chrono>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "common/error_codes.h"
#include "engines/engine_factory.h"
#include "results/record_times.h"
#include "support/fixture_path.h"
#include "support/sha256.h"

namespace brinvale {
namespace {

namespace fs = std::filesystem;

struct TimedFile {
  std::string image, name, sha256, modified, accessed;
  uint64_t size = 0;
};

std::vector<TimedFile> ReadTimesManifest() {
  std::vector<TimedFile> out;
  std::ifstream in(test::FixturePath("times.manifest"));
  std::string line;
  while (std::getline(in, line)) {
    if (line.empty() || line[0] == '#') continue;
    std::istringstream fields(line);
    TimedFile f;
    std::string path, size;
    std::getline(fields, f.image, '\t');
    std::getline(fields, path, '\t');
    std::getline(fields, size, '\t');
    std::getline(fields, f.sha256, '\t');
    std::getline(fields, f.modified, '\t');
    std::getline(fields, f.accessed);
    f.name = path.substr(1);
    f.size = std::stoull(size);
    out.push_back(f);
  }
  return out;
}

// Seconds since 1970 of a file's modification and access times.
int64_t ModifiedSeconds(const fs::path& path) {
  using namespace std::chrono;
  return duration_cast<seconds>(
             file_clock::to_sys(fs::last_write_time(path)).time_since_epoch())
      .count();
}

#if !defined(_WIN32)
int64_t AccessedSeconds(const fs::path& path) {
  struct stat st {};
  EXPECT_EQ(stat(path.c_str(), &st), 0) << path;
  return int64_t(st.st_atime);
}
#endif

// The wall clock of this machine at `seconds`, as FAT would have stored it.
std::string LocalText(int64_t seconds, bool dateOnly) {
  const std::time_t t = std::time_t(seconds);
  const std::tm* local = std::localtime(&t);
  char text[32] = {};
  std::strftime(text, sizeof text, dateOnly ? "%Y-%m-%d" : "%Y-%m-%d %H:%M:%S", local);
  return text;
}

class RecoveredTimes : public ::testing::TestWithParam<const char*> {
 protected:
  RecoveredTimes() : m_folder(std::string("times-") + GetParam()), m_scratch(m_folder.Path()) {
    fs::create_directories(m_scratch / "logs");
  }
  test::TempDir m_folder;
  fs::path m_scratch;
};

TEST_P(RecoveredTimes, EveryDeletedFileComesBackWithItsTimes) {
  const std::string image = GetParam();
  std::vector<TimedFile> files;
  for (const TimedFile& f : ReadTimesManifest())
    if (f.image == image) files.push_back(f);
  ASSERT_EQ(files.size(), 2u) << "times.manifest for " << image;
  EngineSetup setup;
  setup.logFolder = m_scratch / "logs";
  auto engine = CreateEngineForImage(test::FixturePath(image), u'T', ScanMode::kQuick, setup);
  ASSERT_NE(engine, nullptr) << image;
  ASSERT_EQ(engine->Scan(nullptr), kOk);
  RecordList top;
  ASSERT_EQ(engine->ListChildren(nullptr, 0, top), kOk);
  const bool fat = image.rfind("fat", 0) == 0;
  for (const TimedFile& f : files) {
    SCOPED_TRACE(f.name);
    const ScanRecord* found = nullptr;
    for (const ScanRecord& r : top)
      if (std::string(r.Name()) == f.name) found = &r;
    ASSERT_NE(found, nullptr);
    const fs::path target = m_scratch / "out" / f.name;
    ASSERT_EQ(engine->RecoverRecord(*found, target, 0), kOk);
    // The times first: reading the file moves its access time.
    if (fat) {
      // FAT's wall-clock times are read as this machine's local time.
      EXPECT_EQ(LocalText(ModifiedSeconds(target), false), f.modified);
#if !defined(_WIN32)
      EXPECT_EQ(LocalText(AccessedSeconds(target), true), f.accessed);
#endif
    } else {
      EXPECT_EQ(ModifiedSeconds(target), std::stoll(f.modified));
#if !defined(_WIN32)
      EXPECT_EQ(AccessedSeconds(target), std::stoll(f.accessed));
#endif
    }
    EXPECT_EQ(test::Sha256Hex(test::ReadFileBytes(target)), f.sha256);
  }
}

INSTANTIATE_TEST_SUITE_P(Images, RecoveredTimes,
                         ::testing::Values("fat_times.img", "ntfs_times.img"));

// A record without times (a file found by its content) keeps the time of
// recovery: nothing is set.
TEST(RecordTimes, RecordWithoutTimesLeavesTheFileAlone) {
  test::TempFile scratch("times-none");
  const fs::path file = scratch.Path();
  { std::ofstream(file) << "x"; }
  const auto before = fs::last_write_time(file);
  ScanRecord carved;
  carved.SetEngine(EngineCode::kContent);
  EXPECT_EQ(ApplyRecordTimes(carved, file), kOk);
  EXPECT_EQ(fs::last_write_time(file), before);
}

}  // namespace
}  // namespace brinvale
