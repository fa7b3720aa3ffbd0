#include "device/sector_reader.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <numeric>
#include <vector>

#include "common/error_codes.h"

namespace brinvale {
namespace {

std::filesystem::path WriteTempFile(const std::string& name, size_t bytes) {
  auto path = std::filesystem::temp_directory_path() / name;
  std::vector<char> data(bytes);
  for (size_t i = 0; i < bytes; ++i) data[i] = char(i * 7 + i / 512);
  std::ofstream(path, std::ios::binary | std::ios::trunc).write(data.data(), bytes);
  return path;
}

TEST(OpenImageReader, CountsWhole512ByteSectorsOnly) {
  auto path = WriteTempFile("brinvale_1000.img", 1000);
  SectorReader reader;
  ASSERT_EQ(OpenImageReader(reader, path), kOk);
  EXPECT_EQ(reader.totalSectors, 1u);
  std::vector<uint8_t> buf(1024);
  uint32_t got = 99;
  EXPECT_EQ(ReadSectors(1, reader, buf.data(), 0, 512, got), kOk);
  EXPECT_EQ(got, 1u);
  got = 99;
  EXPECT_EQ(ReadSectors(1, reader, buf.data(), 1, 512, got), kErrInvalidParameter);
  EXPECT_EQ(got, 99u) << "a refused read leaves the count alone";
  CloseReader(reader);  // Windows deletes no file that is still open
  std::filesystem::remove(path);
}

TEST(OpenImageReader, MissingFileGivesFileNotFound) {
  SectorReader reader;
  EXPECT_EQ(OpenImageReader(reader, "/nonexistent-brinvale-x.img"), kErrFileNotFound);
  EXPECT_FALSE(reader.IsOpen());
}

TEST(ReadSectors, LastSectorReadsAndOneFurtherIsRefused) {
  std::vector<uint8_t> bytes(8 * 512);
  std::iota(bytes.begin(), bytes.end(), 0);
  SectorReader reader;
  OpenSourceReader(reader, std::make_unique<MemoryByteSource>(bytes), 8);
  std::vector<uint8_t> buf(2 * 512);
  uint32_t got = 0;
  EXPECT_EQ(ReadSectors(2, reader, buf.data(), 6, 512, got), kOk);
  EXPECT_EQ(got, 2u);
  EXPECT_EQ(buf[0], uint8_t(6 * 512));
  EXPECT_EQ(ReadSectors(2, reader, buf.data(), 7, 512, got), kErrInvalidParameter);
  // A start near the top of the 64-bit range must not wrap past the check.
  EXPECT_EQ(ReadSectors(2, reader, buf.data(), ~uint64_t(0), 512, got), kErrInvalidParameter);
}

TEST(ReadSectors, ZeroSectorsSucceedsWithNothingRead) {
  std::vector<uint8_t> bytes(512);
  SectorReader reader;
  OpenSourceReader(reader, std::make_unique<MemoryByteSource>(bytes), 1);
  uint32_t got = 7;
  EXPECT_EQ(ReadSectors(0, reader, nullptr, 0, 512, got), kOk);
  EXPECT_EQ(got, 0u);
}

TEST(ReadSectors, ShortMediumGivesReadFaultWithWholeSectorsCounted) {
  // The reader claims 4 sectors but only 2.5 exist: the read stops short.
  std::vector<uint8_t> bytes(2 * 512 + 256, 0xAB);
  SectorReader reader;
  OpenSourceReader(reader, std::make_unique<MemoryByteSource>(bytes), 4);
  std::vector<uint8_t> buf(4 * 512);
  uint32_t got = 0;
  EXPECT_EQ(ReadSectors(4, reader, buf.data(), 0, 512, got), kErrReadFault);
  EXPECT_EQ(got, 2u);
}

TEST(ReadSectors, LargeReadsLoopInChunks) {
  // 16 MiB in one call, as the FAT window asks, crosses 256 chunk reads.
  const size_t sectors = (16u << 20) / 512;
  std::vector<uint8_t> bytes(sectors * 512);
  for (size_t i = 0; i < bytes.size(); i += 512) bytes[i] = uint8_t(i / 512);
  SectorReader reader;
  OpenSourceReader(reader, std::make_unique<MemoryByteSource>(bytes), sectors);
  std::vector<uint8_t> buf(bytes.size());
  uint32_t got = 0;
  ASSERT_EQ(ReadSectors(uint32_t(sectors), reader, buf.data(), 0, 512, got), kOk);
  EXPECT_EQ(got, sectors);
  EXPECT_EQ(buf, bytes);
}

TEST(ReadSectors, ClosedReaderIsRefused) {
  SectorReader reader;
  uint32_t got = 0;
  uint8_t buf[512];
  EXPECT_NE(ReadSectors(1, reader, buf, 0, 512, got), kOk);
  CloseReader(reader);
  EXPECT_EQ(reader.totalSectors, 0u);
}

}  // namespace
}  // namespace brinvale
