// brinvale-cli image and disks, run as the user runs them.
#if !defined(_WIN32)

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

#include "platform/disk.h"
#include "support/partitioned_loop_device.h"
#include "support/mbr_disk_fixture.h"

namespace brinvale {
namespace {

namespace fs = std::filesystem;
using testing::RunCommand;

// The command-line program of the same build tree.
fs::path CliPath() { return testing::FixtureDir().parent_path() / "src" / "brinvale-cli"; }

std::string Quote(const fs::path& path) { return "'" + path.string() + "'"; }

std::string Sha256(const fs::path& path) {
  std::string out;
  if (RunCommand("sha256sum " + Quote(path), &out) != 0) return {};
  return out.substr(0, out.find(' '));
}

// `length` bytes of a file from `offset`, read in one call.
std::vector<char> ReadRange(const fs::path& path, uint64_t offset, uint64_t length) {
  std::vector<char> bytes(length);
  std::ifstream in(path, std::ios::binary);
  in.seekg(std::streamoff(offset));
  in.read(bytes.data(), std::streamsize(length));
  bytes.resize(size_t(in.gcount()));
  return bytes;
}

class ImageCommand : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!fs::exists(CliPath())) GTEST_SKIP() << CliPath() << " has not been built";
    m_dir = fs::temp_directory_path() / ("brinvale_cli_" + std::to_string(::getpid()));
    fs::create_directories(m_dir);
  }
  void TearDown() override {
    if (!m_dir.empty()) fs::remove_all(m_dir);
  }
  int Cli(const std::string& args, std::string* out = nullptr) {
    return RunCommand(Quote(CliPath()) + " " + args + " 2>" + Quote(m_dir / "stderr.txt"), out);
  }
  std::string Stderr() {
    std::ifstream in(m_dir / "stderr.txt");
    return std::string((std::istreambuf_iterator<char>(in)), {});
  }
  fs::path m_dir;
};

TEST_F(ImageCommand, CopiesAnImageFileByteForByte) {
  const fs::path source = testing::FixtureDir() / "mbr_disk.img";
  ASSERT_TRUE(fs::exists(source));
  const fs::path out = m_dir / "copy.img";
  ASSERT_EQ(Cli("image " + Quote(source) + " " + Quote(out)), 0) << Stderr();
  EXPECT_EQ(Sha256(out), Sha256(source));
  EXPECT_NE(Stderr().find("100%"), std::string::npos) << Stderr();
}

TEST_F(ImageCommand, RefusesToOverwriteItsSourceOrWriteToAFolder) {
  const fs::path source = m_dir / "source.img";
  std::ofstream(source) << std::string(4096, 'x');
  EXPECT_EQ(Cli("image " + Quote(source) + " " + Quote(source)), 1);
  EXPECT_NE(Stderr().find("drive that is being copied"), std::string::npos) << Stderr();
  EXPECT_EQ(fs::file_size(source), 4096u) << "the source must stay whole";
  EXPECT_EQ(Cli("image " + Quote(source) + " " + Quote(m_dir)), 1);
  EXPECT_NE(Stderr().find("not a regular file"), std::string::npos) << Stderr();
  EXPECT_EQ(Cli("image " + Quote(source) + " " + Quote(m_dir / "no-such-folder" / "x.img")), 1);
  EXPECT_EQ(Cli("image " + Quote(source)), 2);
  EXPECT_EQ(Cli("image disk:x " + Quote(m_dir / "x.img")), 2);
}

TEST_F(ImageCommand, APartitionOfALoopDiskMatchesThePartitionsBytes) {
  const auto manifest = testing::ReadMbrDiskManifest();
  ASSERT_EQ(manifest.size(), 2u);
  const fs::path fixture = testing::FixtureDir() / "mbr_disk.img";
  std::string whyNot;
  auto loop = testing::PartitionedLoopDevice::Attach(fixture, whyNot);
  if (!loop) GTEST_SKIP() << whyNot;
  const std::vector<std::string> names = platform::WholeDiskNames();
  const auto it = std::find(names.begin(), names.end(), loop->Name());
  ASSERT_NE(it, names.end());
  const int disk = int(it - names.begin());

  const testing::ManifestPartition& fat = manifest[0];
  const fs::path out = m_dir / "fat.img";
  const std::string given = "disk:" + std::to_string(disk) + ":" + std::to_string(fat.start) + ":" +
                           std::to_string(fat.length);
  ASSERT_EQ(Cli("image " + given + " " + Quote(out)), 0) << Stderr();
  EXPECT_EQ(fs::file_size(out), fat.length * 512);
  EXPECT_EQ(Sha256(out), fat.sha256);
  // The same bytes as the fixture holds at the partition's place.
  const std::vector<char> partition = ReadRange(fixture, fat.start * 512, fat.length * 512);
  ASSERT_EQ(partition.size(), fat.length * 512);
  EXPECT_TRUE(ReadRange(out, 0, fat.length * 512) == partition);

  // The disk list shows the same partitions as JSON.
  std::string json;
  ASSERT_EQ(Cli("disks --json", &json), 0) << Stderr();
  EXPECT_NE(json.find("\"path\": \"" + loop->Device() + "p1\""), std::string::npos) << json;
  EXPECT_NE(json.find("\"fileSystem\": \"NTFS\", \"label\": \"BRINNTFS\""), std::string::npos)
      << json;
}

}  // namespace
}  // namespace brinvale

#endif
