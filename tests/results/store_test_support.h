#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "results/scan_log_store.h"

namespace brinvale::testing {

inline uint64_t Key(uint32_t level, uint32_t cluster) { return uint64_t(level) << 32 | cluster; }

inline ScanRecord File(std::string_view name, uint32_t cluster = 0, uint32_t check = 1) {
  ScanRecord r;
  r.SetName(name);
  r.SetEntryKey(cluster);
  r.SetContentCheck(check);
  r.SetFileSize(100);
  return r;
}

inline ScanRecord Folder(std::string_view name, uint32_t cluster) {
  ScanRecord r = File(name, cluster);
  r.SetIsFolder(true);
  r.SetFileSize(0);
  return r;
}

inline std::vector<std::string> Names(const std::vector<ScanRecord>& list) {
  std::vector<std::string> names;
  for (const auto& r : list) names.emplace_back(r.Name());
  return names;
}

// A fresh folder per test, removed afterwards.
class TempFolderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    folder = std::filesystem::temp_directory_path() /
             (std::string("brinvale_") + info->test_suite_name() + "_" + info->name());
    std::filesystem::remove_all(folder);
  }
  void TearDown() override { std::filesystem::remove_all(folder); }

  std::filesystem::path folder;
};

}  // namespace brinvale::testing
