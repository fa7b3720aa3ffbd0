#include "device/read_ahead.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "device/byte_source.h"

namespace brinvale {
namespace {

constexpr uint32_t kSector = 512;

// A medium of `sectors` sectors whose every byte holds its sector number's
// low byte, so that a sector read from the wrong place shows.
SectorReader NumberedMedium(uint64_t sectors, uint64_t bytes) {
  std::vector<uint8_t> data(bytes);
  for (size_t i = 0; i < data.size(); ++i) data[i] = uint8_t(i / kSector);
  SectorReader reader;
  OpenSourceReader(reader, std::make_unique<MemoryByteSource>(std::move(data)), sectors);
  return reader;
}

bool Holds(const ReadAhead::Chunk& chunk, uint64_t sector, uint32_t index) {
  return chunk.bytes[size_t(index) * kSector] == uint8_t(sector) &&
         chunk.bytes[size_t(index) * kSector + kSector - 1] == uint8_t(sector);
}

TEST(ReadAhead, HandsOutTheRunInOrderAndCutsTheLastRequestAtItsEnd) {
  ReadAhead ahead(NumberedMedium(1000, 1000 * kSector), kSector, 128, 4);
  ahead.Seek(10, 10 + 3 * 128 + 5);
  for (uint64_t start = 10; start < 10 + 3 * 128; start += 128) {
    const ReadAhead::Chunk& c = ahead.Next();
    EXPECT_EQ(c.start, start);
    EXPECT_EQ(c.count, 128u);
    EXPECT_EQ(c.got, 128u);
    EXPECT_EQ(c.result, 0);
    EXPECT_TRUE(Holds(c, start, 0));
    EXPECT_TRUE(Holds(c, start + 127, 127));
  }
  const ReadAhead::Chunk& last = ahead.Next();
  EXPECT_EQ(last.start, 10u + 3 * 128);
  EXPECT_EQ(last.count, 5u);
  EXPECT_TRUE(Holds(last, last.start + 4, 4));
}

TEST(ReadAhead, SeekDropsWhatWasReadAheadAndReadsFromTheNewPlace) {
  ReadAhead ahead(NumberedMedium(4096, 4096 * kSector), kSector, 64, 8);
  ahead.Seek(0, 4096);
  EXPECT_EQ(ahead.Next().start, 0u);
  // Forward past everything read ahead, to a place off the request grid.
  ahead.Seek(1000, 4096);
  const ReadAhead::Chunk& c = ahead.Next();
  EXPECT_EQ(c.start, 1000u);
  EXPECT_TRUE(Holds(c, 1000, 0));
  EXPECT_EQ(ahead.Next().start, 1064u);
  // And back, as a new range does.
  ahead.Seek(3, 20);
  const ReadAhead::Chunk& again = ahead.Next();
  EXPECT_EQ(again.start, 3u);
  EXPECT_EQ(again.count, 17u);
  EXPECT_TRUE(Holds(again, 19, 16));
}

TEST(ReadAhead, AShortMediumReportsTheSectorsThatArrived) {
  // 100 sectors counted, 90 and a half present: the request over the end
  // tells how many whole sectors came.
  ReadAhead ahead(NumberedMedium(100, 90 * kSector + 256), kSector, 64, 2);
  ahead.Seek(64, 100);
  const ReadAhead::Chunk& c = ahead.Next();
  EXPECT_EQ(c.count, 36u);
  EXPECT_EQ(c.got, 26u);
  EXPECT_NE(c.result, 0);
  // Past the counted end nothing is read at all.
  ahead.Seek(90, 140);
  const ReadAhead::Chunk& past = ahead.Next();
  EXPECT_EQ(past.got, 0u);
  EXPECT_EQ(past.result, 87);
}

TEST(ReadAhead, StopsWhileItsThreadWaitsOrReads) {
  // Destroyed with no run asked for, with requests ready or under way,
  // and with one handed out; a hang here is the failure.
  for (int round = 0; round < 50; ++round) {
    ReadAhead ahead(NumberedMedium(2048, 2048 * kSector), kSector, 16, 4);
    if (round % 3 == 0) continue;
    ahead.Seek(0, 2048);
    if (round % 3 == 2) {
      EXPECT_EQ(ahead.Next().start, 0u);
    }
  }
}

}  // namespace
}  // namespace brinvale
