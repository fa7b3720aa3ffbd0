// The check of files found through their file system: CarvedBytes over an
// extent map (stretches of sectors in file order, sparse stretches, files in
// memory) and the rules of CheckFoundFile, byte by byte over PNG files built
// here.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <string_view>
#include <vector>

#include "common/crc32.h"
#include "deepscan/carved_bytes.h"
#include "deepscan/file_extent_map.h"
#include "deepscan/found_file_check.h"
#include "device/byte_source.h"
#include "device/sector_reader.h"

namespace brinvale {
namespace {

using Bytes = std::vector<uint8_t>;

void AddBe32(Bytes& b, uint32_t v) {
  b.insert(b.end(), {uint8_t(v >> 24), uint8_t(v >> 16), uint8_t(v >> 8), uint8_t(v)});
}

void Chunk(Bytes& png, std::string_view type, const Bytes& data) {
  AddBe32(png, uint32_t(data.size()));
  Bytes typed(type.begin(), type.end());
  typed.insert(typed.end(), data.begin(), data.end());
  png.insert(png.end(), typed.begin(), typed.end());
  AddBe32(png, Crc32(typed));
}

// A PNG with an IDAT of `idat` patterned bytes.
Bytes Png(size_t idat) {
  Bytes png{0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  Chunk(png, "IHDR", Bytes{0, 0, 0, 1, 0, 0, 0, 1, 8, 2, 0, 0, 0});
  Bytes data(idat);
  for (size_t i = 0; i < idat; ++i) data[i] = uint8_t(i * 7 + 3);
  Chunk(png, "IDAT", data);
  Chunk(png, "IEND", {});
  return png;
}

// A medium whose first bytes are given and the rest (up to `sectors`)
// zeros, which counts the bytes read from it.
class CountingSource final : public ByteSource {
 public:
  explicit CountingSource(Bytes bytes, uint64_t* served) : m_bytes(std::move(bytes)), m_served(served) {}
  int ReadAt(uint64_t offset, void* buffer, size_t length, size_t& got) override {
    std::memset(buffer, 0, length);
    if (offset < m_bytes.size())
      std::memcpy(buffer, m_bytes.data() + offset,
                  size_t(std::min<uint64_t>(length, m_bytes.size() - offset)));
    *m_served += length;
    got = length;
    return 0;
  }

 private:
  Bytes m_bytes;
  uint64_t* m_served;
};

struct Medium {
  explicit Medium(Bytes bytes, uint64_t sectors = 0) {
    const uint64_t total = sectors != 0 ? sectors : bytes.size() / 512;
    OpenSourceReader(reader, std::make_unique<CountingSource>(std::move(bytes), &served), total);
  }
  uint64_t served = 0;
  SectorReader reader;
};

ScanRecord FoundFile(std::string_view name, uint64_t size) {
  ScanRecord r;
  r.SetEngine(EngineCode::kQuickFat);
  r.SetName(name);
  r.SetFileSize(size);
  return r;
}

// Places `file` on a medium of 512-byte sectors in the stretches given
// (file order, each as sector and length), with noise everywhere else.
struct Placed {
  Bytes medium;
  FileExtentMap map;
};
Placed Place(const Bytes& file, std::vector<std::pair<uint64_t, uint64_t>> stretches,
             size_t sectors) {
  Placed p;
  p.medium.resize(sectors * 512);
  for (size_t i = 0; i < p.medium.size(); ++i) p.medium[i] = uint8_t(0xA5 ^ (i * 13));
  uint64_t at = 0;
  for (auto [sector, length] : stretches) {
    const uint64_t take = std::min<uint64_t>(length, file.size() - at);
    std::memcpy(p.medium.data() + sector * 512, file.data() + at, size_t(take));
    p.map.push_back({length, sector, false});
    at += take;
  }
  return p;
}

TEST(CarvedBytesOverExtents, ReadsTheStretchesInFileOrder) {
  // 100 bytes, then 70,000 bytes that run over the first window's end at an
  // offset inside a sector, then a sparse stretch, then 300 bytes.
  Bytes file(100 + 70000 + 1000 + 300);
  for (size_t i = 0; i < file.size(); ++i) file[i] = uint8_t(i * 31 + i / 256);
  std::fill(file.begin() + 70100, file.begin() + 71100, 0);
  Placed p = Place(file, {{300, 100}, {20, 70000}}, 600);
  std::memcpy(p.medium.data() + 2 * 512, file.data() + 71100, 300);
  p.map.push_back({1000, 0, true});
  p.map.push_back({300, 2, false});
  Medium m(p.medium);
  CarvedBytes f(m.reader, 512, p.map, UINT64_MAX);
  EXPECT_EQ(f.Extent(), file.size());
  Bytes got(file.size());
  ASSERT_TRUE(f.Read(0, got));
  EXPECT_EQ(got, file);
  // Across the window boundary inside the second stretch.
  uint8_t b = 0;
  ASSERT_TRUE(f.Byte(65536, b));
  EXPECT_EQ(b, file[65536]);
  EXPECT_FALSE(f.Read(file.size() - 1, std::span<uint8_t>(got.data(), 2)));
  EXPECT_FALSE(f.ReadFailed());
}

TEST(CarvedBytesOverExtents, ExtentIsCutToTheMapAndTheMediumEnd) {
  Bytes medium(8 * 512, 0x11);
  Medium m(medium);
  CarvedBytes shortMap(m.reader, 512, FileExtentMap{{1000, 1, false}}, 5000);
  EXPECT_EQ(shortMap.Extent(), 1000u);
  // A stretch that runs past the medium: the read inside it fails.
  CarvedBytes past(m.reader, 512, FileExtentMap{{4096, 6, false}}, 4096);
  uint8_t b = 0;
  EXPECT_TRUE(past.Byte(1000, b));
  EXPECT_FALSE(past.Byte(1024, b));
  EXPECT_TRUE(past.ReadFailed());
  // In memory.
  const Bytes value{1, 2, 3, 4, 5};
  CarvedBytes resident(value);
  EXPECT_EQ(resident.Extent(), 5u);
  uint32_t v = 0;
  ASSERT_TRUE(resident.Le32(1, v));
  EXPECT_EQ(v, 0x05040302u);
  EXPECT_FALSE(resident.Le32(2, v));
}

TEST(FileExtentMap, JoinsStretchesThatContinueOnTheMedium) {
  FileExtentMap map;
  AppendExtent(map, 10, 1024, false, 512);
  AppendExtent(map, 12, 1024, false, 512);  // continues
  AppendExtent(map, 20, 512, false, 512);   // a jump
  AppendExtent(map, 0, 4096, true, 512);
  AppendExtent(map, 0, 4096, true, 512);
  AppendExtent(map, 21, 0, false, 512);  // nothing
  ASSERT_EQ(map.size(), 3u);
  EXPECT_EQ(map[0].length, 2048u);
  EXPECT_EQ(map[1].sector, 20u);
  EXPECT_TRUE(map[2].zeros);
  EXPECT_EQ(map[2].length, 8192u);
  EXPECT_EQ(ExtentMapBytes(map), 2048u + 512 + 8192);
}

// The verdict of `file` named `name` with recorded size `size`, laid out
// in two stretches (the second 40 sectors before the first).
CarvedVerdict Check(const Bytes& file, uint64_t size, std::string_view name = "a.png") {
  const uint64_t half = (file.size() / 2 + 511) / 512 * 512;
  Placed p = Place(file, {{50, half}, {10, file.size() - half}}, 120);
  Medium m(p.medium);
  CarvedBytes f(m.reader, 512, p.map, size);
  return CheckFoundFile(FoundFile(name, size), f);
}

TEST(FoundFileCheck, TheRecordedSizeIsTheFilesLength) {
  const Bytes png = Png(5000);
  // The walk ends at the recorded size, across the stretches.
  EXPECT_EQ(Check(png, png.size()), CompleteVerdict(png.size()));
  // Zeros after the structure: still the file, kept at the recorded size.
  Bytes padded = png;
  padded.resize(png.size() + 3000, 0);
  EXPECT_EQ(Check(padded, padded.size()), CompleteVerdict(padded.size()));
  // Other bytes after it: the file holds something else.
  Bytes trailed = png;
  trailed.insert(trailed.end(), {0, 0, 7, 0});
  EXPECT_EQ(Check(trailed, trailed.size()), DamagedVerdict(CarvedFault::kBadStructure));
  // The structure needs more than the recorded size.
  EXPECT_EQ(Check(png, png.size() - 1), DamagedVerdict(CarvedFault::kRunsOff));
  // A changed byte inside IDAT.
  Bytes changed = png;
  changed[200] ^= 0x40;
  EXPECT_EQ(Check(changed, changed.size()), DamagedVerdict(CarvedFault::kChecksum));
}

TEST(FoundFileCheck, DataShorterThanTheSizeRunsOff) {
  // The chain ends before the size: recovery gives less than the file.
  const Bytes png = Png(3000);
  Placed p = Place(png, {{4, png.size()}}, 20);
  Medium m(p.medium);
  CarvedBytes f(m.reader, 512, p.map, png.size() + 4096);
  EXPECT_EQ(CheckFoundFile(FoundFile("a.png", png.size() + 4096), f),
            DamagedVerdict(CarvedFault::kRunsOff));
}

TEST(FoundFileCheck, UncheckedWithoutARuleOrBytes) {
  const Bytes png = Png(100);
  EXPECT_EQ(Check(png, png.size(), "a.xyz"), CarvedVerdict{});
  EXPECT_EQ(Check(png, png.size(), "noextension"), CarvedVerdict{});
  Medium m(Bytes(1024));
  CarvedBytes empty(m.reader, 512, FileExtentMap{}, 0);
  EXPECT_EQ(CheckFoundFile(FoundFile("a.png", 0), empty), CarvedVerdict{});
  ScanRecord folder = FoundFile("dir.png", 100);
  folder.SetIsFolder(true);
  EXPECT_FALSE(HasFoundFileCheck(folder));
  EXPECT_TRUE(HasFoundFileCheck(FoundFile("A.PNG", 100)));
}

TEST(FoundFileCheck, AStreamThatStatesNoLengthKeepsTheRecordedSize) {
  // Two MPEG-1 Layer II frames, then bytes that are no audio: carved, the
  // stream would end after its frames; found, its size is the file's.
  Bytes mp2;
  for (int i = 0; i < 2; ++i) {
    mp2.insert(mp2.end(), {0xFF, 0xFD, 0xE4, 0x00});
    mp2.resize(mp2.size() + 1148, 0x11);
  }
  mp2.resize(mp2.size() + 500, 0x22);
  EXPECT_EQ(Check(mp2, mp2.size(), "a.mp2"), CarvedVerdict{});
}

TEST(FoundFileCheck, AFileOfGigabytesIsReadOnlyAsFarAsTheWalkNeeds) {
  constexpr uint64_t kSize = 6ull << 30;
  const Bytes png = Png(1000);
  // A PNG then zeros on a medium of 8 GiB, the file's data in one stretch.
  Medium m(png, (8ull << 30) / 512);
  CarvedBytes f(m.reader, 512, FileExtentMap{{kSize, 0, false}}, kSize);
  EXPECT_EQ(CheckFoundFile(FoundFile("big.png", kSize), f),
            DamagedVerdict(CarvedFault::kBadStructure));
  EXPECT_LE(m.served, uint64_t(CarvedBytes::kWindowBytes));
  // A structure that ends within the tail bound before the size, the rest
  // zeros: the tail is read, no more.
  const uint64_t near = png.size() + kFoundTailCheckBytes - 100;
  Medium n(png, (8ull << 30) / 512);
  CarvedBytes g(n.reader, 512, FileExtentMap{{kSize, 0, false}}, near);
  EXPECT_EQ(CheckFoundFile(FoundFile("near.png", near), g), CompleteVerdict(near));
  EXPECT_LE(n.served, kFoundTailCheckBytes + 2 * CarvedBytes::kWindowBytes);
  // Sparse zeros are not read at all.
  Medium s(png, 8);
  FileExtentMap map{{2048, 0, false}, {kSize, 0, true}};
  const uint64_t sparseSize = png.size() + 4096;
  CarvedBytes h(s.reader, 512, map, sparseSize);
  EXPECT_EQ(CheckFoundFile(FoundFile("sparse.png", sparseSize), h), CompleteVerdict(sparseSize));
  EXPECT_LE(s.served, 2048u);
}

}  // namespace
}  // namespace brinvale
