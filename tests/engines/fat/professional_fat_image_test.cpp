// The formatted FAT engine driven over a whole FAT32 volume made by
// mkfs.fat and mtools, sector by sector as the full-scan pass does.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <map>

#include "engines/fat/professional_fat_test_support.h"

namespace brinvale {
namespace {

namespace fs = std::filesystem;
using testing::FileSha256;
using testing::FoundTree;
using testing::ManifestEntry;
using testing::ReadManifest;
using testing::ScratchFolder;

// Offers every sector of `image` to the engine in order, 64 KiB at a time.
void Pass(CProfessionalFatRecovery& engine, const fs::path& image) {
  std::ifstream in(image, std::ios::binary);
  ASSERT_TRUE(in) << image;
  std::vector<uint8_t> chunk(65536);
  uint64_t sector = 0;
  while (in.read(reinterpret_cast<char*>(chunk.data()), std::streamsize(chunk.size())) ||
         in.gcount() > 0) {
    const size_t got = size_t(in.gcount()) / 512;
    for (size_t i = 0; i < got; ++i, ++sector) {
      const std::span<const uint8_t> data = std::span(chunk).subspan(i * 512, 512);
      if (IsDotDirectoryStart(data))
        engine.OnDirectoryStart(data, sector);
      else if (IsDirectorySector(data))
        engine.OnDirectorySector(data, sector);
    }
  }
}

TEST(ProFatImageTest, Fat32VolumeComesBackFromItsDirectoryClusters) {
  ScratchFolder logs;
  const fs::path image = test::FixturePath("fat32.img");
  CProfessionalFatRecovery engine;
  engine.SetScanLogFolder(logs.Path() / "logs");
  engine.SetPreviewFolder(logs.Path() / "preview");
  ASSERT_EQ(engine.OpenImage(image, u'X'), 0);
  ASSERT_EQ(engine.PrepareFatScan(nullptr), 0);
  ASSERT_EQ(engine.ReadBootGeometry(), 0);
  ASSERT_EQ(engine.Geometries().size(), 1u);  // the boot sector's layout
  Pass(engine, image);
  ASSERT_EQ(engine.FinishFatScan(), 0);
  const auto tree = FoundTree(engine);
  const std::vector<ManifestEntry> manifest = ReadManifest("fat32.img");
  ASSERT_FALSE(manifest.empty());
  std::map<std::string, const ManifestEntry*> byPath;
  for (const ManifestEntry& e : manifest) byPath[e.path] = &e;

  // The folder part of a found path must name the same folders as the
  // manifest, from the innermost outwards, as far as the found path goes;
  // a folder whose own entry was not in a directory sector that passes the
  // sector tests is named "LostFolder<cluster>" instead.
  auto sameFolders = [&](const std::string& found, const std::string& real) {
    std::vector<std::string> got, want;
    for (size_t at = 1, slash; (slash = found.find('/', at)) != std::string::npos; at = slash + 1)
      got.push_back(found.substr(at, slash - at));
    std::string sofar;
    for (size_t at = 1, slash; (slash = real.find('/', at)) != std::string::npos; at = slash + 1) {
      sofar = real.substr(0, slash + 1);
      want.push_back(sofar);
    }
    for (size_t i = 0; i < got.size() && i < want.size(); ++i) {
      const ManifestEntry& folder = *byPath.at(want[want.size() - 1 - i]);
      const std::string name = folder.path.substr(0, folder.path.size() - 1);
      const std::string shown =
          testing::ShownName(name.substr(name.rfind('/') + 1), folder.state != "live");
      const std::string& g = got[got.size() - 1 - i];
      if (g != shown && g != "LostFolder" + std::to_string(folder.cluster)) return false;
    }
    return want.empty() || !got.empty();
  };

  size_t checked = 0, inFolders = 0, expectedInFolders = 0;
  for (const ManifestEntry& e : manifest) {
    if (e.IsFolder()) continue;
    const std::string name = e.path.substr(e.path.rfind('/') + 1);
    const std::string shown = testing::ShownName(name, e.state != "live");
    const bool inFolder = e.path.rfind('/') != 0;
    expectedInFolders += inFolder && e.size != 0 ? 1 : 0;
    // The found record with this name (names are unique in the fixture).
    const ScanRecord* record = nullptr;
    std::string foundPath;
    for (const auto& [path, r] : tree) {
      if (!r.IsFolder() && r.Name() == shown) {
        record = &r;
        foundPath = path;
      }
    }
    // Every file below a folder comes back: its folder's first cluster
    // still starts with "." and "..". Root files only where their root
    // cluster passes the sector tests (not the first two here: a 20-part
    // long name and a code-page short name fail them), which the deleted
    // ones' cluster does.
    if (inFolder || e.state == "deleted") {
      ASSERT_NE(record, nullptr) << e.path;
    }
    if (record == nullptr) continue;
    EXPECT_TRUE(sameFolders(foundPath, e.path)) << foundPath << " for " << e.path;
    EXPECT_EQ(record->FileSize(), e.size) << e.path;
    EXPECT_EQ(record->ClusterBytes(), 512u);
    if (e.size == 0) continue;
    EXPECT_EQ(record->EntryKey(), e.cluster) << e.path;
    const fs::path target = logs.Path() / "out" / std::to_string(checked);
    ASSERT_EQ(engine.RecoverRecord(*record, target, 0), 0) << e.path;
    EXPECT_EQ(FileSha256(target), e.sha256) << e.path;
    ++checked;
    inFolders += inFolder ? 1 : 0;
  }
  // Every file with data below a folder was read back.
  EXPECT_EQ(inFolders, expectedInFolders);
  EXPECT_GT(expectedInFolders, 0u);
  // A whole folder comes back with its sub-folders.
  const auto reports = std::find_if(tree.begin(), tree.end(), [](const auto& item) {
    return item.second.IsFolder() && item.second.Name() == "Reports";
  });
  ASSERT_NE(reports, tree.end());
  const fs::path folder = logs.Path() / "folder" / "Reports";
  ASSERT_EQ(engine.RecoverRecord(reports->second, folder, 1), 0);
  EXPECT_EQ(FileSha256(folder / "2023" / "summary of the year.txt"),
            byPath.at("/Docs/Reports/2023/summary of the year.txt")->sha256);
  EXPECT_EQ(FileSha256(folder / "budget.bin"), byPath.at("/Docs/Reports/budget.bin")->sha256);
}

}  // namespace
}  // namespace brinvale
