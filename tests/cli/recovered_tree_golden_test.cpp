// What a recovery writes stays what it was: each image of
// golden/recovered_tree_images.txt is recovered by type and with
// --keep-paths, and the tree (names, bytes, write times) and the rows of
// recovery.csv are compared with golden/recovered_trees.txt, which
// golden/make_recovered_trees.sh made from a build known to be right. The
// condition column is left out: it belongs to the verdict of each file.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <map>
#include <span>
#include <sstream>
#include <string>
#include <vector>

#include "support/child_process.h"
#include "support/cli_test_folder.h"
#include "support/fixture_path.h"
#include "support/sha256.h"

#if !defined(_WIN32)

namespace brinvale {
namespace {

namespace fs = std::filesystem;

std::string ReadText(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

// Tabs, line breaks and backslashes in names are written as escapes, so that
// every entry is one line.
std::string Escaped(std::string_view text) {
  std::string out;
  for (char c : text) {
    switch (c) {
      case '\\': out += "\\\\"; break;
      case '\t': out += "\\t"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      default: out += c;
    }
  }
  return out;
}

// The rows of an RFC 4180 text.
std::vector<std::vector<std::string>> CsvRows(const std::string& text) {
  std::vector<std::vector<std::string>> rows;
  std::vector<std::string> row;
  std::string field;
  bool quoted = false;
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (quoted) {
      if (c == '"' && i + 1 < text.size() && text[i + 1] == '"') {
        field += '"';
        ++i;
      } else if (c == '"') {
        quoted = false;
      } else {
        field += c;
      }
    } else if (c == '"') {
      quoted = true;
    } else if (c == ',') {
      row.push_back(std::move(field));
      field.clear();
    } else if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
      row.push_back(std::move(field));
      field.clear();
      rows.push_back(std::move(row));
      row.clear();
      ++i;
    } else {
      field += c;
    }
  }
  return rows;
}

// The listing list_recovered_tree.py gives for `folder`.
std::string Listing(const fs::path& folder) {
  const int64_t now = std::chrono::duration_cast<std::chrono::nanoseconds>(
                          std::chrono::system_clock::now().time_since_epoch())
                          .count();
  auto shownTime = [now](const fs::path& path) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0) return std::string("?");
    const int64_t ns = int64_t(st.st_mtim.tv_sec) * 1'000'000'000 + st.st_mtim.tv_nsec;
    // A time of the last ten minutes is the time of the recovery itself.
    return ns > now - int64_t(600) * 1'000'000'000 ? std::string("-") : std::to_string(ns);
  };
  std::vector<std::string> lines;
  for (const fs::directory_entry& entry : fs::recursive_directory_iterator(folder)) {
    const std::string relative = entry.path().lexically_relative(folder).string();
    if (entry.is_directory()) {
      lines.push_back(Escaped(relative + "/") + "\tD\t" + shownTime(entry.path()));
      continue;
    }
    if (relative == "recovery.csv" || relative == "recovery.json") continue;
    const std::string bytes = ReadText(entry.path());
    lines.push_back(Escaped(relative) + "\tF\t" + std::to_string(bytes.size()) + "\t" +
                    test::Sha256Hex(std::span<const uint8_t>(
                        reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size())) +
                    "\t" + shownTime(entry.path()));
  }
  std::sort(lines.begin(), lines.end());
  const auto rows = CsvRows(ReadText(folder / "recovery.csv"));
  if (rows.empty()) return "no recovery.csv\n";
  const size_t skip = size_t(std::find(rows[0].begin(), rows[0].end(), "condition") - rows[0].begin());
  for (const auto& row : rows) {
    std::string line = "M";
    for (size_t i = 0; i < row.size(); ++i)
      if (i != skip) line += "\t" + Escaped(row[i]);
    lines.push_back(line);
  }
  std::string text;
  for (const std::string& line : lines) text += line + "\n";
  return text;
}

// The golden listings by "image mode".
std::map<std::string, std::string> GoldenListings() {
  std::map<std::string, std::string> listings;
  std::istringstream lines(ReadText(fs::path(BRINVALE_CLI_GOLDEN_DIR) / "recovered_trees.txt"));
  std::string line, current;
  while (std::getline(lines, line)) {
    if (line.rfind("== ", 0) == 0) {
      current = line.substr(3);
      listings[current];
    } else if (!current.empty()) {
      listings[current] += line + "\n";
    }
  }
  return listings;
}

class RecoveredTreeGolden : public test::CliTestFolder {
 protected:
  RecoveredTreeGolden() : CliTestFolder("brinvale_golden_tree_") {}
};

TEST_F(RecoveredTreeGolden, TreesAndManifestsMatchTheGoldenListings) {
  // FAT times are local: the golden listings were made in UTC.
  setenv("TZ", "UTC", 1);
  const std::map<std::string, std::string> golden = GoldenListings();
  std::istringstream images(
      ReadText(fs::path(BRINVALE_CLI_GOLDEN_DIR) / "recovered_tree_images.txt"));
  std::string image;
  size_t compared = 0;
  while (images >> image) {
    for (const std::string mode : {"types", "keep-paths"}) {
      SCOPED_TRACE(image + " " + mode);
      const fs::path out = m_dir / (image + "." + mode);
      std::vector<std::string> args = {BRINVALE_CLI_PATH, "scan",
                                       test::FixturePath(image).string(), "--recover-to",
                                       out.string()};
      if (mode == "keep-paths") args.push_back("--keep-paths");
      (void)test::RunChild(args);
      auto expected = golden.find(image + " " + mode);
      ASSERT_NE(expected, golden.end());
      EXPECT_EQ(Listing(out), expected->second);
      ++compared;
    }
  }
  EXPECT_EQ(compared, golden.size());
}

}  // namespace
}  // namespace brinvale

#endif
