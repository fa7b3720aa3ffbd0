#include "results/write_behind.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <span>
#include <string>
#include <thread>
#include <vector>

#include "common/error_codes.h"
#include "common/sha256.h"
#include "platform/text.h"
#include "results/recovered_file_writer.h"
#include "results/record_times.h"
#include "results/target_paths.h"
#include "support/fixture_path.h"

namespace brinvale {
namespace {

namespace fs = std::filesystem;

// 2021-07-04 23:59:58 UTC as a FILETIME, and as seconds of the Unix epoch.
constexpr uint64_t kWritten = 132699167980000000ull;
constexpr int64_t kWrittenUnix = 1625443198;

std::string Contents(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

ScanRecord TimedRecord() {
  ScanRecord record;
  record.SetEngine(EngineCode::kQuickNtfs);  // NTFS times are UTC already
  record.SetWritten(kWritten);
  record.SetAccessed(kWritten);
  return record;
}

int64_t WrittenSeconds(const fs::path& path) {
  const auto since = fs::last_write_time(path).time_since_epoch();
  // The file clock's epoch differs between libraries: compare with a file
  // stamped through the same clock.
  const auto now = fs::file_time_type::clock::now().time_since_epoch();
  const auto unixNow = std::chrono::system_clock::now().time_since_epoch();
  return std::chrono::round<std::chrono::seconds>(since - now + unixNow).count();
}

// Writes `bytes` through a RecoveredFileWriter as an engine does.
void WriteFile(const fs::path& target, const std::string& bytes, const ScanRecord& record) {
  RecoveredFileWriter writer;
  ASSERT_EQ(writer.Open(target), kOk);
  ASSERT_EQ(writer.Write(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()), kOk);
  writer.Finish(record);
}

// Writers asleep wake for a batch of files; a file handed over alone is
// still written soon, with nobody waiting for it, and every file of a
// batch ends with its exact digest.
TEST(WriteBehindTest, AFileShortOfABatchIsWrittenWithoutAnyoneWaiting) {
  test::TempDir dir("write_behind_alone");
  const fs::path alone = dir.Path() / "alone.txt";
  WriteBehind behind(2);
  ASSERT_TRUE(behind.Running());
  const WriteBehindScope scope(&behind);
  WriteFile(alone, "by itself", ScanRecord());
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (Contents(alone) != "by itself" && std::chrono::steady_clock::now() < deadline)
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  EXPECT_EQ(Contents(alone), "by itself");
  for (size_t i = 0; i < 3 * WriteBehind::kWakeBatch; ++i)
    WriteFile(dir.Path() / ("f" + std::to_string(i)), std::string(i, 'x'), ScanRecord());
  const std::vector<EndedWrite> ended = behind.TakeEnded(true);
  ASSERT_EQ(ended.size(), 1 + 3 * WriteBehind::kWakeBatch);
  for (size_t i = 1; i < ended.size(); ++i) {
    EXPECT_EQ(ended[i].error, kOk);
    ASSERT_TRUE(ended[i].written.has_value());
    EXPECT_TRUE(ended[i].written->exact);
    EXPECT_EQ(ended[i].written->size, i - 1);
    EXPECT_EQ(Contents(ended[i].target), std::string(i - 1, 'x'));
  }
}

TEST(WriteBehindTest, ASmallFileIsWrittenByAWriterWithItsDigestAndTimesAndNoNoteHere) {
  test::TempDir dir("write_behind_small");
  const fs::path target = dir.Path() / "a.txt";
  ForgetWrittenFiles();
  WriteBehind behind(2);
  ASSERT_TRUE(behind.Running());
  {
    const WriteBehindScope scope(&behind);
    WriteFile(target, "hello, world", TimedRecord());
    EXPECT_TRUE(behind.IsClaimed(target));
  }
  const std::vector<EndedWrite> ended = behind.TakeEnded(true);
  ASSERT_EQ(ended.size(), 1u);
  EXPECT_EQ(ended[0].target, target);
  EXPECT_EQ(ended[0].error, kOk);
  ASSERT_TRUE(ended[0].written.has_value());
  EXPECT_EQ(ended[0].written->size, 12u);
  EXPECT_EQ(ended[0].written->sha256, Sha256Hex(std::span<const uint8_t>(
                                          reinterpret_cast<const uint8_t*>("hello, world"), 12)));
  EXPECT_FALSE(behind.IsClaimed(target));  // released with its outcome
  EXPECT_EQ(Contents(target), "hello, world");
  EXPECT_EQ(WrittenSeconds(target), kWrittenUnix);
  // The digest comes with the outcome, not as a note of this thread.
  EXPECT_FALSE(TakeWrittenFile(target).has_value());
}

// A file's first bytes handed over in a vector are kept without a copy
// while the file is held; anything else is copied, and every file ends
// with exactly its bytes.
TEST(WriteBehindTest, AHeldFilesFirstBytesAreTakenWithTheirVector) {
  test::TempDir dir("write_behind_taking");
  auto bytesOf = [](const std::string& text) { return ReadBytes(text.begin(), text.end()); };
  {
    // Without a WriteBehind the file is written here, from a copy.
    ReadBytes bytes = bytesOf("written here, and more");
    RecoveredFileWriter writer;
    ASSERT_EQ(writer.Open(dir.Path() / "here.txt"), kOk);
    ASSERT_EQ(writer.WriteTaking(bytes, 12), kOk);
    EXPECT_EQ(bytes.size(), 22u);
    EXPECT_EQ(writer.WriteTaking(bytes, 23), kErrInvalidParameter);  // past its end
    writer.Finish(ScanRecord());
    EXPECT_EQ(Contents(dir.Path() / "here.txt"), "written here");
  }
  WriteBehind behind(2);
  ASSERT_TRUE(behind.Running());
  {
    const WriteBehindScope scope(&behind);
    ReadBytes first = bytesOf("taken whole, not this");
    RecoveredFileWriter taken;
    ASSERT_EQ(taken.Open(dir.Path() / "taken.txt"), kOk);
    ASSERT_EQ(taken.WriteTaking(first, 11), kOk);
    EXPECT_TRUE(first.empty());
    EXPECT_EQ(taken.Written(), 11u);
    taken.Finish(TimedRecord());

    // After bytes already held, the next ones are copied after them.
    ReadBytes second = bytesOf("tail");
    RecoveredFileWriter appended;
    ASSERT_EQ(appended.Open(dir.Path() / "appended.txt"), kOk);
    ASSERT_EQ(appended.Write(reinterpret_cast<const uint8_t*>("head+"), 5), kOk);
    ASSERT_EQ(appended.WriteTaking(second, 4), kOk);
    EXPECT_EQ(second.size(), 4u);
    appended.Finish(ScanRecord());
  }
  const std::vector<EndedWrite> ended = behind.TakeEnded(true);
  ASSERT_EQ(ended.size(), 2u);
  for (const EndedWrite& e : ended) {
    EXPECT_EQ(e.error, kOk);
    ASSERT_TRUE(e.written.has_value());
    EXPECT_EQ(e.written->sha256, Sha256Hex(std::span<const uint8_t>(bytesOf(Contents(e.target)))));
  }
  EXPECT_EQ(Contents(dir.Path() / "taken.txt"), "taken whole");
  EXPECT_EQ(WrittenSeconds(dir.Path() / "taken.txt"), kWrittenUnix);
  EXPECT_EQ(Contents(dir.Path() / "appended.txt"), "head+tail");
}

TEST(WriteBehindTest, AClaimedNameIsTakenForTheUniqueNameProbeUntilItsOutcomeIsTaken) {
  test::TempDir dir("write_behind_claims");
  const fs::path target = dir.Path() / "same.jpg";
  EXPECT_EQ(MakeUniquePath(target), target);
  WriteBehind behind(1);
  const WriteBehindScope scope(&behind);
  RecoveredFileWriter writer;
  ASSERT_EQ(writer.Open(target), kOk);
  // Nothing is on the target yet, and the name is still taken.
  EXPECT_FALSE(fs::exists(target));
  EXPECT_EQ(MakeUniquePath(target), dir.Path() / "same(1).jpg");
  writer.Finish(ScanRecord());
  (void)behind.TakeEnded(true);
  EXPECT_FALSE(behind.IsClaimed(target));
  EXPECT_EQ(MakeUniquePath(target), dir.Path() / "same(1).jpg");  // now on the target
}

TEST(WriteBehindTest, ALargeFileAndAnUnfinishedOneAreWrittenHereAsBefore) {
  test::TempDir dir("write_behind_here");
  ForgetWrittenFiles();
  WriteBehind behind(2);
  const WriteBehindScope scope(&behind);

  // Past the limit, the bytes held go out at once and the rest follows here.
  const fs::path large = dir.Path() / "large.bin";
  const std::vector<uint8_t> chunk(WriteBehind::kMostFileBytes / 2 + 1, 0x5a);
  RecoveredFileWriter writer;
  ASSERT_EQ(writer.Open(large), kOk);
  ASSERT_EQ(writer.Write(chunk.data(), chunk.size()), kOk);
  EXPECT_FALSE(fs::exists(large));
  ASSERT_EQ(writer.Write(chunk.data(), chunk.size()), kOk);
  EXPECT_EQ(fs::file_size(large), 2 * chunk.size());
  EXPECT_FALSE(behind.IsClaimed(large));
  writer.Finish(ScanRecord());
  const auto note = TakeWrittenFile(large);
  ASSERT_TRUE(note.has_value());
  EXPECT_EQ(note->size, 2 * chunk.size());

  // A copy that stops halfway leaves what was read on the target when the
  // writer closes, for the engine to settle; it ends without an error of
  // its own (the engine reports how it ended).
  const fs::path half = dir.Path() / "half.bin";
  ASSERT_EQ(writer.Open(half), kOk);
  ASSERT_EQ(writer.Write(chunk.data(), 10), kOk);
  writer.Close();
  EXPECT_EQ(fs::file_size(half), 10u);
  const std::vector<EndedWrite> ended = behind.TakeEnded(true);
  ASSERT_EQ(ended.size(), 1u);
  EXPECT_EQ(ended[0].target, half);
  EXPECT_EQ(ended[0].error, kOk);
  EXPECT_FALSE(ended[0].written.has_value());
}

TEST(WriteBehindTest, AFileThatCannotBeCreatedEndsWithTheSystemError) {
  test::TempDir dir("write_behind_error");
  WriteBehind behind(1);
  const WriteBehindScope scope(&behind);
  const fs::path target = dir.Path() / "gone" / "a.jpg";  // its folder is missing
  WriteFile(target, "data", ScanRecord());
  const std::vector<EndedWrite> ended = behind.TakeEnded(true);
  ASSERT_EQ(ended.size(), 1u);
  EXPECT_TRUE(ended[0].error == kErrPathNotFound || ended[0].error == kErrFileNotFound)
      << ended[0].error;
  EXPECT_FALSE(ended[0].written.has_value());
}

TEST(WriteBehindTest, ManyFilesEndInTheOrderHandedOverWithEveryByteWritten) {
  test::TempDir dir("write_behind_many");
  WriteBehind behind(3);
  const WriteBehindScope scope(&behind);
  // More bytes than may wait at once: handing over waits for the writers.
  const size_t count = WriteBehind::kMostPendingBytes / WriteBehind::kMostFileBytes + 16;
  std::vector<EndedWrite> ended;
  for (size_t i = 0; i < count; ++i) {
    std::string bytes(WriteBehind::kMostFileBytes, char('a' + i % 26));
    bytes.replace(0, std::to_string(i).size(), std::to_string(i));
    WriteFile(dir.Path() / (std::to_string(i) + ".bin"), bytes, ScanRecord());
    if (i % 10 == 0) {
      std::vector<EndedWrite> some = behind.TakeEnded(false);
      ended.insert(ended.end(), some.begin(), some.end());
    }
  }
  std::vector<EndedWrite> rest = behind.TakeEnded(true);
  ended.insert(ended.end(), rest.begin(), rest.end());
  ASSERT_EQ(ended.size(), count);
  for (size_t i = 0; i < count; ++i) {
    const fs::path expected = dir.Path() / (std::to_string(i) + ".bin");
    ASSERT_EQ(ended[i].target, expected) << i;
    ASSERT_EQ(ended[i].error, kOk) << i;
    const std::string bytes = Contents(expected);
    ASSERT_EQ(bytes.size(), WriteBehind::kMostFileBytes) << i;
    ASSERT_EQ(bytes.substr(0, std::to_string(i).size()), std::to_string(i)) << i;
    ASSERT_EQ(bytes.back(), char('a' + i % 26)) << i;
  }
}

// Writers take files from other folders than each other's where they can:
// the files still end in the order handed over, every one of them, however
// the folders follow each other (in runs, alternating, or one folder alone).
TEST(WriteBehindTest, FilesInManyFoldersEndInOrderWhateverTheWritersTake) {
  test::TempDir dir("write_behind_folders");
  WriteBehind behind(3);
  const WriteBehindScope scope(&behind);
  std::vector<fs::path> handed;
  auto folderOf = [](size_t i) {
    if (i < 1200) return "run" + std::to_string(i / 300);         // runs of 300
    if (i < 1800) return "turn" + std::to_string(i % 2);          // alternating
    return std::string("alone");                                  // one folder
  };
  for (const char* name : {"run0", "run1", "run2", "run3", "turn0", "turn1", "alone"})
    ASSERT_TRUE(fs::create_directory(dir.Path() / name));
  std::vector<EndedWrite> ended;
  for (size_t i = 0; i < 2400; ++i) {
    const fs::path target = dir.Path() / folderOf(i) / (std::to_string(i) + ".txt");
    WriteFile(target, "file " + std::to_string(i), ScanRecord());
    handed.push_back(target);
    if (i % 100 == 0) {
      std::vector<EndedWrite> some = behind.TakeEnded(false);
      ended.insert(ended.end(), some.begin(), some.end());
    }
  }
  std::vector<EndedWrite> rest = behind.TakeEnded(true);
  ended.insert(ended.end(), rest.begin(), rest.end());
  ASSERT_EQ(ended.size(), handed.size());
  for (size_t i = 0; i < handed.size(); ++i) {
    ASSERT_EQ(ended[i].target, handed[i]) << i;
    ASSERT_EQ(ended[i].error, kOk) << i;
    ASSERT_EQ(Contents(handed[i]), "file " + std::to_string(i)) << i;
  }
}

// Something the claims cannot see takes the path before the writer makes
// the file (on a target that folds case, a name that differs only in case):
// nothing is replaced, the file goes under the next numbered name.
TEST(WriteBehindTest, AFileWhosePathWasTakenMeanwhileGetsANumberedNameAndReplacesNothing) {
  test::TempDir dir("write_behind_taken");
  const fs::path target = dir.Path() / "IMG.JPG";
  WriteBehind behind(1);
  const WriteBehindScope scope(&behind);
  RecoveredFileWriter writer;
  ASSERT_EQ(writer.Open(target), kOk);
  std::ofstream(target, std::ios::binary) << "someone else's";
  ASSERT_EQ(writer.Write(reinterpret_cast<const uint8_t*>("mine"), 4), kOk);
  writer.Finish(ScanRecord());
  const std::vector<EndedWrite> ended = behind.TakeEnded(true);
  ASSERT_EQ(ended.size(), 1u);
  EXPECT_EQ(ended[0].error, kOk);
  EXPECT_EQ(ended[0].claimed, target);
  EXPECT_EQ(ended[0].target, dir.Path() / "IMG(1).JPG");
  EXPECT_TRUE(ended[0].created);
  ASSERT_TRUE(ended[0].written.has_value());
  EXPECT_EQ(ended[0].written->size, 4u);
  EXPECT_EQ(Contents(target), "someone else's");
  EXPECT_EQ(Contents(dir.Path() / "IMG(1).JPG"), "mine");
  EXPECT_FALSE(behind.IsClaimed(target));
}

// A copy stopped halfway is settled by its engine (renamed or removed);
// its path stays claimed until its end is taken, so a later file of the
// same name cannot be given it while an earlier end is still queued.
TEST(WriteBehindTest, AnUnfinishedFilesPathStaysClaimedUntilItsEndIsTaken) {
  test::TempDir dir("write_behind_unfinished_claim");
  const fs::path target = dir.Path() / "a.jpg";
  WriteBehind behind(1);
  const WriteBehindScope scope(&behind);
  {
    RecoveredFileWriter writer;
    ASSERT_EQ(writer.Open(target), kOk);
    ASSERT_EQ(writer.Write(reinterpret_cast<const uint8_t*>("half"), 4), kOk);
  }  // closed unfinished
  fs::remove(target);  // the engine settles it
  EXPECT_TRUE(behind.IsClaimed(target));
  EXPECT_EQ(MakeUniquePath(target), dir.Path() / "a(1).jpg");
  (void)behind.TakeEnded(true);
  EXPECT_FALSE(behind.IsClaimed(target));
}

// On a target that folds case, "img_0001.jpg" is the pending
// "IMG_0001.JPG"; an 8.3 alias like "PICTUR~1.JPG" may be a pending long
// name. The probe of such a name waits for the writes, then asks the target.
TEST(WriteBehindTest, AProbeOfALookAlikeNameSeesThePendingFilesOnTheTarget) {
  test::TempDir dir("write_behind_look_alike");
  WriteBehind behind(1);
  const WriteBehindScope scope(&behind);
  for (const char* name : {"IMG_0001.JPG", "Picture 2019.jpg"}) {
    const fs::path pending = dir.Path() / name;
    WriteFile(pending, "pending", ScanRecord());
    EXPECT_TRUE(behind.MayBeTakenByAWrite(dir.Path() / "img_0001.jpg") ||
                std::string(name) != "IMG_0001.JPG");
    EXPECT_TRUE(behind.MayBeTakenByAWrite(dir.Path() / "PICTUR~1.JPG"));
  }
  EXPECT_FALSE(behind.MayBeTakenByAWrite(dir.Path() / "other.jpg"));
  // The probe waits: the pending files are on the target when it answers.
  [[maybe_unused]] const fs::path alias = MakeUniquePath(dir.Path() / "PICTUR~1.JPG");
  EXPECT_TRUE(fs::exists(dir.Path() / "IMG_0001.JPG"));
  EXPECT_TRUE(fs::exists(dir.Path() / "Picture 2019.jpg"));
#if defined(_WIN32)
  // Windows folds case in the claims themselves.
  EXPECT_EQ(MakeUniquePath(dir.Path() / "img_0001.jpg"), dir.Path() / "img_0001(1).jpg");
#else
  // This file system tells the names apart: both stay as they are.
  EXPECT_EQ(alias, dir.Path() / "PICTUR~1.JPG");
  EXPECT_EQ(MakeUniquePath(dir.Path() / "img_0001.jpg"), dir.Path() / "img_0001.jpg");
#endif
  (void)behind.TakeEnded(true);
  EXPECT_FALSE(behind.MayBeTakenByAWrite(dir.Path() / "img_0001.jpg"));
}

TEST(WriteBehindTest, AFoldersTimesAreSetOnceTheFilesInItAreWritten) {
  test::TempDir dir("write_behind_folder");
  const fs::path folder = dir.Path() / "found";
  fs::create_directories(folder);
  WriteBehind behind(1);
  {
    const WriteBehindScope scope(&behind);
    ASSERT_EQ(ApplyRecordTimes(TimedRecord(), folder), kOk);
    WriteFile(folder / "inside.txt", "x", ScanRecord());
  }
  (void)behind.TakeEnded(true);
  behind.ApplyFolderTimes();
  // Creating the file moved the folder's write time; it was set after.
  EXPECT_EQ(WrittenSeconds(folder), kWrittenUnix);
  EXPECT_EQ(Contents(folder / "inside.txt"), "x");
}

TEST(WriteBehindTest, WithoutAScopeFilesAreWrittenWhereTheyAreRead) {
  test::TempDir dir("write_behind_none");
  WriteBehind behind(1);
  ForgetWrittenFiles();
  const fs::path target = dir.Path() / "now.txt";
  WriteFile(target, "now", ScanRecord());
  EXPECT_EQ(Contents(target), "now");
  EXPECT_TRUE(TakeWrittenFile(target).has_value());
  EXPECT_TRUE(behind.TakeEnded(true).empty());
  EXPECT_EQ(CurrentWriteBehind(), nullptr);
}

}  // namespace
}  // namespace brinvale
