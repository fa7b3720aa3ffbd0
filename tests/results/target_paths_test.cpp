#include "results/target_paths.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace brinvale {
namespace {

TEST(SanitizeFileName, NamesCannotEscapeTheTargetFolder) {
  EXPECT_EQ(SanitizeFileName("..", TargetSystem::kPosix), "___");
  EXPECT_EQ(SanitizeFileName(".", TargetSystem::kPosix), "__");
  EXPECT_EQ(SanitizeFileName("", TargetSystem::kPosix), "_");
  EXPECT_EQ(SanitizeFileName("../../etc/passwd", TargetSystem::kPosix), ".._.._etc_passwd");
  EXPECT_EQ(SanitizeFileName(std::string("a\0b", 3), TargetSystem::kPosix), "a_b");
  EXPECT_EQ(SanitizeFileName("..\\..\\x", TargetSystem::kWindows), ".._.._x");
}

TEST(SanitizeFileName, PosixKeepsWhatLinuxAllows) {
  EXPECT_EQ(SanitizeFileName("a:b*c?.txt", TargetSystem::kPosix), "a:b*c?.txt");
  EXPECT_EQ(SanitizeFileName("фото.jpg", TargetSystem::kPosix), "фото.jpg");
}

TEST(SanitizeFileName, WindowsReplacesReservedCharactersAndDeviceNames) {
  EXPECT_EQ(SanitizeFileName("a:b*c?\"<>|.txt", TargetSystem::kWindows), "a_b_c_____.txt");
  EXPECT_EQ(SanitizeFileName("tab\there", TargetSystem::kWindows), "tab_here");
  EXPECT_EQ(SanitizeFileName("CON", TargetSystem::kWindows), "_CON");
  EXPECT_EQ(SanitizeFileName("nul.txt", TargetSystem::kWindows), "_nul.txt");
  EXPECT_EQ(SanitizeFileName("com7.log", TargetSystem::kWindows), "_com7.log");
  EXPECT_EQ(SanitizeFileName("com10.log", TargetSystem::kWindows), "com10.log");
  EXPECT_EQ(SanitizeFileName("console", TargetSystem::kWindows), "console");
  EXPECT_EQ(SanitizeFileName("name.", TargetSystem::kWindows), "name_");
  EXPECT_EQ(SanitizeFileName("name ", TargetSystem::kWindows), "name_");
}

TEST(MakeUniquePath, NumbersCopiesInTheSameFolder) {
  auto dir = std::filesystem::temp_directory_path() / "brinvale_unique_test";
  std::filesystem::remove_all(dir);
  std::filesystem::create_directories(dir);
  auto first = MakeUniquePath(dir / "a.jpg");
  EXPECT_EQ(first, dir / "a.jpg");
  std::ofstream(first).put('x');
  auto second = MakeUniquePath(dir / "a.jpg");
  EXPECT_EQ(second, dir / "a(1).jpg");
  std::ofstream(second).put('x');
  EXPECT_EQ(MakeUniquePath(dir / "a.jpg"), dir / "a(2).jpg");
  std::filesystem::create_directories(dir / "noext");
  EXPECT_EQ(MakeUniquePath(dir / "noext"), dir / "noext(1)");
  std::filesystem::remove_all(dir);
}

#if !defined(_WIN32)
// Paths this long need POSIX's limits to be made at all.
TEST(MakeUniquePath, NumberedPathHoldsAtMost520Units) {
  namespace fs = std::filesystem;
  const fs::path root = fs::temp_directory_path() / "brinvale_unique_limit_test";
  fs::remove_all(root);
  fs::path dir = root;
  while (dir.string().size() < 400) dir /= std::string(60, 'd');
  fs::create_directories(dir);
  const std::string name = std::string(150, 'n') + ".txt";
  std::ofstream(dir / name).put('x');
  ASSERT_GT((dir / name).string().size(), kUniquePathUnits);

  const fs::path numbered = MakeUniquePath(dir / name, 255, TargetSystem::kPosix);
  ASSERT_FALSE(numbered.empty());
  EXPECT_EQ(numbered.string().size(), kUniquePathUnits) << numbered;
  EXPECT_EQ(numbered.parent_path(), dir);
  const std::string numberedName = numbered.filename().string();
  EXPECT_EQ(numberedName.substr(numberedName.size() - 7), "(1).txt");
  EXPECT_EQ(numberedName.substr(0, 10), std::string(10, 'n'));
  EXPECT_FALSE(fs::exists(numbered));

  // Units are UTF-16 units, not UTF-8 bytes: "é" is two bytes and one unit.
  const std::string accented = "\xC3\xA9" + std::string(149, 'n') + ".txt";
  std::ofstream(dir / accented).put('x');
  const fs::path numberedAccent = MakeUniquePath(dir / accented, 255, TargetSystem::kPosix);
  EXPECT_EQ(numberedAccent.string().size(), kUniquePathUnits + 1) << numberedAccent;

  // A folder that leaves no room for a numbered name gives no path.
  fs::path deep = dir;
  while (deep.string().size() < kUniquePathUnits - 3) deep /= std::string(40, 'e');
  fs::create_directories(deep / "x.txt");
  EXPECT_EQ(MakeUniquePath(deep / "x.txt", 255, TargetSystem::kPosix), fs::path());
  fs::remove_all(root);
}
#endif

TEST(CountSeparators, IgnoresTheLastCharacter) {
  EXPECT_EQ(CountSeparators("D:\\out\\x"), 2);
  EXPECT_EQ(CountSeparators("D:\\out\\"), 1);
  EXPECT_EQ(CountSeparators("/home/u/out"), 3);
  EXPECT_EQ(CountSeparators(""), 0);
}

}  // namespace
}  // namespace brinvale
