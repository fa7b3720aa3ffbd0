#include "results/unfinished_file.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace brinvale {
namespace {

namespace fs = std::filesystem;

class UnfinishedFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    m_dir = fs::temp_directory_path() /
            ("brinvale_unfinished_" +
             std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
    fs::remove_all(m_dir);
    fs::create_directories(m_dir);
  }
  void TearDown() override {
    std::error_code ec;
    fs::remove_all(m_dir, ec);
  }
  fs::path m_dir;
};

TEST_F(UnfinishedFileTest, AnEmptyLeftoverIsRemoved) {
  const fs::path target = m_dir / "empty.jpg";
  std::ofstream(target).close();
  EXPECT_EQ(SettleUnfinishedFile(target), target);
  EXPECT_FALSE(fs::exists(target));
}

TEST_F(UnfinishedFileTest, WhatWasWrittenKeepsANameThatSaysSoAndStaysUnique) {
  const fs::path target = m_dir / "photo.jpg";
  std::ofstream(target) << "half";
  EXPECT_EQ(SettleUnfinishedFile(target), m_dir / "photo.partial.jpg");
  EXPECT_FALSE(fs::exists(target));
  std::ofstream(target) << "half again";
  EXPECT_EQ(SettleUnfinishedFile(target), m_dir / "photo.partial(1).jpg");
  std::ofstream(m_dir / "README") << "x";
  EXPECT_EQ(SettleUnfinishedFile(m_dir / "README"), m_dir / "README.partial");
}

TEST_F(UnfinishedFileTest, OnlyRegularFilesAreTouched) {
  EXPECT_EQ(SettleUnfinishedFile(m_dir / "missing.txt"), m_dir / "missing.txt");
  fs::create_directories(m_dir / "folder.txt");
  EXPECT_EQ(SettleUnfinishedFile(m_dir / "folder.txt"), m_dir / "folder.txt");
  EXPECT_TRUE(fs::is_directory(m_dir / "folder.txt"));
#if !defined(_WIN32)
  EXPECT_EQ(SettleUnfinishedFile("/dev/null"), "/dev/null");
  EXPECT_TRUE(fs::exists("/dev/null"));
#endif
}

}  // namespace
}  // namespace brinvale
