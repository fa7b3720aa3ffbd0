#include "results/target_folders.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "common/error_codes.h"
#include "platform/text.h"
#include "results/recovered_file_writer.h"
#include "results/target_paths.h"
#include "results/write_behind.h"
#include "support/fixture_path.h"

namespace brinvale {
namespace {

namespace fs = std::filesystem;

std::string Contents(const fs::path& path) {
  const std::vector<uint8_t> bytes = test::ReadFileBytes(path);
  return std::string(bytes.begin(), bytes.end());
}

class TargetFoldersTest : public ::testing::Test {
 protected:
  TargetFoldersTest() : m_dir("target_folders"), m_behind(2), m_scope(&m_behind) {}
  test::TempDir m_dir;
  WriteBehind m_behind;
  WriteBehindScope m_scope;
};

// A folder made or found once in a recovery, and every folder above it,
// is not asked of the target again; without a recovery, every call asks.
TEST_F(TargetFoldersTest, AFolderIsAskedOfTheTargetOncePerRecovery) {
  const fs::path folder = m_dir.Path() / "Pictures" / "2024";
  ASSERT_EQ(CreateTargetFolders(folder), kOk);
  ASSERT_TRUE(fs::is_directory(folder));
  EXPECT_TRUE(m_behind.KnownFolder(folder));
  EXPECT_TRUE(m_behind.KnownFolder(m_dir.Path() / "Pictures"));
  EXPECT_FALSE(m_behind.KnownFolder(m_dir.Path() / "Music"));
  // Removed behind the recovery's back: the recovery goes by what it made.
  fs::remove_all(m_dir.Path() / "Pictures");
  EXPECT_EQ(CreateTargetFolders(folder), kOk);
  EXPECT_EQ(CreateTargetFolders(m_dir.Path() / "Pictures"), kOk);
  EXPECT_FALSE(fs::exists(folder));
  // A folder below a known one is new, and made.
  EXPECT_EQ(CreateTargetFolders(folder / "deeper"), kOk);
  EXPECT_TRUE(fs::is_directory(folder / "deeper"));
  {
    const WriteBehindScope none(nullptr);
    fs::remove_all(m_dir.Path() / "Pictures");
    EXPECT_EQ(CreateTargetFolders(folder), kOk);
    EXPECT_TRUE(fs::is_directory(folder));
  }
  // One that cannot be made is never known, and is asked again.
  std::ofstream(m_dir.Path() / "plain") << "a file";
  EXPECT_NE(CreateTargetFolders(m_dir.Path() / "plain" / "below"), kOk);
  EXPECT_FALSE(m_behind.KnownFolder(m_dir.Path() / "plain" / "below"));
  EXPECT_NE(CreateTargetFolders(m_dir.Path() / "plain" / "below"), kOk);
}

// In a folder the recovery made, a plain name it never handed out is free
// without asking the target; every name it handed out, claimed or made a
// folder of is asked of the target as before, and numbered as before.
TEST_F(TargetFoldersTest, AFolderTheRecoveryMadeNumbersWhatItMadeThere) {
  ASSERT_TRUE(m_behind.Running());
  const fs::path made = m_dir.Path() / "made" / "deeper";
  ASSERT_EQ(CreateTargetFolders(made), kOk);
  EXPECT_TRUE(m_behind.SurelyFree(made / "a.jpg"));
  // Only the folder the call made last is known to be empty.
  EXPECT_FALSE(m_behind.SurelyFree(m_dir.Path() / "made" / "a.jpg"));
  // The folders on the way to a deeper one are taken: a file of the same
  // name is asked for.
  ASSERT_EQ(CreateTargetFolders(made / "x" / "y"), kOk);
  EXPECT_FALSE(m_behind.SurelyFree(made / "x"));
  EXPECT_TRUE(m_behind.SurelyFree(made / "z"));

  const fs::path first = MakeUniquePath(made / "a.jpg");
  EXPECT_EQ(first, made / "a.jpg");
  // Handed out: no longer surely free, and while nothing is there yet the
  // target says it is free, as it did before.
  EXPECT_FALSE(m_behind.SurelyFree(made / "a.jpg"));
  EXPECT_FALSE(m_behind.SurelyFree(made / "A.JPG"));
  EXPECT_EQ(MakeUniquePath(made / "a.jpg"), made / "a.jpg");
  std::ofstream(first) << "first";
  EXPECT_EQ(MakeUniquePath(made / "a.jpg"), made / "a(1).jpg");

  // A claimed file is numbered around; its numbered name is taken too.
  m_behind.Claim(made / "b.txt");
  EXPECT_EQ(MakeUniquePath(made / "b.txt"), made / "b(1).txt");
  EXPECT_FALSE(m_behind.SurelyFree(made / "b(1).txt"));
  m_behind.Unclaim(made / "b.txt");

  // A folder made in it is taken.
  ASSERT_EQ(CreateTargetFolders(made / "sub"), kOk);
  EXPECT_FALSE(m_behind.SurelyFree(made / "sub"));
  EXPECT_TRUE(m_behind.SurelyFree(made / "sub" / "c.txt"));
}

// Names a target may take as another name, and folders that were there
// before, are always asked of the target.
TEST_F(TargetFoldersTest, LookAlikeNamesAndFoldersThatWereThereAreAskedOfTheTarget) {
  const fs::path made = m_dir.Path() / "made";
  ASSERT_EQ(CreateTargetFolders(made), kOk);
  for (const char* name : {"LONGNA~1.JPG", "trailing.", "trailing ", "caf\xC3\xA9.txt",
                           "tab\tname"}) {
    EXPECT_FALSE(m_behind.SurelyFree(made / platform::PathFromUtf8(name))) << name;
  }
  std::ofstream(made / "LONGNA~1.JPG") << "x";
  EXPECT_EQ(MakeUniquePath(made / "LONGNA~1.JPG"), made / "LONGNA~1(1).JPG");

  // Made before: not the recovery's, whatever it holds is asked for.
  const fs::path before = m_dir.Path() / "before";
  fs::create_directories(before);
  std::ofstream(before / "kept.txt") << "kept";
  ASSERT_EQ(CreateTargetFolders(before), kOk);
  EXPECT_FALSE(m_behind.SurelyFree(before / "other.txt"));
  EXPECT_EQ(MakeUniquePath(before / "kept.txt"), before / "kept(1).txt");
}

// The one thing the recovery cannot know of is a file another program puts
// into a folder the recovery made, while it recovers. Such a file is never
// written over: a small file gets the next numbered name, a large one fails.
TEST_F(TargetFoldersTest, AFileAnotherProgramPutIntoARecoveryFolderIsNeverWrittenOver) {
  const fs::path made = m_dir.Path() / "made";
  ASSERT_EQ(CreateTargetFolders(made), kOk);
  std::ofstream(made / "small.txt") << "theirs";
  std::ofstream(made / "large.bin") << "theirs too";

  const fs::path small = MakeUniquePath(made / "small.txt");
  ASSERT_EQ(small, made / "small.txt");  // not asked of the target
  m_behind.Claim(small);
  ReadBytes bytes = {'o', 'u', 'r', 's'};
  m_behind.Submit(small, bytes, {});
  const std::vector<EndedWrite> ended = m_behind.TakeEnded(true);
  ASSERT_EQ(ended.size(), 1u);
  EXPECT_EQ(ended[0].error, kOk);
  EXPECT_EQ(ended[0].target, made / "small(1).txt");
  EXPECT_EQ(Contents(made / "small.txt"), "theirs");
  EXPECT_EQ(Contents(made / "small(1).txt"), "ours");

  const fs::path large = MakeUniquePath(made / "large.bin");
  ASSERT_EQ(large, made / "large.bin");
  RecoveredFileWriter writer;
  ASSERT_EQ(writer.Open(large), kOk);
  const std::vector<uint8_t> big(WriteBehind::kMostFileBytes + 1, 0x5A);
  EXPECT_NE(writer.Write(big.data(), big.size()), kOk);
  writer.Close();
  (void)m_behind.TakeEnded(true);
  EXPECT_EQ(Contents(made / "large.bin"), "theirs too");
}

}  // namespace
}  // namespace brinvale
